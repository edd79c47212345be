// The GDI+ renderer's compositing (core/composite.h, plain C++) against cairo itself,
// for every case the editor can meet: each premultiplied source pixel over each grey, the
// same through an opacity, colours of every alpha as fills, and the premultiplying of the
// PNG reader.
// Equal byte for byte is what keeps the Windows panel identical to the Linux one.
#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "core/composite.h"

using namespace VSTGUI;

namespace {

uint32_t rgbOf(cairo_surface_t* s, int x, int y) {
    return reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(s) +
                                             y * cairo_image_surface_get_stride(s))[x] &
           0xffffff;
}

// A 256 x 256 RGB24 surface whose column x is grey x.
cairo_surface_t* greys() {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 256, 256);
    cairo_surface_flush(s);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s))[x] =
                0xff000000u | (x << 16) | (x << 8) | x;
    cairo_surface_mark_dirty(s);
    return s;
}

// Counts the pixels where cairo's result and composite::over differ.
int compareOver(cairo_surface_t* dest, uint32_t (*source)(int alpha, int value), int alpha, uint32_t mask) {
    int wrong = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            uint32_t s = source(alpha, y);
            if (mask != 0xff) s = composite::scaled(s, mask);
            const uint32_t want = composite::over(s, 0xff000000u | (x << 16) | (x << 8) | x) & 0xffffff;
            wrong += rgbOf(dest, x, y) != want;
        }
    return wrong;
}

// Row y: a premultiplied pixel of alpha `alpha` with channels y, y / 2 and alpha - y
// (limited to the alpha, as premultiplied channels are).
uint32_t sourcePixel(int alpha, int y) {
    const uint32_t r = std::min(y, alpha), g = std::min(y / 2, alpha), b = static_cast<uint32_t>(alpha - r);
    return (static_cast<uint32_t>(alpha) << 24) | (r << 16) | (g << 8) | b;
}

}  // namespace

TEST(Composite, ImagesOverTheBackBufferAsCairoPaintsThem) {
    for (float opacity : {1.f, 0.5f, 0.3f}) {
        const uint32_t mask = opacity >= 1.f ? 0xff : composite::maskOf(opacity);
        int wrong = 0;
        for (int alpha = 0; alpha < 256; alpha += opacity >= 1.f ? 1 : 3) {  // (through an opacity: a third)
            cairo_surface_t* source = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 256, 256);
            cairo_surface_flush(source);
            for (int y = 0; y < 256; ++y)
                for (int x = 0; x < 256; ++x)
                    reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(source) +
                                                y * cairo_image_surface_get_stride(source))[x] = sourcePixel(alpha, y);
            cairo_surface_mark_dirty(source);
            cairo_surface_t* dest = greys();
            cairo_t* cr = cairo_create(dest);
            cairo_set_source_surface(cr, source, 0, 0);
            cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
            if (opacity >= 1.f)
                cairo_paint(cr);
            else
                cairo_paint_with_alpha(cr, opacity);
            cairo_destroy(cr);
            cairo_surface_flush(dest);
            wrong += compareOver(dest, sourcePixel, alpha, mask);
            cairo_surface_destroy(dest);
            cairo_surface_destroy(source);
        }
        EXPECT_EQ(wrong, 0) << "opacity " << opacity;
    }
}

TEST(Composite, FillsOfEveryColourAndAlphaAsCairoFillsThem) {
    int wrong = 0;
    cairo_surface_t* dest = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 256, 1);
    for (int alpha = 0; alpha < 256; alpha += 3)
        for (int value = 0; value < 256; value += 5) {
            const CColor colour = MakeCColor(static_cast<uint8_t>(value), static_cast<uint8_t>(255 - value),
                                             static_cast<uint8_t>(value / 3), static_cast<uint8_t>(alpha));
            cairo_surface_flush(dest);
            for (int x = 0; x < 256; ++x)
                reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(dest))[x] =
                    0xff000000u | (x << 16) | (x << 8) | x;
            cairo_surface_mark_dirty(dest);
            cairo_t* cr = cairo_create(dest);
            cairo_set_source_rgba(cr, colour.red / 255.0, colour.green / 255.0, colour.blue / 255.0,
                                  colour.alpha / 255.0);
            cairo_rectangle(cr, 0, 0, 256, 1);
            cairo_fill(cr);
            cairo_destroy(cr);
            cairo_surface_flush(dest);
            for (int x = 0; x < 256; ++x)
                wrong += rgbOf(dest, x, 0) !=
                         (composite::over(composite::solidColour(colour), 0xff000000u | (x << 16) | (x << 8) | x) &
                          0xffffff);
        }
    cairo_surface_destroy(dest);
    EXPECT_EQ(wrong, 0);
}

TEST(Composite, PngPixelsArePremultipliedAsCairosReaderRoundsThem) {
    int wrong = 0;
    for (int a = 0; a < 256; ++a)
        for (int c = 0; c < 256; ++c) {
            const uint32_t v = a == 0 ? 0 : static_cast<uint32_t>(std::lround(c * a / 255.0));
            const uint32_t want = a == 0 ? 0 : (static_cast<uint32_t>(a) << 24) | (v << 16) | (v << 8) | v;
            wrong += composite::premultiplied(static_cast<uint8_t>(a), static_cast<uint8_t>(c), static_cast<uint8_t>(c),
                                              static_cast<uint8_t>(c)) != want;
        }
    EXPECT_EQ(wrong, 0);
}
