// A WAV reader and writer of our own with the few libsndfile calls that `vantel render`
// makes, for builds where libsndfile is not available (Windows). WAV only: 16-, 24- and
// 32-bit PCM and 32- and 64-bit float, plain or WAVE_FORMAT_EXTENSIBLE, mono or stereo
// or more; other containers are refused with a message saying so. Paths are UTF-8.
#pragma once

#include <cstdint>

typedef int64_t sf_count_t;

enum {
    SF_FORMAT_WAV = 0x010000,
    SF_FORMAT_AIFF = 0x020000,
    SF_FORMAT_WAVEX = 0x130000,
    SF_FORMAT_FLAC = 0x170000,

    SF_FORMAT_PCM_16 = 0x0002,
    SF_FORMAT_PCM_24 = 0x0003,
    SF_FORMAT_PCM_32 = 0x0004,
    SF_FORMAT_FLOAT = 0x0006,
    SF_FORMAT_DOUBLE = 0x0007,

    SF_FORMAT_SUBMASK = 0x0000FFFF,
    SF_FORMAT_TYPEMASK = 0x0FFF0000,
    SF_FORMAT_ENDMASK = 0x30000000,
};

enum { SFM_READ = 0x10, SFM_WRITE = 0x20 };
enum { SFC_SET_CLIPPING = 0x10C0 };
enum { SF_FALSE = 0, SF_TRUE = 1 };

struct SF_INFO {
    sf_count_t frames;
    int samplerate;
    int channels;
    int format;
    int sections;
    int seekable;
};

struct SNDFILE;

SNDFILE* sf_open(const char* path, int mode, SF_INFO* info);
int sf_close(SNDFILE* file);
// The last error of `file`, or of the last failed sf_open when null.
const char* sf_strerror(SNDFILE* file);
int sf_format_check(const SF_INFO* info);
int sf_command(SNDFILE* file, int command, void* data, int size);
sf_count_t sf_readf_double(SNDFILE* file, double* frames, sf_count_t count);
sf_count_t sf_writef_float(SNDFILE* file, const float* frames, sf_count_t count);
sf_count_t sf_writef_double(SNDFILE* file, const double* frames, sf_count_t count);
