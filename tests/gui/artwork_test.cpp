// The embedded 2x artwork against the 1x set: every bitmap at exactly twice the width and
// height, and each frame, averaged down over 2 x 2 blocks, showing what its 1x twin shows
// where it shows it.
#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "artwork.h"
#include "core/resources.h"
#include "layout.h"

namespace {

struct PngReader {
    const unsigned char* data;
    size_t left;
};

cairo_status_t readPng(void* closure, unsigned char* out, unsigned int length) {
    auto* r = static_cast<PngReader*>(closure);
    if (length > r->left) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, r->data, length);
    r->data += length;
    r->left -= length;
    return CAIRO_STATUS_SUCCESS;
}

cairo_surface_t* decode(const VSTGUI::EmbeddedResource& res) {
    PngReader reader{res.data, res.size};
    return cairo_image_surface_create_from_png_stream(readPng, &reader);
}

// Mean absolute difference, in levels of 0..255 per channel, between frame f of `one` and
// frame f of `two` box-filtered down by 2 (premultiplied, as cairo holds them; the alpha
// channel counts where the image has one).
double frameDifference(cairo_surface_t* one, cairo_surface_t* two, int frames, int f) {
    const int width = cairo_image_surface_get_width(one), frameHeight = cairo_image_surface_get_height(one) / frames;
    const int channels = cairo_image_surface_get_format(one) == CAIRO_FORMAT_ARGB32 ? 4 : 3;
    const unsigned char* a = cairo_image_surface_get_data(one);
    const unsigned char* b = cairo_image_surface_get_data(two);
    const int strideA = cairo_image_surface_get_stride(one), strideB = cairo_image_surface_get_stride(two);
    long sum = 0;
    for (int y = f * frameHeight; y < (f + 1) * frameHeight; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c) {
                int block = 0;
                for (int dy = 0; dy < 2; ++dy)
                    for (int dx = 0; dx < 2; ++dx) block += b[(2 * y + dy) * strideB + (2 * x + dx) * 4 + c];
                sum += std::abs((block + 2) / 4 - a[y * strideA + x * 4 + c]);
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
        cairo_surface_t* one = decode(*res1);
        cairo_surface_t* two = decode(res2);
        ASSERT_EQ(cairo_surface_status(two), CAIRO_STATUS_SUCCESS) << bitmap.id;
        EXPECT_EQ(cairo_image_surface_get_width(two), 2 * cairo_image_surface_get_width(one)) << bitmap.id;
        EXPECT_EQ(cairo_image_surface_get_height(two), 2 * cairo_image_surface_get_height(one)) << bitmap.id;
        EXPECT_EQ(cairo_image_surface_get_format(two), cairo_image_surface_get_format(one)) << bitmap.id;
        if (cairo_image_surface_get_width(two) == 2 * cairo_image_surface_get_width(one) &&
            cairo_image_surface_get_height(two) == 2 * cairo_image_surface_get_height(one)) {
            bool isLabelled = std::find(std::begin(labelled), std::end(labelled), bitmap.id) != std::end(labelled);
            for (int f = 0; f < bitmap.frames; ++f)
                EXPECT_LE(frameDifference(one, two, bitmap.frames, f), isLabelled ? kLabelledTolerance : kTolerance)
                    << bitmap.id << " frame " << f;
        }
        cairo_surface_destroy(one);
        cairo_surface_destroy(two);
    }
    // The 2x set weighs on the plug-in's size: keep it within bounds.
    EXPECT_LT(total, 2u * 1024u * 1024u);
}
