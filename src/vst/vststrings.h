// The classic text helpers of VST effects. Every routine writes at most maxLen characters
// and then a terminating zero, so the buffer must hold maxLen + 1 bytes.
#pragma once

#include <cstdint>

namespace vst {

// Copies at most maxLen characters of src and terminates dst.
void copyString(char* dst, const char* src, int32_t maxLen);
// Appends src to dst so that dst holds at most maxLen characters.
void appendString(char* dst, const char* src, int32_t maxLen);

// Eight characters in all, sign and point included, truncated rather than rounded:
// 0.5 -> "0.500000", 12.5 -> "12.50000", -24 -> "-24.0000", 0.01f -> "0.009999".
void float2string(float value, char* text, int32_t maxLen);
// "-oo" for values <= 0, otherwise float2string of 20 * log10(value).
void dB2string(float value, char* text, int32_t maxLen);
// Decimal digits without leading zeros; 0 gives an empty text; "Huge!" from 100000000 up.
void int2string(int32_t value, char* text, int32_t maxLen);

}  // namespace vst
