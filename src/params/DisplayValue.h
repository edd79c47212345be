// What the editor's four-digit display shows for one item: a number of at most four
// digits with its decimal point and sign, a ratio such as 70:30, or a note fraction.
// Filled by Parameters::displayValue; turned into cell frames by the editor.
#pragma once

#include <cstdint>

namespace params {

// The display item that is not a parameter: the host tempo in BPM.
constexpr int kTempoItem = 61;

struct DisplayValue {
    int32_t number = 0;     // the digits to show, signed; at most four digits
    int32_t point = 0;      // decimal point after cell 1, 2 or 3; 0 = none
    bool isSigned = false;  // cell 1 shows a sign instead of a digit
    int32_t ratioMode = 0;  // 0 plain; 1..3: a ratio with its separator mark after cell 1..3
    int32_t numerator = -1;  // -1: not a fraction
    int32_t denominator = 0;
};

}  // namespace params
