// Compositing on premultiplied 0xAARRGGBB pixels with the arithmetic of cairo's image
// backend (pixman): the GDI+ renderer draws the artwork, fills and outlines through these
// rather than through GDI+, whose own rounding differs, so that both renderers give the
// same bytes. Plain C++, no Windows headers: the Linux tests compare it with cairo.
#pragma once

#include <cstdint>

#include "../core/graphics.h"

namespace VSTGUI {
namespace composite {

// a x b / 255, rounded to nearest (exact for all bytes).
inline uint32_t multiply(uint32_t a, uint32_t b) {
    const uint32_t t = a * b + 0x80;
    return (t + (t >> 8)) >> 8;
}

// A straight-alpha colour premultiplied as cairo's PNG reader does it (zero alpha: zero).
uint32_t premultiplied(uint8_t alpha, uint8_t red, uint8_t green, uint8_t blue);
// A solid colour as cairo hands it to pixman: each channel scaled by alpha in doubles,
// through 16 bits, truncated to 8.
uint32_t solidColour(const CColor& colour);
// Every channel of `pixel` (alpha too) times `mask` / 255.
uint32_t scaled(uint32_t pixel, uint32_t mask);
// `source` over `dest`.
uint32_t over(uint32_t source, uint32_t dest);
// An opacity 0 to 1 as the 8-bit mask cairo_paint_with_alpha composites with.
uint32_t maskOf(float alpha);

// Pixels that can be written: rows `stride` bytes apart.
struct Target {
    uint8_t* data;
    int32_t width, height, stride;
    uint32_t* row(int32_t y) const { return reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride); }
};

// Whole device pixels, half-open.
struct Box {
    int32_t left, top, right, bottom;
    bool empty() const { return right <= left || bottom <= top; }
    Box intersect(const Box& o) const;
};

// `colour` (premultiplied) over every pixel of `box`.
void fill(const Target& target, const Box& box, uint32_t colour);
// The pixels of `source` over `box`: device pixel (x, y) takes the source pixel at
// (sourceX + (x + 0.5) / scale, sourceY + (y + 0.5) / scale), truncated (nearest
// neighbour; at scale 1 simply sourceX + x, sourceY + y); pixels outside the source leave
// the target alone. `mask` (255: none) scales the source first.
void copy(const Target& target, const Box& box, const PixelRows& source, double sourceX, double sourceY, double scale,
          uint32_t mask);

}  // namespace composite
}  // namespace VSTGUI
