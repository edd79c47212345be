// vantel stress [PLUGIN.so]: a hostile host. The storm itself (StressStorm.cpp) runs in a
// forked child; this side watches it through the shared record, names the call in flight
// when the child dies or stops making progress, and prints the report.
#include "Cli.h"
#include "StressRecord.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <random>
#include <sstream>

namespace vantel {

namespace stress {

const char* threadName(Thread thread) {
    switch (thread) {
    case Thread::Main: return "main thread";
    case Thread::Audio: return "audio thread";
    case Thread::Parameters: return "parameter thread";
    case Thread::Chunks: return "chunk thread";
    default: return "thread";
    }
}

const char* failureName(Fault kind) {
    switch (kind) {
    case Fault::Crash: return "crash";
    case Fault::Hang: return "hang";
    case Fault::UncleanExit: return "unclean exit";
    case Fault::Unwritten: return "unwritten output";
    case Fault::NonFinite: return "non-finite output";
    case Fault::Subnormal: return "subnormal output";
    case Fault::PastBlockEnd: return "output written past the block";
    case Fault::TextUnterminated: return "unterminated text";
    case Fault::TextTooLong: return "text too long";
    case Fault::ChunkRefused: return "own chunk refused";
    case Fault::ChunkRoundTrip: return "chunk round trip not identical";
    case Fault::RenderMismatch: return "fresh and stormed instance differ";
    default: return "failure";
    }
}

long long monotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

void Record::fail(Fault kind, const char* format, ...) {
    FailureRecord& f = failures[int(kind)];
    if (f.count.fetch_add(1) != 0) return;  // only the first one is described
    va_list args;
    va_start(args, format);
    std::vsnprintf(f.first, sizeof f.first, format, args);
    va_end(args);
    f.ready.store(1, std::memory_order_release);
}

void Record::addCost(long long ns) {
    const int bucket = ns < 1 ? 0 : int(std::log2(double(ns)) * kCostBucketsPerOctave);
    costBuckets[std::min(bucket, kCostBuckets - 1)].fetch_add(1, std::memory_order_relaxed);
    long long seen = maxCostNs.load(std::memory_order_relaxed);
    while (ns > seen && !maxCostNs.compare_exchange_weak(seen, ns, std::memory_order_relaxed)) {
    }
}

double Record::costPercentileMicroseconds(double fraction) const {
    unsigned long long total = 0;
    for (const auto& b : costBuckets) total += b.load(std::memory_order_relaxed);
    if (total == 0) return 0.0;
    const double wanted = fraction * double(total);
    unsigned long long seen = 0;
    for (int i = 0; i < kCostBuckets; ++i) {
        seen += costBuckets[i].load(std::memory_order_relaxed);
        if (double(seen) >= wanted) {
            // The geometric middle of the bucket, never above the largest cost seen.
            const double ns = std::exp2((i + 0.5) / kCostBucketsPerOctave);
            return std::min(ns, double(maxCostNs.load())) / 1000.0;
        }
    }
    return double(maxCostNs.load()) / 1000.0;
}

unsigned long long Record::totalFailures() const {
    unsigned long long total = 0;
    for (const FailureRecord& f : failures) total += f.count.load();
    return total;
}

std::string opcodeName(int opcode) {
    static const char* const names[] = {
        "effOpen", "effClose", "effSetProgram", "effGetProgram", "effSetProgramName", "effGetProgramName",
        "effGetParamLabel", "effGetParamDisplay", "effGetParamName", "effGetVu", "effSetSampleRate",
        "effSetBlockSize", "effMainsChanged", "effEditGetRect", "effEditOpen", "effEditClose", "effEditDraw",
        "effEditMouse", "effEditKey", "effEditIdle", "effEditTop", "effEditSleep", "effIdentify", "effGetChunk",
        "effSetChunk", "effProcessEvents", "effCanBeAutomated", "effString2Parameter",
        "effGetNumProgramCategories", "effGetProgramNameIndexed"};
    if (opcode >= 0 && size_t(opcode) < sizeof names / sizeof names[0]) return names[opcode];
    return "opcode " + std::to_string(opcode);
}

}  // namespace stress

namespace {

using namespace stress;

// "in setParameter(12, 0.5) for 3.2 s" / "last: effSetChunk(0, 129337)".
std::string describeSlot(const Slot& slot, long long now) {
    const auto call = static_cast<Call>(slot.call.load());
    char text[256];
    const int opcode = slot.opcode.load(), index = slot.index.load(), frames = slot.frames.load();
    const long long value = slot.value.load();
    const float opt = slot.opt.load();
    switch (call) {
    case Call::None: return "no call made yet";
    case Call::Load: std::snprintf(text, sizeof text, "the entry point (loading the plug-in)"); break;
    case Call::Unload: std::snprintf(text, sizeof text, "effClose and unloading"); break;
    case Call::Dispatch:
        std::snprintf(text, sizeof text, "dispatcher(%s, index %d, value %lld, opt %g)", opcodeName(opcode).c_str(),
                      index, value, double(opt));
        break;
    case Call::ProcessReplacing:
    case Call::ProcessDoubleReplacing:
        std::snprintf(text, sizeof text, "%s(%d frames) at %.0f Hz, block size %d",
                      call == Call::ProcessReplacing ? "processReplacing" : "processDoubleReplacing", frames,
                      double(slot.sampleRate.load()), slot.blockSize.load());
        break;
    case Call::SetParameter: std::snprintf(text, sizeof text, "setParameter(%d, %g)", index, double(opt)); break;
    case Call::GetParameter: std::snprintf(text, sizeof text, "getParameter(%d)", index); break;
    }
    char line[400];
    if (slot.inCall.load())
        std::snprintf(line, sizeof line, "in %s, for %.1f s", text, double(now - slot.startNs.load()) / 1e9);
    else
        std::snprintf(line, sizeof line, "not in a call; last: %s", text);
    return line;
}

std::string whatEachThreadDoes(const Record& record, long long now) {
    std::string text;
    for (int t = 0; t < int(Thread::Count); ++t) {
        const Slot& slot = record.slots[t];
        if (slot.calls.load() == 0 && !slot.inCall.load()) continue;
        char line[64];
        std::snprintf(line, sizeof line, "\n    %-18s", (std::string(threadName(Thread(t))) + ":").c_str());
        text += line + describeSlot(slot, now);
    }
    return text;
}

// The calls in flight, briefly, for the first example of a crash or hang.
std::string callsInFlight(const Record& record, long long now) {
    std::string text;
    for (int t = 0; t < int(Thread::Count); ++t) {
        const Slot& slot = record.slots[t];
        if (!slot.inCall.load()) continue;
        text += (text.empty() ? "" : "; ") + std::string(threadName(Thread(t))) + " " + describeSlot(slot, now);
    }
    return text.empty() ? "no call in flight" : text;
}

std::string amount(double n) {
    char text[32];
    if (n >= 1e6)
        std::snprintf(text, sizeof text, "%.1f M", n / 1e6);
    else if (n >= 1e4)
        std::snprintf(text, sizeof text, "%.1f k", n / 1e3);
    else
        std::snprintf(text, sizeof text, "%.0f", n);
    return text;
}

std::string duration(double seconds) {
    char text[32];
    if (seconds >= 2 * 3600)
        std::snprintf(text, sizeof text, "%.1f h", seconds / 3600);
    else if (seconds >= 120)
        std::snprintf(text, sizeof text, "%.1f min", seconds / 60);
    else
        std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

std::string micros(double us) {
    char text[32];
    std::snprintf(text, sizeof text, us < 10 ? "%.1f" : "%.0f", us);
    return text;
}

// The thread list of --threads: "audio,parameters,chunks" or any part of it.
void parseThreads(const std::string& list, Options& options) {
    options.audio = options.parameters = options.chunks = false;
    std::stringstream in(list);
    std::string name;
    bool any = false;
    while (std::getline(in, name, ',')) {
        if (name == "audio") options.audio = true;
        else if (name == "parameters" || name == "params") options.parameters = true;
        else if (name == "chunks") options.chunks = true;
        else throw Failure("\"" + name + "\" is not a thread of the stress test; --threads takes audio, parameters and chunks, separated by commas.");
        any = true;
    }
    if (!any) throw Failure("--threads needs at least one of audio, parameters and chunks.");
}

// Sanitizers make every call several times slower; a call is only called hung well after
// that.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr double kDefaultHangSeconds = 30.0;
#else
constexpr double kDefaultHangSeconds = 10.0;
#endif

}  // namespace

int runStress(Args args) {
    if (args.flag("--sweep")) return runSweep(std::move(args));
    Options options;
    std::string text;
    if (args.value("--seconds", text)) {
        options.seconds = parseNumber(text, "seconds of stress");
        if (options.seconds <= 0.0 || options.seconds > 86400.0)
            throw Failure("--seconds must lie above 0 and at most 86400.");
    }
    const bool seeded = args.value("--seed", text);
    if (seeded) {
        char* end = nullptr;
        errno = 0;
        options.seed = std::strtoull(text.c_str(), &end, 10);
        if (text.empty() || *end != '\0' || errno != 0 || text[0] == '-')
            throw Failure("\"" + text + "\" is not a seed (a whole number from 0).");
    } else {
        options.seed = std::random_device{}();
    }
    if (args.value("--threads", text)) parseThreads(text, options);
    options.hangSeconds = kDefaultHangSeconds;
    if (args.value("--hang", text)) {
        options.hangSeconds = parseNumber(text, "seconds a call may take");
        if (options.hangSeconds < 0.1) throw Failure("--hang must be at least 0.1 seconds.");
    }
    const auto rest = args.positionals();
    if (rest.size() > 1) throw Failure("vantel stress takes at most one plug-in file.");
    options.plugin = rest.empty() ? defaultPluginPath() : rest[0];

    void* memory = mmap(nullptr, sizeof(Record), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) throw Failure("No shared memory could be had for the stress test's record.");
    Record& record = *new (memory) Record;

    std::string threads;
    for (const auto& [on, name] : {std::pair{options.audio, "audio"}, {options.parameters, "parameters"},
                                   {options.chunks, "chunks"}})
        if (on) threads += (threads.empty() ? "" : "+") + std::string(name);
    std::printf("stress: %s for %g s, seed %llu, threads %s\n", options.plugin.c_str(), options.seconds,
                static_cast<unsigned long long>(options.seed), threads.c_str());
    std::fflush(stdout);
    std::fflush(stderr);

    record.startNs = monotonicNs();
    const pid_t child = fork();
    if (child < 0) throw Failure("The stress test could not start its test process (fork failed).");
    if (child == 0) {
        int status = 3;
        try {
            status = runStorm(options, record);
        } catch (const std::exception& e) {
            std::snprintf(record.setupError, sizeof record.setupError, "%s", e.what());
            record.setupFailed = 1;
        }
        std::fflush(nullptr);
        std::exit(status);
    }

    // Watch: the child ends, or a call of it takes too long, or the whole run overruns.
    const long long hangNs = static_cast<long long>(options.hangSeconds * 1e9);
    // The checks after the storm take a few seconds, many more under a sanitizer; CTest
    // allows 120 s beyond the storm, so the watcher gives up first and still reports.
    const long long deadline = record.startNs + static_cast<long long>((options.seconds + 90.0) * 1e9);
    int status = 0;
    bool ended = false;
    std::string hang;
    while (!ended) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) {
            ended = true;
            break;
        }
        if (done < 0 && errno != EINTR) break;
        const long long now = monotonicNs();
        for (int t = 0; t < int(Thread::Count) && hang.empty(); ++t) {
            const Slot& slot = record.slots[t];
            if (slot.inCall.load() && now - slot.startNs.load() > hangNs)
                hang = std::string(threadName(Thread(t))) + " " + describeSlot(slot, now);
        }
        if (hang.empty() && now > deadline) hang = "the run did not end in time (" + callsInFlight(record, now) + ")";
        if (!hang.empty()) {
            std::printf("stress: no progress; what each thread is doing:%s\n",
                        whatEachThreadDoes(record, now).c_str());
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            record.fail(Fault::Hang, "%s", hang.c_str());
            break;
        }
        usleep(50 * 1000);
    }
    const long long end = monotonicNs();

    if (record.setupFailed.load()) throw Failure(record.setupError);
    if (hang.empty()) {
        if (WIFSIGNALED(status)) {
            std::printf("stress: the test process died of signal %d (%s); what each thread was doing:%s\n",
                        WTERMSIG(status), strsignal(WTERMSIG(status)), whatEachThreadDoes(record, end).c_str());
            record.fail(Fault::Crash, "signal %d (%s); %s", WTERMSIG(status), strsignal(WTERMSIG(status)),
                        callsInFlight(record, end).c_str());
        } else if (!record.finished.load()) {
            // A sanitizer ends the process with a status of its own after printing its report.
            std::printf("stress: the test process ended with status %d before its run was over (a report above "
                        "may say why); what each thread was doing:%s\n",
                        WIFEXITED(status) ? WEXITSTATUS(status) : -1, whatEachThreadDoes(record, end).c_str());
            record.fail(Fault::Crash, "exit status %d; %s", WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                        callsInFlight(record, end).c_str());
        } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            record.fail(Fault::UncleanExit,
                        "the test process finished its run but ended with status %d (a sanitizer's report above?)",
                        WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        }
    }

    for (int k = 0; k < int(Fault::Count); ++k) {
        const FailureRecord& f = record.failures[k];
        const unsigned long long count = f.count.load();
        if (!count) continue;
        std::printf("failure: %s (%llu); first: %s\n", failureName(Fault(k)), count,
                    f.ready.load(std::memory_order_acquire) ? f.first : "(not recorded)");
    }
    const unsigned long long failures = record.totalFailures();
    std::printf("stress: %.1f s, %s blocks (%s of audio), %s parameter changes, %s chunk round trips, "
                "block cost p50/p99/max %s/%s/%s µs, %llu failure%s, seed %llu\n",
                double(end - record.startNs.load()) / 1e9, amount(double(record.blocks.load())).c_str(),
                duration(record.audioSeconds.load()).c_str(), amount(double(record.parameterChanges.load())).c_str(),
                amount(double(record.chunkRoundTrips.load())).c_str(),
                micros(record.costPercentileMicroseconds(0.5)).c_str(),
                micros(record.costPercentileMicroseconds(0.99)).c_str(),
                micros(double(record.maxCostNs.load()) / 1000.0).c_str(), failures, failures == 1 ? "" : "s",
                static_cast<unsigned long long>(options.seed));
    std::fflush(stdout);
    munmap(memory, sizeof(Record));
    return failures ? 1 : 0;
}

}  // namespace vantel
