// MIDI controller assignment: learning, forgetting, the maps and their invariants, what
// processEvents takes from an event list, and the controller name table.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "../../src/presets/ControllerNames.h"
#include "PresetTestSupport.h"

using namespace presettest;

namespace {

// An event list as a host builds it, with room for null entries.
struct EventList {
    std::vector<VstMidiEvent> midi;
    std::vector<VstEvent*> pointers;
    std::vector<uint8_t> storage;

    void add(uint8_t status, uint8_t data1, uint8_t data2, VstInt32 type = kVstMidiType) {
        VstMidiEvent e{};
        e.type = type;
        e.byteSize = sizeof(VstMidiEvent);
        e.midiData[0] = static_cast<char>(status);
        e.midiData[1] = static_cast<char>(data1);
        e.midiData[2] = static_cast<char>(data2);
        midi.push_back(e);
        pointers.push_back(nullptr);  // fixed up in events()
    }
    void addNull() {
        midi.push_back(VstMidiEvent{});
        pointers.push_back(reinterpret_cast<VstEvent*>(1));  // marks a null entry
    }
    static constexpr VstInt32 kAll = INT32_MIN;
    // The list with `count` in numEvents (all entries by default).
    VstEvents* events(VstInt32 count = kAll) {
        const size_t n = midi.size();
        storage.assign(sizeof(VstEvents) + n * sizeof(VstEvent*), 0);
        auto* list = reinterpret_cast<VstEvents*>(storage.data());
        list->numEvents = count == kAll ? static_cast<VstInt32>(n) : count;
        for (size_t i = 0; i < n; ++i)
            list->events[i] = pointers[i] ? nullptr : reinterpret_cast<VstEvent*>(&midi[i]);
        return list;
    }
};

void sendCC(CPresetSystemEffect& e, int controller, int value, int channel = 0) {
    EventList list;
    list.add(static_cast<uint8_t>(0xB0 | channel), static_cast<uint8_t>(controller), static_cast<uint8_t>(value));
    EXPECT_EQ(e.processEvents(list.events()), 1);
}

class Controllers : public ::testing::Test {
protected:
    void SetUp() override { host() = Host{}; }
    float value(int p) { return effect.programs()[effect.getCurrentProgramIndex()].values[p]; }
    TestEffect effect;
};

TEST_F(Controllers, FreshInstanceHasNoAssignments) {
    for (int p = 0; p < 60; ++p) {
        EXPECT_FLOAT_EQ(effect.getParameter(60 + p), 128.5f / 129.0f);
        EXPECT_NEAR(effect.getParameter(60 + p), 0.996124f, 1e-6f);
        EXPECT_EQ(effect.getAssignedController(p), 999);
    }
    for (int c = 0; c < 128; ++c) EXPECT_EQ(effect.getControlledParameter(c), 999);
    EXPECT_EQ(effect.getAssignedController(60), 999);
    EXPECT_EQ(effect.getAssignedController(-1), 999);
    EXPECT_EQ(effect.getParameter(120), 0.0f);
    EXPECT_FALSE(effect.learnMode());
    EXPECT_FALSE(effect.forgetMode());
}

TEST_F(Controllers, LearnTouchAndMove) {
    effect.startLearn();
    effect.setParameter(15, 0.3f);  // the touch
    sendCC(effect, 74, 127);
    EXPECT_EQ(value(15), 1.0f);  // the completing message already moves it
    EXPECT_FALSE(effect.learnMode());
    EXPECT_EQ(effect.hooks.learnCleared, 1);
    EXPECT_EQ(effect.getParameter(75), 74.5f / 129.0f);
    EXPECT_EQ(effect.getAssignedController(15), 74);
    EXPECT_EQ(effect.getControlledParameter(74), 15);
}

TEST_F(Controllers, ChannelModeControllersAreNeverLearned) {
    effect.startLearn();
    effect.setParameter(15, 0.3f);
    for (int c = 120; c < 128; ++c) sendCC(effect, c, 64);
    EXPECT_TRUE(effect.learnMode());
    EXPECT_EQ(effect.getAssignedController(15), 999);
    EXPECT_EQ(value(15), 0.3f);
    sendCC(effect, 119, 0);  // the highest learnable one
    EXPECT_EQ(effect.getAssignedController(15), 119);
}

TEST_F(Controllers, LearnWithoutATouchOnlyDrivesExistingAssignments) {
    effect.setParameter(60 + 3, assignmentOf(7));
    effect.startLearn();
    sendCC(effect, 9, 100);
    sendCC(effect, 7, 127);
    EXPECT_TRUE(effect.learnMode());
    EXPECT_EQ(effect.getControlledParameter(9), 999);
    EXPECT_EQ(value(3), 1.0f);
}

TEST_F(Controllers, ControllerMovesAreNoTouch) {
    // Controller 7 moves parameter 3 while learn is armed: a second controller must not
    // be learned onto parameter 3 because of that move.
    effect.setParameter(60 + 3, assignmentOf(7));
    effect.startLearn();
    sendCC(effect, 7, 64);
    EXPECT_EQ(effect.learnTarget(), -1);
    sendCC(effect, 8, 10);
    EXPECT_EQ(effect.getAssignedController(3), 7);
    EXPECT_EQ(effect.getControlledParameter(8), 999);
    EXPECT_TRUE(effect.learnMode());

    // Nor does a controller move end forget mode or remove anything.
    effect.stopLearn();
    effect.startForget();
    sendCC(effect, 7, 1);
    EXPECT_TRUE(effect.forgetMode());
    EXPECT_EQ(effect.getAssignedController(3), 7);
    EXPECT_EQ(value(3), 1.0f / 127.0f);  // the move itself is stored
}

TEST_F(Controllers, LearningTakesTheControllerFromAnotherParameter) {
    effect.setParameter(60 + 3, assignmentOf(7));
    effect.startLearn();
    effect.setParameter(4, 0.5f);
    sendCC(effect, 7, 0);
    EXPECT_EQ(effect.getAssignedController(3), 999);
    EXPECT_EQ(effect.getParameter(60 + 3), notAssigned());
    EXPECT_EQ(effect.getAssignedController(4), 7);
    const float before3 = value(3);
    sendCC(effect, 7, 127);
    EXPECT_EQ(value(4), 1.0f);
    EXPECT_EQ(value(3), before3);
}

TEST_F(Controllers, RelearningFreesTheOldController) {
    effect.setParameter(60 + 3, assignmentOf(7));
    effect.startLearn();
    effect.setParameter(3, 0.5f);
    sendCC(effect, 8, 0);
    EXPECT_EQ(effect.getAssignedController(3), 8);
    EXPECT_EQ(effect.getControlledParameter(7), 999);
    sendCC(effect, 7, 127);
    EXPECT_EQ(value(3), 0.0f);
}

TEST_F(Controllers, ForgetIsOneShot) {
    effect.setParameter(60 + 3, assignmentOf(7));
    effect.startForget();
    effect.setParameter(3, 0.2f);
    EXPECT_EQ(effect.getAssignedController(3), 999);
    EXPECT_EQ(effect.getControlledParameter(7), 999);
    EXPECT_FALSE(effect.forgetMode());
    EXPECT_EQ(effect.hooks.forgetCleared, 1);

    effect.startForget();
    effect.setParameter(10, 0.2f);  // nothing to remove, still ends forget mode
    EXPECT_FALSE(effect.forgetMode());
    EXPECT_EQ(effect.hooks.forgetCleared, 2);
}

TEST_F(Controllers, OnlyControlChangesCount) {
    effect.setParameter(60 + 3, assignmentOf(7));
    effect.startLearn();
    effect.setParameter(5, 0.4f);
    EventList list;
    list.add(0xF8, 7, 127);                 // clock
    list.add(0x90, 7, 127);                 // note on
    list.add(0x80, 7, 127);                 // note off
    list.add(0xE0, 7, 127);                 // pitch bend
    list.add(0xB0, 7, 127, kVstSysExType);  // not a MIDI event
    EXPECT_EQ(effect.processEvents(list.events()), 1);
    EXPECT_TRUE(effect.learnMode());
    EXPECT_EQ(effect.getAssignedController(5), 999);
    EXPECT_EQ(value(3), effect.templateProgram().values[3]);
}

TEST_F(Controllers, ValuesAndChannels) {
    effect.setParameter(60 + 2, assignmentOf(1));
    sendCC(effect, 1, 0, 0);
    EXPECT_EQ(value(2), 0.0f);
    sendCC(effect, 1, 64, 9);
    EXPECT_EQ(value(2), 64.0f / 127.0f);
    sendCC(effect, 1, 127, 15);
    EXPECT_EQ(value(2), 1.0f);
    sendCC(effect, 1, 200, 3);  // a data byte above 127 is limited
    EXPECT_EQ(value(2), 1.0f);
}

TEST_F(Controllers, UnsafeEventListsAreHandled) {
    effect.setParameter(60 + 2, assignmentOf(1));
    EXPECT_EQ(effect.processEvents(nullptr), 1);

    EventList list;
    list.addNull();
    list.add(0xB0, 1, 127);
    list.addNull();
    list.add(0xB0, 0xC8, 0);  // controller byte 200: ignored
    EXPECT_EQ(effect.processEvents(list.events()), 1);
    EXPECT_EQ(value(2), 1.0f);

    EventList negative;
    negative.add(0xB0, 1, 0);
    EXPECT_EQ(effect.processEvents(negative.events(-3)), 1);
    EXPECT_EQ(effect.processEvents(negative.events(0)), 1);
    EXPECT_EQ(value(2), 1.0f);
}

TEST_F(Controllers, AssignmentValuesFromSetParameter) {
    effect.setParameter(60 + 10, 0.5f);  // step 64
    EXPECT_EQ(effect.getAssignedController(10), 64);
    EXPECT_EQ(effect.getParameter(70), assignmentOf(64));
    effect.setParameter(60 + 10, 1.5f);  // beyond the range: step 128, removed
    EXPECT_EQ(effect.getAssignedController(10), 999);
    effect.setParameter(60 + 10, 0.0f);
    EXPECT_EQ(effect.getAssignedController(10), 0);
    effect.setParameter(60 + 10, -0.25f);  // no step: not assigned
    EXPECT_EQ(effect.getAssignedController(10), 999);
    EXPECT_EQ(effect.getControlledParameter(0), 999);
    effect.setParameter(60 + 11, 1.0f);
    EXPECT_EQ(effect.getAssignedController(11), 999);
    effect.setParameter(60 + 11, 127.5f / 129.0f);
    EXPECT_EQ(effect.getAssignedController(11), 127);
    const Bytes before = snapshot(effect);
    effect.setParameter(120, 0.5f);
    effect.setParameter(-1, 0.5f);
    EXPECT_EQ(snapshot(effect), before);
}

TEST_F(Controllers, ResetControllerMapClearsEverything) {
    effect.setParameter(60 + 1, assignmentOf(1));
    effect.setParameter(60 + 2, assignmentOf(2));
    effect.resetControllerMap();
    TestEffect fresh;
    EXPECT_EQ(snapshot(effect), snapshot(fresh));
}

TEST_F(Controllers, MidiBlockRightAfterLearningHoldsTheController) {
    effect.startLearn();
    effect.setParameter(21, 0.1f);
    sendCC(effect, 93, 30);
    const Bytes midi = effect.codec().buildMidiBlock();
    EXPECT_EQ(floatAt(midi, 41 + 21 * 32 + 24), assignmentOf(93));
}

// The maps are each other's inverse and the values follow them, whatever happens.
void expectInvariants(CPresetSystemEffect& e, const std::string& where) {
    for (int p = 0; p < 60; ++p) {
        const VstInt32 c = e.getAssignedController(p);
        if (c == 999) {
            ASSERT_EQ(e.getParameter(60 + p), notAssigned()) << where;
        } else {
            ASSERT_TRUE(c >= 0 && c < 128) << where;
            ASSERT_EQ(e.getControlledParameter(c), p) << where;
            ASSERT_EQ(e.getParameter(60 + p), assignmentOf(c)) << where;
        }
    }
    for (int c = 0; c < 128; ++c) {
        const VstInt32 p = e.getControlledParameter(c);
        if (p != 999) {
            ASSERT_EQ(e.getAssignedController(p), c) << where;
        }
    }
}

TEST_F(Controllers, InvariantsHoldAfterRandomSequences) {
    const char* seedText = std::getenv("VANTEL_TEST_SEED");
    const unsigned seed = seedText ? static_cast<unsigned>(std::strtoul(seedText, nullptr, 10)) : 20240611u;
    std::mt19937 rng(seed);
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    for (int step = 0; step < 4000; ++step) {
        const int p = pick(60);
        switch (pick(7)) {
            case 0: effect.setParameter(60 + p, assignmentOf(pick(129))); break;
            case 1: effect.setParameter(60 + p, static_cast<float>(rng()) / 4294967296.0f * 1.2f - 0.1f); break;
            case 2: effect.forgetController(p); break;
            case 3:
                effect.startLearn();
                effect.setParameter(p, 0.5f);
                sendCC(effect, pick(128), pick(128));
                break;
            case 4: sendCC(effect, pick(128), pick(128), pick(16)); break;
            case 5:
                effect.startForget();
                effect.setParameter(p, 0.25f);
                break;
            case 6:
                if (pick(50) == 0) effect.resetControllerMap();
                break;
        }
        expectInvariants(effect, "seed " + std::to_string(seed) + " step " + std::to_string(step));
    }
}

TEST_F(Controllers, ResumeAsksForMidi) {
    effect.resume();
    EXPECT_EQ(host().count(audioMasterWantMidi), 1u);
}

TEST(ControllerNames, TableEntries) {
    using presets::controllerName;
    EXPECT_STREQ(controllerName(0), "bank sel MSB");
    EXPECT_STREQ(controllerName(3), "control 3");
    EXPECT_STREQ(controllerName(43), "express. LSB");
    EXPECT_STREQ(controllerName(74), "brightness");
    EXPECT_STREQ(controllerName(119), "control 119");
    EXPECT_STREQ(controllerName(127), "poly mode on");
    EXPECT_STREQ(controllerName(128), "not assigned");
    EXPECT_STREQ(controllerName(129), "");
    EXPECT_STREQ(controllerName(130), "");
    EXPECT_STREQ(controllerName(-1), "");
    int named = 0;
    for (int c = 0; c < 128; ++c) named += std::strncmp(controllerName(c), "control ", 8) != 0;
    EXPECT_EQ(named, 59);
}

TEST(ControllerNames, DisplayStepsOfAssignments) {
    // What the editor shows: the controller of an assigned control, "not assigned", or
    // nothing away from the parameter controls.
    using presets::controllerStep;
    EXPECT_EQ(controllerStep(74.5f / 130.0f, 130), 74);
    EXPECT_EQ(controllerStep(128.5f / 130.0f, 130), 128);
    EXPECT_EQ(controllerStep(129.5f / 130.0f, 130), 129);
    EXPECT_EQ(controllerStep(1.0f, 130), 129);
    for (int c = 0; c < 129; ++c) EXPECT_EQ(controllerStep(assignmentOf(c), 129), c);
    EXPECT_EQ(controllerStep(std::nanf(""), 129), 128);
}

}  // namespace
