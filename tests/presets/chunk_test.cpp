// The host chunk: what a fresh instance returns, round trips in both byte orders, the
// read-only version 1 image, and refusals that leave everything as it was.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "PresetTestSupport.h"

using namespace presettest;

namespace {

constexpr size_t kChunkSize = 129337;
constexpr size_t kRecords = 8 + 41;  // where the chunk's record list starts

Bytes chunkOf(CPresetSystemEffect& e) {
    void* data = nullptr;
    const VstInt32 size = e.getChunk(&data, false);
    if (size <= 0 || !data) return {};
    const auto* p = static_cast<const uint8_t*>(data);
    return Bytes(p, p + size);
}

VstInt32 feed(CPresetSystemEffect& e, Bytes b) { return e.setChunk(b.empty() ? nullptr : b.data(), static_cast<VstInt32>(b.size())); }

// A state that differs from the factory one everywhere a chunk reaches.
void personalise(TestEffect& e) {
    for (int p = 0; p < 61; ++p) {
        presets::storeProgramName(e.programs()[p], ("Mine " + std::to_string(60 - p)).c_str());
        for (int i = 0; i < 60; ++i) e.programs()[p].values[i] = static_cast<float>((p * 13 + i * 5) % 101) / 100.0f;
    }
    e.selectProgram(23);
    e.setParameter(60 + 0, assignmentOf(0));
    e.setParameter(60 + 15, assignmentOf(74));
    e.setParameter(60 + 59, assignmentOf(127));
}

// The chunk with every 32-bit field in the other byte order; names and the kind byte stay.
Bytes reversedChunk(const Bytes& chunk) {
    Bytes b = chunk;
    reverseWord(b, 0);
    reverseWord(b, 4);
    reverseWord(b, 8);
    for (size_t w = 13; w < kRecords; w += 4) reverseWord(b, w);
    reverseRecords(b, kRecords, b.size());
    return b;
}

class Chunk : public ::testing::Test {
protected:
    void SetUp() override { host() = Host{}; }
};

TEST_F(Chunk, FreshInstanceChunkLayout) {
    TestEffect e;
    const Bytes c = chunkOf(e);
    ASSERT_EQ(c.size(), kChunkSize);
    EXPECT_EQ(intAt(c, 0), 0x02000000);
    EXPECT_EQ(std::memcmp(&c[4], "14qV", 4), 0);
    EXPECT_EQ(std::memcmp(&c[8], "14qV", 4), 0);
    EXPECT_EQ(c[12], 0x38);
    EXPECT_EQ(intAt(c, 8 + 13), 3781);
    EXPECT_EQ(intAt(c, 8 + 17), 0);
    EXPECT_EQ(intAt(c, 8 + 21), 127368);
    // The appended assignment records: type 2, length 20, program 0, parameter p.
    for (int p = 0; p < 60; ++p) {
        const size_t r = 8 + 127409 + 32 * p;
        ASSERT_EQ(intAt(c, r), 2);
        ASSERT_EQ(intAt(c, r + 4), 20);
        ASSERT_EQ(intAt(c, r + 8), 0);
        ASSERT_EQ(intAt(c, r + 12), p);
        ASSERT_EQ(floatAt(c, r + 24), notAssigned());
    }
}

TEST_F(Chunk, RoundTripReproducesEverything) {
    TestEffect source;
    personalise(source);
    const Bytes c = chunkOf(source);

    TestEffect target;
    ASSERT_EQ(feed(target, c), 0);
    EXPECT_EQ(snapshot(target), snapshot(source));
    EXPECT_EQ(target.getCurrentProgramIndex(), 23);
    EXPECT_EQ(target.getAssignedController(15), 74);
    EXPECT_EQ(target.getControlledParameter(127), 59);
    EXPECT_EQ(chunkOf(target), c);
    EXPECT_EQ(target.selected.back(), 23);
}

TEST_F(Chunk, ByteReversedChunkGivesTheSameState) {
    TestEffect source;
    personalise(source);
    const Bytes reversed = reversedChunk(chunkOf(source));
    EXPECT_EQ(std::memcmp(&reversed[4], "Vq41", 4), 0);
    const Bytes copy = reversed;

    TestEffect target;
    ASSERT_EQ(target.setChunk(const_cast<uint8_t*>(reversed.data()), static_cast<VstInt32>(reversed.size())), 0);
    EXPECT_EQ(reversed, copy);  // the host's memory is read, never written
    EXPECT_EQ(snapshot(target), snapshot(source));
}

TEST_F(Chunk, AssignmentsBeforeProgramsAndProgramSelectedLast) {
    TestEffect source;
    personalise(source);
    TestEffect target;
    ASSERT_EQ(feed(target, chunkOf(source)), 0);
    ASSERT_EQ(target.selected.size(), 1u);
    EXPECT_EQ(target.hooks.shown, std::vector<int>{23});
    EXPECT_EQ(target.hooks.renamed.size(), 61u);
}

TEST_F(Chunk, RefusalsLeaveEverythingAsItWas) {
    TestEffect source;
    personalise(source);
    const Bytes good = chunkOf(source);

    struct Case {
        const char* name;
        Bytes bytes;
    };
    std::vector<Case> cases;
    auto with = [&](const char* name, const std::function<void(Bytes&)>& change) {
        Bytes b = good;
        change(b);
        cases.push_back({name, b});
    };
    with("foreign identifier", [](Bytes& b) { std::memcpy(&b[4], "FXbk", 4); });
    with("unknown version", [](Bytes& b) { putInt(b, 0, 0x03000000); });
    with("version zero", [](Bytes& b) { putInt(b, 0, 0); });
    with("head only", [](Bytes& b) { b.resize(8); });
    with("header cut", [](Bytes& b) { b.resize(48); });
    with("last assignment cut", [](Bytes& b) { b.resize(b.size() - 1); });
    with("count beyond the records", [](Bytes& b) { putInt(b, 8 + 13, 3782); });
    with("negative count", [](Bytes& b) { putInt(b, 8 + 13, -3781); });
    with("bad program value", [](Bytes& b) { putFloat(b, kRecords + 40 * 2088 + 168 + 7 * 32 + 24, 1.5f); });
    with("NaN program value", [](Bytes& b) { putFloat(b, kRecords + 168 + 24, std::nanf("")); });
    with("record length past the end", [](Bytes& b) { putInt(b, b.size() - 32 + 4, 2000); });

    for (const Case& c : cases) {
        TestEffect target;
        target.selectProgram(5);
        target.setParameter(60 + 15, assignmentOf(20));
        target.setParameter(60 + 1, assignmentOf(21));
        const Bytes before = snapshot(target);
        target.selected.clear();
        EXPECT_EQ(feed(target, c.bytes), -1) << c.name;
        EXPECT_EQ(snapshot(target), before) << c.name;
        EXPECT_TRUE(target.selected.empty()) << c.name;
    }

    TestEffect target;
    const Bytes before = snapshot(target);
    EXPECT_EQ(target.setChunk(nullptr, 129337), -1);
    EXPECT_EQ(target.setChunk(const_cast<uint8_t*>(good.data()), 0), -1);
    EXPECT_EQ(target.setChunk(const_cast<uint8_t*>(good.data()), -5), -1);
    EXPECT_EQ(snapshot(target), before);
}

TEST_F(Chunk, AnEmptyRecordListSelectsTheStoredProgram) {
    TestEffect source;
    Bytes c = chunkOf(source);
    c.resize(kRecords);
    putInt(c, 8 + 13, 0);
    putInt(c, 8 + 17, 44);
    TestEffect target;
    const Bytes programsBefore = snapshot(target);
    ASSERT_EQ(feed(target, c), 0);
    EXPECT_EQ(target.getCurrentProgramIndex(), 44);
    EXPECT_EQ(std::memcmp(target.programs(), programsBefore.data(), 61 * 264), 0);
}

// ---------------------------------------------------------------- version 1

constexpr size_t kV1Size = 16376;

// A version-1 image of n entries; entry j is named "Old j" and holds value (j + k) % 50 / 50.
Bytes version1(int32_t n, int32_t current) {
    Bytes b(kV1Size, 0);
    putInt(b, 0, 0x01000000);
    std::memcpy(&b[4], "14qV", 4);
    putInt(b, 8, n);
    putInt(b, 12, current);
    const size_t m = ((kV1Size - 32) / static_cast<size_t>(n) - 24) / 4;
    const size_t stride = 24 + 4 * m;
    for (int j = 0; j < std::min<int32_t>(n, 61); ++j) {
        const std::string name = "Old " + std::to_string(j);
        std::memcpy(&b[32 + j * stride], name.data(), name.size());
        for (size_t k = 0; k < std::min<size_t>(m, 60); ++k)
            putFloat(b, 32 + j * stride + 24 + 4 * k, static_cast<float>((j + k) % 50) / 50.0f);
    }
    for (int p = 0; p < 60; ++p) putFloat(b, 16136 + 4 * p, notAssigned());
    putFloat(b, 16136 + 4 * 15, assignmentOf(74));
    return b;
}

// Every 32-bit word of a version-1 image reversed, names excepted.
Bytes reversedVersion1(const Bytes& image, int32_t n) {
    Bytes b = image;
    for (size_t w = 0; w < 32; w += 4) reverseWord(b, w);
    const size_t m = ((kV1Size - 32) / static_cast<size_t>(n) - 24) / 4;
    const size_t stride = 24 + 4 * m;
    for (int j = 0; j < std::min<int32_t>(n, 61); ++j)
        for (size_t k = 0; k < m; ++k) reverseWord(b, 32 + j * stride + 24 + 4 * k);
    for (size_t w = 16136; w < kV1Size; w += 4) reverseWord(b, w);
    return b;
}

void expectVersion1Programs(TestEffect& e, int entries) {
    for (int j = 0; j < entries; ++j) {
        ASSERT_EQ(nameOf(e.programs()[j]), "Old " + std::to_string(j));
        for (int k = 0; k < 60; ++k) ASSERT_EQ(e.programs()[j].values[k], static_cast<float>((j + k) % 50) / 50.0f);
    }
}

TEST_F(Chunk, Version1ImageIsRead) {
    TestEffect target;
    target.setParameter(60 + 3, assignmentOf(3));
    ASSERT_EQ(feed(target, version1(61, 12)), 0);
    expectVersion1Programs(target, 61);
    EXPECT_EQ(target.getCurrentProgramIndex(), 12);
    EXPECT_EQ(target.getAssignedController(15), 74);
    EXPECT_EQ(target.getAssignedController(3), 999);
}

TEST_F(Chunk, ByteReversedVersion1ImageIsRead) {
    TestEffect target;
    ASSERT_EQ(feed(target, reversedVersion1(version1(61, 7), 61)), 0);
    expectVersion1Programs(target, 61);
    EXPECT_EQ(target.getCurrentProgramIndex(), 7);
    EXPECT_EQ(target.getAssignedController(15), 74);
}

TEST_F(Chunk, Version1WithFewerEntriesKeepsTheOtherPrograms) {
    TestEffect target;
    const presets::ProgramRecord last = target.programs()[60];
    ASSERT_EQ(feed(target, version1(30, 99)), 0);  // current program out of range: 0
    expectVersion1Programs(target, 30);
    EXPECT_EQ(std::memcmp(&target.programs()[60], &last, 264), 0);
    EXPECT_EQ(target.getCurrentProgramIndex(), 0);
}

TEST_F(Chunk, Version1RefusalsLeaveEverythingAsItWas) {
    struct Case {
        const char* name;
        Bytes bytes;
    };
    Bytes badValue = version1(61, 0);
    putFloat(badValue, 32 + 50 * 264 + 24 + 4 * 9, 1.25f);
    Bytes nanValue = version1(61, 0);
    putFloat(nanValue, 32 + 24, std::nanf(""));
    Bytes zeroEntries = version1(61, 0);
    putInt(zeroEntries, 8, 0);
    Bytes negativeEntries = version1(61, 0);
    putInt(negativeEntries, 8, -61);
    Bytes tooManyEntries = version1(61, 0);
    putInt(tooManyEntries, 8, 16344 / 23);  // entries shorter than a name
    Bytes shortImage = version1(61, 0);
    shortImage.resize(kV1Size - 1);
    Bytes longImage = version1(61, 0);
    longImage.resize(kV1Size + 61 * 400);  // the stride from the size would run past the image
    const Case cases[] = {{"bad value", badValue},         {"NaN value", nanValue},
                          {"zero entries", zeroEntries},   {"negative entries", negativeEntries},
                          {"entries too short", tooManyEntries}, {"short image", shortImage},
                          {"entries past the image", longImage}};
    for (const Case& c : cases) {
        TestEffect target;
        target.setParameter(60 + 8, assignmentOf(8));
        const Bytes before = snapshot(target);
        target.selected.clear();
        EXPECT_EQ(feed(target, c.bytes), -1) << c.name;
        EXPECT_EQ(snapshot(target), before) << c.name;
        EXPECT_TRUE(target.selected.empty()) << c.name;
    }
}

}  // namespace
