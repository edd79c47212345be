// The 60 parameters as a host lists them: names, labels, texts of a fresh instance,
// stepping hints, and program names.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "TestHost.h"

using testhost::TestHost;

namespace {

struct Expected {
    const char* name;
    const char* label;
    const char* text;  // of a fresh instance at 44100 Hz and 120 BPM
};

const Expected kExpected[60] = {
    {"Input", "dB", "0.000000"},      {"Output", "dB", "0.000000"},   {"Mix", "%", "D:50<>50:W"},
    {"FbGainL", "dB", "-oo"},         {"FbGainR", "dB", "-oo"},       {"FbPanL", "%", "L:100<>0:R"},
    {"FbPanR", "%", "L:0<>100:R"},    {"FbInvL", "", "off"},          {"FbInvR", "", "off"},
    {"LFOWave", "", "sin"},           {"LFORate", "Hz", "0.500000"},  {"LROffset", "deg", "L:0<>0:R"},
    {"ModSrc", "%", "L:50<>50:E"},    {"CutfMod", "%", "0"},          {"FltType", "", "LPF"},
    {"Cutoff", "Hz", "16000"},        {"Reso", "", "0.000000"},       {"VcoMan", "x", "1.000000"},
    {"VcoMod", "%", "0"},             {"DlyInvL", "", "off"},         {"DlyInvR", "", "off"},
    {"Drive", "dB", "0.000000"},      {"EnvSpeed", "ms", "550"},      {"FltMode", "", "in"},
    {"DlyModeL", "", "note"},         {"DlyModeR", "", "note"},       {"DlyNumL", "", "1"},
    {"DlyNumR", "", "1"},             {"DlyDenL", "", "4"},           {"DlyDenR", "", "4"},
    {"RangeL", "ms", "5000"},         {"RangeR", "ms", "5000"},       {"LfoMode", "", "note"},
    {"LfoNum", "", "1"},              {"LfoDen", "", "1"},            {"DlyTimeL", "ms", "500.000000"},
    {"DlyTimeR", "ms", "500.000000"}, {"RvbMode", "", "fx"},          {"RvbType", "", "spring"},
    {"RvbDamp", "%", "0.000000"},     {"RvbAmt", "%", "50.00000"},    {"Bypass", "", "off"},
    {"FltOn", "", "off"},             {"n/a", "", "n/a"},             {"n/a", "", "n/a"},
    {"VcoOn", "", "on"},              {"RvbOn", "", "off"},           {"ModSens", "%", "50"},
    {"DlyPanL", "%", "L:100<>0:R"},   {"DlyPanR", "%", "L:0<>100:R"}, {"DlyGateL", "dB", "-oo"},
    {"DlyGateR", "dB", "-oo"},        {"Ducking", "%", "0.000000"},   {"ResoMod", "", "0"},
    {"PreNumL", "", "0"},             {"PreNumR", "", "0"},           {"PreDenL", "", "2"},
    {"PreDenR", "", "2"},             {"MuteInL", "", "off"},         {"MuteInR", "", "off"},
};

class Parameters : public ::testing::Test {
protected:
    TestHost host;
    std::unique_ptr<testhost::Plugin> plugin = host.load(VANTEL_PLUGIN_PATH);
};

TEST_F(Parameters, NamesLabelsAndTextsOfAFreshInstance) {
    ASSERT_EQ(plugin->numParams(), 60);
    for (int i = 0; i < 60; ++i) {
        EXPECT_EQ(plugin->paramName(i), kExpected[i].name) << i;
        EXPECT_EQ(plugin->paramLabel(i), kExpected[i].label) << i;
        EXPECT_EQ(plugin->paramDisplay(i), kExpected[i].text) << i;
    }
    // The same after a resume at the host's tempo.
    plugin->activate(44100.0f, 512);
    for (int i = 0; i < 60; ++i) EXPECT_EQ(plugin->paramDisplay(i), kExpected[i].text) << i;
}

TEST_F(Parameters, DefaultValuesAreThoseOfTheDefaultProgram) {
    const float expected[60] = {0.5f, 0.5f, 0.5f, 0, 0, 0, 1, 0.25f, 0.25f, 0.1f, 0.5f, 0.5f, 0.5f, 0.5f, 0.166667f,
                                1, 0, 0.5f, 0.5f, 0.25f, 0.25f, 0, 0.5f, 0.166667f, 1, 1, 0.1f, 0.1f, 0.269231f,
                                0.269231f, 0.833334f, 0.833334f, 0.5f, 0.1f, 0, 0.4f, 0.4f, 0, 0, 0, 0.5f, 0, 0, 0,
                                0, 1, 0, 0.5f, 0, 1, 0, 0, 1, 0.5f, 0, 0, 0.115385f, 0.115385f, 0, 0};
    for (int i = 0; i < 60; ++i) EXPECT_EQ(plugin->getParameter(i), expected[i]) << i;
    EXPECT_EQ(plugin->programName(), "Default");
}

TEST_F(Parameters, SteppingHints) {
    auto hint = [&](int index, VstInt32 hostFlags, VstParameterProperties& p) {
        std::memset(&p, 0, sizeof p);
        p.flags = hostFlags;
        p.largeStepInteger = 77;
        return plugin->dispatch(effGetParameterProperties, index, 0, &p);
    };
    VstParameterProperties p;
    for (int index : {7, 8, 19, 20, 24, 25, 37, 38, 41, 42, 43, 44, 45, 46, 58, 59}) {
        ASSERT_EQ(hint(index, 0x40, p), 1) << index;
        EXPECT_EQ(p.flags, 0x40 | 0x1 | 0x2 | 0x8) << index;  // the host's bits stay
        EXPECT_EQ(p.minInteger, 0);
        EXPECT_EQ(p.maxInteger, 1);
        EXPECT_EQ(p.stepInteger, 1);
        EXPECT_EQ(p.largeStepInteger, 1);
    }
    struct Row {
        int index, max;
    } rows[] = {{9, 5},  {26, 5},  {27, 5},  {33, 5},  {14, 3},  {23, 3},  {30, 3},  {31, 3},
                {32, 3}, {54, 6},  {55, 6},  {28, 13}, {29, 13}, {34, 13}, {56, 13}, {57, 13}};
    for (const Row& row : rows) {
        ASSERT_EQ(hint(row.index, 0x40, p), 1) << row.index;
        EXPECT_EQ(p.flags, 0) << row.index;
        EXPECT_EQ(p.minInteger, 1);
        EXPECT_EQ(p.maxInteger, row.max) << row.index;
        EXPECT_EQ(p.stepInteger, 1);
        EXPECT_EQ(p.largeStepInteger, 77);  // not ours to set
    }
    ASSERT_EQ(hint(22, 0, p), 1);
    EXPECT_EQ(p.flags, 0x4);
    EXPECT_EQ(p.stepFloat, 0.0011111111f);
    EXPECT_EQ(p.smallStepFloat, 0.0011111111f);
    EXPECT_EQ(p.largeStepFloat, 0.011111111f);
    ASSERT_EQ(hint(35, 0, p), 1);
    EXPECT_EQ(p.flags, 0x4);
    EXPECT_EQ(p.stepFloat, 0.0001f);
    EXPECT_EQ(p.largeStepFloat, 0.1f);
    for (int index : {0, 2, 10, 15, 16, 40, 47, 52, 53, 60, -1, 1 << 30}) {
        EXPECT_EQ(hint(index, 0x40, p), 0) << index;
        EXPECT_EQ(p.flags, 0x40) << index;
        EXPECT_EQ(p.largeStepInteger, 77);
    }
}

TEST_F(Parameters, AnUnclearedPropertiesRecordGetsTheNameWheneverTheAnswerIsYes) {
    // As a scanner that never clears the record passes it: every byte 0xAA.
    int answered = 0;
    for (int index = 0; index < 60; ++index) {
        VstParameterProperties p;
        std::memset(&p, 0xAA, sizeof p);
        VstParameterProperties untouched = p;
        if (plugin->dispatch(effGetParameterProperties, index, 0, &p) == 0) {
            EXPECT_EQ(std::memcmp(&p, &untouched, sizeof p), 0) << index;
            continue;
        }
        ++answered;
        const std::string name = kExpected[index].name;
        EXPECT_EQ(std::string(p.label), name) << index;
        EXPECT_EQ(std::string(p.shortLabel), name.substr(0, 7)) << index;
        // What the names do not cover stays as the host left it.
        EXPECT_EQ(p.displayIndex, untouched.displayIndex);
        EXPECT_EQ(std::memcmp(p.categoryLabel, untouched.categoryLabel, sizeof p.categoryLabel), 0);
    }
    EXPECT_EQ(answered, 35);  // 16 switches, 16 stepped selectors, EnvSpeed and the two times
}

TEST_F(Parameters, ProgramNamesFitTheHostsBuffer) {
    auto names = plugin->programNames();
    ASSERT_EQ(names.size(), 61u);
    EXPECT_EQ(names[0], "Default");
    EXPECT_EQ(names[34], "Meta Flanger");
    EXPECT_EQ(names[60], "Bass Drone");
    EXPECT_FALSE(plugin->programNameIndexed(61).has_value());
    EXPECT_FALSE(plugin->programNameIndexed(-1).has_value());

    plugin->setProgramName("A name of thirty characters!!!");
    EXPECT_EQ(plugin->programName(), "A name of thirty charac");  // 23 characters
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    plugin->dispatch(effGetProgramName, 0, 0, buffer);
    EXPECT_EQ(buffer[23], 0);
    plugin->setProgramName("Short");
    EXPECT_EQ(plugin->programName(), "Short");
}

TEST_F(Parameters, MovingParametersThroughTheRecord) {
    plugin->setParameter(2, 1.0f);
    EXPECT_EQ(plugin->paramDisplay(2), "D:0<>100:W");
    plugin->setParameter(15, 0.0f);
    EXPECT_EQ(plugin->paramDisplay(15), "50");
    plugin->setParameter(24, 0.0f);  // left side to time: 500 ms = half of the 1000 ms range
    EXPECT_EQ(plugin->paramDisplay(30), "1000");
    EXPECT_FLOAT_EQ(plugin->getParameter(30), 0.5f);
    EXPECT_FLOAT_EQ(plugin->getParameter(35), 0.5f);
    EXPECT_EQ(plugin->paramDisplay(35), "500.000000");
}

}  // namespace
