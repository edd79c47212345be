// Display texts as exact strings, at 44100 Hz and 120 BPM unless a case says otherwise.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Engine.h"
#include "Parameters.h"

using namespace params;

namespace {

class Display : public ::testing::Test {
protected:
    engine::Engine engine;
    Parameters p{engine};

    std::string text(int index, float value) {
        p.apply(index, value);
        return shown(index);
    }
    std::string shown(int index) {
        char buffer[64];
        std::memset(buffer, '#', sizeof buffer);
        buffer[63] = 0;
        p.display(index, buffer);
        EXPECT_LE(std::strlen(buffer), 14u) << index;
        return buffer;
    }
};

struct Case {
    int index;
    float value;
    const char* text;
};

TEST_F(Display, EachFamilyWithItsEdges) {
    const Case cases[] = {
        {kInput, 0.5f, "0.000000"},      {kInput, 1.0f, "12.04119"},     {kOutput, 0.0f, "-oo"},
        {kMix, 0.5f, "D:50<>50:W"},      {kMix, 1.0f, "D:0<>100:W"},     {kMix, 0.999f, "D:0<>100:W"},
        {kMix, 0.0f, "D:100<>0:W"},      {kFbGainL, 0.0f, "-oo"},        {kFbGainR, 0.5f, "-6.02059"},
        {kFbPanL, 0.0f, "L:100<>0:R"},   {kFbPanR, 1.0f, "L:0<>100:R"},  {kDlyPanL, 0.25f, "L:75<>25:R"},
        {kFbInvL, 0.25f, "off"},         {kFbInvR, 0.5f, "on"},          {kDlyInvL, 0.75f, "on"},
        {kLfoWave, 0.1f, "sin"},         {kLfoWave, 0.3f, "sqr"},        {kLfoWave, 0.5f, "tri"},
        {kLfoWave, 0.7f, "saw"},         {kLfoWave, 1.0f, "rnd"},        {kLrOffset, 0.0f, "L:+180<>180-:R"},
        {kLrOffset, 1.0f, "L:-180<>180+:R"}, {kLrOffset, 0.5f, "L:0<>0:R"}, {kLrOffset, 0.75f, "L:-90<>90+:R"},
        {kModSrc, 0.5f, "L:50<>50:E"},   {kCutfMod, 0.0f, "-100"},       {kCutfMod, 0.499f, "0"},
        {kCutfMod, 0.25f, "-50"},        {kCutfMod, 1.0f, "100"},        {kVcoMod, 0.5f, "0"},
        {kFltType, 0.166667f, "LPF"},    {kFltType, 0.5f, "BPF"},        {kFltType, 1.0f, "HPF"},
        {kCutoff, 0.0f, "50"},           {kCutoff, 1.0f, "16000"},       {kReso, 0.0f, "0.000000"},
        {kReso, 1.0f, "10.00000"},       {kVcoMan, 0.5f, "1.000000"},    {kVcoMan, 0.0f, "0.500000"},
        {kVcoMan, 1.0f, "2.000000"},     {kDrive, 0.0f, "0.000000"},     {kDrive, 1.0f, "24.08239"},
        {kEnvSpeed, 0.5f, "550"},        {kEnvSpeed, 1.0f, "1000"},      {kEnvSpeed, 0.0f, "100"},
        {kFltMode, 0.166667f, "in"},     {kFltMode, 0.5f, "fb"},         {kFltMode, 0.9f, "fx"},
        {kDlyNumL, 0.1f, "1"},           {kDlyNumR, 0.9f, "9"},          {kDlyDenL, 0.269231f, "4"},
        {kDlyDenR, 1.0f, "96"},          {kPreDenL, 0.115385f, "2"},     {kLfoDen, 0.0f, "1"},
        {kRangeL, 0.833334f, "5000"},    {kRangeR, 0.5f, "1000"},        {kRangeL, 0.1f, "100"},
        {kLfoMode, 0.0f, "freq"},        {kLfoMode, 0.5f, "note"},       {kLfoMode, 0.9f, "note"},
        {kLfoNum, 0.1f, "1"},            {kLfoNum, 0.9f, "8"},           {kRvbMode, 0.0f, "fx"},
        {kRvbMode, 1.0f, "out"},         {kRvbType, 0.0f, "spring"},     {kRvbType, 1.0f, "plate"},
        {kRvbDamp, 0.0f, "0.000000"},    {kRvbAmt, 0.5f, "50.00000"},    {kUnused43, 0.0f, "n/a"},
        {kUnused44, 0.5f, "n/a"},        {kModSens, 0.5f, "50"},         {kModSens, 1.0f, "100"},
        {kDlyGateL, 0.0f, "-oo"},        {kDlyGateR, 1.0f, "0.000000"},  {kDucking, 0.0f, "-24.0000"},
        {kDucking, 1.0f, "0.000000"},    {kResoMod, 0.5f, "0"},          {kResoMod, 0.0f, "-100"},
        {kPreNumL, 0.0f, "0"},           {kPreNumR, 1.0f, "9"},          {kMuteInL, 0.5f, "off"},
        {kMuteInR, 0.51f, "muted"},      {kBypass, 0.0f, "off"},         {kDlyModeL, 0.0f, "time"},
        {kDlyModeR, 1.0f, "note"},
    };
    for (const Case& c : cases) EXPECT_EQ(text(c.index, c.value), c.text) << "index " << c.index << " x " << c.value;
}

TEST_F(Display, LfoRateShowsTheRateInForceFreeOrSynchronised) {
    p.apply(kLfoMode, 0.0f);
    EXPECT_EQ(text(kLfoRate, 0.0f), "0.009999");  // 16^0 - 1 = 0 is raised to 0.01 Hz
    EXPECT_EQ(text(kLfoRate, 0.5f), "3.000000");
    EXPECT_EQ(text(kLfoRate, 1.0f), "15.00000");
    // Note mode: one cycle per whole note at 120 BPM is 0.5 Hz.
    p.apply(kLfoNum, 0.1f);
    p.apply(kLfoDen, 0.0f);
    p.apply(kLfoMode, 0.5f);
    EXPECT_EQ(shown(kLfoRate), "0.500000");
}

TEST_F(Display, DelayTimeShowsMillisecondsInEitherMode) {
    p.apply(kDlyModeL, 0.0f);
    p.apply(kRangeL, 0.5f);
    EXPECT_EQ(text(kDlyTimeL, 0.25f), "250.000000");
    p.apply(kDlyNumL, 0.1f);
    p.apply(kDlyDenL, 0.269231f);
    p.apply(kDlyModeL, 1.0f);
    EXPECT_EQ(shown(kDlyTimeL), "500.000000");
}

TEST_F(Display, CutoffFollowsTheSampleRateCeiling) {
    engine.adoptSampleRate(22050.0);
    EXPECT_EQ(text(kCutoff, 1.0f), "11025");
}

TEST_F(Display, OutOfRangeValuesStayShortAndDefined) {
    const float extremes[] = {-1.0e30f, -3.0f, -0.5f, 1.5f, 7.0f, 1.0e30f, 3.0e38f};
    for (int index = 0; index < kNumParameters; ++index)
        for (float x : extremes) {
            text(index, x);  // the length check is inside
        }
    EXPECT_EQ(text(kMix, 1.0e30f), "D:0<>100:W");
    EXPECT_EQ(text(kMix, -1.0e30f), "D:100<>0:W");
    EXPECT_EQ(text(kLrOffset, 1.0e30f), "L:-999<>999+:R");
}

TEST_F(Display, IndicesOutsideTheTableLeaveTheTextAlone) {
    char buffer[16] = "untouched";
    p.display(60, buffer);
    p.display(-1, buffer);
    p.display(1000, buffer);
    EXPECT_STREQ(buffer, "untouched");
}

TEST(ParameterTable, NamesAndLabels) {
    char text[32];
    ASSERT_TRUE(parameterName(kInput, text));
    EXPECT_STREQ(text, "Input");
    ASSERT_TRUE(parameterName(kUnused43, text));
    EXPECT_STREQ(text, "n/a");
    ASSERT_TRUE(parameterName(kUnused44, text));
    EXPECT_STREQ(text, "n/a");
    ASSERT_TRUE(parameterName(65, text));
    EXPECT_STREQ(text, "CC# FbPanL");
    ASSERT_TRUE(parameterName(119, text));
    EXPECT_STREQ(text, "CC# MuteInR");
    std::strcpy(text, "keep");
    EXPECT_FALSE(parameterName(120, text));
    EXPECT_FALSE(parameterName(-1, text));
    EXPECT_STREQ(text, "keep");

    parameterLabel(kModSens, text);
    EXPECT_STREQ(text, "%");
    parameterLabel(kLrOffset, text);
    EXPECT_STREQ(text, "deg");
    parameterLabel(kVcoMan, text);
    EXPECT_STREQ(text, "x");
    parameterLabel(kResoMod, text);
    EXPECT_STREQ(text, "");
    parameterLabel(70, text);
    EXPECT_STREQ(text, "");
    for (const ParameterInfo& info : kParameterTable) EXPECT_LE(std::strlen(info.name), 8u) << info.name;
}

}  // namespace
