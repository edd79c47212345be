#include "Pictures.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "layout.h"

namespace guitest {

using namespace VSTGUI;

std::vector<TextBox> scaledBoxes(std::vector<TextBox> boxes, double scale) {
    for (TextBox& b : boxes)
        b.rect = CRect(std::floor(b.rect.left * scale), std::floor(b.rect.top * scale), std::ceil(b.rect.right * scale),
                       std::ceil(b.rect.bottom * scale));
    return boxes;
}

std::vector<TextBox> panelTextBoxes(double scale) {
    std::vector<TextBox> boxes;
    for (const layout::Control& c : layout::kStrip)
        if (c.kind == layout::Kind::NameField || c.kind == layout::Kind::ControllerDisplay)
            boxes.push_back({c.kind == layout::Kind::NameField ? "program name" : "controller display",
                             CRect(std::floor(c.left), std::floor(c.top), std::ceil(c.right), std::ceil(c.bottom))});
    return scaledBoxes(boxes, scale);
}

namespace {

int channelDistance(uint32_t a, uint32_t b) {
    int worst = 0;
    for (int shift : {0, 8, 16})
        worst = std::max(worst, std::abs(static_cast<int>((a >> shift) & 255) - static_cast<int>((b >> shift) & 255)));
    return worst;
}

bool inside(const TextBox& box, int x, int y) {
    return x >= box.rect.left && x < box.rect.right && y >= box.rect.top && y < box.rect.bottom;
}

// Pixels of `a` in `box` with no pixel of `b` near enough and close enough in colour.
int unmatchedIn(const PixelRows& a, const PixelRows& b, const TextBox& box) {
    int unmatched = 0;
    for (int y = static_cast<int>(box.rect.top); y < box.rect.bottom; ++y)
        for (int x = static_cast<int>(box.rect.left); x < box.rect.right; ++x) {
            bool matched = false;
            for (int dy = -TextTolerance::kReach; dy <= TextTolerance::kReach && !matched; ++dy)
                for (int dx = -TextTolerance::kReach; dx <= TextTolerance::kReach && !matched; ++dx)
                    matched = inside(box, x + dx, y + dy) &&
                              channelDistance(a.at(x, y), b.at(x + dx, y + dy)) <= TextTolerance::kChannel;
            unmatched += !matched;
        }
    return unmatched;
}

}  // namespace

PictureDifference compare(const PixelRows& picture, const PixelRows& golden, const std::vector<TextBox>& boxes,
                          int rounding) {
    PictureDifference d;
    d.sameSize = picture.width == golden.width && picture.height == golden.height;
    if (!d.sameSize) return d;
    for (const TextBox& box : boxes) {
        BoxDifference b;
        b.name = box.name;
        b.rect = box.rect;
        for (int y = static_cast<int>(box.rect.top); y < box.rect.bottom; ++y)
            for (int x = static_cast<int>(box.rect.left); x < box.rect.right; ++x) {
                ++b.pixels;
                b.differing += channelDistance(picture.at(x, y), golden.at(x, y)) != 0;
            }
        b.unmatched = unmatchedIn(picture, golden, box) + unmatchedIn(golden, picture, box);
        d.boxes.push_back(b);
    }
    for (int y = 0; y < golden.height; ++y)
        for (int x = 0; x < golden.width; ++x) {
            if (std::any_of(boxes.begin(), boxes.end(), [&](const TextBox& box) { return inside(box, x, y); }))
                continue;
            d.outside += channelDistance(picture.at(x, y), golden.at(x, y)) > rounding;
        }
    return d;
}

bool PictureDifference::passes() const {
    return sameSize && outside == 0 &&
           std::all_of(boxes.begin(), boxes.end(), [](const BoxDifference& b) { return b.withinTolerance(); });
}

std::string PictureDifference::describe() const {
    if (!sameSize) return "the pictures differ in size";
    std::ostringstream out;
    out << outside << " pixels differ outside the text boxes";
    for (const BoxDifference& b : boxes)
        out << "; " << b.name << ": " << b.differing << " of " << b.pixels << " pixels differ, " << b.unmatched
            << " unmatched (at most " << b.allowed() << ")";
    return out.str();
}

PlatformImagePtr readPng(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return bytes.empty() ? nullptr : platformGraphics().decodePng(bytes.data(), bytes.size());
}

bool writeDifference(const PixelRows& picture, const PixelRows& golden, const std::vector<TextBox>& boxes,
                     const std::string& path) {
    std::vector<uint32_t> pixels(static_cast<size_t>(golden.width) * golden.height);
    for (int y = 0; y < golden.height; ++y)
        for (int x = 0; x < golden.width; ++x) {
            const uint32_t g = golden.at(x, y);
            const int off = channelDistance(picture.at(x, y), g);
            uint32_t out;
            if (off > 0) {
                out = 0xff000000u | (static_cast<uint32_t>(std::min(255, 96 + off)) << 16);
            } else {
                const uint32_t grey = (((g >> 16) & 255) + ((g >> 8) & 255) + (g & 255)) / 9;
                out = 0xff000000u | (grey << 16) | (grey << 8) | grey;
            }
            for (const TextBox& box : boxes) {
                const bool edge = inside(box, x, y) && (x == box.rect.left || y == box.rect.top ||
                                                        x == box.rect.right - 1 || y == box.rect.bottom - 1);
                if (edge && off == 0) out = 0xff3070d0u;
            }
            pixels[static_cast<size_t>(y) * golden.width + x] = out;
        }
    PlatformImagePtr image = platformGraphics().createImage(golden.width, golden.height, pixels.data(), true);
    return image && platformGraphics().writePng(*image, path);
}

}  // namespace guitest
