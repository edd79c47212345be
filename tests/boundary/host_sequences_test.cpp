// The call sequences that real Linux hosts make (scanners, sessions, re-entrant callbacks),
// replayed through the test host.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "TestHost.h"

using testhost::Plugin;
using testhost::TestHost;

namespace {

void process(Plugin& plugin, VstInt32 frames, float level = 0.0f) {
    testhost::Channels<float> in(4, std::vector<float>(frames, level)), out(2, std::vector<float>(frames));
    plugin.processReplacing(in, out, frames);
    for (const auto& channel : out)
        for (float s : channel) ASSERT_TRUE(std::isfinite(s));
}

TEST(Scanners, ArdourSuspendsWithoutEverResuming) {
    TestHost host;
    auto plugin = host.load(VANTEL_PLUGIN_PATH);
    plugin->effect()->resvd1 = reinterpret_cast<VstIntPtr>(&host);  // Ardour keeps its pointer here
    plugin->open();
    EXPECT_EQ(plugin->vstVersion(), 2400);
    EXPECT_EQ(plugin->effectName(), "Vantel");
    EXPECT_EQ(plugin->vendorString(), "Morvane");
    EXPECT_EQ(plugin->plugCategory(), 0);
    for (const char* what : {"receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents", "sendVstMidiEvent"})
        plugin->canDo(what);
    plugin->suspend();
    plugin->close();
    EXPECT_EQ(plugin->effect(), nullptr);
}

TEST(Scanners, QtractorAsksBeforeOpenAndLeavesASecondInstanceUnopened) {
    TestHost host;
    host.config().version = 2;
    auto first = host.load(VANTEL_PLUGIN_PATH);
    EXPECT_EQ(first->plugCategory(), 0);
    first->open();
    EXPECT_EQ(first->numParams(), 60);
    auto second = host.load(VANTEL_PLUGIN_PATH);  // never opened
    EXPECT_EQ(second->effectName(), "Vantel");
    first->close();
}

TEST(Scanners, MusEAsksEveryParametersPropertiesAndName) {
    TestHost host;
    auto plugin = host.load(VANTEL_PLUGIN_PATH);
    for (int i = 0; i < plugin->numParams(); ++i) {
        VstParameterProperties p;
        plugin->getParameterProperties(i, p);
        EXPECT_FALSE(plugin->paramName(i).empty());
    }
}

TEST(Sessions, ArdourInstantiationRestoreAndClose) {
    TestHost host;
    host.config().inputPins = {true, true, false, false};
    auto plugin = host.load(VANTEL_PLUGIN_PATH);
    plugin->open();
    plugin->setSampleRate(48000.0f);
    plugin->setBlockSize(1024);
    for (int i = 0; i < plugin->numParams(); ++i) {
        plugin->canBeAutomated(i);
        VstParameterProperties p;
        plugin->getParameterProperties(i, p);
        plugin->getParameter(i);
        plugin->paramName(i);
    }
    plugin->resume();
    plugin->resume();  // twice, with no suspend in between
    process(*plugin, 752, 0.3f);  // a block split at a transport start
    process(*plugin, 272, 0.3f);
    process(*plugin, 1024);  // transport stopped: silence in, the plug-in keeps running
    const auto chunk = plugin->getChunk();
    // Reopen: parameters that differ, resume, program, chunk from a non-audio thread while resumed.
    auto reopened = host.load(VANTEL_PLUGIN_PATH);
    reopened->activate(48000.0f, 1024);
    reopened->setParameter(2, 0.8f);
    reopened->resume();
    reopened->setProgram(0);
    std::thread loader([&] {
        if (!chunk.empty()) reopened->setChunk(chunk);
    });
    loader.join();
    reopened->resume();
    process(*reopened, 1024, 0.1f);
    reopened->suspend();
    reopened->close();
    plugin->close();
}

TEST(Sessions, ValuesRestoredBeforeResumeAreHeardAtOnce) {
    // Ardour restores a session with setParameter for each saved value, then resumes: the
    // first block already plays the saved values, as a bounce after playback does.
    TestHost host;
    auto plugin = host.load(VANTEL_PLUGIN_PATH);
    plugin->open();
    plugin->setSampleRate(48000.0f);
    plugin->setBlockSize(256);
    plugin->setParameter(1, 0.0f);  // Output: silence, from the fresh instance's 0 dB
    plugin->resume();
    testhost::Channels<float> in(4, std::vector<float>(256, 0.5f)), out(2, std::vector<float>(256, 1.0f));
    plugin->processReplacing(in, out, 256);
    for (const auto& channel : out)
        for (float s : channel) ASSERT_EQ(s, 0.0f);
}

TEST(Sessions, ProcessingWhileAnotherThreadMovesParameters) {
    TestHost host;
    auto plugin = host.load(VANTEL_PLUGIN_PATH);
    plugin->activate(44100.0f, 128);
    std::atomic<bool> done{false};
    std::thread mover([&] {
        for (int round = 0; round < 200; ++round)
            for (int i = 0; i < 60; ++i) plugin->setParameter(i, static_cast<float>((round * 7 + i) % 11) / 10.0f);
        done = true;
    });
    int blocks = 0;
    while (!done || blocks < 20) {
        process(*plugin, 128, 0.2f);
        ++blocks;
    }
    mover.join();
}

TEST(ReEntrance, HostCallsBackIntoThePluginFromInsideItsCallbacks) {
    TestHost host;
    auto plugin = host.load(VANTEL_PLUGIN_PATH);
    plugin->activate(44100.0f, 256);
    int reentered = 0;
    host.setHook([&](Plugin* p, const testhost::HostCall& call) -> std::optional<VstIntPtr> {
        if (!p || !p->effect()) return std::nullopt;
        if (call.opcode == audioMasterGetTime && call.value == kVstTempoValid && reentered < 3) {
            ++reentered;
            p->setSampleRate(96000.0f);
            p->mainsChanged(true);  // a resume from inside the block's time request
            p->setParameter(2, 0.7f);
        }
        if (call.opcode == audioMasterUpdateDisplay) {  // Carla re-reads everything at once
            p->programName();
            p->programNames(70);
            for (int i = 0; i < 60; ++i) p->getParameter(i);
        }
        if (call.opcode == audioMasterAutomate) p->setParameter(call.index, call.opt);  // Qtractor
        return std::nullopt;
    });
    process(*plugin, 256, 0.5f);
    process(*plugin, 256, 0.5f);
    EXPECT_GE(reentered, 1);
    EXPECT_FLOAT_EQ(plugin->getParameter(2), 0.7f);
    const auto chunk = plugin->getChunk();
    if (!chunk.empty()) plugin->setChunk(chunk);  // selects a program: updateDisplay re-enters
    host.setHook(nullptr);
}

}  // namespace
