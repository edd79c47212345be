#include "composite.h"

#include <algorithm>
#include <cmath>
#include <vector>

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

int outline(const Box& box, int32_t w, Box bands[4]) {
    if (w <= 0 || box.empty()) return 0;
    if (box.right - box.left <= 2 * w || box.bottom - box.top <= 2 * w) {
        bands[0] = box;
        return 1;
    }
    bands[0] = Box{box.left, box.top, box.right, box.top + w};
    bands[1] = Box{box.left, box.bottom - w, box.right, box.bottom};
    bands[2] = Box{box.left, box.top + w, box.left + w, box.bottom - w};
    bands[3] = Box{box.right - w, box.top + w, box.right, box.bottom - w};
    return 4;
}

int32_t deviceEdge(double logical, double scale) { return static_cast<int32_t>(std::lround(logical * scale)); }

Box deviceBox(const CRect& r, double scale) {
    return Box{deviceEdge(r.left, scale), deviceEdge(r.top, scale), deviceEdge(r.right, scale),
               deviceEdge(r.bottom, scale)};
}

namespace {

// Along one axis: for each device pixel of [first, last), the source pixels its area
// covers and how much of each (taps[begin[i]] .. taps[begin[i + 1]]).
struct Axis {
    struct Tap {
        int32_t index;
        double weight;
    };
    std::vector<size_t> begin;
    std::vector<Tap> taps;

    // `destStart`: where the destination starts (logical); `from`, `extent`: the region
    // of the image shown there (logical); `size`: the image's pixels along this axis.
    Axis(int32_t first, int32_t last, double scale, double destStart, double from, double extent, double imageScale,
         int32_t size) {
        const double low = std::max(0.0, from * imageScale);
        const double high = std::min(static_cast<double>(size), (from + extent) * imageScale);
        for (int32_t d = first; d < last; ++d) {
            begin.push_back(taps.size());
            const double u0 = std::max(low, (d / scale - destStart + from) * imageScale);
            const double u1 = std::min(high, ((d + 1) / scale - destStart + from) * imageScale);
            for (double i = std::floor(u0); i < u1; ++i) {
                const double weight = std::min(u1, i + 1) - std::max(u0, i);
                if (weight > 0) taps.push_back(Tap{static_cast<int32_t>(i), weight});
            }
        }
        begin.push_back(taps.size());
    }
    bool empty(size_t i) const { return begin[i] == begin[i + 1]; }
};

}  // namespace

Box drawImage(const Target& target, const Box& clip, const ScaledImage& image, float alpha) {
    const Box box = deviceBox(image.dest, image.scale).intersect(clip).intersect(Box{0, 0, target.width, target.height});
    if (!box.empty()) resample(target, box, image, alpha >= 1.f ? 0xff : maskOf(alpha));
    return box;
}

void resample(const Target& target, const Box& boxIn, const ScaledImage& image, uint32_t mask) {
    const Box box = boxIn.intersect(Box{0, 0, target.width, target.height});
    if (box.empty()) return;
    const PixelRows& source = image.source;
    const Axis columns(box.left, box.right, image.scale, image.dest.left, image.offset.x, image.dest.width(),
                       image.imageScale, source.width);
    const Axis rows(box.top, box.bottom, image.scale, image.dest.top, image.offset.y, image.dest.height(),
                    image.imageScale, source.height);
    for (int32_t y = box.top; y < box.bottom; ++y) {
        const size_t ry = static_cast<size_t>(y - box.top);
        if (rows.empty(ry)) continue;
        uint32_t* out = target.row(y);
        for (int32_t x = box.left; x < box.right; ++x) {
            const size_t cx = static_cast<size_t>(x - box.left);
            if (columns.empty(cx)) continue;
            double sum[4] = {0, 0, 0, 0}, total = 0;
            for (size_t j = rows.begin[ry]; j < rows.begin[ry + 1]; ++j) {
                const Axis::Tap& row = rows.taps[j];
                const auto* from =
                    reinterpret_cast<const uint32_t*>(source.data + static_cast<size_t>(row.index) * source.stride);
                for (size_t i = columns.begin[cx]; i < columns.begin[cx + 1]; ++i) {
                    const Axis::Tap& column = columns.taps[i];
                    const double w = row.weight * column.weight;
                    uint32_t p = from[column.index];
                    if (source.opaque) p |= 0xff000000u;
                    for (int c = 0; c < 4; ++c) sum[c] += w * ((p >> (8 * c)) & 0xff);
                    total += w;
                }
            }
            // Halves up; the weights are sums of fractions, and a half that came out a hair
            // below would round down in one row and up in the next.
            uint32_t p = 0;
            for (int c = 0; c < 4; ++c)
                p |= std::min<uint32_t>(static_cast<uint32_t>(std::floor(sum[c] / total + 0.5 + 1e-9)), 0xff)
                     << (8 * c);
            if (mask != 0xff) p = scaled(p, mask);
            out[x] = over(p, out[x]);
        }
    }
}

}  // namespace composite
}  // namespace VSTGUI
