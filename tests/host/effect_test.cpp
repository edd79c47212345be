// The effect object in-process: construction, routing, resume, the link between the
// sides and the rewrites that reach the current program.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "../../src/editor/EditorObject.h"
#include "../../src/host/QEL.h"
#include "../../src/presets/settings/PresetCommands.h"
#include "FakeHost.h"
#include "ParameterTable.h"
#include "Quantise.h"

using namespace params;

namespace {

class Effect : public ::testing::Test {
protected:
    void SetUp() override {
        fakehost::state().reset();
        effect = std::make_unique<QEL>(fakehost::callback);
        fakehost::state().calls.clear();
    }
    fakehost::State& host() { return fakehost::state(); }
    std::unique_ptr<QEL> effect;
};

TEST(EffectConstruction, MakesNoHostCallWhileBeingBuilt) {
    fakehost::state().reset();
    QEL effect(fakehost::callback);
    for (const auto& call : fakehost::state().calls) EXPECT_EQ(call.opcode, audioMasterVersion);
    EXPECT_EQ(effect.engineSampleRate(), 44100.0);
    const ChannelRouting r = effect.routing();
    EXPECT_EQ(r.inLeft | r.inRight | r.keyLeft | r.keyRight | r.outLeft | r.outRight, 0);
    EXPECT_FALSE(effect.routingFromHost());
    EXPECT_EQ(effect.getCurrentProgramIndex(), 0);
    for (int i = 0; i < kNumParameters; ++i) {
        EXPECT_FALSE(effect.skipOnSave(i));
        EXPECT_FALSE(effect.skipOnLegacyLoad(i));
    }
}

TEST(EffectConstruction, RefusedWhenTheHostIsTooOld) {
    fakehost::state().reset();
    fakehost::state().version = 0;
    EXPECT_EQ(createEffectInstance(fakehost::callback), nullptr);
    EXPECT_EQ(createEffectInstance(nullptr), nullptr);
}

TEST_F(Effect, RoutingTableRowsAndRefusals) {
    struct Row {
        VstInt32 in, out;
        ChannelRouting r;
    } rows[] = {
        {1, 1, {0, 0, 0, 0, 0, 0}}, {1, 2, {0, 0, 0, 0, 0, 1}}, {2, 1, {0, 0, 1, 1, 0, 0}},
        {2, 2, {0, 1, 0, 1, 0, 1}}, {3, 2, {0, 1, 2, 2, 0, 1}}, {4, 2, {0, 1, 2, 3, 0, 1}},
    };
    for (const Row& row : rows) {
        VstSpeakerArrangement in{}, out{};
        in.numChannels = row.in;
        out.numChannels = row.out;
        ASSERT_TRUE(effect->setSpeakerArrangement(&in, &out)) << row.in << "/" << row.out;
        const ChannelRouting r = effect->routing();
        EXPECT_EQ(r.inLeft, row.r.inLeft);
        EXPECT_EQ(r.inRight, row.r.inRight);
        EXPECT_EQ(r.keyLeft, row.r.keyLeft);
        EXPECT_EQ(r.keyRight, row.r.keyRight);
        EXPECT_EQ(r.outLeft, row.r.outLeft);
        EXPECT_EQ(r.outRight, row.r.outRight);
    }
    const ChannelRouting before = effect->routing();
    for (auto [in, out] : {std::pair{3, 1}, {4, 1}, {0, 2}, {5, 2}, {2, 3}, {-1, 2}}) {
        VstSpeakerArrangement a{}, b{};
        a.numChannels = in;
        b.numChannels = out;
        EXPECT_FALSE(effect->setSpeakerArrangement(&a, &b)) << in << "/" << out;
    }
    EXPECT_FALSE(effect->setSpeakerArrangement(nullptr, nullptr));
    EXPECT_EQ(effect->routing().keyRight, before.keyRight);
}

TEST_F(Effect, ResumeRoutesFromPinsUntilTheHostSetsAnArrangement) {
    host().inputPins = {true, true, false, false};  // a stereo track: Ardour
    effect->resume();
    EXPECT_EQ(effect->routing().inRight, 1);
    EXPECT_EQ(effect->routing().keyLeft, 0);  // the key is the main input itself
    EXPECT_EQ(effect->routing().keyRight, 1);

    host().inputPins = {true, true, true, true};
    effect->resume();
    EXPECT_EQ(effect->routing().keyLeft, 2);
    EXPECT_EQ(effect->routing().keyRight, 3);

    host().inputPins = {false, true, true, true};  // pin 0 not connected: routing unchanged
    effect->resume();
    EXPECT_EQ(effect->routing().keyRight, 3);

    VstSpeakerArrangement in{}, out{};
    in.numChannels = 2;
    out.numChannels = 1;
    ASSERT_TRUE(effect->setSpeakerArrangement(&in, &out));
    host().inputPins = {true, true, true, true};
    host().calls.clear();
    effect->resume();
    EXPECT_EQ(effect->routing().keyLeft, 1);
    EXPECT_EQ(host().count(audioMasterPinConnected), 0u);  // frozen
}

TEST_F(Effect, ResumeAsksTheHostInOrderWithTheRightArguments) {
    effect->resume();
    const auto& calls = host().calls;
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[0].opcode, audioMasterWantMidi);
    EXPECT_EQ(calls[0].value, 1);
    EXPECT_EQ(calls[1].opcode, audioMasterGetTime);
    EXPECT_EQ(calls[1].value, kVstTempoValid);
    EXPECT_EQ(calls[2].opcode, audioMasterPinConnected);
    EXPECT_EQ(calls[2].index, 0);
    EXPECT_EQ(calls[2].value, 0);
    EXPECT_EQ(calls.back().opcode, audioMasterGetOutputLatency);
    size_t inputs = 0, outputs = 0;
    for (const auto& c : calls)
        if (c.opcode == audioMasterPinConnected) (c.value ? outputs : inputs)++;
    EXPECT_EQ(inputs, 4u);
    EXPECT_EQ(outputs, 2u);
}

TEST_F(Effect, ResumeFallbacksForTempoRateAndLatency) {
    host().time.tempo = 500.0;
    effect->resume();
    EXPECT_DOUBLE_EQ(effect->hostTempo(), 400.0);
    EXPECT_EQ(effect->meterWindow(), 1024);  // the host said 0

    host().timeAvailable = false;
    effect->setSampleRate(1000.0f);
    host().outputLatency = 512;
    effect->resume();
    EXPECT_DOUBLE_EQ(effect->hostTempo(), 400.0);
    EXPECT_EQ(effect->engineSampleRate(), 44100.0);
    EXPECT_EQ(effect->meterWindow(), 512);

    effect->setSampleRate(std::nanf(""));
    host().outputLatency = 50000;
    effect->resume();
    EXPECT_EQ(effect->engineSampleRate(), 44100.0);
    EXPECT_EQ(effect->meterWindow(), 1024);

    effect->setSampleRate(48000.0f);
    effect->resume();
    EXPECT_EQ(effect->engineSampleRate(), 48000.0);
}

TEST_F(Effect, BlocksAskForTempoThenPositionAndIgnoreImplausibleTempos) {
    float buffer[4][16] = {};
    float* in[4] = {buffer[0], buffer[1], buffer[2], buffer[3]};
    float out[2][16];
    float* outs[2] = {out[0], out[1]};
    host().time.tempo = 500.0;
    effect->processReplacing(in, outs, 0);
    ASSERT_EQ(host().calls.size(), 2u);
    EXPECT_EQ(host().calls[0].value, kVstTempoValid);
    EXPECT_EQ(host().calls[1].value, kVstPpqPosValid);
    EXPECT_DOUBLE_EQ(effect->hostTempo(), 120.0);
    EXPECT_TRUE(effect->hostTimeFlag());
    host().time.tempo = 90.0;
    effect->processReplacing(in, outs, 16);
    EXPECT_DOUBLE_EQ(effect->hostTempo(), 90.0);
    host().timeAvailable = false;
    effect->processReplacing(in, outs, 16);
    EXPECT_FALSE(effect->hostTimeFlag());
    EXPECT_DOUBLE_EQ(effect->hostTempo(), 90.0);
}

TEST_F(Effect, LoadingAMirroredProgramTurnsTheLinkOn) {
    EditorObject* editor = effect->editorObject();
    ASSERT_NE(editor, nullptr);
    effect->selectProgram(0);  // "Default": both sides alike, pans mirrored
    EXPECT_TRUE(effect->linkCheck());
    EXPECT_TRUE(editor->isLinked());

    // One differing pair is enough to leave the link off.
    presets::ProgramRecord& program = effect->programs()[5];
    program = effect->programs()[0];
    program.values[kFbPanR] = 0.995f;  // mirrored within 0.01 still passes
    effect->selectProgram(5);
    EXPECT_TRUE(editor->isLinked());
    program.values[kDlyGateR] = 0.05f;
    effect->selectProgram(5);
    EXPECT_FALSE(editor->isLinked());
    EXPECT_FALSE(effect->linkCheck());
}

TEST_F(Effect, LinkFollowCopiesTimingWithEditBrackets) {
    effect->setParameter(kDlyModeR, 0.25f);  // right side to time mode
    effect->setParameter(kRangeR, centreOf(1, 3));
    effect->setParameter(kDlyTimeR, 0.3f);
    host().calls.clear();
    effect->linkFollow(true);  // right to left
    EXPECT_FLOAT_EQ(effect->getParameter(kDlyModeL), 0.25f);
    EXPECT_FLOAT_EQ(effect->getParameter(kRangeL), centreOf(1, 3));
    EXPECT_FLOAT_EQ(effect->getParameter(kDlyTimeL), 0.3f);
    EXPECT_NEAR(effect->parameters().delayTimeMs(0), 300.0, 1e-4);
    // Each copied parameter: begin edit, automate with the value in opt, end edit.
    std::vector<VstInt32> opcodes;
    for (const auto& c : host().calls)
        if (c.opcode == audioMasterBeginEdit || c.opcode == audioMasterEndEdit || c.opcode == audioMasterAutomate)
            opcodes.push_back(c.opcode);
    ASSERT_GE(opcodes.size(), 3u);
    EXPECT_EQ(opcodes.size() % 3, 0u);
    for (size_t i = 0; i + 2 < opcodes.size(); i += 3) {
        EXPECT_EQ(opcodes[i], audioMasterBeginEdit);
        EXPECT_EQ(opcodes[i + 1], audioMasterAutomate);
        EXPECT_EQ(opcodes[i + 2], audioMasterEndEdit);
    }
}

TEST_F(Effect, RewrittenRangeAndTimeReachTheCurrentProgram) {
    // Default: left side in note mode at 1/4 = 500 ms. Going to time mode rewrites Range
    // and DlyTime; a saved state must play the same time.
    effect->setParameter(kDlyModeL, 0.0f);
    const presets::ProgramRecord& program = effect->programs()[0];
    EXPECT_FLOAT_EQ(program.values[kRangeL], 0.5f);
    EXPECT_FLOAT_EQ(program.values[kDlyTimeL], 0.5f);
    EXPECT_FLOAT_EQ(effect->getParameter(kDlyTimeL), 0.5f);
    effect->setParameter(kRangeL, centreOf(0, 3));
    EXPECT_FLOAT_EQ(program.values[kDlyTimeL], 1.0f);
}

TEST_F(Effect, NonFiniteValuesAreIgnoredCompletely) {
    const float before = effect->getParameter(kMix);
    effect->setParameter(kMix, std::nanf(""));
    effect->setParameter(kMix, INFINITY);
    effect->setParameter(kRvbType, -INFINITY);
    EXPECT_EQ(effect->getParameter(kMix), before);
    EXPECT_EQ(effect->programs()[0].values[kMix], before);
}

TEST_F(Effect, ParameterIndicesBeyondTheTable) {
    EXPECT_EQ(effect->getParameter(43), effect->programs()[0].values[43]);
    EXPECT_NEAR(effect->getParameter(60), 128.5f / 129.0f, 1e-7);
    EXPECT_EQ(effect->getParameter(120), 0.0f);
    EXPECT_EQ(effect->getParameter(-5), 0.0f);
    effect->setParameter(-5, 0.5f);
    effect->setParameter(1 << 30, 0.5f);
}

TEST_F(Effect, TempoControlOfTheEditor) {
    effect->setTempoPosition(1.0);
    EXPECT_DOUBLE_EQ(effect->hostTempo(), 400.0);
    EXPECT_DOUBLE_EQ(effect->getTempoPosition(), 1.0);
    EXPECT_DOUBLE_EQ(effect->editorObject()->shownTempo(), 400.0);
}

}  // namespace


namespace {

// POSIX systems keep the settings in the folder XDG_CONFIG_HOME names; Windows keeps them
// in the registry and ignores the variable.
void setEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    value.empty() ? ::unsetenv(name) : ::setenv(name, value.c_str(), 1);
#endif
}

// The editor object carries the user's stored defaults into every new instance.
TEST(EffectStartUp, AStoredDefaultPresetStartsTheNextInstance) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("vantel-startup-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    const char* previous = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = previous ? previous : "";
    setEnvironment("XDG_CONFIG_HOME", folder.string());
    fakehost::state().reset();
    {
        QEL first(fakehost::callback);
        first.selectProgram(24);  // "Ping Pong"
        ASSERT_NE(first.editorObject()->commands(), nullptr);
        ASSERT_TRUE(first.editorObject()->commands()->storeDefaultPreset());
    }
    {
        QEL second(fakehost::callback);
        char name[32];
        second.getProgramName(name);
        EXPECT_STREQ(name, "Ping Pong");
        EXPECT_EQ(second.getCurrentProgramIndex(), 0);
        EXPECT_FLOAT_EQ(second.getParameter(kFbPanL), second.programs()[24].values[kFbPanL]);
        ASSERT_TRUE(second.editorObject()->commands()->deleteDefaultPreset());
    }
    {
        QEL third(fakehost::callback);
        char name[32];
        third.getProgramName(name);
        EXPECT_STREQ(name, "Default");
    }
    if (previous)
        setEnvironment("XDG_CONFIG_HOME", saved);
    else
        setEnvironment("XDG_CONFIG_HOME", "");
    std::filesystem::remove_all(folder);
}

}  // namespace

namespace {

TEST_F(Effect, AMirroredProgramLinksWhateverTheSidesHeldBefore) {
    // Both sides in time mode with different times, then "Default" (note mode, mirrored):
    // the note-mode sides do not take DlyTime, yet the loaded program is what counts.
    effect->selectProgram(1);
    effect->setParameter(kDlyModeL, 0.25f);
    effect->setParameter(kDlyModeR, 0.25f);
    effect->setParameter(kDlyTimeL, 1.0f);
    effect->setParameter(kDlyTimeR, 0.1f);
    effect->selectProgram(0);
    EXPECT_TRUE(effect->linkCheck());
    EXPECT_TRUE(effect->editorObject()->isLinked());
}

TEST_F(Effect, OutputLatencyIsCheckedAtTheHostsFullWidth) {
    host().outputLatency = (VstIntPtr{1} << 32) + 7;
    effect->resume();
    EXPECT_EQ(effect->meterWindow(), 1024);
    host().outputLatency = 7;
    effect->resume();
    EXPECT_EQ(effect->meterWindow(), 7);
}

}  // namespace
