// The filter in the feedback loop at the settings a dub producer reaches for first (high
// resonance, long feedback, a hot input, drive, a modulated clock, the plate): four seconds
// of pink noise at -1 dBFS and two of tail through the built plug-in. The loop sings and
// keeps singing: no recovery, nothing near the output ceiling, never a silent stretch, and
// the tail still above -40 dBFS RMS in its last second.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "Signals.h"
#include "TestHost.h"

namespace {

constexpr VstInt32 kFaultQuery = vstFourCC('V', 'f', 'l', 't');
constexpr double kCeiling = 1000.0;

struct Row {
    std::vector<std::pair<std::string, float>> settings;
    bool doubles = false;
};

template <typename T>
std::vector<double> renderRow(testhost::Plugin& plugin, const std::vector<double>& signal, int64_t faults[2]) {
    constexpr int kBlock = 512;
    const int n = static_cast<int>(signal.size());
    testhost::Channels<T> in(4, std::vector<T>(kBlock)), out(2, std::vector<T>(kBlock));
    std::vector<double> heard;
    for (int at = 0; at < n; at += kBlock) {
        const int frames = std::min(kBlock, n - at);
        for (int i = 0; i < frames; ++i) in[0][i] = in[1][i] = static_cast<T>(signal[at + i]);
        if constexpr (sizeof(T) == sizeof(double)) plugin.processDoubleReplacing(in, out, frames);
        else plugin.processReplacing(in, out, frames);
        for (int i = 0; i < frames; ++i) {
            heard.push_back(out[0][i]);
            heard.push_back(out[1][i]);
        }
    }
    EXPECT_EQ(plugin.dispatch(effVendorSpecific, kFaultQuery, 2 * sizeof(int64_t), faults), 1);
    return heard;
}

TEST(FeedbackLoop, ResonantFilterInTheLoopSingsWithoutRunningAway) {
    const std::vector<std::pair<std::string, float>> loud = {{"Input", 1.0f}}, full = {{"FbGainL", 1.0f}, {"FbGainR", 1.0f}},
                                                     most = {{"FbGainL", 0.85f}, {"FbGainR", 0.85f}};
    auto with = [](std::vector<std::vector<std::pair<std::string, float>>> parts) {
        std::vector<std::pair<std::string, float>> all = {{"FltOn", 1.0f}, {"FltMode", 0.5f}};
        for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    const Row rows[] = {
        {with({{{"Reso", 1.0f}}, most})},
        {with({{{"Reso", 0.8f}}, full})},
        {with({{{"Reso", 0.5f}}, full, loud})},
        {with({{{"Reso", 1.0f}, {"Drive", 1.0f}}, full, loud})},
        {with({{{"Reso", 1.0f}, {"VcoOn", 1.0f}, {"VcoMod", 1.0f}}, full, loud})},
        {with({{{"Reso", 1.0f}, {"VcoOn", 1.0f}, {"VcoMod", 1.0f}, {"RvbOn", 1.0f}, {"RvbType", 1.0f}, {"RvbAmt", 1.0f}},
               full, loud})},
        {with({{{"Reso", 1.0f}}, most, loud}), true},
    };
    const double fs = 44100.0;
    std::vector<double> signal = testhost::pinkNoise(static_cast<std::size_t>(4 * fs), 1u, std::pow(10.0, -1.0 / 20.0));
    signal.resize(static_cast<std::size_t>(6 * fs), 0.0);

    for (const Row& row : rows) {
        std::string name;
        for (const auto& [parameter, value] : row.settings) name += parameter + "=" + std::to_string(value) + " ";
        SCOPED_TRACE(name + (row.doubles ? "64-bit" : "32-bit"));
        testhost::TestHost host;
        auto plugin = host.load(VANTEL_PLUGIN_PATH);
        plugin->activate(static_cast<float>(fs), 512);
        for (const auto& [parameter, value] : row.settings) plugin->setParameter(plugin->findParameter(parameter), value);

        int64_t faults[2] = {-1, -1};
        const std::vector<double> heard =
            row.doubles ? renderRow<double>(*plugin, signal, faults) : renderRow<float>(*plugin, signal, faults);
        EXPECT_EQ(faults[0], 0) << "recoveries";
        EXPECT_EQ(faults[1], 0) << "ceiling";
        int zeros = 0, longest = 0;
        double peak = 0.0, tail = 0.0;
        for (std::size_t i = 0; i < heard.size(); ++i) {
            ASSERT_TRUE(std::isfinite(heard[i])) << i;
            peak = std::max(peak, std::fabs(heard[i]));
            zeros = heard[i] == 0.0 ? zeros + 1 : 0;
            longest = std::max(longest, zeros);
            if (i >= heard.size() - 2 * static_cast<std::size_t>(fs)) tail += heard[i] * heard[i];
        }
        EXPECT_LT(peak, kCeiling / 10.0);
        EXPECT_LT(longest, 4);  // never silent (a recovery is half a second of zeros)
        EXPECT_GT(std::sqrt(tail / (2.0 * fs)), 0.01);  // the last second of the tail, both sides
    }
}

}  // namespace
