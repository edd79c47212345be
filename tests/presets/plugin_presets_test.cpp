// The preset system through the built plug-in, as a host drives it: chunks saved and
// restored between instances, and MIDI controller messages in event lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "TestHost.h"

namespace {

using Bytes = std::vector<uint8_t>;

float assignmentOf(int controller) { return (controller + 0.5f) / 129.0f; }

class PluginPresets : public ::testing::Test {
protected:
    std::unique_ptr<testhost::Plugin> open() {
        auto plugin = host.load(VANTEL_PLUGIN_PATH);
        plugin->activate(44100.0f, 512);
        return plugin;
    }
    testhost::TestHost host;
};

TEST_F(PluginPresets, ProgramsAsTheHostListsThem) {
    auto plugin = open();
    const std::vector<std::string> names = plugin->programNames();
    ASSERT_EQ(names.size(), 61u);
    EXPECT_EQ(names.front(), "Default");
    EXPECT_EQ(names[34], "Meta Flanger");
    EXPECT_EQ(names.back(), "Bass Drone");
    EXPECT_EQ(plugin->programName(), "Default");
    EXPECT_FALSE(plugin->programNameIndexed(61).has_value());
}

TEST_F(PluginPresets, ChunkTravelsBetweenInstances) {
    auto source = open();
    source->setProgramName("Session Sound");
    source->setParameter(2, 0.8f);   // Mix
    source->setParameter(3, 0.45f);  // FbGainL
    source->setParameter(60 + 15, assignmentOf(74));
    const Bytes chunk = source->getChunk();
    ASSERT_EQ(chunk.size(), 129337u);
    EXPECT_EQ(std::memcmp(&chunk[4], "14qV", 4), 0);
    EXPECT_EQ(chunk[12], 0x38);

    auto target = open();
    EXPECT_EQ(target->setChunk(chunk), 0);
    EXPECT_EQ(target->programName(), "Session Sound");
    EXPECT_FLOAT_EQ(target->getParameter(2), 0.8f);
    EXPECT_FLOAT_EQ(target->getParameter(3), 0.45f);
    EXPECT_EQ(target->getChunk(), chunk);

    // The controller came along: controller 74 now moves parameter 15 of the target.
    host.clearCalls();
    EXPECT_EQ(target->processEvents({{0, 0xB0, 74, 127}}), 1);
    EXPECT_FLOAT_EQ(target->getParameter(15), 1.0f);
    EXPECT_EQ(host.count(audioMasterAutomate), 0u);  // a controller move is not automation
}

TEST_F(PluginPresets, ByteReversedChunkGivesTheSameState) {
    auto source = open();
    source->setProgramName("Other Order");
    source->setParameter(5, 0.3f);
    const Bytes chunk = source->getChunk();

    // Every 32-bit field reversed: the head, the header words, each record's words (but
    // not the name bytes of name records).
    Bytes reversed = chunk;
    auto flip = [&reversed](size_t at) { std::reverse(reversed.begin() + at, reversed.begin() + at + 4); };
    flip(0);
    flip(4);
    flip(8);
    for (size_t at = 13; at < 49; at += 4) flip(at);
    size_t pos = 49;
    while (pos < chunk.size()) {
        int32_t type, length;
        std::memcpy(&type, &chunk[pos], 4);
        std::memcpy(&length, &chunk[pos + 4], 4);
        const size_t end = pos + 12 + static_cast<size_t>(length);
        for (size_t at = pos; at < (type == 0 ? pos + 12 : end); at += 4) flip(at);
        pos = end;
    }

    auto target = open();
    EXPECT_EQ(target->setChunk(reversed), 0);
    EXPECT_EQ(target->getChunk(), chunk);
}

TEST_F(PluginPresets, DamagedChunksAreRefusedAndChangeNothing) {
    auto plugin = open();
    plugin->setProgramName("Keep");
    const Bytes before = plugin->getChunk();

    Bytes foreign = before;
    std::memcpy(&foreign[4], "kbXF", 4);
    Bytes cut(before.begin(), before.begin() + 1000);
    Bytes badValue = before;
    const float tooLoud = 1.5f;
    std::memcpy(&badValue[8 + 41 + 168 + 24], &tooLoud, 4);
    Bytes noise(5000);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 37 + 11);

    for (const Bytes* bad : {&foreign, &cut, &badValue, &noise}) {
        EXPECT_EQ(plugin->setChunk(*bad), -1);
        EXPECT_EQ(plugin->getChunk(), before);
    }
    EXPECT_EQ(plugin->dispatch(effSetChunk, 0, 129337, nullptr), -1);
    EXPECT_EQ(plugin->programName(), "Keep");
}

TEST_F(PluginPresets, MidiEventsAsAHostSendsThem) {
    auto plugin = open();
    plugin->setParameter(60 + 2, assignmentOf(1));   // Mix on the modulation wheel
    plugin->setParameter(60 + 3, assignmentOf(11));  // FbGainL on expression
    const float mixBefore = plugin->getParameter(2);

    // Several messages in one list, on different channels, with other traffic between.
    EXPECT_EQ(plugin->processEvents({{0, 0x90, 60, 100},
                                     {10, 0xB0, 11, 64},
                                     {20, 0xF8, 0, 0},
                                     {30, 0xB5, 1, 0},
                                     {40, 0x80, 60, 0},
                                     {50, 0xBF, 7, 127}}),
              1);
    EXPECT_FLOAT_EQ(plugin->getParameter(3), 64.0f / 127.0f);
    EXPECT_FLOAT_EQ(plugin->getParameter(2), 0.0f);
    EXPECT_NE(mixBefore, 0.0f);
    // The moved values are in the current program, so they travel in the chunk.
    const Bytes chunk = plugin->getChunk();
    float stored;
    std::memcpy(&stored, &chunk[8 + 41 + 168 + 3 * 32 + 24], 4);
    EXPECT_FLOAT_EQ(stored, 64.0f / 127.0f);

    // Audio keeps running between event lists.
    testhost::Channels<float> in(4, std::vector<float>(512, 0.1f)), out(2, std::vector<float>(512));
    plugin->processReplacing(in, out);
    EXPECT_EQ(plugin->processEvents({{0, 0xB0, 1, 127}}), 1);
    EXPECT_FLOAT_EQ(plugin->getParameter(2), 1.0f);
}


}  // namespace
