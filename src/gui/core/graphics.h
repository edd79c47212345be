// The drawing seam: everything the toolkit draws goes through these interfaces, and a
// renderer of one drawing library implements them (cairo on Linux, GDI+ on Windows). The
// core never includes a drawing library's header.
//
// Pixels are premultiplied 32-bit words 0xAARRGGBB in the machine's byte order, which is
// the layout of cairo's image surfaces, of GDI+'s PARGB bitmaps and of a 32-bit DIB
// section alike, so the core and the tests can read any renderer's pixels the same way.
//
// Scale: a back buffer has a logical size (the panel's coordinates) and a scale factor;
// its pixels are size x scale, rounded to the nearest pixel (composite.h's deviceEdge,
// as every edge drawn). Everything drawn into it is given in logical coordinates and the
// renderer applies the scale, so controls never see it. An image holds a number of pixels
// per logical pixel of its own (1, or 2 for the 2x artwork); drawn at another scale it
// is resampled by an area average, the same arithmetic for every renderer.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "vstguibase.h"

namespace VSTGUI {

// Rows of premultiplied 0xAARRGGBB pixels, `stride` bytes apart.
struct PixelRows {
    const uint8_t* data = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    // Opaque images have no alpha: their alpha byte means nothing and reads as 255.
    bool opaque = true;

    uint32_t at(int32_t x, int32_t y) const {
        if (!data || x < 0 || y < 0 || x >= width || y >= height) return 0;
        const uint32_t v = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride)[x];
        return opaque ? (v | 0xff000000u) : v;
    }
};

// A decoded image (immutable once made; shared between bitmaps).
class IPlatformImage {
public:
    virtual ~IPlatformImage() = default;
    virtual int32_t getWidth() const = 0;
    virtual int32_t getHeight() const = 0;
    virtual PixelRows pixels() const = 0;
};
using PlatformImagePtr = std::shared_ptr<const IPlatformImage>;

enum CTxtFace : int32_t {
    kNormalFace = 0,
    kBoldFace = 1 << 1,
    kItalicFace = 1 << 2,
    kUnderlineFace = 1 << 3,
};

// A font as the renderer takes it: a family name, a size in pixels, CTxtFace bits.
struct TextFont {
    std::string family;
    CCoord size = 12;
    int32_t style = 0;
};

// The size (logical) a renderer draws `size` at on a back buffer of `scale`: a whole number
// of device pixels, the nearest. Glyphs are hinted at whole pixel sizes alike by FreeType
// and by GDI (which takes nothing else), so that at 125 %, 150 % and 175 % the text is as
// crisp and the two renderers place it as alike as at 100 % and 200 %, where nothing changes.
inline CCoord deviceFontSize(CCoord size, CCoord scale) {
    const CCoord pixels = std::round(size * scale);
    return (pixels < 1 ? 1 : pixels) / scale;
}

// Drawing into a back buffer. Coordinates are logical; rectangles given to fills, frames,
// clips and image copies are whole pixels already (the draw context truncates them).
// Text is valid UTF-8.
class IPlatformSurface {
public:
    virtual ~IPlatformSurface() = default;
    // Everything drawn afterwards stays inside `clip`.
    virtual void setClip(const CRect& clip) = 0;
    virtual void fillRect(const CRect& rect, const CColor& colour) = 0;
    // An outline `lineWidth` wide, inside `rect`.
    virtual void strokeRect(const CRect& rect, const CColor& colour, CCoord lineWidth) = 0;
    // A line through the centres of the pixels at `from` and `to` (whole pixels), ending
    // flat at `to`'s centre.
    virtual void drawLine(const CPoint& from, const CPoint& to, const CColor& colour, CCoord lineWidth) = 0;
    // Copies the `dest`-sized region of `image` that starts at `offset` to `dest`, composited
    // over what is there, with its alpha multiplied by `alpha` (0 to 1). `offset` is logical:
    // the image holds `imageScale` pixels per logical pixel.
    virtual void drawImage(const IPlatformImage& image, const CRect& dest, const CPoint& offset, float alpha,
                           CCoord imageScale) = 0;
    // The advance width of `text` and the height of a capital above the baseline.
    virtual CCoord textWidth(const std::string& text, const TextFont& font) = 0;
    virtual CCoord capHeight(const TextFont& font) = 0;
    // Text starting at `origin` on its baseline, clipped to `clip` as well.
    virtual void drawText(const std::string& text, const CPoint& origin, const TextFont& font, const CColor& colour,
                          bool antialias, const CRect& clip) = 0;
};

// What the frame draws into and a platform shows: an opaque image of logical size x scale.
class IPlatformBackBuffer : public IPlatformImage {
public:
    virtual CCoord getScaleFactor() const = 0;
    // A surface drawing into the buffer; the buffer holds everything drawn once the
    // surface is destroyed.
    virtual std::unique_ptr<IPlatformSurface> createSurface() = 0;

    // The buffer's pixels that a logical rectangle covers (rounded outwards, inside the buffer).
    CRect deviceRect(const CRect& logical) const {
        const CCoord s = getScaleFactor();
        CRect r(std::floor(logical.left * s), std::floor(logical.top * s), std::ceil(logical.right * s),
                std::ceil(logical.bottom * s));
        return r.bound(CRect(0, 0, getWidth(), getHeight()));
    }
};

// The renderer of this build. One per process, defined by the renderer linked in.
class IPlatformGraphics {
public:
    virtual ~IPlatformGraphics() = default;
    // A PNG file's bytes decoded; null when they are not a PNG.
    virtual PlatformImagePtr decodePng(const unsigned char* data, size_t size) = 0;
    // An image holding a copy of `pixels` (width x height premultiplied words, rows packed).
    virtual PlatformImagePtr createImage(int32_t width, int32_t height, const uint32_t* pixels, bool opaque) = 0;
    // A back buffer of `width` x `height` logical pixels at `scale`, filled black.
    virtual std::unique_ptr<IPlatformBackBuffer> createBackBuffer(int32_t width, int32_t height, CCoord scale) = 0;
    // A surface that only measures text (what it draws goes nowhere).
    virtual std::unique_ptr<IPlatformSurface> createMeasuringSurface() = 0;
    // Writes `image` as a PNG file (the path in UTF-8); false when it could not be written.
    virtual bool writePng(const IPlatformImage& image, const std::string& path) = 0;
    // Frees process-wide caches the library keeps (fonts), for leak checkers at exit.
    virtual void releaseCaches() {}
};

IPlatformGraphics& platformGraphics();

}  // namespace VSTGUI
