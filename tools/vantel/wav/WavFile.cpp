#include "sndfile.h"

#include "windows/WideText.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace {

constexpr uint16_t kFormatPcm = 1, kFormatFloat = 3, kFormatExtensible = 0xFFFE;
constexpr uint32_t kMaxDataBytes = 0xFFFFFFFFu - 64;  // a RIFF size must stay 32-bit

std::string gOpenError;

uint32_t le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
void put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
}
void put16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
}

FILE* openWide(const char* path, const wchar_t* mode) {
    const std::optional<std::wstring> wide = platform::toWide(path);
    return wide ? _wfopen(wide->c_str(), mode) : nullptr;
}

int bytesOf(int subtype) {
    switch (subtype) {
        case SF_FORMAT_PCM_16: return 2;
        case SF_FORMAT_PCM_24: return 3;
        case SF_FORMAT_PCM_32: return 4;
        case SF_FORMAT_FLOAT: return 4;
        case SF_FORMAT_DOUBLE: return 8;
    }
    return 0;
}

}  // namespace

struct SNDFILE {
    FILE* file = nullptr;
    bool writing = false;
    int channels = 0, subtype = 0, rate = 0;
    sf_count_t frames = 0;    // reading: in the data chunk; writing: written so far
    sf_count_t position = 0;  // reading
    std::string error;
    std::vector<uint8_t> buffer;

    int frameBytes() const { return channels * bytesOf(subtype); }

    // Writes the header for `frames` frames at the start of the file.
    bool writeHeader() {
        const uint64_t data = uint64_t(frames) * uint64_t(frameBytes());
        if (data > kMaxDataBytes) return false;
        const bool isFloat = subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
        std::vector<uint8_t> h;
        h.insert(h.end(), {'R', 'I', 'F', 'F'});
        put32(h, uint32_t(4 + 8 + 16 + 8 + data));
        h.insert(h.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
        put32(h, 16);
        put16(h, isFloat ? kFormatFloat : kFormatPcm);
        put16(h, uint16_t(channels));
        put32(h, uint32_t(rate));
        put32(h, uint32_t(rate) * uint32_t(frameBytes()));
        put16(h, uint16_t(frameBytes()));
        put16(h, uint16_t(8 * bytesOf(subtype)));
        h.insert(h.end(), {'d', 'a', 't', 'a'});
        put32(h, uint32_t(data));
        return std::fseek(file, 0, SEEK_SET) == 0 && std::fwrite(h.data(), 1, h.size(), file) == h.size() &&
               std::fseek(file, 0, SEEK_END) == 0;
    }

    template <typename Sample>
    sf_count_t write(const Sample* frames_, sf_count_t count) {
        if (!writing || count < 0) return 0;
        const int bytes = bytesOf(subtype);
        buffer.resize(size_t(count) * size_t(frameBytes()));
        uint8_t* out = buffer.data();
        for (sf_count_t i = 0; i < count * channels; ++i) {
            const double x = double(frames_[i]);
            if (subtype == SF_FORMAT_FLOAT) {
                const float f = float(x);
                std::memcpy(out, &f, 4);
            } else if (subtype == SF_FORMAT_DOUBLE) {
                std::memcpy(out, &x, 8);
            } else {
                // As libsndfile converts with clipping, so that both builds write the same
                // bits: scaled to 32-bit full scale, clipped, rounded to the nearest
                // integer, and the low bytes dropped (rounding toward minus infinity).
                // (Single-precision samples are scaled in single precision, as it does.)
                const double scaled = std::isnan(x)                          ? 0.0
                                      : std::is_same_v<Sample, float> ? double(float(x) * 2147483648.0f)
                                                                       : x * 2147483647.0;
                int64_t v = scaled >= 2147483647.0 ? 2147483647 : scaled <= -2147483648.0 ? -2147483648LL
                                                                                         : std::llrint(scaled);
                v >>= 8 * (4 - bytes);
                for (int b = 0; b < bytes; ++b) out[b] = uint8_t(uint64_t(v) >> (8 * b));
            }
            out += bytes;
        }
        if (uint64_t(frames + count) * uint64_t(frameBytes()) > kMaxDataBytes) {
            error = "the output would exceed the 4 GiB a WAV file can hold";
            return 0;
        }
        if (std::fwrite(buffer.data(), 1, buffer.size(), file) != buffer.size()) {
            error = "the disk refused the data (full, or not writable)";
            return 0;
        }
        frames += count;
        return count;
    }
};

namespace {

bool parseHeader(SNDFILE& f, SF_INFO& info) {
    uint8_t riff[12];
    if (std::fread(riff, 1, 12, f.file) != 12 || std::memcmp(riff, "RIFF", 4) || std::memcmp(riff + 8, "WAVE", 4)) {
        gOpenError = "not a WAV file (this build reads WAV only; FLAC and AIFF need the Linux build)";
        return false;
    }
    bool haveFormat = false;
    uint16_t tag = 0, bits = 0;
    for (;;) {
        uint8_t chunk[8];
        if (std::fread(chunk, 1, 8, f.file) != 8) {
            gOpenError = "the WAV file has no data chunk";
            return false;
        }
        const uint32_t size = le32(chunk + 4);
        if (!std::memcmp(chunk, "fmt ", 4)) {
            if (size < 16 || size > 4096) break;
            std::vector<uint8_t> fmt(size);
            if (std::fread(fmt.data(), 1, size, f.file) != size) break;
            tag = le16(&fmt[0]);
            f.channels = le16(&fmt[2]);
            f.rate = int(std::min<uint32_t>(le32(&fmt[4]), 0x7FFFFFFF));
            bits = le16(&fmt[14]);
            if (tag == kFormatExtensible && size >= 40) tag = le16(&fmt[24]);  // the sub-format GUID's first bytes
            haveFormat = true;
            if (size & 1) std::fgetc(f.file);
        } else if (!std::memcmp(chunk, "data", 4)) {
            if (!haveFormat) break;
            if (tag == kFormatPcm && (bits == 16 || bits == 24 || bits == 32))
                f.subtype = bits == 16 ? SF_FORMAT_PCM_16 : bits == 24 ? SF_FORMAT_PCM_24 : SF_FORMAT_PCM_32;
            else if (tag == kFormatFloat && (bits == 32 || bits == 64))
                f.subtype = bits == 32 ? SF_FORMAT_FLOAT : SF_FORMAT_DOUBLE;
            if (!f.subtype || f.channels < 1 || f.rate < 1) {
                gOpenError = "the WAV file's sample format is not supported (16/24/32-bit PCM, 32/64-bit float)";
                return false;
            }
            f.frames = sf_count_t(size / uint32_t(f.frameBytes()));
            info.frames = f.frames;
            info.samplerate = f.rate;
            info.channels = f.channels;
            info.format = SF_FORMAT_WAV | f.subtype;
            info.sections = 1;
            info.seekable = 1;
            return true;
        } else {
            if (std::fseek(f.file, long(size + (size & 1)), SEEK_CUR) != 0) break;
        }
    }
    gOpenError = "the WAV file is damaged";
    return false;
}

}  // namespace

int sf_format_check(const SF_INFO* info) {
    if (!info || (info->format & SF_FORMAT_TYPEMASK) != SF_FORMAT_WAV) return 0;
    return bytesOf(info->format & SF_FORMAT_SUBMASK) && info->channels >= 1 && info->channels <= 64 &&
           info->samplerate >= 1;
}

SNDFILE* sf_open(const char* path, int mode, SF_INFO* info) {
    gOpenError.clear();
    if (!path || !info || (mode != SFM_READ && mode != SFM_WRITE)) {
        gOpenError = "bad arguments";
        return nullptr;
    }
    auto* f = new SNDFILE;
    if (mode == SFM_WRITE) {
        if ((info->format & SF_FORMAT_TYPEMASK) != SF_FORMAT_WAV) {
            gOpenError = "this build writes WAV only (FLAC and AIFF need the Linux build)";
        } else if (!sf_format_check(info)) {
            gOpenError = "the sample format is not one this build writes";
        } else if (!(f->file = openWide(path, L"wb"))) {
            gOpenError = "the file cannot be created";
        } else {
            f->writing = true;
            f->channels = info->channels;
            f->rate = info->samplerate;
            f->subtype = info->format & SF_FORMAT_SUBMASK;
            if (f->writeHeader()) return f;
            gOpenError = "the file cannot be written";
        }
    } else if (!(f->file = openWide(path, L"rb"))) {
        gOpenError = "the file cannot be opened";
    } else if (parseHeader(*f, *info)) {
        return f;
    }
    sf_close(f);
    return nullptr;
}

int sf_close(SNDFILE* f) {
    if (!f) return 0;
    int result = 0;
    if (f->file) {
        if (f->writing && !f->writeHeader()) result = 1;
        if (std::fclose(f->file) != 0) result = 1;
    }
    delete f;
    return result;
}

const char* sf_strerror(SNDFILE* f) {
    if (f) return f->error.empty() ? "no error" : f->error.c_str();
    return gOpenError.empty() ? "no error" : gOpenError.c_str();
}

int sf_command(SNDFILE*, int command, void*, int) {
    // Writing always clips: the one command asked for is already how this writer works.
    return command == SFC_SET_CLIPPING ? SF_TRUE : 0;
}

sf_count_t sf_readf_double(SNDFILE* f, double* out, sf_count_t count) {
    if (!f || f->writing || count <= 0) return 0;
    count = std::min(count, f->frames - f->position);
    if (count <= 0) return 0;
    const int bytes = bytesOf(f->subtype);
    f->buffer.resize(size_t(count) * size_t(f->frameBytes()));
    const size_t got = std::fread(f->buffer.data(), size_t(f->frameBytes()), size_t(count), f->file);
    const uint8_t* p = f->buffer.data();
    for (size_t i = 0; i < got * size_t(f->channels); ++i, p += bytes) {
        switch (f->subtype) {
            case SF_FORMAT_FLOAT: {
                float x;
                std::memcpy(&x, p, 4);
                out[i] = x;
                break;
            }
            case SF_FORMAT_DOUBLE: std::memcpy(&out[i], p, 8); break;
            default: {
                // Sign-extended from the top byte, scaled so that full scale is 1.
                int64_t v = int8_t(p[bytes - 1]);
                for (int b = bytes - 2; b >= 0; --b) v = v * 256 + p[b];
                out[i] = double(v) / double(int64_t(1) << (8 * bytes - 1));
            }
        }
    }
    f->position += sf_count_t(got);
    return sf_count_t(got);
}

sf_count_t sf_writef_float(SNDFILE* f, const float* frames, sf_count_t count) { return f ? f->write(frames, count) : 0; }
sf_count_t sf_writef_double(SNDFILE* f, const double* frames, sf_count_t count) { return f ? f->write(frames, count) : 0; }
