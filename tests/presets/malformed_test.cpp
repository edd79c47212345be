// Every malformed block is refused as a whole: one case per kind of damage, each checking
// that programs, current program and controller assignments are byte for byte as before.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "PresetTestSupport.h"

using namespace presettest;
using presets::kHeaderSize;

namespace {

struct Damage {
    const char* name;
    unsigned kinds;  // what the reader is asked to accept
    std::function<Bytes(TestEffect&)> make;
};

Bytes bankOf(TestEffect& e) { return e.codec().buildBankBlock(); }
Bytes presetOf(TestEffect& e) { return e.codec().buildPresetBlock(); }
Bytes midiOf(TestEffect& e) { return e.codec().buildMidiBlock(); }

// The last record of a bank block starts here (program 60's Input value record is at
// kHeaderSize + 60 * 2088 + 168).
constexpr size_t kLastRecord = kHeaderSize + 127368 - 32;

const Damage kDamages[] = {
    {"Empty", presets::kAnyKind, [](TestEffect&) { return Bytes{}; }},
    {"FourBytes", presets::kAnyKind, [](TestEffect&) { return Bytes{'1', '4', 'q', 'V'}; }},
    {"WrongIdentifier", presets::kBankKinds,
     [](TestEffect& e) {
         Bytes b = bankOf(e);
         std::memcpy(b.data(), "14qW", 4);
         return b;
     }},
    {"UnknownKind", presets::kAnyKind,
     [](TestEffect& e) {
         Bytes b = bankOf(e);
         b[4] = 0x39;
         return b;
     }},
    {"HeaderCutShort", presets::kBankKinds,
     [](TestEffect& e) {
         Bytes b = bankOf(e);
         b.resize(40);
         return b;
     }},
    {"NegativeRecordCount", presets::kBankKinds,
     [](TestEffect& e) {
         Bytes b = bankOf(e);
         putInt(b, 13, -1);
         return b;
     }},
    {"HugeRecordCount", presets::kBankKinds,
     [](TestEffect& e) {
         Bytes b = bankOf(e);
         putInt(b, 13, INT32_MAX);
         return b;
     }},
    {"OneRecordMoreThanPresent", presets::kBankKinds,
     [](TestEffect& e) {
         Bytes b = bankOf(e);
         putInt(b, 13, 3722);
         return b;
     }},
    {"NegativeByteCount", presets::kBankKinds,
     [](TestEffect& e) {
         Bytes b = bankOf(e);
         putInt(b, 21, -32);
         return b;
     }},
    {"ByteCountBeyondTheData", presets::kBankKinds,
     [](TestEffect& e) {
         Bytes b = bankOf(e);
         putInt(b, 21, 127369);
         return b;
     }},
    {"ByteCountTooSmallForTheRecords", presets::kBankKinds,
     [](TestEffect& e) {
         Bytes b = bankOf(e);
         putInt(b, 21, 127368 - 1);
         return b;
     }},
    {"TruncatedLastRecord", presets::kBankKinds,
     [](TestEffect& e) {
         Bytes b = bankOf(e);
         b.resize(b.size() - 1);
         putInt(b, 21, 127368 - 1);
         return b;
     }},
    {"NegativeRecordLength", presets::kBankKinds,
     [](TestEffect& e) {
         Bytes b = bankOf(e);
         putInt(b, kLastRecord + 4, -12);
         return b;
     }},
    {"HugeRecordLength", presets::kBankKinds,
     [](TestEffect& e) {
         Bytes b = bankOf(e);
         putInt(b, kHeaderSize + 4, INT32_MAX);
         return b;
     }},
    {"RecordLengthOneBeyondTheEnd", presets::kBankKinds,
     [](TestEffect& e) {
         Bytes b = bankOf(e);
         putInt(b, kLastRecord + 4, 21);
         return b;
     }},
    {"NameRecordTooShortForAName", presets::kPresetKinds,
     [](TestEffect& e) {
         // Name record of 20 bytes; the remaining records are moved up behind it.
         Bytes b = presetOf(e);
         putInt(b, kHeaderSize + 4, 20);
         b.erase(b.begin() + kHeaderSize + 12 + 20, b.begin() + kHeaderSize + 168);
         putInt(b, 21, 2088 - 136);
         return b;
     }},
    {"ValueRecordTooShortForItsValue", presets::kPresetKinds,
     [](TestEffect& e) {
         Bytes b = presetOf(e);
         const size_t last = b.size() - 32;
         putInt(b, last + 4, 8);
         b.resize(last + 20);
         putInt(b, 21, static_cast<int32_t>(b.size() - kHeaderSize));
         return b;
     }},
    {"BankValueAboveOne", presets::kBankKinds,
     [](TestEffect& e) {
         Bytes b = bankOf(e);
         putFloat(b, kHeaderSize + 30 * 2088 + 168 + 5 * 32 + 24, 1.5f);
         return b;
     }},
    {"BankValueNegative", presets::kBankKinds,
     [](TestEffect& e) {
         Bytes b = bankOf(e);
         putFloat(b, kLastRecord + 24, -0.001f);
         return b;
     }},
    {"BankValueNaN", presets::kBankKinds,
     [](TestEffect& e) {
         Bytes b = bankOf(e);
         putFloat(b, kHeaderSize + 168 + 24, std::nanf(""));
         return b;
     }},
    {"PresetValueInfinite", presets::kPresetKinds,
     [](TestEffect& e) {
         Bytes b = presetOf(e);
         putFloat(b, b.size() - 8, INFINITY);
         return b;
     }},
    {"MidiRecordCut", presets::kMidiKinds,
     [](TestEffect& e) {
         Bytes b = midiOf(e);
         b.resize(b.size() - 4);
         putInt(b, 21, 1916);
         return b;
     }},
    {"LegacyBankTooShortForSixtyOneNames", presets::kBankKinds,
     [](TestEffect&) {
         Bytes b = {'1', '4', 'q', 'V', 0x37};
         b.resize(5 + 61 * 24 - 1, 'a');
         return b;
     }},
    {"LegacyBankValueAboveOne", presets::kBankKinds,
     [](TestEffect&) {
         Bytes b = {'1', '4', 'q', 'V', 0x37};
         b.resize(5 + 61 * 28, 0);
         putFloat(b, 5 + 40 * 28 + 24, 1.01f);
         return b;
     }},
    {"LegacyPresetShorterThanAName", presets::kPresetKinds,
     [](TestEffect&) {
         Bytes b = {'1', '4', 'q', 'V', 0x21};
         b.resize(28, 'x');
         return b;
     }},
    {"LegacyPresetValueNaN", presets::kPresetKinds,
     [](TestEffect&) {
         Bytes b = {'1', '4', 'q', 'V', 0x21};
         b.resize(29 + 8, 0);
         putFloat(b, 33, std::nanf(""));
         return b;
     }},
};

class Malformed : public ::testing::TestWithParam<Damage> {};

TEST_P(Malformed, IsRefusedWithNothingChanged) {
    host() = Host{};
    TestEffect effect;
    // A state unlike the factory one, so a partial load would show.
    effect.selectProgram(17);
    effect.setParameter(3, 0.123f);
    effect.setParameter(60 + 3, assignmentOf(7));
    effect.setParameter(60 + 40, assignmentOf(100));
    presets::storeProgramName(effect.programs()[5], "Keep Me");

    TestEffect writer;
    for (int p = 0; p < 61; ++p) presets::storeProgramName(writer.programs()[p], "Written");
    writer.setParameter(60 + 3, assignmentOf(9));
    const Bytes damaged = GetParam().make(writer);

    const Bytes before = snapshot(effect);
    effect.selected.clear();
    EXPECT_FALSE(effect.codec().loadBlockImage(damaged.data(), damaged.size(), GetParam().kinds));
    EXPECT_EQ(snapshot(effect), before);
    EXPECT_TRUE(effect.selected.empty());
    EXPECT_TRUE(effect.hooks.renamed.empty());
}

INSTANTIATE_TEST_SUITE_P(Blocks, Malformed, ::testing::ValuesIn(kDamages),
                         [](const ::testing::TestParamInfo<Damage>& info) { return std::string(info.param.name); });

// The readers called directly (as the files layer does after reading the header) must
// stay within the bytes they are given.
TEST(MalformedDirect, ReadersRespectTheGivenSize) {
    host() = Host{};
    TestEffect effect;
    const Bytes bank = effect.codec().buildBankBlock();
    const presets::BlockHeader header = presets::BlockHeader::read(bank.data(), false);
    const Bytes before = snapshot(effect);
    for (size_t cut : {size_t(0), size_t(11), size_t(12), size_t(167), size_t(127367)}) {
        EXPECT_FALSE(effect.codec().loadBankBlock(bank.data() + kHeaderSize, cut, header, false)) << cut;
        EXPECT_FALSE(effect.codec().loadPresetBlock(bank.data() + kHeaderSize, cut, header, false)) << cut;
        EXPECT_FALSE(effect.codec().loadMidiBlock(bank.data() + kHeaderSize, cut, header, false)) << cut;
    }
    EXPECT_FALSE(effect.codec().loadLegacyBank(bank.data(), 61 * 24 - 1, false));
    EXPECT_FALSE(effect.codec().loadLegacyPreset(bank.data(), 23, false));
    EXPECT_FALSE(effect.codec().loadBankBlock(nullptr, 0, header, false));
    EXPECT_EQ(snapshot(effect), before);
}

}  // namespace
