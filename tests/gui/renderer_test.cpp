// The drawing seam's contract, as the toolkit relies on it, for the renderer of this build
// (cairo on Linux, GDI+ on Windows): PNG decoding with cairo's premultiplication (the GDI+
// renderer's arithmetic for every alpha and value is in composite_test.cpp), a back buffer
// that starts opaque black, whole-pixel fills, outlines and image copies that keep to their
// rectangles and the clip at scale 1 and 2, 2x images averaged over each pixel's area at
// the zooms between, and text measured as drawn.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/graphics.h"
#if defined(_WIN32)
#include "gdiplus/GdiplusGraphics.h"
#endif

using namespace VSTGUI;

namespace {

// A 4 x 2 RGBA PNG of straight-alpha pixels (red, green, blue, alpha): (255, 0, 0, 0),
// (200, 100, 50, 1), (255, 255, 255, 128), (10, 20, 30, 255) / (255, 128, 3, 77),
// (17, 250, 129, 200), (99, 198, 0, 254), (255, 255, 255, 3).
const unsigned char kRgbaPng[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52, 0x00,
    0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x02, 0x08, 0x06, 0x00, 0x00, 0x00, 0x7f, 0xa8, 0x7d, 0x63, 0x00,
    0x00, 0x00, 0x2a, 0x49, 0x44, 0x41, 0x54, 0x78, 0xda, 0x63, 0xf8, 0xcf, 0xc0, 0xc0, 0x70, 0x22, 0xc5,
    0x88, 0xf1, 0xff, 0xff, 0xff, 0x0d, 0x5c, 0x22, 0x72, 0xff, 0x19, 0xfe, 0x37, 0x30, 0xfb, 0x0a, 0xfe,
    0x6a, 0x3c, 0x91, 0x7c, 0x8c, 0xe1, 0x1f, 0x50, 0x90, 0x19, 0x00, 0xfa, 0xcc, 0x10, 0x61, 0x12, 0x04,
    0x22, 0x99, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};
// A 3 x 1 RGB PNG: (255, 0, 0), (1, 2, 3), (250, 251, 252).
const unsigned char kRgbPng[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x00,
    0x03, 0x00, 0x00, 0x00, 0x01, 0x08, 0x02, 0x00, 0x00, 0x00, 0x94, 0x82, 0x83, 0xe3, 0x00, 0x00, 0x00, 0x12, 0x49,
    0x44, 0x41, 0x54, 0x78, 0xda, 0x63, 0xf8, 0xcf, 0xc0, 0xc0, 0xc8, 0xc4, 0xfc, 0xeb, 0xf7, 0x1f, 0x00, 0x0e, 0xfd,
    0x03, 0xf7, 0x5d, 0xc9, 0x68, 0x6f, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) { return 0xff000000u | (r << 16) | (g << 8) | b; }

}  // namespace

TEST(Renderer, DecodesPngsAndPremultipliesTheirAlphaAsCairoDoes) {
    // Each channel c becomes c x alpha / 255 rounded to nearest, a transparent pixel all zero.
    const PlatformImagePtr image = platformGraphics().decodePng(kRgbaPng, sizeof kRgbaPng);
    ASSERT_NE(image, nullptr);
    const PixelRows px = image->pixels();
    ASSERT_EQ(px.width, 4);
    ASSERT_EQ(px.height, 2);
    EXPECT_FALSE(px.opaque);
    const uint32_t premultiplied[] = {0,          0x01010000, 0x80808080, 0xff0a141e,
                                      0x4d4d2701, 0xc80dc465, 0xfe63c500, 0x03030303};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(px.at(i % 4, i / 4), premultiplied[i]) << i;

    // An RGB file is opaque and keeps its colours.
    const PlatformImagePtr opaque = platformGraphics().decodePng(kRgbPng, sizeof kRgbPng);
    ASSERT_NE(opaque, nullptr);
    EXPECT_TRUE(opaque->pixels().opaque);
    EXPECT_EQ(opaque->pixels().at(0, 0), rgb(255, 0, 0));
    EXPECT_EQ(opaque->pixels().at(1, 0), rgb(1, 2, 3));
    EXPECT_EQ(opaque->pixels().at(2, 0), rgb(250, 251, 252));

    // Anything else is no image.
    const unsigned char rubbish[] = "not a picture at all";
    EXPECT_EQ(platformGraphics().decodePng(rubbish, sizeof rubbish), nullptr);
    EXPECT_EQ(platformGraphics().decodePng(kRgbPng, sizeof kRgbPng / 2), nullptr);
}

TEST(Renderer, FillsOutlinesAndImageCopiesKeepToTheirPixelsAndTheClipAtEveryScale) {
    // A 4 x 3 opaque image of distinct colours, and one half-transparent pixel.
    std::vector<uint32_t> colours;
    for (uint32_t i = 0; i < 12; ++i) colours.push_back(rgb(10 + i, 100 + i, 200 + i));
    const PlatformImagePtr image = platformGraphics().createImage(4, 3, colours.data(), true);
    const uint32_t shade = 0x66000000u;  // black at alpha 102: 60 % of what is under it stays
    const PlatformImagePtr glass = platformGraphics().createImage(1, 1, &shade, false);
    ASSERT_NE(image, nullptr);
    ASSERT_NE(glass, nullptr);

    for (int scale : {1, 2}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        auto buffer = platformGraphics().createBackBuffer(20, 10, scale);
        ASSERT_EQ(buffer->getWidth(), 20 * scale);
        ASSERT_EQ(buffer->getHeight(), 10 * scale);
        EXPECT_EQ(buffer->getScaleFactor(), scale);
        {
            auto s = buffer->createSurface();
            s->fillRect(CRect(2, 1, 6, 4), MakeCColor(255, 0, 0));
            s->setClip(CRect(0, 0, 5, 10));
            s->fillRect(CRect(4, 5, 9, 7), MakeCColor(0, 255, 0));
            s->setClip(CRect(0, 0, 20, 10));
            s->strokeRect(CRect(10, 1, 15, 6), kWhiteCColor, 1);
            s->drawImage(*image, CRect(0, 6, 3, 8), CPoint(1, 1), 1.f, 1);
            s->drawImage(*image, CRect(16, 0, 20, 4), CPoint(2, 0), 1.f, 1);  // half of it beyond the image
            s->fillRect(CRect(7, 8, 8, 9), MakeCColor(200, 200, 200));
            s->drawImage(*glass, CRect(7, 8, 8, 9), CPoint(0, 0), 1.f, 1);
        }
        const PixelRows px = buffer->pixels();
        // Each logical pixel is scale x scale pixels of one colour.
        auto at = [&](int x, int y) {
            const uint32_t v = px.at(x * scale, y * scale);
            EXPECT_EQ(px.at(x * scale + scale - 1, y * scale + scale - 1), v) << x << "," << y;
            return v;
        };
        const uint32_t black = rgb(0, 0, 0);
        EXPECT_EQ(at(0, 0), black);
        EXPECT_EQ(at(2, 1), rgb(255, 0, 0));
        EXPECT_EQ(at(5, 3), rgb(255, 0, 0));
        EXPECT_EQ(at(6, 3), black);
        EXPECT_EQ(at(2, 4), black);
        EXPECT_EQ(at(4, 5), rgb(0, 255, 0));  // the clip ends at 5
        EXPECT_EQ(at(5, 5), black);
        EXPECT_EQ(at(10, 1), rgb(255, 255, 255));
        EXPECT_EQ(at(14, 5), rgb(255, 255, 255));
        EXPECT_EQ(at(12, 3), black);  // inside the outline
        EXPECT_EQ(at(15, 3), black);
        EXPECT_EQ(at(0, 6), colours[1 * 4 + 1]);  // from the source offset (1, 1)
        EXPECT_EQ(at(2, 7), colours[2 * 4 + 3]);
        EXPECT_EQ(at(3, 6), black);
        EXPECT_EQ(at(16, 0), colours[2]);
        EXPECT_EQ(at(17, 2), colours[2 * 4 + 3]);
        EXPECT_EQ(at(18, 0), black);  // beyond the image: nothing drawn
        EXPECT_EQ(at(17, 3), black);
        EXPECT_EQ(at(7, 8), rgb(120, 120, 120));  // 200 x 153 / 255
    }
}

TEST(Renderer, TwoXImagesAreCopiedAt200AndAveragedOverEachPixelsAreaBetween) {
    // A film strip of two frames of 4 x 2 logical pixels at 2x (8 x 4 pixels each): the
    // first in columns of white and black, the second red, which must never bleed in.
    std::vector<uint32_t> strip;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            strip.push_back(y >= 4 ? rgb(255, 0, 0) : x % 2 ? rgb(0, 0, 0) : rgb(255, 255, 255));
    const PlatformImagePtr image = platformGraphics().createImage(8, 8, strip.data(), true);
    ASSERT_NE(image, nullptr);
    struct Case {
        double scale;
        int width, height;
        std::vector<uint32_t> row;  // every row of the picture, left to right
    };
    const Case cases[] = {
        {2, 8, 4, {255, 0, 255, 0, 255, 0, 255, 0}},
        // A device pixel covers 4/3 image pixels: white 1 + black 1/3, black 2/3 + white 2/3,
        // white 1/3 + black 1 (255 x 3/4, x 1/2, x 1/4, halves up), in every row alike.
        {1.5, 6, 3, {191, 128, 64, 191, 128, 64}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("scale " + std::to_string(c.scale));
        auto buffer = platformGraphics().createBackBuffer(4, 2, c.scale);
        ASSERT_EQ(buffer->getWidth(), c.width);
        ASSERT_EQ(buffer->getHeight(), c.height);
        buffer->createSurface()->drawImage(*image, CRect(0, 0, 4, 2), CPoint(0, 0), 1.f, 2);
        const PixelRows px = buffer->pixels();
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                EXPECT_EQ(px.at(x, y), rgb(c.row[x], c.row[x], c.row[x])) << x << "," << y;
    }
}

TEST(Renderer, TextIsMeasuredAsDrawnAndStaysInsideItsClip) {
    const TextFont arial9{"Arial", 9, kNormalFace}, arial11{"Arial", 11, kNormalFace};
    auto measuring = platformGraphics().createMeasuringSurface();
    const CCoord word = measuring->textWidth("Default", arial9);
    EXPECT_GT(word, 20);
    EXPECT_LT(word, 45);
    EXPECT_NEAR(measuring->textWidth("DefaultDefault", arial9), 2 * word, 1);
    EXPECT_GT(measuring->textWidth("Default ", arial9), word);  // a trailing space counts
    EXPECT_GT(measuring->textWidth("Default", TextFont{"Arial", 11, kBoldFace}), word);
    const CCoord cap = measuring->capHeight(arial11);
    EXPECT_GE(cap, 7);
    EXPECT_LE(cap, 9);

    for (int scale : {1, 2}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        auto buffer = platformGraphics().createBackBuffer(60, 20, scale);
        {
            auto s = buffer->createSurface();
            EXPECT_NEAR(s->textWidth("Default", arial9), word, scale == 1 ? 0 : 1.5);
            s->fillRect(CRect(0, 0, 60, 20), MakeCColor(189, 207, 218));
            s->drawText("Default", CPoint(4, 14), arial9, MakeCColor(36, 36, 32), true, CRect(4, 4, 30, 18));
        }
        const PixelRows px = buffer->pixels();
        int ink = 0, outside = 0;
        for (int y = 0; y < px.height; ++y)
            for (int x = 0; x < px.width; ++x) {
                const bool changed = px.at(x, y) != rgb(189, 207, 218);
                const bool inClip = x >= 4 * scale && x < 30 * scale && y >= 4 * scale && y < 18 * scale;
                (inClip ? ink : outside) += changed;
            }
        EXPECT_GT(ink, 30 * scale * scale);
        EXPECT_EQ(outside, 0);
    }
}

#if defined(_WIN32)
TEST(Renderer, GdiplusRunsWhileSomethingUsesItAndStopsAfter) {
    ASSERT_EQ(gdiplus::sessionUsers(), 0);
    {
        auto buffer = platformGraphics().createBackBuffer(10, 10, 1);
        EXPECT_EQ(gdiplus::sessionUsers(), 1);
        EXPECT_NE(gdiplus::bitmapOf(*buffer), nullptr);
        EXPECT_NE(gdiplus::memoryDcOf(*buffer), nullptr);
        auto measuring = platformGraphics().createMeasuringSurface();
        EXPECT_EQ(gdiplus::sessionUsers(), 2);
        EXPECT_GT(measuring->textWidth("Default", TextFont{"Arial", 9, kNormalFace}), 0);
    }
    EXPECT_EQ(gdiplus::sessionUsers(), 0);
    EXPECT_NE(platformGraphics().decodePng(kRgbPng, sizeof kRgbPng), nullptr);
    EXPECT_EQ(gdiplus::sessionUsers(), 0);
}
#endif
