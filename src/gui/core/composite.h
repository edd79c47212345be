// Compositing on premultiplied 0xAARRGGBB pixels with the arithmetic of cairo's image
// backend (pixman): the GDI+ renderer draws the artwork, fills and outlines through these
// rather than through GDI+, whose own rounding differs, and both renderers draw artwork
// at another scale than its own through `resample`, so that both give the same bytes at
// every zoom. Plain C++, no drawing library: the Linux tests compare it with cairo.
#pragma once

#include <cstdint>

#include "graphics.h"

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

// A logical edge at `scale` as a device pixel edge: to the nearest, halves away from 0. A
// window, a back buffer and every rectangle drawn agree on it, so rectangles that touch
// in the panel touch on the screen at every scale.
int32_t deviceEdge(double logical, double scale);
// A logical rectangle's device pixels.
Box deviceBox(const CRect& logical, double scale);

// `colour` (premultiplied) over every pixel of `box`.
void fill(const Target& target, const Box& box, uint32_t colour);
// An outline `width` device pixels wide inside `box` as bands that cover no pixel twice
// (four, or `box` whole when it is too small for a hole); how many are in `bands`.
int outline(const Box& box, int32_t width, Box bands[4]);

// An image drawn at the back buffer's scale: the logical rectangle `dest` (whole logical
// pixels) shows the region of `source` that starts at the logical point `offset` of the
// image and has dest's size, where the image holds `imageScale` pixels per logical pixel
// and the back buffer `scale` device pixels. Each device pixel of `box` (dest's device
// pixels and the clip, intersected) takes the mean of the source pixels its area covers,
// each weighted by the part it covers (an area average: a box filter as wide as a device
// pixel), within that region only, so that a film strip's neighbouring frames never
// bleed in; where the region is cut by the image's edge the pixels outside count for
// nothing. When a device pixel is a whole source pixel (scale == imageScale) this is a
// plain copy. The result, through `mask` (255: none), goes over the target.
struct ScaledImage {
    const PixelRows& source;
    double imageScale;
    CRect dest;
    CPoint offset;
    double scale;
};
void resample(const Target& target, const Box& box, const ScaledImage& image, uint32_t mask);
// What both renderers do for an image: `resample` over dest's device pixels within `clip`,
// with the image's alpha times `alpha` (0 to 1). Answers the device pixels it drew.
Box drawImage(const Target& target, const Box& clip, const ScaledImage& image, float alpha);

}  // namespace composite
}  // namespace VSTGUI
