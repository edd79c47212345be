// The preset block: exact layout of what the writers produce, round trips, byte order,
// and what each reader applies (template pre-fill, skipped records, selection).
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "PresetTestSupport.h"

using namespace presettest;
using presets::kHeaderSize;

namespace {

constexpr size_t kProgramBytes = 168 + 60 * 32;  // one name record and 60 value records

size_t bankRecordStart(int program) { return kHeaderSize + program * kProgramBytes; }
size_t bankValueAt(int program, int index) { return bankRecordStart(program) + 168 + 32 * index + 24; }
size_t presetValueAt(int index) { return kHeaderSize + 168 + 32 * index + 24; }

class Codec : public ::testing::Test {
protected:
    void SetUp() override { host() = Host{}; }
    // Gives every program a distinct name and values so that nothing matches by accident.
    void scramble(TestEffect& e, int salt) {
        for (int p = 0; p < 61; ++p) {
            presets::storeProgramName(e.programs()[p], ("Prog " + std::to_string(p * 7 + salt)).c_str());
            for (int i = 0; i < 60; ++i) e.programs()[p].values[i] = static_cast<float>((p * 61 + i * 7 + salt) % 97) / 96.0f;
        }
    }
    TestEffect effect;
};

TEST_F(Codec, BankBlockLayout) {
    effect.selectProgram(7);
    const Bytes b = effect.codec().buildBankBlock();
    ASSERT_EQ(b.size(), 127409u);
    EXPECT_EQ(std::memcmp(b.data(), "14qV", 4), 0);  // 'Vq41' as a little-endian word
    EXPECT_EQ(b[4], 0x38);
    EXPECT_EQ(intAt(b, 5), 0x01010000);
    EXPECT_EQ(intAt(b, 9), 60);
    EXPECT_EQ(intAt(b, 13), 3721);
    EXPECT_EQ(intAt(b, 17), 7);
    EXPECT_EQ(intAt(b, 21), 127368);
    for (size_t at = 25; at < 41; at += 4) EXPECT_EQ(intAt(b, at), 0);

    // Program 34's name record and its first and last value records.
    const size_t r = bankRecordStart(34);
    EXPECT_EQ(intAt(b, r), 0);
    EXPECT_EQ(intAt(b, r + 4), 156);
    EXPECT_EQ(intAt(b, r + 8), 34);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[r + 12])), "Meta Flanger");
    for (size_t at = r + 12 + 12; at < r + 168; ++at) ASSERT_EQ(b[at], 0) << at - r;
    const size_t v = r + 168;
    EXPECT_EQ(intAt(b, v), 1);
    EXPECT_EQ(intAt(b, v + 4), 20);
    EXPECT_EQ(intAt(b, v + 8), 34);
    EXPECT_EQ(intAt(b, v + 12), 0);
    EXPECT_EQ(intAt(b, v + 16), 0);
    EXPECT_EQ(intAt(b, v + 20), 0);
    EXPECT_EQ(floatAt(b, v + 24), 0.5f);  // Input
    EXPECT_EQ(intAt(b, v + 28), 0);
    EXPECT_EQ(intAt(b, v + 59 * 32 + 12), 59);
    EXPECT_EQ(floatAt(b, bankValueAt(34, 2)), 0.72f);  // Mix
    EXPECT_EQ(floatAt(b, bankValueAt(60, 35)), 0.542f);  // Bass Drone DlyTimeL
}

TEST_F(Codec, PresetAndMidiBlockLayout) {
    effect.selectProgram(60);
    effect.setParameter(60 + 15, assignmentOf(74));
    const Bytes preset = effect.codec().buildPresetBlock();
    ASSERT_EQ(preset.size(), 2129u);
    EXPECT_EQ(preset[4], 0x22);
    EXPECT_EQ(intAt(preset, 13), 61);
    EXPECT_EQ(intAt(preset, 17), 0);
    EXPECT_EQ(intAt(preset, 21), 2088);
    EXPECT_EQ(intAt(preset, 41 + 8), 0);  // program field 0 even for program 60
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&preset[41 + 12])), "Bass Drone");
    EXPECT_EQ(floatAt(preset, presetValueAt(35)), 0.542f);

    const Bytes midi = effect.codec().buildMidiBlock();
    ASSERT_EQ(midi.size(), 1961u);
    EXPECT_EQ(midi[4], 0x0C);
    EXPECT_EQ(intAt(midi, 13), 60);
    EXPECT_EQ(intAt(midi, 21), 1920);
    const size_t r = 41 + 15 * 32;
    EXPECT_EQ(intAt(midi, r), 2);
    EXPECT_EQ(intAt(midi, r + 4), 20);
    EXPECT_EQ(intAt(midi, r + 12), 15);
    EXPECT_EQ(floatAt(midi, r + 24), assignmentOf(74));
    EXPECT_EQ(floatAt(midi, 41 + 24), notAssigned());
}

TEST_F(Codec, WriteReadWriteIsByteIdentical) {
    scramble(effect, 3);
    effect.selectProgram(12);
    effect.setParameter(60 + 2, assignmentOf(1));
    effect.setParameter(60 + 59, assignmentOf(119));
    const Bytes bank = effect.codec().buildBankBlock();
    const Bytes preset = effect.codec().buildPresetBlock();
    const Bytes midi = effect.codec().buildMidiBlock();

    TestEffect other;
    other.selectProgram(12);  // the preset lands in the current program
    ASSERT_TRUE(other.codec().loadBlockImage(bank.data(), bank.size(), presets::kBankKinds));
    ASSERT_TRUE(other.codec().loadBlockImage(midi.data(), midi.size(), presets::kMidiKinds));
    ASSERT_TRUE(other.codec().loadBlockImage(preset.data(), preset.size(), presets::kPresetKinds));
    EXPECT_EQ(other.codec().buildBankBlock(), bank);
    EXPECT_EQ(other.codec().buildPresetBlock(), preset);
    EXPECT_EQ(other.codec().buildMidiBlock(), midi);
    EXPECT_EQ(snapshot(other), snapshot(effect));
}

TEST_F(Codec, ByteReversedBlocksReadTheSame) {
    scramble(effect, 5);
    effect.selectProgram(9);
    effect.setParameter(60 + 4, assignmentOf(7));
    const Bytes bank = effect.codec().buildBankBlock();
    const Bytes midi = effect.codec().buildMidiBlock();

    TestEffect other;
    const Bytes reversedBank = reversedBlock(bank);
    ASSERT_NE(reversedBank, bank);
    EXPECT_EQ(std::memcmp(reversedBank.data(), "Vq41", 4), 0);
    ASSERT_TRUE(other.codec().loadBlockImage(reversedBank.data(), reversedBank.size(), presets::kBankKinds));
    const Bytes reversedMidi = reversedBlock(midi);
    ASSERT_TRUE(other.codec().loadBlockImage(reversedMidi.data(), reversedMidi.size(), presets::kMidiKinds));
    EXPECT_EQ(snapshot(other), snapshot(effect));
}

TEST_F(Codec, ReversedOptionReadsFieldsAgainstTheIdentifier) {
    // Identifier in native order, every other field reversed: only the option reads it.
    scramble(effect, 1);
    const Bytes preset = effect.codec().buildPresetBlock();
    Bytes mixed = reversedBlock(preset);
    std::memcpy(mixed.data(), preset.data(), 4);

    TestEffect plain, optioned;
    const Bytes before = snapshot(plain);
    EXPECT_FALSE(plain.codec().loadBlockImage(mixed.data(), mixed.size(), presets::kPresetKinds, false));
    EXPECT_EQ(snapshot(plain), before);
    ASSERT_TRUE(optioned.codec().loadBlockImage(mixed.data(), mixed.size(), presets::kPresetKinds, true));
    EXPECT_EQ(std::memcmp(optioned.programs()[0].values, effect.programs()[0].values, 240), 0);
}

TEST_F(Codec, BankSelectsItsCurrentProgramOrZero) {
    Bytes bank = effect.codec().buildBankBlock();
    struct Case {
        int32_t field;
        VstInt32 selected;
    } cases[] = {{7, 7}, {60, 60}, {61, 0}, {75, 0}, {-1, 0}, {INT32_MIN, 0}};
    for (const Case& c : cases) {
        putInt(bank, 17, c.field);
        TestEffect e;
        e.selected.clear();
        ASSERT_TRUE(e.codec().loadBlockImage(bank.data(), bank.size(), presets::kBankKinds));
        EXPECT_EQ(e.getCurrentProgramIndex(), c.selected) << c.field;
        ASSERT_FALSE(e.hooks.shown.empty());
        EXPECT_EQ(e.hooks.shown.back(), c.selected);
        EXPECT_EQ(e.hooks.renamed.size(), 61u);
    }
}

TEST_F(Codec, NamedProgramsStartFromTheTemplate) {
    // A bank holding only program 5's name and its Mix: the rest of program 5 is "Default",
    // and every other program is untouched.
    scramble(effect, 2);
    const Bytes before = snapshot(effect);
    Bytes bank = effect.codec().buildBankBlock();
    Bytes small(bank.begin(), bank.begin() + kHeaderSize);
    const size_t r = bankRecordStart(5);
    small.insert(small.end(), bank.begin() + r, bank.begin() + r + 168);                       // name
    small.insert(small.end(), bank.begin() + r + 168 + 2 * 32, bank.begin() + r + 168 + 3 * 32);  // Mix
    putInt(small, 13, 2);
    putInt(small, 21, 200);
    putInt(small, 17, 5);
    ASSERT_TRUE(effect.codec().loadBlockImage(small.data(), small.size(), presets::kBankKinds));

    const presets::ProgramRecord& p5 = effect.programs()[5];
    EXPECT_EQ(nameOf(p5), "Prog 37");
    for (int i = 0; i < 60; ++i) {
        const float expected = i == 2 ? floatAt(bank, bankValueAt(5, 2)) : float(effect.templateProgram().values[i]);
        EXPECT_EQ(p5.values[i], expected) << i;
    }
    EXPECT_EQ(std::memcmp(effect.programs(), before.data(), 5 * 264), 0);
    EXPECT_EQ(std::memcmp(effect.programs() + 6, before.data() + 6 * 264, 55 * 264), 0);
    EXPECT_EQ(effect.hooks.renamed, std::vector<int>{5});
}

TEST_F(Codec, OutOfRangeRecordsAreSkipped) {
    scramble(effect, 4);
    Bytes bank = effect.codec().buildBankBlock();
    TestEffect target;
    // Program field 61 and -1 on program 3's name record and one value record; an index of
    // 60 and -5 on two of program 4's value records; an unknown record type 9 in place of
    // program 6's Mix record.
    putInt(bank, bankRecordStart(3) + 8, 61);
    putInt(bank, bankRecordStart(3) + 168 + 8, -1);
    putInt(bank, bankRecordStart(4) + 168 + 12, 60);
    putInt(bank, bankRecordStart(4) + 168 + 32 + 12, -5);
    putInt(bank, bankRecordStart(6) + 168 + 64, 9);
    ASSERT_TRUE(target.codec().loadBlockImage(bank.data(), bank.size(), presets::kBankKinds));

    const presets::ProgramRecord& p3 = target.programs()[3];
    EXPECT_EQ(nameOf(p3), "Studio One");  // untouched: the factory program
    EXPECT_EQ(nameOf(target.programs()[4]), nameOf(effect.programs()[4]));
    EXPECT_EQ(target.programs()[4].values[0], target.templateProgram().values[0]);
    EXPECT_EQ(target.programs()[4].values[1], target.templateProgram().values[1]);
    EXPECT_EQ(target.programs()[4].values[2], effect.programs()[4].values[2]);
    EXPECT_EQ(target.programs()[6].values[2], target.templateProgram().values[2]);
}

TEST_F(Codec, PresetGoesIntoTheCurrentProgramOnly) {
    scramble(effect, 6);
    effect.selectProgram(20);
    const Bytes preset = effect.codec().buildPresetBlock();

    TestEffect target;
    target.selectProgram(41);
    const Bytes before = snapshot(target);
    ASSERT_TRUE(target.codec().loadBlockImage(preset.data(), preset.size(), presets::kPresetKinds));
    EXPECT_EQ(std::memcmp(&target.programs()[41], &effect.programs()[20], 264), 0);
    EXPECT_EQ(std::memcmp(target.programs(), before.data(), 41 * 264), 0);
    EXPECT_EQ(std::memcmp(target.programs() + 42, before.data() + 42 * 264, 19 * 264), 0);
    EXPECT_EQ(target.getCurrentProgramIndex(), 41);
    EXPECT_EQ(target.hooks.shownNames.back(), "Prog 146");
    EXPECT_EQ(target.selected.back(), 41);
}

TEST_F(Codec, PartialPresetLeavesTheRestAtDefault) {
    scramble(effect, 8);
    const Bytes full = effect.codec().buildPresetBlock();
    // Only the name and the values of parameters 0..9.
    Bytes partial(full.begin(), full.begin() + kHeaderSize + 168 + 10 * 32);
    putInt(partial, 13, 11);
    putInt(partial, 21, 168 + 10 * 32);

    TestEffect target;
    target.selectProgram(3);
    scramble(target, 50);
    ASSERT_TRUE(target.codec().loadBlockImage(partial.data(), partial.size(), presets::kPresetKinds));
    for (int i = 0; i < 60; ++i)
        EXPECT_EQ(target.programs()[3].values[i],
                  i < 10 ? effect.programs()[0].values[i] : target.templateProgram().values[i])
            << i;
}

TEST_F(Codec, NameOnlyPresetGivesTheDefaultValues) {
    const Bytes full = effect.codec().buildPresetBlock();
    Bytes nameOnly(full.begin(), full.begin() + kHeaderSize + 168);
    putInt(nameOnly, 13, 1);
    putInt(nameOnly, 21, 168);
    std::memcpy(&nameOnly[kHeaderSize + 12], "Only A Name", 12);
    effect.selectProgram(34);
    ASSERT_TRUE(effect.codec().loadBlockImage(nameOnly.data(), nameOnly.size(), presets::kPresetKinds));
    EXPECT_EQ(nameOf(effect.programs()[34]), "Only A Name");
    EXPECT_EQ(std::memcmp(effect.programs()[34].values, effect.templateProgram().values, 240), 0);
}

TEST_F(Codec, MidiBlockSkipsBadAssignmentsAndKeepsTheRest) {
    effect.setParameter(60 + 1, assignmentOf(1));
    Bytes midi = effect.codec().buildMidiBlock();
    TestEffect target;
    target.setParameter(60 + 9, assignmentOf(30));  // not in the block's controllers: overwritten
    putFloat(midi, 41 + 3 * 32 + 24, assignmentOf(3));
    putFloat(midi, 41 + 5 * 32 + 24, 1.5f);
    putFloat(midi, 41 + 6 * 32 + 24, std::nanf(""));
    putInt(midi, 41 + 7 * 32, 1);  // a value record in a MIDI block is not an assignment
    putFloat(midi, 41 + 7 * 32 + 24, assignmentOf(77));
    target.setParameter(60 + 5, assignmentOf(55));
    target.setParameter(60 + 7, assignmentOf(56));
    const Bytes programsBefore(reinterpret_cast<const uint8_t*>(target.programs()),
                               reinterpret_cast<const uint8_t*>(target.programs()) + 61 * 264);
    ASSERT_TRUE(target.codec().loadBlockImage(midi.data(), midi.size(), presets::kMidiKinds));
    EXPECT_EQ(target.getAssignedController(1), 1);
    EXPECT_EQ(target.getAssignedController(3), 3);
    EXPECT_EQ(target.getAssignedController(5), 55);  // skipped: 1.5
    EXPECT_EQ(target.getAssignedController(6), 999);  // skipped: NaN, was none
    EXPECT_EQ(target.getAssignedController(7), 56);
    EXPECT_EQ(target.getAssignedController(9), 999);
    EXPECT_EQ(std::memcmp(target.programs(), programsBefore.data(), programsBefore.size()), 0);
}

TEST_F(Codec, LegacyPresetOfTenValues) {
    Bytes file = {'1', '4', 'q', 'V', 0x21};
    Bytes name(24, 0);
    std::memcpy(name.data(), "Old Timer", 9);
    file.insert(file.end(), name.begin(), name.end());
    for (int k = 0; k < 10; ++k) {
        file.resize(file.size() + 4);
        putFloat(file, file.size() - 4, 0.05f * (k + 1));
    }
    ASSERT_EQ(file.size(), 29u + 40u);
    effect.selectProgram(33);
    ASSERT_TRUE(effect.codec().loadBlockImage(file.data(), file.size(), presets::kPresetKinds));
    EXPECT_EQ(nameOf(effect.programs()[33]), "Old Timer");
    for (int i = 0; i < 60; ++i)
        EXPECT_EQ(effect.programs()[33].values[i], i < 10 ? 0.05f * (i + 1) : float(effect.templateProgram().values[i]));
    EXPECT_EQ(effect.selected.back(), 33);
}

TEST_F(Codec, LegacyBankOfFortyValuesPerProgram) {
    Bytes file = {'1', '4', 'q', 'V', 0x37};
    for (int p = 0; p < 61; ++p) {
        Bytes name(24, 0);
        const std::string text = "Legacy " + std::to_string(p);
        std::memcpy(name.data(), text.data(), text.size());
        file.insert(file.end(), name.begin(), name.end());
        for (int k = 0; k < 40; ++k) {
            file.resize(file.size() + 4);
            putFloat(file, file.size() - 4, static_cast<float>((p + k) % 10) / 10.0f);
        }
    }
    effect.selectProgram(12);
    ASSERT_TRUE(effect.codec().loadBlockImage(file.data(), file.size(), presets::kBankKinds));
    for (int p = 0; p < 61; ++p) {
        EXPECT_EQ(nameOf(effect.programs()[p]), "Legacy " + std::to_string(p));
        for (int i = 0; i < 60; ++i)
            ASSERT_EQ(effect.programs()[p].values[i],
                      i < 40 ? static_cast<float>((p + i) % 10) / 10.0f : float(effect.templateProgram().values[i]));
    }
    EXPECT_EQ(effect.getCurrentProgramIndex(), 0);
}

TEST_F(Codec, LegacyMidiSettingsWithABadValueChangeNothing) {
    Bytes file = {'1', '4', 'q', 'V', 0x0B};
    const float values[] = {assignmentOf(10), assignmentOf(11), 2.0f, assignmentOf(13)};
    for (float v : values) {
        file.resize(file.size() + 4);
        putFloat(file, file.size() - 4, v);
    }
    const Bytes before = snapshot(effect);
    EXPECT_FALSE(effect.codec().loadBlockImage(file.data(), file.size(), presets::kMidiKinds));
    EXPECT_EQ(snapshot(effect), before);
    EXPECT_EQ(effect.getAssignedController(0), 999);
    // The same body with the bad value mended is taken whole.
    putFloat(file, 5 + 8, assignmentOf(12));
    ASSERT_TRUE(effect.codec().loadBlockImage(file.data(), file.size(), presets::kMidiKinds));
    for (int p = 0; p < 4; ++p) EXPECT_EQ(effect.getAssignedController(p), 10 + p);
}

TEST_F(Codec, KindsOutsideTheAllowedSetAreRefused) {
    const Bytes bank = effect.codec().buildBankBlock();
    const Bytes before = snapshot(effect);
    EXPECT_FALSE(effect.codec().loadBlockImage(bank.data(), bank.size(), presets::kPresetKinds));
    EXPECT_FALSE(effect.codec().loadBlockImage(bank.data(), bank.size(), presets::kMidiKinds));
    EXPECT_EQ(snapshot(effect), before);
}

TEST_F(Codec, KnownGoodPresetFile) {
    // A preset block kept as test data: "Test Echo", parameter i holding i / 64, and a
    // record list written by this codec.
    std::ifstream in(VANTEL_PRESET_TEST_DATA "/test-echo.qel", std::ios::binary);
    ASSERT_TRUE(in) << "missing test data";
    const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(file.size(), 2129u);
    effect.selectProgram(48);
    ASSERT_TRUE(effect.codec().loadBlockImage(file.data(), file.size(), presets::kPresetKinds));
    EXPECT_EQ(nameOf(effect.programs()[48]), "Test Echo");
    for (int i = 0; i < 60; ++i) EXPECT_EQ(effect.programs()[48].values[i], static_cast<float>(i) / 64.0f);
    EXPECT_EQ(effect.codec().buildPresetBlock(), file);
}

}  // namespace
