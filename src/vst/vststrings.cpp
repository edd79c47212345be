#include "vststrings.h"

#include <cmath>
#include <cstring>

namespace vst {

void copyString(char* dst, const char* src, int32_t maxLen) {
    if (!dst) return;
    if (maxLen < 0) maxLen = 0;
    int32_t i = 0;
    if (src)
        for (; i < maxLen && src[i]; ++i) dst[i] = src[i];
    dst[i] = 0;
}

void appendString(char* dst, const char* src, int32_t maxLen) {
    if (!dst || !src) return;
    int32_t len = 0;
    while (len < maxLen && dst[len]) ++len;
    copyString(dst + len, src, maxLen - len);
}

void float2string(float value, char* text, int32_t maxLen) {
    double v = value;
    if (std::isnan(v)) {
        copyString(text, "NaN", maxLen);
        return;
    }
    int c = 0;
    bool negative = false;
    if (v < 0) {
        negative = true;
        v = -v;
        c = 1;
        if (v > 9999999.0) {
            copyString(text, "Huge!", maxLen);
            return;
        }
    } else if (v > 99999999.0) {
        copyString(text, "Huge!", maxLen);
        return;
    }

    // Integer digits are produced right to left into the tail of a scratch buffer.
    char scratch[32];
    char* s = scratch + 31;
    *s-- = 0;
    *s-- = '.';
    ++c;
    double integral = std::floor(v);
    *s-- = static_cast<char>('0' + static_cast<int>(std::fmod(integral, 10.0)));
    integral /= 10.0;
    ++c;
    while (integral >= 1.0 && c < 8) {
        *s-- = static_cast<char>('0' + static_cast<int>(std::fmod(integral, 10.0)));
        integral /= 10.0;
        ++c;
    }
    if (negative) *s-- = '-';
    copyString(text, s + 1, maxLen);
    if (c >= 8) return;

    s = scratch + 31;
    *s-- = 0;
    double mantissa = std::fmod(v, 1.0) * std::pow(10.0, static_cast<double>(8 - c));
    while (c < 8) {
        if (mantissa <= 0) {
            *s-- = '0';
        } else {
            *s-- = static_cast<char>('0' + static_cast<int>(std::fmod(mantissa, 10.0)));
            mantissa /= 10.0;
        }
        ++c;
    }
    appendString(text, s + 1, maxLen);
}

void dB2string(float value, char* text, int32_t maxLen) {
    if (!(value > 0))
        copyString(text, "-oo", maxLen);
    else
        float2string(static_cast<float>(20.0 * std::log10(static_cast<double>(value))), text, maxLen);
}

void int2string(int32_t value, char* text, int32_t maxLen) {
    if (value >= 100000000) {
        copyString(text, "Huge!", maxLen);
        return;
    }
    char scratch[16];
    char* s = scratch + 15;
    *s = 0;
    // Widen before negating so that the most negative value has a magnitude too.
    long long magnitude = value < 0 ? -static_cast<long long>(value) : value;
    while (magnitude > 0) {
        *--s = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    }
    if (value < 0) *--s = '-';
    copyString(text, s, maxLen);
}

}  // namespace vst
