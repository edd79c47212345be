#include "GdiplusGraphics.h"

// GDI+ needs IStream, which WIN32_LEAN_AND_MEAN leaves out of windows.h.
#include <objidl.h>
// clang-format off
#include <gdiplus.h>
// clang-format on

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "../core/composite.h"

namespace VSTGUI {
namespace gdiplus {
namespace {

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

// ---------------------------------------------------------------- GDI+ started and stopped

// A font as GDI+ draws it at one scale: sized in logical pixels (the graphics' world
// transform scales it), with metrics in logical pixels.
struct FontEntry {
    GpFontFamily* family = nullptr;
    bool genericFamily = false;  // GDI+'s own, never deleted
    GpFont* font = nullptr;
    double ascent = 0;     // from the layout box's top down to the baseline
    double capHeight = 0;  // the ink height of a capital M, as hinted at the device size
};

// GDI+ is running while at least one user holds it. What it made for us (fonts, the text
// format) belongs to the session and goes before GdiplusShutdown.
class Session {
public:
    static void acquire() {
        std::lock_guard<std::mutex> lock(mutex());
        Session& s = instance();
        if (s.holders++ > 0) return;
        GdiplusStartupInput input;
        if (GdiplusStartup(&s.token, &input, nullptr) != Ok) s.token = 0;
    }
    static void release() {
        std::lock_guard<std::mutex> lock(mutex());
        Session& s = instance();
        if (s.holders == 0 || --s.holders > 0) return;
        s.dropObjects();
        if (s.token) GdiplusShutdown(s.token);
        s.token = 0;
    }
    static int users() {
        std::lock_guard<std::mutex> lock(mutex());
        return instance().holders;
    }
    static bool running() { return instance().token != 0; }

    // The font for `wanted` at `scale` (null when GDI+ could not make one). Held sessions only.
    static const FontEntry* font(const TextFont& wanted, double scale);
    // The text format every string is drawn and measured with: no padding, no wrapping,
    // no clipping to a layout box, trailing spaces measured (as cairo's advance has them).
    static GpStringFormat* format();

private:
    static std::mutex& mutex() {
        static std::mutex m;
        return m;
    }
    static Session& instance() {
        // Never destroyed: a static destructor would run from DllMain.
        static Session* s = new Session;
        return *s;
    }
    void dropObjects() {
        for (auto& entry : fonts) {
            if (entry.second.font) GdipDeleteFont(entry.second.font);
            if (entry.second.family && !entry.second.genericFamily) GdipDeleteFontFamily(entry.second.family);
        }
        fonts.clear();
        if (textFormat) GdipDeleteStringFormat(textFormat);
        textFormat = nullptr;
    }

    ULONG_PTR token = 0;
    int holders = 0;
    std::map<std::tuple<std::string, double, int32_t, double>, FontEntry> fonts;
    GpStringFormat* textFormat = nullptr;
};

struct SessionHold {
    SessionHold() { Session::acquire(); }
    ~SessionHold() { Session::release(); }
    SessionHold(const SessionHold&) = delete;
    SessionHold& operator=(const SessionHold&) = delete;
};

std::wstring wide(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
    return out;
}

// The ink height of "M" as GDI's rasteriser hints it (what cairo's text extents give).
double capHeightOf(const TextFont& wanted, double pixels) {
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return 0;
    HFONT font =
        CreateFontW(-static_cast<int>(std::lround(pixels)), 0, 0, 0, (wanted.style & kBoldFace) ? FW_BOLD : FW_NORMAL,
                    (wanted.style & kItalicFace) ? TRUE : FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS,
                    CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, wide(wanted.family).c_str());
    double cap = 0;
    if (font) {
        HGDIOBJ old = SelectObject(dc, font);
        GLYPHMETRICS metrics{};
        const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
        if (GetGlyphOutlineW(dc, L'M', GGO_METRICS, &metrics, 0, nullptr, &identity) != GDI_ERROR)
            cap = metrics.gmptGlyphOrigin.y;
        SelectObject(dc, old);
        DeleteObject(font);
    }
    DeleteDC(dc);
    return cap;
}

const FontEntry* Session::font(const TextFont& wanted, double scale) {
    std::lock_guard<std::mutex> lock(mutex());
    Session& s = instance();
    if (!s.token) return nullptr;
    auto key = std::make_tuple(wanted.family, wanted.size, wanted.style & (kBoldFace | kItalicFace), scale);
    auto it = s.fonts.find(key);
    if (it != s.fonts.end()) return it->second.font ? &it->second : nullptr;
    FontEntry& f = s.fonts[key];
    if (GdipCreateFontFamilyFromName(wide(wanted.family).c_str(), nullptr, &f.family) != Ok || !f.family) {
        // A Windows without the family: the system's sans serif.
        f.family = nullptr;
        f.genericFamily = true;
        if (GdipGetGenericFontFamilySansSerif(&f.family) != Ok) f.family = nullptr;
    }
    if (!f.family) return nullptr;
    const INT style =
        ((wanted.style & kBoldFace) ? FontStyleBold : 0) | ((wanted.style & kItalicFace) ? FontStyleItalic : 0);
    const double size = deviceFontSize(wanted.size, scale);
    if (GdipCreateFont(f.family, static_cast<REAL>(size), style, UnitPixel, &f.font) != Ok) {
        f.font = nullptr;
        return nullptr;
    }
    UINT16 em = 0, ascent = 0;
    GdipGetEmHeight(f.family, style, &em);
    GdipGetCellAscent(f.family, style, &ascent);
    f.ascent = em ? size * ascent / em : size;
    f.capHeight = capHeightOf(wanted, size * scale) / scale;
    return &f;
}

GpStringFormat* Session::format() {
    std::lock_guard<std::mutex> lock(mutex());
    Session& s = instance();
    if (!s.token) return nullptr;
    if (!s.textFormat) {
        GpStringFormat* generic = nullptr;
        if (GdipStringFormatGetGenericTypographic(&generic) != Ok || !generic) return nullptr;
        if (GdipCloneStringFormat(generic, &s.textFormat) != Ok) return s.textFormat = nullptr;
        INT flags = 0;
        GdipGetStringFormatFlags(s.textFormat, &flags);
        GdipSetStringFormatFlags(s.textFormat, flags | StringFormatFlagsMeasureTrailingSpaces |
                                                   StringFormatFlagsNoWrap | StringFormatFlagsNoClip);
    }
    return s.textFormat;
}

// ---------------------------------------------------------------- images

class PixelImage : public IPlatformImage {
public:
    PixelImage(int32_t width, int32_t height, bool opaque)
        : width(width), height(height), opaque(opaque), words(static_cast<size_t>(width) * height) {}
    int32_t getWidth() const override { return width; }
    int32_t getHeight() const override { return height; }
    PixelRows pixels() const override {
        return PixelRows{reinterpret_cast<const uint8_t*>(words.data()), width, height, width * 4, opaque};
    }
    const int32_t width, height;
    const bool opaque;
    std::vector<uint32_t> words;
};

// ---------------------------------------------------------------- drawing

// Drawing on 32-bit pixels in memory: compositing ourselves, text and slanted lines
// through a GDI+ bitmap over the same memory.
class Surface : public IPlatformSurface {
    // Grey-scale anti-aliasing with the glyphs fitted to the pixel grid (cairo's text
    // on Linux is grey-scale and hinted too); never ClearType, whose colour fringes would
    // not survive a copy of the pixels.
    static constexpr TextRenderingHint kTextHint = TextRenderingHintAntiAliasGridFit;

public:
    Surface(uint8_t* data, int32_t width, int32_t height, double scale)
        : target{data, width, height, width * 4}, scale(scale), clip{0, 0, width, height} {}
    ~Surface() override {
        if (graphics) GdipDeleteGraphics(graphics);
        if (bitmap) GdipDisposeImage(bitmap);
    }

    void setClip(const CRect& r) override {
        clip = device(r).intersect(composite::Box{0, 0, target.width, target.height});
        if (graphics) applyClip();
    }

    void fillRect(const CRect& r, const CColor& colour) override {
        composite::fill(target, device(r).intersect(clip), composite::solidColour(colour));
    }

    void strokeRect(const CRect& r, const CColor& colour, CCoord lineWidth) override {
        composite::Box bands[4];
        const int n = composite::outline(device(r), composite::deviceEdge(lineWidth, scale), bands);
        for (int i = 0; i < n; ++i) composite::fill(target, bands[i].intersect(clip), composite::solidColour(colour));
    }

    void drawLine(const CPoint& from, const CPoint& to, const CColor& colour, CCoord lineWidth) override {
        if (!ensureGraphics()) return;
        GpPen* pen = nullptr;
        if (GdipCreatePen1(argb(colour), static_cast<REAL>(lineWidth), UnitWorld, &pen) != Ok) return;
        GdipDrawLine(graphics, pen, static_cast<REAL>(from.x + 0.5), static_cast<REAL>(from.y + 0.5),
                     static_cast<REAL>(to.x + 0.5), static_cast<REAL>(to.y + 0.5));
        GdipDeletePen(pen);
    }

    void drawImage(const IPlatformImage& image, const CRect& dest, const CPoint& offset, float alpha,
                   CCoord imageScale) override {
        const PixelRows source = image.pixels();
        composite::drawImage(target, clip, composite::ScaledImage{source, imageScale, dest, offset, scale}, alpha);
    }

    CCoord textWidth(const std::string& text, const TextFont& wanted) override {
        const FontEntry* font = Session::font(wanted, scale);
        GpStringFormat* format = Session::format();
        if (!font || !format || text.empty() || !ensureGraphics()) return 0;
        const std::wstring w = wide(text);
        RectF layout(0, 0, 0, 0), bounds;
        if (GdipMeasureString(graphics, w.c_str(), static_cast<INT>(w.size()), font->font, &layout, format, &bounds,
                              nullptr, nullptr) != Ok)
            return 0;
        return bounds.Width;
    }

    CCoord capHeight(const TextFont& wanted) override {
        const FontEntry* font = Session::font(wanted, scale);
        return font ? font->capHeight : 0;
    }

    void drawText(const std::string& text, const CPoint& origin, const TextFont& wanted, const CColor& colour,
                  bool antialias, const CRect& textClip) override {
        const FontEntry* font = Session::font(wanted, scale);
        GpStringFormat* format = Session::format();
        if (!font || !format || text.empty() || !ensureGraphics()) return;
        if (!antialias) GdipSetTextRenderingHint(graphics, TextRenderingHintSingleBitPerPixelGridFit);
        // (The graphics' clip is the surface's here: everything that narrows it restores it.)
        GdipSetClipRect(graphics, static_cast<REAL>(textClip.left), static_cast<REAL>(textClip.top),
                        static_cast<REAL>(textClip.width()), static_cast<REAL>(textClip.height()),
                        CombineModeIntersect);
        GpSolidFill* brush = nullptr;
        if (GdipCreateSolidFill(argb(colour), &brush) == Ok) {
            const std::wstring w = wide(text);
            const RectF layout(static_cast<REAL>(origin.x), static_cast<REAL>(origin.y - font->ascent), 0, 0);
            GdipDrawString(graphics, w.c_str(), static_cast<INT>(w.size()), font->font, &layout, format, brush);
            GdipDeleteBrush(brush);
        }
        if (!antialias) GdipSetTextRenderingHint(graphics, kTextHint);
        applyClip();
    }

private:
    static ARGB argb(const CColor& c) {
        return (static_cast<ARGB>(c.alpha) << 24) | (static_cast<ARGB>(c.red) << 16) |
               (static_cast<ARGB>(c.green) << 8) | c.blue;
    }
    // Logical whole pixels to device pixels.
    composite::Box device(const CRect& r) const { return composite::deviceBox(r, scale); }
    // A GDI+ graphics over the pixels, made when text or a line first needs it. World
    // coordinates are logical; the clip is the device clip.
    bool ensureGraphics() {
        if (graphics) return true;
        if (!Session::running()) return false;
        if (GdipCreateBitmapFromScan0(target.width, target.height, target.stride, PixelFormat32bppPARGB, target.data,
                                      &bitmap) != Ok) {
            bitmap = nullptr;
            return false;
        }
        if (GdipGetImageGraphicsContext(bitmap, &graphics) != Ok) {
            graphics = nullptr;
            return false;
        }
        GdipSetPageUnit(graphics, UnitPixel);
        // Measured as drawn: the system's default hint (ClearType where it is on) would
        // fit the glyphs to other widths.
        GdipSetTextRenderingHint(graphics, kTextHint);
        // Lines anti-aliased, through pixel centres at half pixels as cairo has them.
        GdipSetSmoothingMode(graphics, SmoothingModeAntiAlias);
        GdipSetPixelOffsetMode(graphics, PixelOffsetModeHalf);
        if (scale != 1)
            GdipScaleWorldTransform(graphics, static_cast<REAL>(scale), static_cast<REAL>(scale), MatrixOrderPrepend);
        applyClip();
        return true;
    }
    void applyClip() {
        // The clip is in device pixels: set it with the transform out of the way.
        GdipResetClip(graphics);
        GpRegion* region = nullptr;
        const Rect r(clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top);
        if (GdipCreateRegionRectI(&r, &region) != Ok) return;
        if (scale != 1) {
            GpMatrix* inverse = nullptr;
            if (GdipCreateMatrix2(static_cast<REAL>(1 / scale), 0, 0, static_cast<REAL>(1 / scale), 0, 0, &inverse) ==
                Ok) {
                GdipTransformRegion(region, inverse);
                GdipDeleteMatrix(inverse);
            }
        }
        GdipSetClipRegion(graphics, region, CombineModeReplace);
        GdipDeleteRegion(region);
    }

    composite::Target target;
    double scale;
    composite::Box clip;
    GpBitmap* bitmap = nullptr;
    GpGraphics* graphics = nullptr;
};

class BackBuffer : public IPlatformBackBuffer {
public:
    BackBuffer(int32_t logicalWidth, int32_t logicalHeight, CCoord scale)
        : width(composite::deviceEdge(logicalWidth, scale)),
          height(composite::deviceEdge(logicalHeight, scale)),
          scale(scale) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top-down, as the rows are read
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (dib && bits) {
            data = static_cast<uint8_t*>(bits);
            // Opaque black, as a new cairo RGB24 surface reads.
            auto* words = reinterpret_cast<uint32_t*>(data);
            std::fill(words, words + static_cast<size_t>(width) * height, 0xff000000u);
        } else {
            // No DIB (out of GDI objects): the frame still draws, into memory of our own.
            fallback.assign(static_cast<size_t>(width) * height, 0xff000000u);
            data = reinterpret_cast<uint8_t*>(fallback.data());
        }
    }
    ~BackBuffer() override {
        if (dc) DeleteDC(dc);
        if (dib) DeleteObject(dib);
    }
    int32_t getWidth() const override { return width; }
    int32_t getHeight() const override { return height; }
    PixelRows pixels() const override {
        GdiFlush();  // GDI may still be writing into the DIB
        return PixelRows{data, width, height, width * 4, true};
    }
    CCoord getScaleFactor() const override { return scale; }
    std::unique_ptr<IPlatformSurface> createSurface() override {
        GdiFlush();
        return std::make_unique<Surface>(data, width, height, scale);
    }
    HDC memoryDc() {
        if (!dc && dib) {
            dc = CreateCompatibleDC(nullptr);
            if (dc) SelectObject(dc, dib);
        }
        return dc;
    }

    SessionHold session;  // text is drawn for as long as the buffer lives
    const int32_t width, height;
    const CCoord scale;
    HBITMAP dib = nullptr;
    HDC dc = nullptr;
    uint8_t* data = nullptr;
    std::vector<uint32_t> fallback;
};

// A 1 x 1 scratch pixel, and GDI+ held for as long as the surface (first base: it goes last).
struct Scratch {
    SessionHold session;
    uint32_t pixel = 0xff000000u;
};

class MeasuringSurface : private Scratch, public Surface {
public:
    MeasuringSurface() : Scratch(), Surface(reinterpret_cast<uint8_t*>(&pixel), 1, 1, 1) {}
};

// ---------------------------------------------------------------- PNG files

bool pngEncoder(CLSID& clsid) {
    UINT count = 0, bytes = 0;
    if (GdipGetImageEncodersSize(&count, &bytes) != Ok || bytes == 0) return false;
    std::vector<uint8_t> buffer(bytes);
    auto* codecs = reinterpret_cast<ImageCodecInfo*>(buffer.data());
    if (GdipGetImageEncoders(count, bytes, codecs) != Ok) return false;
    for (UINT i = 0; i < count; ++i)
        if (codecs[i].MimeType && std::wcscmp(codecs[i].MimeType, L"image/png") == 0) {
            clsid = codecs[i].Clsid;
            return true;
        }
    return false;
}

class Renderer : public IPlatformGraphics {
public:
    PlatformImagePtr decodePng(const unsigned char* data, size_t size) override {
        if (!data || size < 8 || std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) != 0) return nullptr;
        SessionHold session;
        if (!Session::running()) return nullptr;
        // GDI+ reads images from a stream: the bytes go into a global memory block of their own.
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
        if (!block) return nullptr;
        void* copy = GlobalLock(block);
        std::memcpy(copy, data, size);
        GlobalUnlock(block);
        IStream* stream = nullptr;
        if (CreateStreamOnHGlobal(block, TRUE, &stream) != S_OK) {
            GlobalFree(block);
            return nullptr;
        }
        std::shared_ptr<PixelImage> image;
        GpBitmap* bitmap = nullptr;
        if (GdipCreateBitmapFromStream(stream, &bitmap) == Ok && bitmap) {
            UINT width = 0, height = 0;
            PixelFormat format = 0;
            GdipGetImageWidth(bitmap, &width);
            GdipGetImageHeight(bitmap, &height);
            GdipGetImagePixelFormat(bitmap, &format);
            const Rect all(0, 0, static_cast<INT>(width), static_cast<INT>(height));
            BitmapData locked{};
            // Straight alpha, premultiplied here as cairo's PNG reader rounds it.
            if (width > 0 && height > 0 &&
                GdipBitmapLockBits(bitmap, &all, ImageLockModeRead, PixelFormat32bppARGB, &locked) == Ok) {
                const bool opaque = (format & PixelFormatAlpha) == 0;
                image = std::make_shared<PixelImage>(static_cast<int32_t>(width), static_cast<int32_t>(height), opaque);
                for (UINT y = 0; y < height; ++y) {
                    const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(locked.Scan0) +
                                                                        static_cast<ptrdiff_t>(y) * locked.Stride);
                    uint32_t* out = image->words.data() + static_cast<size_t>(y) * width;
                    for (UINT x = 0; x < width; ++x) {
                        const uint32_t p = row[x];
                        out[x] = opaque ? (p | 0xff000000u)
                                        : composite::premultiplied(
                                              static_cast<uint8_t>(p >> 24), static_cast<uint8_t>(p >> 16),
                                              static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p));
                    }
                }
                GdipBitmapUnlockBits(bitmap, &locked);
            }
            GdipDisposeImage(bitmap);
        }
        stream->Release();
        return image;
    }

    PlatformImagePtr createImage(int32_t width, int32_t height, const uint32_t* pixels, bool opaque) override {
        if (width <= 0 || height <= 0) return nullptr;
        auto image = std::make_shared<PixelImage>(width, height, opaque);
        std::memcpy(image->words.data(), pixels, image->words.size() * 4);
        return image;
    }

    std::unique_ptr<IPlatformBackBuffer> createBackBuffer(int32_t width, int32_t height, CCoord scale) override {
        return std::make_unique<BackBuffer>(width, height, scale);
    }

    std::unique_ptr<IPlatformSurface> createMeasuringSurface() override { return std::make_unique<MeasuringSurface>(); }

    bool writePng(const IPlatformImage& image, const std::string& path) override {
        SessionHold session;
        CLSID png;
        if (!Session::running() || !pngEncoder(png)) return false;
        const PixelRows rows = image.pixels();
        // A copy in the layout the encoder takes (opaque images as 32-bit RGB: no alpha in the file).
        std::vector<uint32_t> words(static_cast<size_t>(rows.width) * rows.height);
        for (int32_t y = 0; y < rows.height; ++y)
            std::memcpy(words.data() + static_cast<size_t>(y) * rows.width,
                        rows.data + static_cast<size_t>(y) * rows.stride, static_cast<size_t>(rows.width) * 4);
        GpBitmap* bitmap = nullptr;
        if (GdipCreateBitmapFromScan0(rows.width, rows.height, rows.width * 4,
                                      rows.opaque ? PixelFormat32bppRGB : PixelFormat32bppPARGB,
                                      reinterpret_cast<BYTE*>(words.data()), &bitmap) != Ok)
            return false;
        const bool written = GdipSaveImageToFile(bitmap, wide(path).c_str(), &png, nullptr) == Ok;
        GdipDisposeImage(bitmap);
        return written;
    }
};

}  // namespace

HBITMAP bitmapOf(IPlatformBackBuffer& backBuffer) {
    auto* own = dynamic_cast<BackBuffer*>(&backBuffer);
    return own ? own->dib : nullptr;
}

HDC memoryDcOf(IPlatformBackBuffer& backBuffer) {
    auto* own = dynamic_cast<BackBuffer*>(&backBuffer);
    return own ? own->memoryDc() : nullptr;
}

int sessionUsers() { return Session::users(); }

}  // namespace gdiplus

IPlatformGraphics& platformGraphics() {
    // Never destroyed: nothing of GDI+ may run from DllMain.
    static gdiplus::Renderer* renderer = new gdiplus::Renderer;
    return *renderer;
}

}  // namespace VSTGUI
