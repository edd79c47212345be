// The drawing seam's contract, as the toolkit relies on it, for the renderer of this build
// (cairo on Linux, GDI+ on Windows): PNG decoding with cairo's premultiplication, a back
// buffer that starts opaque black, whole-pixel fills, outlines and image copies that keep
// to their rectangles and the clip at scale 1 and 2, and text measured as drawn.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/graphics.h"
#if defined(_WIN32)
#include "gdiplus/GdiplusGraphics.h"
#endif

using namespace VSTGUI;

namespace {

// ---------------------------------------------------------------- PNG files made here

uint32_t crc32(const unsigned char* data, size_t size, uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void put32(std::vector<unsigned char>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(v >> shift));
}

void chunk(std::vector<unsigned char>& png, const char* type, const std::vector<unsigned char>& body) {
    put32(png, static_cast<uint32_t>(body.size()));
    std::vector<unsigned char> typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    png.insert(png.end(), typed.begin(), typed.end());
    put32(png, crc32(typed.data(), typed.size()));
}

// A PNG of 8-bit RGB (3 bytes a pixel) or RGBA (4) rows, compressed with stored blocks only.
std::vector<unsigned char> pngOf(int width, int height, int channels, const std::vector<unsigned char>& samples) {
    std::vector<unsigned char> raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);  // no filter
        const auto* row = samples.data() + static_cast<size_t>(y) * width * channels;
        raw.insert(raw.end(), row, row + static_cast<size_t>(width) * channels);
    }
    std::vector<unsigned char> z{0x78, 0x01};
    for (size_t at = 0; at < raw.size();) {
        const size_t n = std::min<size_t>(65535, raw.size() - at);
        z.push_back(at + n == raw.size() ? 1 : 0);
        z.push_back(static_cast<unsigned char>(n));
        z.push_back(static_cast<unsigned char>(n >> 8));
        z.push_back(static_cast<unsigned char>(~n));
        z.push_back(static_cast<unsigned char>(~n >> 8));
        z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at), raw.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
    }
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    put32(z, (b << 16) | a);
    std::vector<unsigned char> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<unsigned char> header;
    put32(header, static_cast<uint32_t>(width));
    put32(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, static_cast<unsigned char>(channels == 4 ? 6 : 2), 0, 0, 0});
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", z);
    chunk(png, "IEND", {});
    return png;
}

uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) { return 0xff000000u | (r << 16) | (g << 8) | b; }

}  // namespace

TEST(Renderer, DecodesPngsAndPremultipliesTheirAlphaAsCairoDoes) {
    // Every alpha (rows) with every colour value (columns): each channel c becomes c x a / 255
    // rounded to nearest, a transparent pixel all zero.
    std::vector<unsigned char> samples;
    for (int a = 0; a < 256; ++a)
        for (int c = 0; c < 256; ++c)
            samples.insert(samples.end(), {static_cast<unsigned char>(c), static_cast<unsigned char>(255 - c),
                                           static_cast<unsigned char>(c / 2), static_cast<unsigned char>(a)});
    const std::vector<unsigned char> png = pngOf(256, 256, 4, samples);
    const PlatformImagePtr image = platformGraphics().decodePng(png.data(), png.size());
    ASSERT_NE(image, nullptr);
    const PixelRows px = image->pixels();
    ASSERT_EQ(px.width, 256);
    ASSERT_EQ(px.height, 256);
    EXPECT_FALSE(px.opaque);
    int wrong = 0;
    for (int a = 0; a < 256; ++a)
        for (int c = 0; c < 256; ++c) {
            auto scaled = [a](int v) { return static_cast<uint32_t>(std::lround(v * a / 255.0)); };
            const uint32_t want =
                a == 0 ? 0 : (static_cast<uint32_t>(a) << 24) | (scaled(c) << 16) | (scaled(255 - c) << 8) | scaled(c / 2);
            wrong += px.at(c, a) != want;
        }
    EXPECT_EQ(wrong, 0);

    // An RGB file is opaque and keeps its colours.
    const std::vector<unsigned char> rgbPng = pngOf(3, 1, 3, {255, 0, 0, 1, 2, 3, 250, 251, 252});
    const PlatformImagePtr opaque = platformGraphics().decodePng(rgbPng.data(), rgbPng.size());
    ASSERT_NE(opaque, nullptr);
    EXPECT_TRUE(opaque->pixels().opaque);
    EXPECT_EQ(opaque->pixels().at(0, 0), rgb(255, 0, 0));
    EXPECT_EQ(opaque->pixels().at(1, 0), rgb(1, 2, 3));
    EXPECT_EQ(opaque->pixels().at(2, 0), rgb(250, 251, 252));

    // Anything else is no image.
    const unsigned char rubbish[] = "not a picture at all";
    EXPECT_EQ(platformGraphics().decodePng(rubbish, sizeof rubbish), nullptr);
    EXPECT_EQ(platformGraphics().decodePng(rgbPng.data(), rgbPng.size() / 2), nullptr);
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
            s->drawImage(*image, CRect(0, 6, 3, 8), CPoint(1, 1), 1.f);
            s->drawImage(*image, CRect(16, 0, 20, 4), CPoint(2, 0), 1.f);  // half of it beyond the image
            s->fillRect(CRect(7, 8, 8, 9), MakeCColor(200, 200, 200));
            s->drawImage(*glass, CRect(7, 8, 8, 9), CPoint(0, 0), 1.f);
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

TEST(Renderer, TextIsMeasuredAsDrawnAndStaysInsideItsClip) {
    const FontSpec arial9{"Arial", 9, kNormalFace}, arial11{"Arial", 11, kNormalFace};
    auto measuring = platformGraphics().createMeasuringSurface();
    const CCoord word = measuring->textWidth("Default", arial9);
    EXPECT_GT(word, 20);
    EXPECT_LT(word, 45);
    EXPECT_NEAR(measuring->textWidth("DefaultDefault", arial9), 2 * word, 1);
    EXPECT_GT(measuring->textWidth("Default ", arial9), word);  // a trailing space counts
    EXPECT_GT(measuring->textWidth("Default", FontSpec{"Arial", 11, kBoldFace}), word);
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
        EXPECT_GT(measuring->textWidth("Default", FontSpec{"Arial", 9, kNormalFace}), 0);
    }
    EXPECT_EQ(gdiplus::sessionUsers(), 0);
    const std::vector<unsigned char> png = pngOf(1, 1, 3, {1, 2, 3});
    EXPECT_NE(platformGraphics().decodePng(png.data(), png.size()), nullptr);
    EXPECT_EQ(gdiplus::sessionUsers(), 0);
}
#endif
