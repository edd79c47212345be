// Writes the seed corpus: valid blocks of every kind in the form each fuzz target takes.
//   make_corpus DIR   -> DIR/<reader>/<name>
#include <cstdio>
#include <string>
#include <sys/stat.h>

#include "FuzzEffect.h"

namespace {

using Bytes = std::vector<uint8_t>;

void write(const std::string& dir, const std::string& reader, const std::string& name, const Bytes& b) {
    const std::string folder = dir + "/" + reader;
    mkdir(folder.c_str(), 0755);
    FILE* f = std::fopen((folder + "/" + name).c_str(), "wb");
    if (!f) return;
    std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
}

Bytes prefixed(uint8_t first, const Bytes& b, size_t skip) {
    Bytes out{first};
    out.insert(out.end(), b.begin() + static_cast<long>(skip), b.end());
    return out;
}

void putFloat(Bytes& b, size_t at, float v) { std::memcpy(&b[at], &v, 4); }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_corpus DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    mkdir(dir.c_str(), 0755);
    fuzz::Effect effect;
    presets::PresetCodec codec(effect);
    const Bytes bank = codec.buildBankBlock();
    const Bytes preset = codec.buildPresetBlock();
    const Bytes midi = codec.buildMidiBlock();

    write(dir, "chunk", "fresh-v2", codec.buildChunk());
    // A version-1 image: 61 entries of 60 values, current program 3.
    Bytes v1(16376, 0);
    const uint32_t head[] = {0x01000000, 0x56713431, 61, 3};
    std::memcpy(v1.data(), head, sizeof head);
    for (int j = 0; j < 61; ++j) {
        std::memcpy(&v1[32 + j * 264], "Seed", 4);
        for (int k = 0; k < 60; ++k) putFloat(v1, 32 + j * 264 + 24 + 4 * k, 0.5f);
    }
    for (int p = 0; p < 60; ++p) putFloat(v1, 16136 + 4 * p, 128.5f / 129.0f);
    write(dir, "chunk", "version-1", v1);

    write(dir, "image", "preset", preset);
    write(dir, "image", "midi", midi);
    write(dir, "bank", "bank", prefixed(0, bank, 0));
    write(dir, "preset", "preset", prefixed(0, preset, 0));
    write(dir, "midi", "midi", prefixed(0, midi, 0));

    Bytes legacyPreset(24 + 4 * 60, 0);
    std::memcpy(legacyPreset.data(), "Legacy", 6);
    for (int k = 0; k < 60; ++k) putFloat(legacyPreset, 24 + 4 * k, 0.25f);
    write(dir, "legacy_preset", "preset", prefixed(0, legacyPreset, 0));
    Bytes legacyBank;
    for (int p = 0; p < 61; ++p) legacyBank.insert(legacyBank.end(), legacyPreset.begin(), legacyPreset.begin() + 24 + 4 * 8);
    write(dir, "legacy_bank", "bank", prefixed(0, legacyBank, 0));
    Bytes legacyMidi(4 * 60, 0);
    for (int p = 0; p < 60; ++p) putFloat(legacyMidi, 4 * p, (p + 0.5f) / 129.0f);
    write(dir, "legacy_midi", "midi", prefixed(0, legacyMidi, 0));

    Bytes image = {'1', '4', 'q', 'V', 0x21};
    image.insert(image.end(), legacyPreset.begin(), legacyPreset.end());
    write(dir, "image", "legacy-preset", image);
    return 0;
}
