// vantel bench [PLUGIN.so] [--vs OTHER.so]: what processing costs per stereo frame.
#include "Cli.h"

#include "Callgrind.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

namespace vantel {

namespace {

using testhost::Channels;
using testhost::Plugin;

// One plug-in under test with the state it is measured in.
struct Subject {
    std::string path;
    std::string program;  // empty: the plug-in's own start-up state
    std::vector<std::string> settings;
    std::string name;     // effect name, for the table
};

std::unique_ptr<Plugin> prepare(testhost::TestHost& host, Subject& subject, int rate, int block) {
    std::unique_ptr<Plugin> plugin;
    try {
        plugin = host.load(subject.path);
    } catch (const testhost::LoadError& e) {
        throw Failure(e.what());
    }
    if (!(plugin->effect()->flags & effFlagsCanReplacing))
        throw Failure("\"" + subject.path + "\" does not offer replacing processing, which is what is measured.");
    host.config().sampleRate = float(rate);
    host.config().blockSize = block;
    // Answer the plug-ins' calls as a DAW does, without the test host's record: the
    // figures are then the plug-ins' own work (the record cost both sides some hundreds of
    // instructions per block, and Vantel asks for the time twice in every block).
    host.config().recordCalls = false;
    plugin->open();
    plugin->setSampleRate(float(rate));
    plugin->setBlockSize(block);
    if (!subject.program.empty()) selectProgram(*plugin, findProgram(*plugin, subject.program));
    applySettings(*plugin, subject.settings);
    plugin->resume();
    if (subject.name.empty()) subject.name = plugin->effectName();
    if (subject.name.empty()) subject.name = subject.path;
    return plugin;
}

// Which compile of its processing code the plug-in runs, if it says (Vantel answers a
// vendor-specific query with "SSE2" or "AVX2"); "-" for a plug-in that does not.
std::string variantOf(Plugin& plugin) {
    constexpr VstInt32 kInstructionSetQuery = vstFourCC('V', 'i', 's', 'a');
    char text[16] = {};
    if (plugin.dispatch(effVendorSpecific, kInstructionSetQuery, sizeof text, text) != 1) return "-";
    text[sizeof text - 1] = 0;
    return text;
}

// The demo signal, repeated to `frames`, on the main inputs; further inputs silent.
struct BenchSignal {
    Channels<float> inputs, outputs;
    BenchSignal(int rate, size_t frames) {
        const Channels<float> demo = demoSignal(rate);
        const size_t length = demo[0].size();
        inputs.assign(8, std::vector<float>(frames, 0.0f));
        outputs.assign(8, std::vector<float>(frames, 0.0f));
        for (size_t i = 0; i < frames; ++i) {
            inputs[0][i] = demo[0][i % length];
            inputs[1][i] = demo[1][i % length];
        }
    }
};

// Runs `frames` frames through the plug-in in blocks. Only the channels the plug-in has move
// on from block to block (the others stay at their buffers' starts, which hold any block), so
// that the host's share of what is measured stays a few instructions per block.
void run(Plugin& plugin, BenchSignal& signal, size_t frames, int block) {
    AEffect* effect = plugin.effect();
    float* in[8];
    float* out[8];
    for (int c = 0; c < 8; ++c) {
        in[c] = signal.inputs[size_t(c)].data();
        out[c] = signal.outputs[size_t(c)].data();
    }
    const int inputs = std::clamp(effect->numInputs, 0, 8), outputs = std::clamp(effect->numOutputs, 0, 8);
    for (size_t pos = 0; pos < frames; pos += size_t(block)) {
        const VstInt32 n = VstInt32(std::min(frames - pos, size_t(block)));
        effect->processReplacing(effect, in, out, n);
        for (int c = 0; c < inputs; ++c) in[c] += n;
        for (int c = 0; c < outputs; ++c) out[c] += n;
    }
}

// Half a second of audio at the pace a DAW plays it, before anything is measured. A plug-in
// may finish its set-up on threads of its own (the peer allocates its delay lines off the
// audio thread once its settings arrive); run flat out from loading, it would be measured
// before it has done so, passing its input through untouched.
void settle(Plugin& plugin, BenchSignal& signal, int rate, int block) {
    const size_t frames = std::min(signal.inputs[0].size(), size_t(rate / 2));
    const auto blockTime = std::chrono::duration<double>(double(block) / rate);
    for (size_t pos = 0; pos < frames; pos += size_t(block)) {
        run(plugin, signal, std::min(frames - pos, size_t(block)), block);
        std::this_thread::sleep_for(blockTime);
    }
}

double secondsFor(Plugin& plugin, BenchSignal& signal, size_t frames, int block) {
    const auto start = std::chrono::steady_clock::now();
    run(plugin, signal, frames, block);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

int callgrindMode(Subject& main, Subject* other, int rate, int block, size_t frames) {
    testhost::TestHost host;
    auto plugin = prepare(host, main, rate, block);
    std::unique_ptr<Plugin> second = other ? prepare(host, *other, rate, block) : nullptr;
    BenchSignal signal(rate, frames);
    // Settled, then a few blocks more, so that first-touch work is not counted.
    settle(*plugin, signal, rate, block);
    if (second) settle(*second, signal, rate, block);
    run(*plugin, signal, size_t(block) * 4, block);
    if (second) run(*second, signal, size_t(block) * 4, block);

    callgrind::zeroStats();
    run(*plugin, signal, frames, block);
    callgrind::dumpStats("vantel bench: processing");
    if (second) {
        callgrind::zeroStats();
        run(*second, signal, frames, block);
        callgrind::dumpStats("vantel bench: processing --vs");
    }
    std::printf("Frames processed: %zu (%s, %s code, %d Hz, block %d)\n", frames, main.name.c_str(),
                variantOf(*plugin).c_str(), rate, block);
    if (second)
        std::printf("            --vs: %zu (%s, %s code, %d Hz, block %d)\n", frames, other->name.c_str(),
                    variantOf(*second).c_str(), rate, block);
    if (!callgrind::runningOnValgrind())
        std::printf("Not running under valgrind: nothing was counted (see tools/vantel/README.md).\n");
    return 0;
}

}  // namespace

int runBench(Args args, const std::string& self) {
    const std::vector<std::string> original = args.all();  // as given, for the run under valgrind
    Subject main;
    Subject other;
    const bool versus = args.value("--vs", other.path);
    auto programs = args.values("--program");
    main.settings = args.values("--set");
    args.value("--vs-program", other.program);
    other.settings = args.values("--vs-set");
    std::string text;
    const int repeats = args.value("--repeats", text) ? int(parseInteger(text, "number of repeats", 1, 1000)) : 5;
    const double seconds = args.value("--seconds", text) ? parseNumber(text, "seconds of audio per repeat") : 1.0;
    if (seconds <= 0.0 || seconds > 600.0) throw Failure("--seconds must lie above 0 and at most 600.");
    std::vector<int> rates{44100, 96000}, blocks{64, 256, 1024};
    const bool oneRate = args.value("--rate", text);
    if (oneRate) rates = {int(parseInteger(text, "sample rate in Hz", 4096, 384000))};
    const bool oneBlock = args.value("--block", text);
    if (oneBlock) blocks = {int(parseInteger(text, "block size", 1, 1 << 20))};
    const bool callgrind = args.flag("--callgrind");
    const size_t callgrindFrames =
        args.value("--frames", text) ? size_t(parseInteger(text, "number of frames", 1, 1L << 30)) : 88200;
    const auto rest = args.positionals();
    if (rest.size() > 1) throw Failure("vantel bench takes at most one plug-in file (and another after --vs).");
    main.path = rest.empty() ? defaultPluginPath() : rest[0];

    // Default program: "Default" where the plug-in has one, else its start-up state.
    if (programs.empty()) {
        testhost::TestHost probe;
        try {
            auto plugin = probe.load(main.path);
            for (const std::string& name : plugin->programNames())
                if (name == "Default") programs = {"Default"};
        } catch (const testhost::LoadError& e) {
            throw Failure(e.what());
        }
        if (programs.empty()) programs = {""};
    }

    if (callgrind) {
        main.program = programs.front();
        const int rate = oneRate ? rates[0] : 44100, block = oneBlock ? blocks[0] : 256;
        if (!callgrind::runningOnValgrind()) return callgrind::runUnderCallgrind(self, original, callgrindFrames, versus);
        return callgrindMode(main, versus ? &other : nullptr, rate, block, callgrindFrames);
    }

    for (const std::string& program : programs) {
        main.program = program;
        bool headed = false;
        for (int rate : rates)
            for (int block : blocks) {
                testhost::TestHost host;
                auto plugin = prepare(host, main, rate, block);
                auto second = versus ? prepare(host, other, rate, block) : nullptr;
                if (!headed) {
                    std::printf("%s (%s), program %s, %s code\n", main.name.c_str(), main.path.c_str(),
                                program.empty() ? "as loaded" : program.c_str(), variantOf(*plugin).c_str());
                    if (versus)
                        std::printf("   vs %s (%s), %s code\n", other.name.c_str(), other.path.c_str(),
                                    variantOf(*second).c_str());
                    std::printf("%d repeats of %.2f s; median cost per stereo frame, real-time factor = audio time / processing time\n",
                                repeats, seconds);
                    std::printf("%7s %6s %10s %10s", "rate", "block", "ns/frame", "realtime");
                    if (versus) std::printf(" | %10s %10s %8s", "vs ns/fr", "vs rt", "ratio");
                    std::printf("\n");
                    headed = true;
                }
                const size_t frames = std::max<size_t>(size_t(block), size_t(seconds * rate));
                BenchSignal signal(rate, frames);
                settle(*plugin, signal, rate, block);
                if (second) settle(*second, signal, rate, block);
                run(*plugin, signal, frames, block);  // warm-up
                if (second) run(*second, signal, frames, block);
                std::vector<double> ours, theirs;
                for (int r = 0; r < repeats; ++r) {
                    // Alternate which goes first, so neither always inherits a warm cache.
                    if (second && r % 2) theirs.push_back(secondsFor(*second, signal, frames, block));
                    ours.push_back(secondsFor(*plugin, signal, frames, block));
                    if (second && !(r % 2)) theirs.push_back(secondsFor(*second, signal, frames, block));
                }
                const double a = median(ours);
                std::printf("%7d %6d %10.1f %9.0fx", rate, block, a * 1e9 / double(frames),
                            double(frames) / rate / a);
                if (second) {
                    const double b = median(theirs);
                    std::printf(" | %10.1f %9.0fx %8.3f", b * 1e9 / double(frames), double(frames) / rate / b, a / b);
                }
                std::printf("\n");
                std::fflush(stdout);
            }
        if (versus) std::printf("ratio = cost of %s / cost of %s (below 1: cheaper)\n", main.name.c_str(),
                                other.name.c_str());
        std::printf("\n");
    }
    return 0;
}

}  // namespace vantel
