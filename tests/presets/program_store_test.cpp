// The program store: the naming rule, names as hosts read them, selecting and resetting
// programs, and what selecting tells the host.
#include <gtest/gtest.h>

#include "../../src/presets/FactoryBank.h"
#include "PresetTestSupport.h"

using namespace presettest;

namespace {

class ProgramStore : public ::testing::Test {
protected:
    void SetUp() override { host() = Host{}; }
    TestEffect effect;
};

TEST_F(ProgramStore, NamingRule) {
    char thirty[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234";
    effect.setProgramName(thirty);
    EXPECT_EQ(std::memcmp(effect.programs()[0].name, "ABCDEFGHIJKLMNOPQRSTUVWX", 24), 0);  // no terminator
    ASSERT_FALSE(effect.hooks.shownNames.empty());
    EXPECT_EQ(effect.hooks.shownNames.back(), "ABCDEFGHIJKLMNOPQRSTUVWX");

    // Hosts get 23 characters and a terminator: their buffers hold 24 bytes.
    char text[40];
    std::memset(text, 'z', sizeof text);
    effect.getProgramName(text);
    EXPECT_STREQ(text, "ABCDEFGHIJKLMNOPQRSTUVW");
    EXPECT_EQ(text[24], 'z');

    // A shorter name clears the rest of the field.
    char shortName[] = "Short";
    effect.setProgramName(shortName);
    const char expected[24] = "Short";
    EXPECT_EQ(std::memcmp(effect.programs()[0].name, expected, 24), 0);
    EXPECT_EQ(host().count(audioMasterUpdateDisplay), 0u);  // the host renamed it: no notification
}

TEST_F(ProgramStore, IndexedNames) {
    char text[40];
    EXPECT_TRUE(effect.getProgramNameIndexed(0, 60, text));
    EXPECT_STREQ(text, "Bass Drone");
    EXPECT_TRUE(effect.getProgramNameIndexed(0, 0, text));
    EXPECT_STREQ(text, "Default");
    EXPECT_FALSE(effect.getProgramNameIndexed(0, 61, text));
    EXPECT_FALSE(effect.getProgramNameIndexed(0, -1, text));
    EXPECT_FALSE(effect.getProgramNameIndexed(0, 3, nullptr));
    EXPECT_EQ(effect.getProgram(), 0);
}

TEST_F(ProgramStore, SelectingAProgram) {
    host().calls.clear();
    effect.selectProgram(24);
    EXPECT_EQ(effect.getCurrentProgramIndex(), 24);
    char text[40];
    effect.getProgramName(text);
    EXPECT_STREQ(text, "Ping Pong");
    // Refresh, then an empty edit bracket, in that order.
    std::vector<VstInt32> opcodes;
    for (const HostCall& c : host().calls)
        if (c.opcode == audioMasterUpdateDisplay || c.opcode == audioMasterBeginEdit || c.opcode == audioMasterEndEdit)
            opcodes.push_back(c.opcode);
    EXPECT_EQ(opcodes, (std::vector<VstInt32>{audioMasterUpdateDisplay, audioMasterBeginEdit, audioMasterEndEdit}));
    EXPECT_FALSE(effect.isApplyingProgram());

    // Applying a program neither writes back into the store nor counts as a touch.
    effect.startLearn();
    effect.selectProgram(5);
    EXPECT_EQ(effect.learnTarget(), -1);
}

TEST_F(ProgramStore, OutOfRangeIndicesAreIgnored) {
    effect.selectProgram(7);
    const Bytes before = snapshot(effect);
    for (VstInt32 index : {-1, 61, 1000, INT32_MIN}) {
        effect.selectProgram(index);
        effect.resetProgramToTemplate(index);
    }
    EXPECT_EQ(snapshot(effect), before);
}

TEST_F(ProgramStore, ResetToTemplateAndRename) {
    effect.selectProgram(30);
    effect.resetProgramToTemplate(30);
    EXPECT_EQ(std::memcmp(&effect.programs()[30], &effect.templateProgram(), sizeof(presets::ProgramRecord)), 0);
    host().calls.clear();
    effect.renameCurrentProgram("From The Editor");
    EXPECT_EQ(nameOf(effect.programs()[30]), "From The Editor");
    EXPECT_EQ(host().count(audioMasterUpdateDisplay), 1u);
}

TEST_F(ProgramStore, ParameterChangesLandInTheCurrentProgram) {
    effect.selectProgram(12);
    effect.setParameter(40, 0.125f);
    EXPECT_EQ(effect.programs()[12].values[40], 0.125f);
    EXPECT_EQ(effect.getParameter(40), 0.125f);
    EXPECT_EQ(effect.programs()[11].values[40], static_cast<float>(presets::kFactoryBank[11].values[40]));
}

}  // namespace
