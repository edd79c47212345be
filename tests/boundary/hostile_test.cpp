// Everything a host can send is untrusted: indices, values, pointers, sizes and block
// lengths. None of it may crash the plug-in or change state where nothing should change.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "TestHost.h"

using testhost::TestHost;

namespace {

const VstInt32 kBadIndices[] = {-1, 60, 119, 120, 1000, INT_MIN, INT_MAX};
const float kBadValues[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(), 1.0e30f, -1.0e30f, -0.5f, 1.5f,
                            std::numeric_limits<float>::denorm_min(), std::numeric_limits<float>::max()};

class Hostile : public ::testing::Test {
protected:
    TestHost host;
    std::unique_ptr<testhost::Plugin> plugin = host.load(VANTEL_PLUGIN_PATH);

    std::vector<float> snapshot() {
        std::vector<float> v;
        for (int i = 0; i < 120; ++i) v.push_back(plugin->getParameter(i));
        return v;
    }
    void block(VstInt32 frames = 64) {
        testhost::Channels<float> in(4, std::vector<float>(256, 0.25f)), out(2, std::vector<float>(256));
        plugin->processReplacing(in, out, frames);
        for (auto& channel : out)
            for (VstInt32 i = 0; i < frames; ++i) ASSERT_TRUE(std::isfinite(channel[i]));
    }
};

TEST_F(Hostile, NonFiniteValuesLeaveEveryParameterAlone) {
    plugin->activate(44100.0f, 256);
    const auto before = snapshot();
    for (int index = 0; index < 120; ++index) {
        plugin->setParameter(index, std::numeric_limits<float>::quiet_NaN());
        plugin->setParameter(index, std::numeric_limits<float>::infinity());
        plugin->setParameter(index, -std::numeric_limits<float>::infinity());
    }
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(host.count(audioMasterAutomate), 0u);
    block();
}

TEST_F(Hostile, OutOfRangeValuesOnEveryParameterKeepAudioAndTextsSane) {
    plugin->activate(44100.0f, 256);
    for (float value : kBadValues) {
        for (int index = 0; index < 120; ++index) {
            plugin->setParameter(index, value);
            if (index < 60) {
                const std::string text = plugin->paramDisplay(index);
                EXPECT_LE(text.size(), 14u) << index << " " << value << " '" << text << "'";
            }
        }
        block();
    }
}

TEST_F(Hostile, BadIndicesOnEveryOpcodeThatTakesOne) {
    const auto before = snapshot();
    char text[256];
    VstParameterProperties p{};
    for (VstInt32 index : kBadIndices) {
        std::strcpy(text, "same");
        if (index >= 120 || index < 0) {
            plugin->dispatch(effGetParamName, index, 0, text);
            EXPECT_STREQ(text, "same") << index;
        }
        if (index >= 60 || index < 0) {
            plugin->dispatch(effGetParamDisplay, index, 0, text);
            EXPECT_STREQ(text, "same") << index;
        }
        plugin->dispatch(effGetParamLabel, index, 0, text);
        EXPECT_EQ(plugin->dispatch(effGetParameterProperties, index, 0, &p), 0);
        plugin->dispatch(effCanBeAutomated, index);
        if (index < 0 || index > 60) {
            EXPECT_EQ(plugin->dispatch(effGetProgramNameIndexed, index, 0, text), 0);
        }
        plugin->dispatch(effSetProgram, 0, index);
        plugin->dispatch(effGetChunk, index, 0, nullptr);
        plugin->setParameter(index, 0.5f);
        plugin->getParameter(index);
        plugin->dispatch(effEditKeyDown, index, index, nullptr, static_cast<float>(index));
        plugin->dispatch(effSetEditKnobMode, 0, index);
    }
    // Indices 60..119 are assignments, not parameters; only they may have changed.
    const auto after = snapshot();
    for (int i = 0; i < 60; ++i) EXPECT_EQ(after[i], before[i]) << i;
    EXPECT_EQ(plugin->programName(), "Default");
}

TEST_F(Hostile, NullPointersEverywhere) {
    for (VstInt32 opcode : {effSetProgramName, effGetProgramName, effGetParamLabel, effGetParamDisplay,
                            effGetParamName, effEditGetRect, effGetChunk, effSetChunk, effProcessEvents,
                            effString2Parameter, effGetProgramNameIndexed, effGetInputProperties,
                            effGetOutputProperties, effSetSpeakerArrangement, effGetEffectName,
                            effGetVendorString, effGetProductString, effCanDo, effGetParameterProperties,
                            effGetSpeakerArrangement, effVendorSpecific, effEditOpen}) {
        EXPECT_NO_FATAL_FAILURE(plugin->dispatch(opcode, 0, 0, nullptr)) << opcode;
    }
    EXPECT_EQ(plugin->dispatch(effSetChunk, 0, 100, nullptr), plugin->dispatch(effSetChunk, 0, 100, nullptr));
    for (VstInt32 opcode = 0; opcode < 90; ++opcode) {
        if (opcode == effClose || opcode == effEditOpen) continue;
        plugin->dispatch(opcode, 0, 0, nullptr, 0.0f);
    }
    AEffect* e = plugin->effect();
    e->processReplacing(e, nullptr, nullptr, 64);
    e->processDoubleReplacing(e, nullptr, nullptr, 64);
    float* nullChannels[4] = {nullptr, nullptr, nullptr, nullptr};
    e->processReplacing(e, nullChannels, nullChannels, 64);
    e->process(e, nullptr, nullptr, 64);
    e->setParameter(nullptr, 0, 0.5f);
    EXPECT_EQ(e->getParameter(nullptr, 0), 0.0f);
    EXPECT_EQ(e->dispatcher(nullptr, effGetVstVersion, 0, 0, nullptr, 0), 0);
}

TEST_F(Hostile, OddBlockLengths) {
    plugin->activate(44100.0f, 256);
    for (VstInt32 frames : {0, 1, 3, 255, 256}) block(frames);
    testhost::Channels<float> in(4, std::vector<float>(4)), out(2, std::vector<float>(4, 7.0f));
    AEffect* e = plugin->effect();
    float* ins[4] = {in[0].data(), in[1].data(), in[2].data(), in[3].data()};
    float* outs[2] = {out[0].data(), out[1].data()};
    e->processReplacing(e, ins, outs, -5);
    e->processReplacing(e, ins, outs, INT_MIN);
    EXPECT_EQ(out[0][0], 7.0f);  // nothing written for a negative length
}

TEST_F(Hostile, ImplausibleSampleRatesAndBlockSizes) {
    for (float rate : {0.0f, -44100.0f, 1.0f, 4095.0f, 200001.0f, 1.0e30f, std::nanf(""), INFINITY}) {
        plugin->setSampleRate(rate);
        plugin->setBlockSize(-1);
        plugin->resume();
        block(64);
        plugin->suspend();
    }
}

TEST_F(Hostile, MalformedEventLists) {
    plugin->activate(44100.0f, 256);
    VstEvents events{};
    events.numEvents = -3;
    EXPECT_NO_FATAL_FAILURE(plugin->dispatch(effProcessEvents, 0, 0, &events));
    events.numEvents = 2;
    events.events[0] = nullptr;
    events.events[1] = nullptr;
    EXPECT_NO_FATAL_FAILURE(plugin->dispatch(effProcessEvents, 0, 0, &events));
    block();
}

TEST_F(Hostile, ChunksOfGarbage) {
    const auto before = snapshot();
    std::vector<uint8_t> garbage(129337, 0xAB);
    EXPECT_EQ(plugin->setChunk(garbage), -1);
    EXPECT_EQ(plugin->setChunk(std::vector<uint8_t>(3, 0)), -1);
    EXPECT_EQ(plugin->dispatch(effSetChunk, 0, -8, garbage.data()), plugin->dispatch(effSetChunk, 0, -8, garbage.data()));
    EXPECT_EQ(snapshot(), before);
}

TEST_F(Hostile, OutOfRangeValuesNeverMakeAStateThatCannotBeLoadedAgain) {
    plugin->setParameter(2, 1.5f);    // Mix
    plugin->setParameter(39, -3.0f);  // RvbDamp
    plugin->setParameter(15, 1.0e30f);
    const auto chunk = plugin->getChunk();
    auto restored = host.load(VANTEL_PLUGIN_PATH);
    ASSERT_EQ(restored->setChunk(chunk), 0);  // a session saved now loads later
    EXPECT_EQ(restored->getParameter(2), 1.0f);
    EXPECT_EQ(restored->getParameter(39), 0.0f);
    EXPECT_EQ(restored->getParameter(15), 1.0f);
}

TEST_F(Hostile, AnEarlierChunkPointerStaysReadable) {
    // Some hosts keep the pointer of a chunk while another thread asks for a new one.
    void* first = nullptr;
    void* second = nullptr;
    const VstIntPtr size = plugin->dispatch(effGetChunk, 0, 0, &first);
    plugin->setParameter(2, 0.3f);
    ASSERT_EQ(plugin->dispatch(effGetChunk, 0, 0, &second), size);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    unsigned sum = 0;
    for (VstIntPtr i = 0; i < size; ++i) sum += static_cast<const uint8_t*>(first)[i];  // freed memory: ASan fails here
    EXPECT_GT(sum, 0u);
}

}  // namespace
