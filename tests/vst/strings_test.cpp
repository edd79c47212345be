#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "vststrings.h"

namespace {

std::string f2s(float v, int limit = 12) {
    char text[32];
    std::memset(text, 'x', sizeof text);
    vst::float2string(v, text, limit);
    return text;
}
std::string db(float v) {
    char text[32];
    vst::dB2string(v, text, 12);
    return text;
}
std::string i2s(int v) {
    char text[32];
    std::memset(text, 'x', sizeof text);
    vst::int2string(v, text, 12);
    return text;
}

TEST(Float2String, EightCharactersTruncatedNotRounded) {
    struct Case {
        float value;
        const char* text;
    } cases[] = {
        {0.5f, "0.500000"},     {12.5f, "12.50000"},   {-24.0f, "-24.0000"}, {16000.0f, "16000.00"},
        {0.01f, "0.009999"},    {0.0f, "0.000000"},    {1.0f, "1.000000"},   {15.0f, "15.00000"},
        {50.0f, "50.00000"},    {9999999.0f, "9999999."}, {-0.5f, "-0.50000"},
        {1234567.0f, "1234567."}, {-1234567.0f, "-234567."},
    };
    for (const Case& c : cases) EXPECT_EQ(f2s(c.value), c.text) << c.value;
}

TEST(Float2String, HugeValuesAndNaN) {
    EXPECT_EQ(f2s(1.0e9f), "Huge!");
    EXPECT_EQ(f2s(99999999.0f), "Huge!");  // the nearest float is 1e8
    EXPECT_EQ(f2s(-1.0e8f), "Huge!");
    EXPECT_EQ(f2s(std::numeric_limits<float>::infinity()), "Huge!");
    EXPECT_EQ(f2s(-std::numeric_limits<float>::infinity()), "Huge!");
    EXPECT_EQ(f2s(std::nanf("")), "NaN");
}

TEST(Float2String, RespectsTheLengthLimit) {
    EXPECT_EQ(f2s(12.5f, 4), "12.5");
    EXPECT_EQ(f2s(-24.0f, 2), "-2");
}

TEST(DB2String, LogOfTheGainAndMinusInfinityAtOrBelowZero) {
    EXPECT_EQ(db(0.0f), "-oo");
    EXPECT_EQ(db(-1.0f), "-oo");
    EXPECT_EQ(db(1.0f), "0.000000");
    EXPECT_EQ(db(4.0f), "12.04119");
    EXPECT_EQ(db(16.0f), "24.08239");
    EXPECT_EQ(db(0.5f), "-6.02059");
}

TEST(Int2String, DigitsWithoutLeadingZeros) {
    EXPECT_EQ(i2s(0), "");
    EXPECT_EQ(i2s(50), "50");
    EXPECT_EQ(i2s(16000), "16000");
    EXPECT_EQ(i2s(-5), "-5");
    EXPECT_EQ(i2s(99999999), "99999999");
    EXPECT_EQ(i2s(100000000), "Huge!");
    EXPECT_EQ(i2s(INT32_MIN), "-2147483648");
}

}  // namespace
