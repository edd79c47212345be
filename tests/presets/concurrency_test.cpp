// One effect driven from three threads at once, as a host drives it while a session plays:
// its state thread restoring and saving the session, a second thread automating and
// listing programs (and saving too), and the audio thread with MIDI controllers. Every
// chunk taken meanwhile must be one that a fresh instance accepts. The test carries the
// label "concurrency": under ThreadSanitizer the same run must show no data race.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "TestHost.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Where the fields sit in a chunk of this effect: 8-byte head, 41-byte bank header, then
// per program a 168-byte name record and 60 value records of 32 bytes, then the 60
// assignment records.
constexpr size_t kChunkSize = 129337;
constexpr size_t kRecords = 8 + 41;
constexpr size_t kProgramStride = 168 + 60 * 32;
constexpr size_t kCurrentProgramField = 8 + 17;
size_t nameAt(int program) { return kRecords + program * kProgramStride + 12; }
size_t assignmentAt(int parameter) { return kRecords + 61 * kProgramStride + parameter * 32 + 24; }

// Controllers 20..25 drive parameters 2..7 in every bank the test loads.
constexpr int kFirstController = 20, kFirstDriven = 2, kDriven = 6;

// A fresh instance's chunk with every program renamed "<prefix> <n>", the controllers
// assigned, and `current` as the current program.
Bytes bank(testhost::TestHost& host, const std::string& prefix, int current) {
    Bytes chunk = host.load(VANTEL_PLUGIN_PATH)->getChunk();
    if (chunk.size() != kChunkSize) return {};
    for (int p = 0; p < 61; ++p) {
        const std::string name = prefix + " " + std::to_string(p);
        std::memset(&chunk[nameAt(p)], 0, 24);
        std::memcpy(&chunk[nameAt(p)], name.data(), name.size());
    }
    for (int k = 0; k < kDriven; ++k) {
        const float assignment = (kFirstController + k + 0.5f) / 129.0f;
        std::memcpy(&chunk[assignmentAt(kFirstDriven + k)], &assignment, 4);
    }
    std::memcpy(&chunk[kCurrentProgramField], &current, 4);
    return chunk;
}

// The common prefix of the chunk's 61 program names, or "" when they come from different banks.
std::string bankOf(const Bytes& chunk) {
    std::string prefix;
    for (int p = 0; p < 61; ++p) {
        const char* name = reinterpret_cast<const char*>(&chunk[nameAt(p)]);
        const std::string text(name, strnlen(name, 24));
        const std::string ofThis = text.substr(0, text.find(' '));
        if (p == 0) prefix = ofThis;
        if (ofThis != prefix || text != prefix + " " + std::to_string(p)) return "";
    }
    return prefix;
}

TEST(Concurrency, ChunksTakenWhileEverythingMovesAreWholeChunks) {
    testhost::TestHost host;
    const Bytes banks[2] = {bank(host, "Alpha", 7), bank(host, "Beta", 30)};
    ASSERT_FALSE(banks[0].empty());
    ASSERT_FALSE(banks[1].empty());

    auto plugin = host.load(VANTEL_PLUGIN_PATH);
    plugin->activate(44100.0f, 64);
    ASSERT_EQ(plugin->setChunk(banks[0]), 0);

    std::mutex takenMutex;
    std::vector<Bytes> taken;
    auto keep = [&](Bytes chunk) {
        std::lock_guard<std::mutex> hold(takenMutex);
        taken.push_back(std::move(chunk));
    };
    std::atomic<bool> done{false};
    std::atomic<int> refused{0};

    // The host's state thread: restore one bank, save, restore the other, save.
    std::thread state([&] {
        for (int round = 0; round < 24; ++round) {
            if (plugin->setChunk(banks[round % 2]) != 0) ++refused;
            keep(plugin->getChunk());
        }
        done = true;
    });
    // Automation, including values a host should not send, while programs are listed (as
    // an editor or host does) and the session is saved from here too.
    std::thread automation([&] {
        for (int sweep = 0; !done; ++sweep) {
            for (int i = 0; i < 60; ++i) {
                const float value = (sweep + i) % 13 == 0 ? 1.5f : static_cast<float>((sweep * 7 + i) % 11) / 10.0f;
                plugin->setParameter(i, value);
                plugin->getParameter(i);
            }
            plugin->programNameIndexed(sweep % 61);
            if (sweep % 4 == 0) keep(plugin->getChunk());
        }
    });
    // The audio thread: controllers move their parameters between blocks.
    std::thread audio([&] {
        testhost::Channels<float> in(4, std::vector<float>(64, 0.25f)), out(2, std::vector<float>(64));
        for (int block = 0; !done; ++block) {
            const auto controller = static_cast<uint8_t>(kFirstController + block % kDriven);
            plugin->processEvents({{0, 0xB0, controller, static_cast<uint8_t>(block % 128)}});
            plugin->processReplacing(in, out, 64);
        }
    });
    state.join();
    automation.join();
    audio.join();

    EXPECT_EQ(refused, 0);
    ASSERT_GE(taken.size(), 24u);
    for (size_t c = 0; c < taken.size(); ++c) {
        const Bytes& chunk = taken[c];
        ASSERT_EQ(chunk.size(), kChunkSize) << "chunk " << c;
        // Saving and restoring do not overlap: a chunk holds one bank's programs, never a
        // mixture of two loads (values may mix with automation, names may not).
        const std::string from = bankOf(chunk);
        EXPECT_TRUE(from == "Alpha" || from == "Beta") << "chunk " << c;
        EXPECT_EQ(host.load(VANTEL_PLUGIN_PATH)->setChunk(chunk), 0) << "chunk " << c;
    }
}

// A host reads the chunk in place after the call: another thread saving meanwhile must
// not rewrite the bytes it is reading.
TEST(Concurrency, ASaveOnAnotherThreadLeavesAnEarlierChunkAlone) {
    testhost::TestHost host;
    auto plugin = host.load(VANTEL_PLUGIN_PATH);
    void* first = nullptr;
    ASSERT_EQ(plugin->dispatch(effGetChunk, 0, 0, &first), static_cast<VstIntPtr>(kChunkSize));
    const Bytes before(static_cast<uint8_t*>(first), static_cast<uint8_t*>(first) + kChunkSize);
    plugin->setParameter(2, plugin->getParameter(2) > 0.5f ? 0.0f : 1.0f);  // the next chunk differs
    std::thread([&] {
        void* second = nullptr;
        EXPECT_EQ(plugin->dispatch(effGetChunk, 0, 0, &second), static_cast<VstIntPtr>(kChunkSize));
        EXPECT_NE(second, first);
    }).join();
    EXPECT_EQ(std::memcmp(first, before.data(), kChunkSize), 0) << "the earlier chunk was rewritten";
}

// Automation that lands while another thread is loading a program is part of the state
// from then on: what a host saves afterwards is what plays.
TEST(Concurrency, AChangeMadeDuringAProgramLoadIsSaved) {
    testhost::TestHost host;
    auto plugin = host.load(VANTEL_PLUGIN_PATH);
    std::atomic<bool> moved{false};
    host.setHook([&](testhost::Plugin* p, const testhost::HostCall& call) -> std::optional<VstIntPtr> {
        // The load is under way until its last callbacks: move Mix from another thread now.
        if (p && call.opcode == audioMasterUpdateDisplay && !moved.exchange(true))
            std::thread([p] { p->setParameter(2, 0.375f); }).join();
        return std::nullopt;
    });
    ASSERT_EQ(plugin->setChunk(plugin->getChunk()), 0);
    host.setHook(nullptr);
    ASSERT_TRUE(moved);
    EXPECT_FLOAT_EQ(plugin->getParameter(2), 0.375f);

    auto fresh = host.load(VANTEL_PLUGIN_PATH);
    ASSERT_EQ(fresh->setChunk(plugin->getChunk()), 0);
    EXPECT_FLOAT_EQ(fresh->getParameter(2), 0.375f);
}

}  // namespace
