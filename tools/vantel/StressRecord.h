// What `vantel stress` shares between the process that runs the storm and the process that
// watches it. The storm runs in a forked child so that a crash or a hang of the plug-in
// cannot take the report with it: the child keeps, in shared memory, what each of its
// threads is calling right now, the failures it found and its running totals; the parent
// reads them when the child ends, dies or stops making progress.
//
// Everything here lives in one anonymous shared mapping and is made only of lock-free
// atomics and plain character arrays, so that both processes may read it without locks
// (a lock held by a child that died would never be released).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "aeffectx.h"

namespace vantel::stress {

// The threads of the storm.
enum class Thread : int { Main, Audio, Parameters, Chunks, Count };
const char* threadName(Thread thread);

// What a thread calls into the plug-in.
enum class Call : int {
    None,
    Load,                  // the entry point (construction)
    Dispatch,              // dispatcher(opcode, index, value, ptr, opt)
    ProcessReplacing,      // 32-bit
    ProcessDoubleReplacing,
    SetParameter,
    GetParameter,
    Unload,                // effClose and dlclose
};

// The call a thread is in (or made last). Written only by its own thread; read by the
// watcher, which may see a mixture of two calls for an instant, never for long.
struct Slot {
    std::atomic<int> inCall{0};
    std::atomic<int> call{0};
    std::atomic<int> opcode{0};
    std::atomic<int> index{0};
    std::atomic<long long> value{0};
    std::atomic<float> opt{0.0f};
    std::atomic<int> frames{0};
    std::atomic<long long> startNs{0};  // CLOCK_MONOTONIC, the same clock in both processes
    std::atomic<unsigned long long> calls{0};
    // The audio thread's set-up, for the report: sample rate and block size last sent.
    std::atomic<float> sampleRate{0.0f};
    std::atomic<int> blockSize{0};
};

// Kinds of failure, each counted once per failed check (a block with 30 subnormal samples
// is one failure).
enum class Fault : int {
    Crash,
    Hang,
    UncleanExit,
    Unwritten,
    NonFinite,
    Subnormal,
    PastBlockEnd,
    TextUnterminated,
    TextTooLong,
    ChunkRefused,
    ChunkRoundTrip,
    RenderMismatch,
    Count
};
const char* failureName(Fault kind);

struct FailureRecord {
    std::atomic<unsigned long long> count{0};
    std::atomic<int> ready{0};  // `first` is complete
    char first[600] = {};
};

// Block costs in a histogram of 16 buckets per octave of nanoseconds (about 4 % apart):
// bounded memory however long the run.
constexpr int kCostBucketsPerOctave = 16;
constexpr int kCostBuckets = 40 * kCostBucketsPerOctave;

struct Record {
    Slot slots[int(Thread::Count)];
    FailureRecord failures[int(Fault::Count)];

    std::atomic<unsigned long long> blocks{0};
    std::atomic<double> audioSeconds{0.0};  // written by one thread at a time
    std::atomic<unsigned long long> parameterChanges{0};
    std::atomic<unsigned long long> chunkRoundTrips{0};
    std::atomic<unsigned long long> costBuckets[kCostBuckets] = {};
    std::atomic<long long> maxCostNs{0};

    std::atomic<long long> startNs{0};
    std::atomic<int> finished{0};  // the child completed its run and wrote everything
    std::atomic<int> setupFailed{0};
    char setupError[600] = {};

    // Counts one failure of `kind`; the first one's description is kept (printf format).
    void fail(Fault kind, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void addCost(long long ns);
    double costPercentileMicroseconds(double fraction) const;
    unsigned long long totalFailures() const;
};

static_assert(std::atomic<long long>::is_always_lock_free && std::atomic<double>::is_always_lock_free &&
                  std::atomic<float>::is_always_lock_free,
              "the shared record must be lock-free to be shared between processes");

long long monotonicNs();
// A readable name for a dispatcher opcode ("effSetChunk"), or its number.
std::string opcodeName(int opcode);

// One storm, as the options asked for it.
struct Options {
    std::string plugin;
    double seconds = 10.0;
    uint64_t seed = 0;
    bool audio = true, parameters = true, chunks = true;
    double hangSeconds = 10.0;
};

// The child's side: runs the storm and the checks after it, fills `record`, and answers the
// exit status for the child process.
int runStorm(const Options& options, Record& record);

}  // namespace vantel::stress
