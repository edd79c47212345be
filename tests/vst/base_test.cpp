// The effect base classes as a host sees them through the AEffect record.
#include <gtest/gtest.h>

#include <vector>

#include "audioeffectx.h"

namespace {

struct Call {
    VstInt32 opcode, index;
    VstIntPtr value;
    float opt;
};
std::vector<Call> gCalls;
VstIntPtr gAnswer = 0;

VstIntPtr recordingHost(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void*, float opt) {
    gCalls.push_back({opcode, index, value, opt});
    return gAnswer;
}

class Probe : public AudioEffectX {
public:
    explicit Probe(audioMasterCallback cb) : AudioEffectX(cb, 1, 3) {}
    void setParameter(VstInt32 index, float value) override {
        lastIndex = index;
        lastValue = value;
    }
    void suspend() override { ++suspends; }
    void resume() override { ++resumes; }
    void processReplacing(float**, float**, VstInt32) override { throw 42; }
    VstInt32 lastIndex = -1;
    float lastValue = 0;
    int suspends = 0, resumes = 0;
};

class Base : public ::testing::Test {
protected:
    void SetUp() override {
        gCalls.clear();
        gAnswer = 0;
    }
};

TEST_F(Base, RecordDefaults) {
    Probe p(recordingHost);
    AEffect* e = p.getAeffect();
    EXPECT_EQ(e->magic, vstFourCC('V', 's', 't', 'P'));
    EXPECT_EQ(e->numPrograms, 1);
    EXPECT_EQ(e->numParams, 3);
    EXPECT_EQ(e->numInputs, 1);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->flags, effFlagsCanReplacing);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->object, &p);
    EXPECT_NE(reinterpret_cast<void*>(e->process), reinterpret_cast<void*>(e->processReplacing));
    EXPECT_EQ(p.getSampleRate(), 44100.0f);
    EXPECT_EQ(p.getBlockSize(), 1024);
}

TEST_F(Base, SetEditorSetsAndClearsTheEditorFlag) {
    Probe p(recordingHost);
    auto* editor = new AEffEditor(&p);
    p.setEditor(editor);
    EXPECT_TRUE(p.getAeffect()->flags & effFlagsHasEditor);
    p.setEditor(nullptr);
    EXPECT_FALSE(p.getAeffect()->flags & effFlagsHasEditor);
    delete editor;
}

TEST_F(Base, AutomatedChangeSetsThenTellsTheHostWithTheValueInOpt) {
    Probe p(recordingHost);
    p.setParameterAutomated(2, 0.75f);
    EXPECT_EQ(p.lastIndex, 2);
    ASSERT_EQ(gCalls.size(), 1u);
    EXPECT_EQ(gCalls[0].opcode, audioMasterAutomate);
    EXPECT_EQ(gCalls[0].index, 2);
    EXPECT_EQ(gCalls[0].value, 0);
    EXPECT_EQ(gCalls[0].opt, 0.75f);
}

TEST_F(Base, PinsAreConnectedWhenTheHostAnswersZero) {
    Probe p(recordingHost);
    gAnswer = 0;
    EXPECT_TRUE(p.isInputConnected(3));
    EXPECT_EQ(gCalls.back().opcode, audioMasterPinConnected);
    EXPECT_EQ(gCalls.back().index, 3);
    EXPECT_EQ(gCalls.back().value, 0);
    gAnswer = 1;
    EXPECT_FALSE(p.isOutputConnected(1));
    EXPECT_EQ(gCalls.back().value, 1);
    Probe orphan(nullptr);
    EXPECT_FALSE(orphan.isInputConnected(0));
}

TEST_F(Base, DispatcherRoutesMainsAndRefusesBadPointers) {
    Probe p(recordingHost);
    AEffect* e = p.getAeffect();
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0);
    e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0);
    EXPECT_EQ(p.resumes, 1);
    EXPECT_EQ(p.suspends, 1);
    EXPECT_EQ(e->dispatcher(e, effGetParamName, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(e->dispatcher(e, effGetChunk, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(e->dispatcher(e, effEditGetRect, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(e->dispatcher(e, effGetVstVersion, 0, 0, nullptr, 0), 2400);
    EXPECT_EQ(e->dispatcher(e, effIdentify, 0, 0, nullptr, 0), vstFourCC('N', 'v', 'E', 'f'));
    EXPECT_EQ(e->dispatcher(nullptr, effGetVstVersion, 0, 0, nullptr, 0), 0);
}

TEST_F(Base, NoExceptionCrossesTheTrampolines) {
    Probe p(recordingHost);
    AEffect* e = p.getAeffect();
    float buffer[4] = {};
    float* channels[2] = {buffer, buffer};
    EXPECT_NO_THROW(e->processReplacing(e, channels, channels, 4));
}

TEST_F(Base, SampleRateAndBlockSizeComeFromOptAndValue) {
    Probe p(recordingHost);
    AEffect* e = p.getAeffect();
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    e->dispatcher(e, effSetBlockSize, 0, 512, nullptr, 0);
    EXPECT_EQ(p.getSampleRate(), 48000.0f);
    EXPECT_EQ(p.getBlockSize(), 512);
}

}  // namespace
