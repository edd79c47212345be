// The test host itself, driven against the probe plug-in whose every answer is known.
#include "TestHost.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>

using testhost::Channels;
using testhost::HostCall;
using testhost::LoadError;
using testhost::Plugin;
using testhost::TestHost;

namespace {

// Makes the probe call the host with these arguments (its vendor-specific opcode), and
// answers what the host answered.
VstIntPtr probeCalls(Plugin& plugin, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr) {
    return plugin.dispatch(effVendorSpecific, opcode, value, ptr, float(index));
}

LoadError::Kind loadFailure(TestHost& host, const std::string& path) {
    try {
        host.load(path);
    } catch (const LoadError& e) {
        return e.kind();
    }
    ADD_FAILURE() << path << " loaded";
    return LoadError::Kind::FileNotFound;
}

}  // namespace

TEST(TestHostLoading, EntryPointCallsAreAnsweredAndRecordedBeforeTheEffectIsKnown) {
    TestHost host;
    host.config().version = 2;  // as Qtractor answers
    auto plugin = host.load(PROBE_PLUGIN);
    ASSERT_NE(plugin->effect(), nullptr);
    EXPECT_EQ(plugin->effect()->uniqueID, vstFourCC('P', 'r', 'b', '1'));

    const auto calls = host.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].opcode, audioMasterVersion);
    EXPECT_EQ(calls[0].effect, nullptr);
    EXPECT_TRUE(calls[0].duringEntry);
    EXPECT_EQ(calls[0].answer, 2);
    // Made with the new effect's pointer before the entry point returned it.
    EXPECT_EQ(calls[1].opcode, audioMasterCanDo);
    EXPECT_EQ(calls[1].text, "probeEntry");
    EXPECT_EQ(calls[1].effect, plugin->effect());
    EXPECT_TRUE(calls[1].duringEntry);
    EXPECT_EQ(calls[1].answer, 0);

    host.clearCalls();
    probeCalls(*plugin, audioMasterIdle);
    ASSERT_EQ(host.calls().size(), 1u);
    EXPECT_FALSE(host.calls()[0].duringEntry);
}

TEST(TestHostLoading, FailuresSayWhatWentWrong) {
    TestHost host;
    EXPECT_EQ(loadFailure(host, "/nonexistent/plugin.so"), LoadError::Kind::FileNotFound);
    const std::string text = testing::TempDir() + "not-a-library-" + std::to_string(getpid()) + ".so";
    std::ofstream(text) << "plain text";
    EXPECT_EQ(loadFailure(host, text), LoadError::Kind::NotLoadable);
    std::remove(text.c_str());
    EXPECT_EQ(loadFailure(host, NOT_A_PLUGIN), LoadError::Kind::NoEntryPoint);
    EXPECT_EQ(loadFailure(host, PROBE_NULL_PLUGIN), LoadError::Kind::NullEffect);
    EXPECT_EQ(loadFailure(host, PROBE_BAD_MAGIC_PLUGIN), LoadError::Kind::BadMagic);

    host.config().version = 0;  // a host that refuses: the probe returns null
    host.clearCalls();
    EXPECT_EQ(loadFailure(host, PROBE_PLUGIN), LoadError::Kind::NullEffect);
    ASSERT_EQ(host.count(audioMasterVersion), 1u);
    EXPECT_EQ(host.calls()[0].answer, 0);
    try {
        host.load(PROBE_PLUGIN);
    } catch (const LoadError& e) {
        EXPECT_NE(std::string(e.what()).find("entry point returned null"), std::string::npos) << e.what();
    }
}

TEST(TestHostCallbacks, AnswersFollowTheConfiguration) {
    TestHost host;
    auto plugin = host.load(PROBE_PLUGIN);
    host.config().sampleRate = 48000.0f;
    host.config().blockSize = 333;
    host.config().outputLatency = 77;
    host.config().inputPins = {true, true};  // a stereo track feeding a three-input effect
    EXPECT_EQ(probeCalls(*plugin, audioMasterGetSampleRate), 48000);
    EXPECT_EQ(probeCalls(*plugin, audioMasterGetBlockSize), 333);
    EXPECT_EQ(probeCalls(*plugin, audioMasterGetOutputLatency), 77);
    // Pin connections: value 0 asks about inputs; 0 answers "connected".
    EXPECT_EQ(probeCalls(*plugin, audioMasterPinConnected, 0, 0), 0);
    EXPECT_EQ(probeCalls(*plugin, audioMasterPinConnected, 1, 0), 0);
    EXPECT_EQ(probeCalls(*plugin, audioMasterPinConnected, 2, 0), 1);
    EXPECT_EQ(probeCalls(*plugin, audioMasterPinConnected, -1, 0), 1);
    // Outputs (value 1): an empty list means every pin is connected.
    EXPECT_EQ(probeCalls(*plugin, audioMasterPinConnected, 5, 1), 0);
    const auto pin = host.calls(audioMasterPinConnected).back();
    EXPECT_EQ(pin.index, 5);
    EXPECT_EQ(pin.value, 1);

    // canDo by whole string; unknown strings "don't know".
    EXPECT_EQ(plugin->canDo("sendVstMidiEvent"), 1);
    EXPECT_EQ(plugin->canDo("sendVstMidiEventX"), 0);
    host.config().canDo["sendVstMidiEvent"] = -1;
    EXPECT_EQ(plugin->canDo("sendVstMidiEvent"), -1);
    const auto asked = host.calls(audioMasterCanDo);
    ASSERT_GE(asked.size(), 3u);
    EXPECT_EQ(asked[asked.size() - 2].text, "sendVstMidiEventX");
    EXPECT_EQ(asked.back().answer, -1);

    // Any opcode's answer can be overridden.
    host.config().answers[audioMasterGetBlockSize] = 17;
    EXPECT_EQ(probeCalls(*plugin, audioMasterGetBlockSize), 17);

    char vendor[64] = {};
    EXPECT_EQ(probeCalls(*plugin, audioMasterGetVendorString, 0, 0, vendor), 1);
    EXPECT_STREQ(vendor, "Vantel test host");

    // Unrecorded (the benchmark's host): the same answers, overrides included, and no record.
    const size_t recorded = host.calls().size();
    host.config().recordCalls = false;
    EXPECT_EQ(probeCalls(*plugin, audioMasterGetBlockSize), 17);
    EXPECT_EQ(probeCalls(*plugin, audioMasterGetSampleRate), 48000);
    EXPECT_NE(probeCalls(*plugin, audioMasterGetTime, 0, kVstTempoValid), 0);
    EXPECT_EQ(host.calls().size(), recorded);
}

TEST(TestHostCallbacks, TimeInfoFillsWhatIsAskedOrEverything) {
    TestHost host;
    auto plugin = host.load(PROBE_PLUGIN);
    host.config().time.tempo = 97.5;
    host.config().time.ppqPos = 3.25;

    auto time = [&](VstIntPtr mask) {
        return reinterpret_cast<const VstTimeInfo*>(probeCalls(*plugin, audioMasterGetTime, 0, mask));
    };
    const VstTimeInfo* all = time(kVstTempoValid);
    ASSERT_NE(all, nullptr);
    EXPECT_EQ(all->tempo, 97.5);
    EXPECT_EQ(all->ppqPos, 3.25);
    EXPECT_EQ(all->flags & (kVstTempoValid | kVstPpqPosValid | kVstTransportPlaying),
              kVstTempoValid | kVstPpqPosValid | kVstTransportPlaying);
    EXPECT_EQ(host.calls(audioMasterGetTime).back().value, kVstTempoValid);

    host.config().time.onlyWhatIsAsked = true;  // as Ardour does
    const VstTimeInfo* tempoOnly = time(kVstTempoValid);
    EXPECT_EQ(tempoOnly->tempo, 97.5);
    EXPECT_EQ(tempoOnly->flags & kVstPpqPosValid, 0);
    EXPECT_EQ(tempoOnly->ppqPos, 0.0);
    const VstTimeInfo* ppqOnly = time(kVstPpqPosValid);
    EXPECT_EQ(ppqOnly->flags & kVstTempoValid, 0);
    EXPECT_EQ(ppqOnly->ppqPos, 3.25);

    host.config().time.tempoValid = false;
    EXPECT_EQ(time(kVstTempoValid)->flags & kVstTempoValid, 0);

    // One quarter note at 120 BPM and 44100 Hz is 22050 frames.
    host.config().time = {};
    host.config().sampleRate = 44100.0f;
    host.advanceTime(22050);
    host.advanceTime(11025);
    EXPECT_DOUBLE_EQ(time(0)->ppqPos, 1.5);
    EXPECT_EQ(time(0)->samplePos, 33075.0);

    host.config().time.available = false;
    EXPECT_EQ(time(kVstTempoValid), nullptr);
}

TEST(TestHostCallbacks, HookMayReEnterThePlugInAndSetTheAnswer) {
    // Qtractor's pattern: a dispatcher call from inside the plug-in's own callback.
    TestHost host;
    auto plugin = host.load(PROBE_PLUGIN);
    host.clearCalls();
    int hooked = 0;
    host.setHook([&](Plugin* p, const HostCall& call) -> std::optional<VstIntPtr> {
        ++hooked;
        if (call.opcode != audioMasterGetSampleRate) return std::nullopt;
        EXPECT_EQ(p, plugin.get());
        p->setSampleRate(32000.0f);
        p->setParameter(1, 0.25f);  // makes a nested audioMasterAutomate
        return 32000;
    });
    EXPECT_EQ(probeCalls(*plugin, audioMasterGetSampleRate), 32000);
    EXPECT_EQ(plugin->vendorVersion(), 32000);  // the probe's view of effSetSampleRate
    EXPECT_EQ(plugin->getParameter(1), 0.25f);

    const auto calls = host.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].opcode, audioMasterGetSampleRate);
    EXPECT_EQ(calls[0].answer, 32000);
    EXPECT_EQ(calls[1].opcode, audioMasterAutomate);  // recorded while the outer call was open
    EXPECT_EQ(calls[1].index, 1);
    EXPECT_EQ(calls[1].opt, 0.25f);
    EXPECT_EQ(hooked, 2);
}

TEST(TestHostCallbacks, TwoHostsAndSeveralInstancesKeepTheirCallsApart) {
    TestHost first, second;
    auto a = first.load(PROBE_PLUGIN);
    auto b = first.load(PROBE_PLUGIN);
    auto c = second.load(PROBE_PLUGIN);
    EXPECT_NE(a->effect(), b->effect());
    first.clearCalls();
    second.clearCalls();
    first.config().sampleRate = 11025.0f;
    second.config().sampleRate = 22050.0f;

    EXPECT_EQ(probeCalls(*a, audioMasterGetSampleRate), 11025);
    EXPECT_EQ(probeCalls(*b, audioMasterGetSampleRate), 11025);
    EXPECT_EQ(probeCalls(*c, audioMasterGetSampleRate), 22050);
    const auto calls = first.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].effect, a->effect());
    EXPECT_EQ(calls[1].effect, b->effect());
    ASSERT_EQ(second.count(audioMasterGetSampleRate), 1u);
    EXPECT_EQ(second.calls()[0].effect, c->effect());

    // Closing one instance leaves the module loaded for the others; one loaded after it by
    // the other host (maybe at the same address) is that host's, whatever was asked before.
    a.reset();
    EXPECT_EQ(probeCalls(*b, audioMasterGetSampleRate), 11025);
    EXPECT_EQ(probeCalls(*c, audioMasterGetSampleRate), 22050);
    auto d = second.load(PROBE_PLUGIN);
    EXPECT_EQ(probeCalls(*d, audioMasterGetSampleRate), 22050);
}

TEST(TestHostPlugin, DestructionSuspendsThenClosesAndResvd1IsTheHosts) {
    TestHost host;
    {
        auto plugin = host.load(PROBE_PLUGIN);
        plugin->effect()->resvd1 = 0x5eed;  // as Ardour does; nothing of the host lives there
        plugin->activate(48000.0f, 128);
        EXPECT_TRUE(plugin->isResumed());
        EXPECT_EQ(plugin->vendorVersion(), 48000);
        EXPECT_EQ(probeCalls(*plugin, audioMasterGetBlockSize), 128);
        host.clearCalls();
    }
    const auto calls = host.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].opcode, audioMasterWantMidi);  // the probe's effMainsChanged(0)
    EXPECT_EQ(calls[0].value, 0);
    EXPECT_EQ(calls[1].opcode, audioMasterIdle);  // the probe's effClose
}

TEST(TestHostPlugin, TypedHelpersPassAndReturnWhatTheOpcodesCarry) {
    TestHost host;
    auto plugin = host.load(PROBE_PLUGIN);
    EXPECT_EQ(plugin->effectName(), "Probe");
    EXPECT_EQ(plugin->vendorString(), "Vantel tests");
    EXPECT_EQ(plugin->productString(), "Probe plug-in");
    EXPECT_EQ(plugin->vstVersion(), 2400);
    EXPECT_EQ(plugin->identify(), vstFourCC('N', 'v', 'E', 'f'));
    EXPECT_EQ(plugin->paramName(3), "A parameter name forty characters long..");  // past 8: the buffer is generous
    EXPECT_EQ(plugin->findParameter("Gain"), 0);
    EXPECT_EQ(plugin->findParameter("gain"), -1);
    EXPECT_EQ(plugin->paramLabel(0), "x");
    EXPECT_EQ(plugin->paramDisplay(0), "1.00");

    host.clearCalls();
    plugin->setParameter(0, 0.75f);
    ASSERT_EQ(host.count(audioMasterAutomate), 1u);
    EXPECT_EQ(host.calls()[0].opt, 0.75f);
    EXPECT_EQ(plugin->getParameter(0), 0.75f);

    EXPECT_EQ(plugin->programNames(), (std::vector<std::string>{"Unity", "Quiet", "Unreachable"}));
    EXPECT_EQ(plugin->programNameIndexed(3), std::nullopt);
    plugin->setProgram(1);
    EXPECT_EQ(plugin->getProgram(), 1);

    const std::vector<uint8_t> chunk = plugin->getChunk();
    ASSERT_EQ(chunk.size(), 4u);
    float stored;
    std::memcpy(&stored, chunk.data(), 4);
    EXPECT_EQ(stored, 0.125f);  // the Quiet program's gain parameter
    const float loud = 0.5f;
    std::vector<uint8_t> bytes(4);
    std::memcpy(bytes.data(), &loud, 4);
    EXPECT_EQ(plugin->setChunk(bytes), 0);
    EXPECT_EQ(plugin->getParameter(0), 0.5f);
    EXPECT_EQ(plugin->setChunk({1, 2, 3}), -1);

    EXPECT_EQ(plugin->processEvents({{0, 0xB0, 7, 100}, {12, 0x90, 60, 127}}), (2 << 24) | 0x903C7F);
    EXPECT_EQ(plugin->processEvents({}), 0);
    EXPECT_EQ(plugin->setSpeakerArrangement(1, 2), 12);
    EXPECT_EQ(plugin->setSpeakerArrangement(4, 2), 42);
    EXPECT_EQ(plugin->setSpeakerArrangement(12, 1), 121);  // more speakers than the record declares

    const auto rect = plugin->editorRect();
    ASSERT_TRUE(rect.has_value());
    EXPECT_EQ(rect->right - rect->left, 200);
    EXPECT_EQ(rect->bottom - rect->top, 100);
}

TEST(TestHostPlugin, ProcessingWiresEveryChannelSeparateOrInPlace) {
    TestHost host;
    auto plugin = host.load(PROBE_PLUGIN);
    plugin->activate(44100.0f, 4);
    // out[o] = 0.5 * in[o] + 0.25 * in[2] at gain 1.
    Channels<float> in{{1, 2, 3, 4}, {10, 20, 30, 40}, {100, 200, 300, 400}};
    Channels<float> out(2, std::vector<float>(4, -1.0f));
    plugin->processReplacing(in, out);
    EXPECT_EQ(out[0], (std::vector<float>{25.5f, 51, 76.5f, 102}));
    EXPECT_EQ(out[1], (std::vector<float>{30, 60, 90, 120}));

    Channels<double> io{{1, 2, 3, 4}, {10, 20, 30, 40}, {100, 200, 300, 400}};
    plugin->processDoubleReplacingInPlace(io, 3);  // the fourth frame stays untouched
    EXPECT_EQ(io[0], (std::vector<double>{25.5, 51, 76.5, 4}));
    EXPECT_EQ(io[1], (std::vector<double>{30, 60, 90, 40}));
    EXPECT_EQ(io[2], (std::vector<double>{100, 200, 300, 400}));

    Channels<float> inPlace{{1, 2}, {10, 20}, {100, 200}};
    plugin->processReplacingInPlace(inPlace);
    EXPECT_EQ(inPlace[0], (std::vector<float>{25.5f, 51}));
}
