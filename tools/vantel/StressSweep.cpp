// vantel stress --sweep: renders a grid of the settings through which the feedback loop can
// gain (filter placement, type, resonance and its modulation, cutoff and its modulation,
// feedback gain, pan and polarity, drive, the clock's rate and modulation, reverb, input
// gain, delay time, LFO speed) with pink noise, a sine sweep or steps, at 44.1 to 192 kHz in
// either precision, and reports for each case the peak, and how often the plug-in started
// over after an overflow and how often its output ceiling acted (effVendorSpecific 'Vflt').
// The grid has about 2e9 points; a run takes `--cases` of them, each drawn from a hash of
// its number and the seed, so every run of the same options renders the same cases.
#include "Cli.h"
#include "Signals.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vantel {

namespace {

using testhost::Plugin;

constexpr VstInt32 kFaultQuery = vstFourCC('V', 'f', 'l', 't');
constexpr double kCeiling = 1000.0;  // the plug-in's output ceiling, +60 dBFS

struct Setting {
    const char* parameter;
    float value;
};
struct Choice {
    const char* label;
    std::vector<Setting> settings;
};
struct Axis {
    const char* name;
    std::vector<Choice> choices;
};

// The settings that feed back, each at its corners and a middle; every case starts from
// the Default program (500 ms echoes, the clock on at rate 1, mix 50 %).
const std::vector<Axis>& settingAxes() {
    static const std::vector<Axis> axes = {
        {"filter", {{"off", {{"FltOn", 0.0f}}}, {"in", {{"FltOn", 1.0f}, {"FltMode", 0.1f}}},
                    {"fb", {{"FltOn", 1.0f}, {"FltMode", 0.5f}}}, {"fx", {{"FltOn", 1.0f}, {"FltMode", 0.9f}}}}},
        {"type", {{"LPF", {{"FltType", 0.1f}}}, {"BPF", {{"FltType", 0.5f}}}, {"HPF", {{"FltType", 0.9f}}}}},
        {"Reso", {{"0", {{"Reso", 0.0f}}}, {"0.5", {{"Reso", 0.5f}}}, {"0.8", {{"Reso", 0.8f}}}, {"1", {{"Reso", 1.0f}}}}},
        {"ResoMod", {{"-1", {{"ResoMod", 0.0f}}}, {"0", {{"ResoMod", 0.5f}}}, {"+1", {{"ResoMod", 1.0f}}}}},
        {"Cutoff", {{"50Hz", {{"Cutoff", 0.0f}}}, {"800Hz", {{"Cutoff", 0.5f}}}, {"16kHz", {{"Cutoff", 1.0f}}}}},
        {"CutfMod", {{"-1", {{"CutfMod", 0.0f}}}, {"0", {{"CutfMod", 0.5f}}}, {"+1", {{"CutfMod", 1.0f}}}}},
        {"FbGain",
         {{"0.5", {{"FbGainL", 0.5f}, {"FbGainR", 0.5f}}},
          {"0.85", {{"FbGainL", 0.85f}, {"FbGainR", 0.85f}}},
          {"1", {{"FbGainL", 1.0f}, {"FbGainR", 1.0f}}}}},
        {"FbPan",
         {{"straight", {{"FbPanL", 0.0f}, {"FbPanR", 1.0f}}},
          {"ping-pong", {{"FbPanL", 1.0f}, {"FbPanR", 0.0f}}},
          {"centre", {{"FbPanL", 0.5f}, {"FbPanR", 0.5f}}},
          {"all-left", {{"FbPanL", 0.0f}, {"FbPanR", 0.0f}}}}},
        {"FbInv",
         {{"off", {{"FbInvL", 0.25f}, {"FbInvR", 0.25f}}},
          {"both", {{"FbInvL", 0.75f}, {"FbInvR", 0.75f}}},
          {"left", {{"FbInvL", 0.75f}, {"FbInvR", 0.25f}}}}},
        {"Drive", {{"0", {{"Drive", 0.0f}}}, {"0.5", {{"Drive", 0.5f}}}, {"1", {{"Drive", 1.0f}}}}},
        {"clock",
         {{"off", {{"VcoOn", 0.0f}}},
          {"x1", {{"VcoOn", 1.0f}, {"VcoMan", 0.5f}, {"VcoMod", 0.5f}}},
          {"x0.66,mod+", {{"VcoOn", 1.0f}, {"VcoMan", 0.2f}, {"VcoMod", 1.0f}}},
          {"x1.74,mod-", {{"VcoOn", 1.0f}, {"VcoMan", 0.9f}, {"VcoMod", 0.0f}}}}},
        {"reverb",
         {{"off", {{"RvbOn", 0.0f}}},
          {"spring", {{"RvbOn", 1.0f}, {"RvbType", 0.0f}, {"RvbAmt", 1.0f}}},
          {"plate", {{"RvbOn", 1.0f}, {"RvbType", 1.0f}, {"RvbAmt", 1.0f}}}}},
        {"Input", {{"0dB", {{"Input", 0.5f}}}, {"+7dB", {{"Input", 0.75f}}}, {"+12dB", {{"Input", 1.0f}}}}},
        {"time",
         {{"500ms", {}},
          {"20ms",
           {{"DlyModeL", 0.25f}, {"DlyModeR", 0.25f}, {"RangeL", 0.1f}, {"RangeR", 0.1f}, {"DlyTimeL", 0.2f},
            {"DlyTimeR", 0.2f}}}}},
        {"LFO", {{"slow", {}}, {"fast", {{"LfoMode", 0.1f}, {"LFORate", 0.8f}, {"ModSens", 1.0f}}}}},
    };
    return axes;
}

enum class Signal { Pink, Sweep, Steps };
constexpr Signal kSignals[] = {Signal::Pink, Signal::Sweep, Signal::Steps};
constexpr const char* kSignalNames[] = {"pink", "sweep", "steps"};
constexpr double kRates[] = {44100.0, 48000.0, 96000.0, 192000.0};
constexpr int kBlocks[] = {64, 256, 333, 1024};

// One point of the grid: a choice on every setting axis, and how it is played.
struct Case {
    uint64_t number = 0;
    std::vector<int> choices;
    int signal = 0, rate = 0, block = 0;
    bool doubles = false;
};

// Digits of a mixed-radix number: the setting axes, then signal, rate, block and precision.
struct Grid {
    std::vector<uint64_t> radices;
    uint64_t size = 1;
    Grid() {
        for (const Axis& axis : settingAxes()) radices.push_back(axis.choices.size());
        for (uint64_t r : {uint64_t(std::size(kSignals)), uint64_t(std::size(kRates)), uint64_t(std::size(kBlocks)),
                           uint64_t(2)})
            radices.push_back(r);
        for (uint64_t r : radices) size *= r;
    }
    // Case `number` of a run: its digits from a 64-bit hash (splitmix64) of the number and
    // the seed, about evenly over the grid.
    Case at(uint64_t number, uint64_t seed) const {
        uint64_t index = seed * 0x9e3779b97f4a7c15ull + number;
        index = (index ^ (index >> 30)) * 0xbf58476d1ce4e5b9ull;
        index = (index ^ (index >> 27)) * 0x94d049bb133111ebull;
        index ^= index >> 31;
        Case c;
        c.number = number;
        const std::size_t axes = settingAxes().size();
        std::vector<int> digits;
        for (uint64_t r : radices) {
            digits.push_back(int(index % r));
            index /= r;
        }
        c.choices.assign(digits.begin(), digits.begin() + long(axes));
        c.signal = digits[axes];
        c.rate = digits[axes + 1];
        c.block = digits[axes + 2];
        c.doubles = digits[axes + 3] != 0;
        return c;
    }
};

struct Outcome {
    double peak = 0.0;
    int64_t recoveries = -1, ceiling = -1;
    long nonFinite = 0;
    // A plug-in that does not count (-1) is judged by its samples alone.
    bool clean() const { return recoveries <= 0 && ceiling <= 0 && nonFinite == 0 && peak <= kCeiling; }
};

std::string describe(const Case& c) {
    std::string text;
    const auto& axes = settingAxes();
    for (std::size_t a = 0; a < axes.size(); ++a)
        text += std::string(a ? " " : "") + axes[a].name + "=" + axes[a].choices[std::size_t(c.choices[a])].label;
    char how[96];
    std::snprintf(how, sizeof how, " | %s %.0f Hz %s block %d", kSignalNames[c.signal], kRates[c.rate],
                  c.doubles ? "64-bit" : "32-bit", kBlocks[c.block]);
    return text + how;
}

std::vector<double> signalFor(Signal kind, std::size_t frames, double rate) {
    const double peak = std::pow(10.0, -1.0 / 20.0);  // -1 dBFS
    switch (kind) {
    case Signal::Pink: return testhost::pinkNoise(frames, 7u, peak);
    case Signal::Sweep: return testhost::sineSweep(frames, rate, peak);
    default: return testhost::steps(frames, rate, peak);
    }
}

template <typename T>
void play(Plugin& plugin, const std::vector<double>& signal, std::size_t frames, int block, Outcome& outcome) {
    testhost::Channels<T> in(4, std::vector<T>(std::size_t(block))), out(2, std::vector<T>(std::size_t(block)));
    for (std::size_t at = 0; at < frames; at += std::size_t(block)) {
        const std::size_t n = std::min(std::size_t(block), frames - at);
        for (std::size_t i = 0; i < n; ++i)
            in[0][i] = in[1][i] = at + i < signal.size() ? static_cast<T>(signal[at + i]) : T(0);
        if constexpr (sizeof(T) == sizeof(double)) plugin.processDoubleReplacing(in, out, VstInt32(n));
        else plugin.processReplacing(in, out, VstInt32(n));
        for (const auto& channel : out)
            for (std::size_t i = 0; i < n; ++i) {
                const double v = channel[i];
                if (!std::isfinite(v)) ++outcome.nonFinite;
                else outcome.peak = std::max(outcome.peak, std::fabs(v));
            }
    }
}

Outcome render(const std::string& path, const Case& c, double seconds, double tail,
               const std::vector<std::vector<double>>& signals) {
    testhost::TestHost host;
    host.config().recordCalls = false;
    auto plugin = host.load(path);
    const double rate = kRates[c.rate];
    plugin->activate(static_cast<float>(rate), kBlocks[c.block]);
    const auto& axes = settingAxes();
    for (std::size_t a = 0; a < axes.size(); ++a)
        for (const Setting& s : axes[a].choices[std::size_t(c.choices[a])].settings) {
            const int index = plugin->findParameter(s.parameter);
            if (index < 0) throw Failure(std::string("The plug-in has no parameter called ") + s.parameter + ".");
            plugin->setParameter(index, s.value);
        }
    Outcome outcome;
    const std::size_t frames = std::size_t((seconds + tail) * rate);
    const std::vector<double>& signal = signals[std::size_t(c.signal) * std::size(kRates) + std::size_t(c.rate)];
    if (c.doubles) play<double>(*plugin, signal, frames, kBlocks[c.block], outcome);
    else play<float>(*plugin, signal, frames, kBlocks[c.block], outcome);
    int64_t faults[2] = {-1, -1};
    if (plugin->dispatch(effVendorSpecific, kFaultQuery, sizeof faults, faults) == 1) {
        outcome.recoveries = faults[0];
        outcome.ceiling = faults[1];
    }
    return outcome;
}

// A count the plug-in gave, or "n/a" when it does not count.
std::string count(int64_t n) { return n < 0 ? "n/a" : std::to_string(n); }

std::string decibels(double peak) {
    if (!(peak > 0.0)) return "-inf dBFS";
    char text[32];
    std::snprintf(text, sizeof text, "%+.1f dBFS", 20.0 * std::log10(peak));
    return text;
}

}  // namespace

int runSweep(Args args) {
    std::string text;
    const long cases = args.value("--cases", text) ? parseInteger(text, "number of cases", 1, 100000000) : 200;
    const uint64_t seed = args.value("--seed", text) ? uint64_t(parseInteger(text, "seed", 0, LONG_MAX)) : 1;
    const double seconds = args.value("--seconds", text) ? parseNumber(text, "seconds of signal") : 4.0;
    const double tail = args.value("--tail", text) ? parseNumber(text, "seconds of tail") : 2.0;
    if (!(seconds > 0.0 && seconds <= 600.0) || !(tail >= 0.0 && tail <= 600.0))
        throw Failure("--seconds must lie above 0 and --tail at 0 or above, both at most 600.");
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const long jobs = args.value("--jobs", text) ? parseInteger(text, "number of jobs", 1, 256) : long(cores);
    const auto rest = args.positionals();
    if (rest.size() > 1) throw Failure("vantel stress --sweep takes at most one plug-in file.");
    const std::string path = rest.empty() ? defaultPluginPath() : rest[0];

    const Grid grid;
    std::printf("sweep: %s, %ld cases of %llu, seed %llu, %g s of signal and %g s of tail each\n", path.c_str(), cases,
                static_cast<unsigned long long>(grid.size), static_cast<unsigned long long>(seed), seconds, tail);
    std::fflush(stdout);
    // The signals, per kind and rate, made once.
    std::vector<std::vector<double>> signals;
    for (Signal kind : kSignals)
        for (double rate : kRates) signals.push_back(signalFor(kind, std::size_t(seconds * rate), rate));

    const auto start = std::chrono::steady_clock::now();
    std::atomic<long> next{0};
    std::mutex report;
    long unclean = 0, recovered = 0, ceilinged = 0;
    int64_t recoveries = 0, ceilings = 0;
    double loudest = -1.0;
    uint64_t loudestCase = 0;
    std::string failure;
    auto worker = [&] {
        for (long i; (i = next++) < cases;) {
            const Case c = grid.at(uint64_t(i), seed);
            Outcome outcome;
            std::string error;
            try {
                outcome = render(path, c, seconds, tail, signals);
            } catch (const std::exception& e) {
                error = e.what();
            }
            std::lock_guard<std::mutex> lock(report);
            if (!error.empty()) {
                if (failure.empty()) failure = error;
                next = cases;
                return;
            }
            std::printf("#%ld %s | peak %s, recoveries %s, ceiling %s%s\n", i, describe(c).c_str(),
                        decibels(outcome.peak).c_str(), count(outcome.recoveries).c_str(), count(outcome.ceiling).c_str(),
                        outcome.nonFinite ? (", non-finite " + std::to_string(outcome.nonFinite)).c_str() : "");
            std::fflush(stdout);
            unclean += !outcome.clean();
            recovered += outcome.recoveries > 0;
            ceilinged += outcome.ceiling > 0;
            recoveries += std::max<int64_t>(outcome.recoveries, 0);
            ceilings += std::max<int64_t>(outcome.ceiling, 0);
            if (outcome.peak > loudest) {
                loudest = outcome.peak;
                loudestCase = uint64_t(i);
            }
        }
    };
    std::vector<std::thread> threads;
    for (long j = 0; j < std::min<long>(jobs, cases); ++j) threads.emplace_back(worker);
    for (auto& t : threads) t.join();
    if (!failure.empty()) throw Failure(failure);

    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("sweep: %ld cases in %.0f s: loudest %s (#%llu), recoveries %lld in %ld cases, ceiling %lld in %ld "
                "cases, %ld cases not clean\n",
                cases, elapsed, decibels(loudest).c_str(), static_cast<unsigned long long>(loudestCase),
                static_cast<long long>(recoveries), recovered, static_cast<long long>(ceilings), ceilinged, unclean);
    return unclean == 0 ? 0 : 1;
}

}  // namespace vantel
