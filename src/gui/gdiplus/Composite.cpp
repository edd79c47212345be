#include "Composite.h"

#include <algorithm>
#include <cmath>

namespace VSTGUI {
namespace composite {

uint32_t premultiplied(uint8_t alpha, uint8_t red, uint8_t green, uint8_t blue) {
    if (alpha == 0) return 0;
    if (alpha != 0xff) {
        red = static_cast<uint8_t>(multiply(alpha, red));
        green = static_cast<uint8_t>(multiply(alpha, green));
        blue = static_cast<uint8_t>(multiply(alpha, blue));
    }
    return (static_cast<uint32_t>(alpha) << 24) | (static_cast<uint32_t>(red) << 16) |
           (static_cast<uint32_t>(green) << 8) | blue;
}

namespace {
uint32_t shortOf(double unit) { return static_cast<uint32_t>(static_cast<uint16_t>(unit * 65535.0 + 0.5)); }
}  // namespace

uint32_t solidColour(const CColor& c) {
    const double alpha = c.alpha / 255.0;
    const uint32_t a = shortOf(alpha) >> 8;
    const uint32_t r = shortOf(c.red / 255.0 * alpha) >> 8;
    const uint32_t g = shortOf(c.green / 255.0 * alpha) >> 8;
    const uint32_t b = shortOf(c.blue / 255.0 * alpha) >> 8;
    return (a << 24) | (r << 16) | (g << 8) | b;
}

uint32_t maskOf(float alpha) { return shortOf(std::clamp(static_cast<double>(alpha), 0.0, 1.0)) >> 8; }

uint32_t scaled(uint32_t p, uint32_t m) {
    return (multiply(p >> 24, m) << 24) | (multiply((p >> 16) & 0xff, m) << 16) | (multiply((p >> 8) & 0xff, m) << 8) |
           multiply(p & 0xff, m);
}

uint32_t over(uint32_t s, uint32_t d) {
    const uint32_t sa = s >> 24;
    if (sa == 0xff) return s;
    if (s == 0) return d;
    const uint32_t inverse = 0xff - sa;
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t c = ((s >> shift) & 0xff) + multiply((d >> shift) & 0xff, inverse);
        out |= std::min<uint32_t>(c, 0xff) << shift;
    }
    return out;
}

Box Box::intersect(const Box& o) const {
    Box b{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right), std::min(bottom, o.bottom)};
    if (b.right < b.left) b.right = b.left;
    if (b.bottom < b.top) b.bottom = b.top;
    return b;
}

void fill(const Target& target, const Box& boxIn, uint32_t colour) {
    const Box box = boxIn.intersect(Box{0, 0, target.width, target.height});
    for (int32_t y = box.top; y < box.bottom; ++y) {
        uint32_t* row = target.row(y);
        if ((colour >> 24) == 0xff)
            std::fill(row + box.left, row + box.right, colour);
        else
            for (int32_t x = box.left; x < box.right; ++x) row[x] = over(colour, row[x]);
    }
}

void copy(const Target& target, const Box& boxIn, const PixelRows& source, double sourceX, double sourceY, double scale,
          uint32_t mask) {
    const Box box = boxIn.intersect(Box{0, 0, target.width, target.height});
    for (int32_t y = box.top; y < box.bottom; ++y) {
        const double v = scale == 1 ? sourceY + y : std::floor(sourceY + (y + 0.5) / scale);
        if (v < 0 || v >= source.height) continue;
        const auto* from = reinterpret_cast<const uint32_t*>(source.data + static_cast<size_t>(v) * source.stride);
        uint32_t* row = target.row(y);
        for (int32_t x = box.left; x < box.right; ++x) {
            const double u = scale == 1 ? sourceX + x : std::floor(sourceX + (x + 0.5) / scale);
            if (u < 0 || u >= source.width) continue;
            uint32_t p = from[static_cast<int32_t>(u)];
            if (source.opaque) p |= 0xff000000u;
            if (mask != 0xff) p = scaled(p, mask);
            row[x] = over(p, row[x]);
        }
    }
}

}  // namespace composite
}  // namespace VSTGUI
