// The embedded 2x artwork against the 1x set: every bitmap at exactly twice the width and
// height, and each frame, averaged down over 2 x 2 blocks, showing what its 1x twin shows
// where it shows it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>

#include "artwork.h"
#include "core/graphics.h"
#include "core/resources.h"
#include "layout.h"

namespace {

VSTGUI::PlatformImagePtr decode(const VSTGUI::EmbeddedResource& res) {
    return VSTGUI::platformGraphics().decodePng(res.data, res.size);
}

// Mean absolute difference, in levels of 0..255 per channel, between frame f of `one` and
// frame f of `two` box-filtered down by 2 (premultiplied, as the renderer holds them; the
// alpha channel counts where the image has one).
double frameDifference(const VSTGUI::IPlatformImage& one, const VSTGUI::IPlatformImage& two, int frames, int f) {
    const VSTGUI::PixelRows a = one.pixels(), b = two.pixels();
    const int width = a.width, frameHeight = a.height / frames;
    const int channels = a.opaque ? 3 : 4;
    long sum = 0;
    for (int y = f * frameHeight; y < (f + 1) * frameHeight; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c) {
                const int shift = 8 * c;
                int block = 0;
                for (int dy = 0; dy < 2; ++dy)
                    for (int dx = 0; dx < 2; ++dx) block += (b.at(2 * x + dx, 2 * y + dy) >> shift) & 0xff;
                sum += std::abs((block + 2) / 4 - int((a.at(x, y) >> shift) & 0xff));
            }
    return double(sum) / (double(width) * frameHeight * channels);
}

}  // namespace

TEST(Artwork2x, EveryBitmapIsTwiceTheSizeAndShowsItsTwinFrameByFrame) {
    artwork::install();
    const artwork::Table set2x = artwork::table2x();
    const size_t count = sizeof layout::kBitmaps / sizeof layout::kBitmaps[0];
    ASSERT_EQ(set2x.count, count);
    // Tolerances of the mean difference per frame, in levels. Shapes, gradients and the
    // panel copied under the controls agree to within one level; letters less closely,
    // as the 1x font is hinted to its few pixels, which tells most in the small labelled
    // buttons. Drawing one 2x pixel off, or a frame out of place, exceeds them.
    const double kTolerance = 1.5, kLabelledTolerance = 8;
    const int labelled[] = {148, 149, 989, 992, 993, 994, 998, 999};
    size_t total = 0;
    for (size_t i = 0; i < count; ++i) {
        const layout::Bitmap& bitmap = layout::kBitmaps[i];
        const VSTGUI::EmbeddedResource* res1 = VSTGUI::resources::find(bitmap.id);
        const VSTGUI::EmbeddedResource& res2 = set2x.rows[i];
        ASSERT_NE(res1, nullptr) << bitmap.id;
        ASSERT_EQ(res2.id, bitmap.id);
        total += res2.size;
        const VSTGUI::PlatformImagePtr one = decode(*res1), two = decode(res2);
        ASSERT_TRUE(one && two) << bitmap.id;
        EXPECT_EQ(two->getWidth(), 2 * one->getWidth()) << bitmap.id;
        EXPECT_EQ(two->getHeight(), 2 * one->getHeight()) << bitmap.id;
        EXPECT_EQ(two->pixels().opaque, one->pixels().opaque) << bitmap.id;
        if (two->getWidth() == 2 * one->getWidth() && two->getHeight() == 2 * one->getHeight()) {
            bool isLabelled = std::find(std::begin(labelled), std::end(labelled), bitmap.id) != std::end(labelled);
            for (int f = 0; f < bitmap.frames; ++f)
                EXPECT_LE(frameDifference(*one, *two, bitmap.frames, f), isLabelled ? kLabelledTolerance : kTolerance)
                    << bitmap.id << " frame " << f;
        }
    }
    // The 2x set weighs on the plug-in's size: keep it within bounds.
    EXPECT_LT(total, 2u * 1024u * 1024u);
}
