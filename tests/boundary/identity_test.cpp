// What a host sees of the plug-in: the entry points, the record, identity and capabilities.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "TestHost.h"

using testhost::TestHost;

namespace {

TEST(Exports, OnlyTheTwoEntryPointsLeaveTheModule) {
    const std::string command = std::string("nm -D --defined-only ") + VANTEL_PLUGIN_PATH;
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> exported;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        char address[64], type[8], name[400];
        if (std::sscanf(line, "%63s %7s %399s", address, type, name) == 3) {
            const std::string t = type;
            if (t.find_first_of("TDWBVRiu") != std::string::npos) exported.insert(name);
        }
    }
    pclose(pipe);
    exported.erase("_init");
    exported.erase("_fini");
    exported.erase("_edata");
    exported.erase("_end");
    exported.erase("__bss_start");
    EXPECT_EQ(exported, (std::set<std::string>{"VSTPluginMain", "main"}));
}

TEST(Entry, RecordAndIdentity) {
    TestHost host;
    auto plugin = host.load(VANTEL_PLUGIN_PATH);
    AEffect* e = plugin->effect();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->magic, vstFourCC('V', 's', 't', 'P'));
    EXPECT_EQ(e->numPrograms, 1);
    EXPECT_EQ(e->numParams, 60);
    EXPECT_EQ(e->numInputs, 4);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->flags, 0x1031);  // with effFlagsHasEditor on both platforms
    EXPECT_EQ(e->uniqueID, 0x56713431);
    EXPECT_EQ(e->initialDelay, 0);
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_EQ(plugin->identify(), vstFourCC('N', 'v', 'E', 'f'));
    EXPECT_EQ(plugin->vstVersion(), 2400);
    EXPECT_EQ(plugin->effectName(), "Vantel");
    EXPECT_EQ(plugin->vendorString(), "Morvane");
    EXPECT_EQ(plugin->productString(), "Vantel - The ultimate delay machine");
    EXPECT_EQ(plugin->vendorVersion(), 0);
    EXPECT_EQ(plugin->plugCategory(), 0);
    EXPECT_EQ(plugin->dispatch(effGetTailSize), 0);
    EXPECT_EQ(plugin->dispatch(effString2Parameter, 3, 0, const_cast<char*>("0.5")), 0);
    EXPECT_EQ(plugin->dispatch(effSetBypass, 0, 1), 0);
    EXPECT_EQ(plugin->dispatch(effSetProcessPrecision, 0, 1), 0);
    EXPECT_EQ(plugin->dispatch(effGetNumMidiInputChannels), 0);
    EXPECT_EQ(plugin->dispatch(effGetNumMidiOutputChannels), 0);
    EXPECT_EQ(plugin->dispatch(effGetProgram), 0);
    for (int i = 0; i < 60; ++i) EXPECT_EQ(plugin->canBeAutomated(i), 1);
    auto rect = plugin->editorRect();
    ASSERT_TRUE(rect.has_value());
    EXPECT_EQ(rect->right - rect->left, 942);
    EXPECT_EQ(rect->bottom - rect->top, 171);
}

TEST(Entry, NullWhenTheHostIsTooOldAndNothingButTheVersionDuringConstruction) {
    {
        TestHost host;
        host.config().version = 0;
        EXPECT_THROW(host.load(VANTEL_PLUGIN_PATH), testhost::LoadError);
    }
    TestHost host;
    host.config().version = 2;  // Qtractor's answer
    auto plugin = host.load(VANTEL_PLUGIN_PATH);
    ASSERT_NE(plugin->effect(), nullptr);
    for (const auto& call : host.calls()) EXPECT_TRUE(!call.duringEntry || call.opcode == audioMasterVersion) << call.opcode;
}

TEST(Entry, SpeakerArrangementAnswers) {
    TestHost host;
    auto plugin = host.load(VANTEL_PLUGIN_PATH);
    EXPECT_EQ(plugin->setSpeakerArrangement(2, 1), 1);
    EXPECT_EQ(plugin->setSpeakerArrangement(3, 1), 0);
    EXPECT_EQ(plugin->setSpeakerArrangement(4, 2), 1);
    EXPECT_EQ(plugin->setSpeakerArrangement(0, 0), 0);
    VstSpeakerArrangement* in = reinterpret_cast<VstSpeakerArrangement*>(1);
    VstSpeakerArrangement* out = reinterpret_cast<VstSpeakerArrangement*>(1);
    EXPECT_EQ(plugin->dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out), 0);
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(plugin->dispatch(effSetSpeakerArrangement, 0, 0, nullptr), 0);
}

TEST(CanDo, MidiInputWhateverTheHostSaysAndNothingElse) {
    // A scanner that answers "no" to every question of ours still learns that we take MIDI.
    TestHost host;
    host.config().canDo.clear();
    auto plugin = host.load(VANTEL_PLUGIN_PATH);
    EXPECT_EQ(plugin->canDo("receiveVstMidiEvent"), 1);
    EXPECT_EQ(plugin->canDo("receiveVstEvents"), 1);
    for (const char* text : {"receiveVstTimeInfo", "sendVstMidiEvent", "sendVstEvents", "receiveVstMidiEventX",
                             "receiveVstMidi", ""})
        EXPECT_EQ(plugin->canDo(text), 0) << text;
    EXPECT_EQ(plugin->dispatch(effCanDo, 0, 0, nullptr), 0);
}

TEST(Entry, TwoInstancesAreIndependent) {
    TestHost host;
    auto a = host.load(VANTEL_PLUGIN_PATH);
    auto b = host.load(VANTEL_PLUGIN_PATH);
    a->setParameter(2, 0.9f);
    b->setParameter(2, 0.1f);
    EXPECT_FLOAT_EQ(a->getParameter(2), 0.9f);
    EXPECT_FLOAT_EQ(b->getParameter(2), 0.1f);
}

}  // namespace
