// What a 32-bit host receives once the Output control is pulled down to 0 on a running
// instance: a glide that lands on 0, and never a denormal float on the way, however long
// the gain rests there (hosts and the plug-ins after us would crawl through them).
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <vector>

#include "TestHost.h"

using testhost::TestHost;

namespace {

constexpr VstInt32 kOutput = 1;

TEST(SilentOutput, OutputAtZeroSendsNoDenormalFloatsForTenSeconds) {
    TestHost host;
    auto plugin = host.load(VANTEL_PLUGIN_PATH);
    const VstInt32 block = 512;
    plugin->activate(44100.0f, block);

    testhost::Channels<float> in(4, std::vector<float>(block)), out(2, std::vector<float>(block));
    uint32_t seed = 1;
    auto render = [&](int blocks, long& denormals, long& nonZero) {
        for (int b = 0; b < blocks; ++b) {
            for (auto& channel : in)
                for (float& v : channel) {
                    seed = seed * 1664525u + 1013904223u;
                    v = static_cast<float>(seed >> 8) / 8388608.0f - 1.0f;
                }
            plugin->processReplacing(in, out, block);
            for (const auto& channel : out)
                for (float v : channel) {
                    denormals += v != 0.0f && std::fabs(v) < FLT_MIN;
                    nonZero += v != 0.0f;
                }
        }
    };

    long denormals = 0, nonZero = 0;
    render(44100 / block, denormals, nonZero);  // a second of sound with echoes building up
    ASSERT_GT(nonZero, 0);
    plugin->setParameter(kOutput, 0.0f);
    render(44100 / block, denormals, nonZero);  // the glide down
    nonZero = 0;
    render(9 * 44100 / block, denormals, nonZero);
    EXPECT_EQ(denormals, 0);
    EXPECT_EQ(nonZero, 0);  // landed on 0
}

}  // namespace
