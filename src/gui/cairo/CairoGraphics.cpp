#include "CairoGraphics.h"

#include <cairo.h>

#include <cstring>

#include "../core/composite.h"

namespace VSTGUI {
namespace cairo {
namespace {

void setSource(cairo_t* cr, const CColor& c) {
    cairo_set_source_rgba(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0, c.alpha / 255.0);
}

PixelRows rowsOf(cairo_surface_t* s) {
    cairo_surface_flush(s);
    PixelRows rows;
    rows.data = cairo_image_surface_get_data(s);
    rows.width = cairo_image_surface_get_width(s);
    rows.height = cairo_image_surface_get_height(s);
    rows.stride = cairo_image_surface_get_stride(s);
    rows.opaque = cairo_image_surface_get_format(s) != CAIRO_FORMAT_ARGB32;
    return rows;
}

class Image : public IPlatformImage {
public:
    explicit Image(cairo_surface_t* surface) : surface(surface) {}
    ~Image() override { cairo_surface_destroy(surface); }
    int32_t getWidth() const override { return cairo_image_surface_get_width(surface); }
    int32_t getHeight() const override { return cairo_image_surface_get_height(surface); }
    PixelRows pixels() const override { return rowsOf(surface); }
    cairo_surface_t* const surface;
};

cairo_surface_t* surfaceOfImage(const IPlatformImage& image) {
    if (auto* own = dynamic_cast<const Image*>(&image)) return own->surface;
    return nullptr;
}

// Drawing on a cairo context. A context that met an error stays broken and ignores
// everything drawn after it: each operation that can fail replaces it by a new one on the
// same surface, with the same clip, so that drawing goes on.
//
// At scale 1 every rectangle is whole device pixels and cairo draws all. At other scales
// a logical edge can fall inside a device pixel, where cairo would blend partial pixels:
// fills, outlines and the clip are then placed on device pixels by the rule every renderer
// follows (composite::deviceBox), and images are resampled by the shared area average, so
// that the panel is the same at every zoom whichever renderer draws it. Text and lines
// stay cairo's own, drawn at the device size.
class Surface : public IPlatformSurface {
public:
    Surface(cairo_surface_t* target, double scale)
        : target(target),
          scale(scale),
          cr(cairo_create(target)),
          clipBox{0, 0, cairo_image_surface_get_width(target), cairo_image_surface_get_height(target)} {
        applyScale();
    }
    ~Surface() override {
        cairo_destroy(cr);
        cairo_surface_flush(target);
    }

    void setClip(const CRect& r) override {
        clip = r;
        hasClip = true;
        clipBox = composite::deviceBox(r, scale).intersect(
            composite::Box{0, 0, cairo_image_surface_get_width(target), cairo_image_surface_get_height(target)});
        applyClip();
    }

    void fillRect(const CRect& r, const CColor& colour) override {
        setSource(cr, colour);
        if (scale == 1) {
            cairo_rectangle(cr, r.left, r.top, r.width(), r.height());
        } else {
            cairo_save(cr);
            cairo_identity_matrix(cr);
            rectangle(composite::deviceBox(r, scale));
            cairo_restore(cr);
        }
        cairo_fill(cr);
    }

    void strokeRect(const CRect& r, const CColor& colour, CCoord lineWidth) override {
        setSource(cr, colour);
        if (scale == 1) {
            cairo_set_line_width(cr, lineWidth);
            const double half = lineWidth / 2;
            cairo_rectangle(cr, r.left + half, r.top + half, r.width() - lineWidth, r.height() - lineWidth);
            cairo_stroke(cr);
            return;
        }
        composite::Box bands[4];
        const int n =
            composite::outline(composite::deviceBox(r, scale), composite::deviceEdge(lineWidth, scale), bands);
        cairo_save(cr);
        cairo_identity_matrix(cr);
        for (int i = 0; i < n; ++i) rectangle(bands[i]);
        cairo_restore(cr);
        cairo_fill(cr);
    }

    void drawLine(const CPoint& from, const CPoint& to, const CColor& colour, CCoord lineWidth) override {
        setSource(cr, colour);
        cairo_set_line_width(cr, lineWidth);
        cairo_move_to(cr, from.x + 0.5, from.y + 0.5);
        cairo_line_to(cr, to.x + 0.5, to.y + 0.5);
        cairo_stroke(cr);
    }

    void drawImage(const IPlatformImage& image, const CRect& dest, const CPoint& offset, float alpha,
                   CCoord imageScale) override {
        if (scale != 1 || imageScale != 1) {
            resample(image, dest, offset, alpha, imageScale);
            return;
        }
        cairo_surface_t* source = surfaceOfImage(image);
        if (!source) return;
        cairo_save(cr);
        cairo_rectangle(cr, dest.left, dest.top, dest.width(), dest.height());
        cairo_clip(cr);
        cairo_set_source_surface(cr, source, dest.left - offset.x, dest.top - offset.y);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
        if (alpha >= 1.f)
            cairo_paint(cr);
        else
            cairo_paint_with_alpha(cr, alpha);
        cairo_restore(cr);
    }

    CCoord textWidth(const std::string& text, const TextFont& font) override {
        applyFont(font);
        cairo_text_extents_t ext{};
        cairo_text_extents(cr, text.c_str(), &ext);
        const CCoord width = cairo_status(cr) == CAIRO_STATUS_SUCCESS ? ext.x_advance : 0;
        recover();
        return width;
    }

    CCoord capHeight(const TextFont& font) override {
        // The ink height of a capital M.
        applyFont(font);
        cairo_text_extents_t ext{};
        cairo_text_extents(cr, "M", &ext);
        const CCoord cap = cairo_status(cr) == CAIRO_STATUS_SUCCESS ? -ext.y_bearing : 0;
        recover();
        return cap;
    }

    void drawText(const std::string& text, const CPoint& origin, const TextFont& font, const CColor& colour,
                  bool antialias, const CRect& textClip) override {
        applyFont(font);
        cairo_save(cr);
        cairo_rectangle(cr, textClip.left, textClip.top, textClip.width(), textClip.height());
        cairo_clip(cr);
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_antialias(options, antialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
        cairo_set_font_options(cr, options);
        cairo_font_options_destroy(options);
        setSource(cr, colour);
        cairo_move_to(cr, origin.x, origin.y);
        cairo_show_text(cr, text.c_str());
        cairo_restore(cr);
        recover();
    }

private:
    void applyScale() {
        if (scale != 1) cairo_scale(cr, scale, scale);
    }
    void applyClip() {
        if (!hasClip) return;
        cairo_reset_clip(cr);
        if (scale == 1) {
            cairo_rectangle(cr, clip.left, clip.top, clip.width(), clip.height());
        } else {
            cairo_save(cr);
            cairo_identity_matrix(cr);
            rectangle(clipBox);
            cairo_restore(cr);
        }
        cairo_clip(cr);
    }
    // A path of whole device pixels (with the device's own coordinates in force).
    void rectangle(const composite::Box& b) { cairo_rectangle(cr, b.left, b.top, b.right - b.left, b.bottom - b.top); }
    // Composites straight into the target's pixels, inside the clip.
    void resample(const IPlatformImage& image, const CRect& dest, const CPoint& offset, float alpha,
                  CCoord imageScale) {
        cairo_surface_flush(target);
        const composite::Target pixels{cairo_image_surface_get_data(target), cairo_image_surface_get_width(target),
                                       cairo_image_surface_get_height(target),
                                       cairo_image_surface_get_stride(target)};
        const PixelRows source = image.pixels();
        const composite::Box box =
            composite::drawImage(pixels, clipBox, composite::ScaledImage{source, imageScale, dest, offset, scale}, alpha);
        if (!box.empty())
            cairo_surface_mark_dirty_rectangle(target, box.left, box.top, box.right - box.left, box.bottom - box.top);
    }
    void applyFont(const TextFont& font) {
        cairo_select_font_face(cr, font.family.c_str(),
                               (font.style & kItalicFace) ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                               (font.style & kBoldFace) ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr, deviceFontSize(font.size, scale));
    }
    void recover() {
        if (cairo_status(cr) == CAIRO_STATUS_SUCCESS) return;
        cairo_destroy(cr);
        cr = cairo_create(target);
        applyScale();
        applyClip();
    }

    cairo_surface_t* target;
    double scale;
    cairo_t* cr;
    CRect clip;
    composite::Box clipBox;  // the clip's device pixels (scales other than 1)
    bool hasClip = false;
};

class BackBuffer : public IPlatformBackBuffer {
public:
    BackBuffer(int32_t width, int32_t height, CCoord scale)
        : surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, composite::deviceEdge(width, scale),
                                             composite::deviceEdge(height, scale))),
          scale(scale) {}
    ~BackBuffer() override { cairo_surface_destroy(surface); }
    int32_t getWidth() const override { return cairo_image_surface_get_width(surface); }
    int32_t getHeight() const override { return cairo_image_surface_get_height(surface); }
    PixelRows pixels() const override { return rowsOf(surface); }
    CCoord getScaleFactor() const override { return scale; }
    std::unique_ptr<IPlatformSurface> createSurface() override { return std::make_unique<Surface>(surface, scale); }
    cairo_surface_t* const surface;
    const CCoord scale;
};

// Measures on a 1 x 1 scratch surface of its own.
class MeasuringSurface : public Surface {
public:
    MeasuringSurface() : MeasuringSurface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1)) {}
    ~MeasuringSurface() override = default;

private:
    explicit MeasuringSurface(cairo_surface_t* scratch)
        : Surface(scratch, 1), scratch(scratch, cairo_surface_destroy) {}
    std::unique_ptr<cairo_surface_t, void (*)(cairo_surface_t*)> scratch;
};

struct PngReader {
    const unsigned char* data;
    size_t size;
    size_t pos;
};

cairo_status_t readChunk(void* closure, unsigned char* out, unsigned int length) {
    auto* reader = static_cast<PngReader*>(closure);
    if (reader->size - reader->pos < length) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, reader->data + reader->pos, length);
    reader->pos += length;
    return CAIRO_STATUS_SUCCESS;
}

class Graphics : public IPlatformGraphics {
public:
    PlatformImagePtr decodePng(const unsigned char* data, size_t size) override {
        PngReader reader{data, size, 0};
        cairo_surface_t* image = cairo_image_surface_create_from_png_stream(readChunk, &reader);
        if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(image);
            return nullptr;
        }
        return std::make_shared<Image>(image);
    }

    PlatformImagePtr createImage(int32_t width, int32_t height, const uint32_t* pixels, bool opaque) override {
        cairo_surface_t* image =
            cairo_image_surface_create(opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, width, height);
        if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(image);
            return nullptr;
        }
        cairo_surface_flush(image);
        unsigned char* data = cairo_image_surface_get_data(image);
        const int stride = cairo_image_surface_get_stride(image);
        for (int32_t y = 0; y < height; ++y)
            std::memcpy(data + static_cast<size_t>(y) * stride, pixels + static_cast<size_t>(y) * width,
                        static_cast<size_t>(width) * 4);
        cairo_surface_mark_dirty(image);
        return std::make_shared<Image>(image);
    }

    std::unique_ptr<IPlatformBackBuffer> createBackBuffer(int32_t width, int32_t height, CCoord scale) override {
        return std::make_unique<BackBuffer>(width, height, scale);
    }

    std::unique_ptr<IPlatformSurface> createMeasuringSurface() override { return std::make_unique<MeasuringSurface>(); }

    bool writePng(const IPlatformImage& image, const std::string& path) override {
        // Our own images and back buffers are cairo surfaces already; anything else is copied.
        cairo_surface_t* surface = surfaceOfImage(image);
        if (auto* buffer = dynamic_cast<const BackBuffer*>(&image)) surface = buffer->surface;
        cairo_surface_t* copy = nullptr;
        if (!surface) {
            const PixelRows rows = image.pixels();
            copy = cairo_image_surface_create(rows.opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, rows.width,
                                              rows.height);
            cairo_surface_flush(copy);
            for (int32_t y = 0; y < rows.height; ++y)
                std::memcpy(
                    cairo_image_surface_get_data(copy) + static_cast<size_t>(y) * cairo_image_surface_get_stride(copy),
                    rows.data + static_cast<size_t>(y) * rows.stride, static_cast<size_t>(rows.width) * 4);
            cairo_surface_mark_dirty(copy);
            surface = copy;
        }
        cairo_surface_flush(surface);
        const bool written = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
        if (copy) cairo_surface_destroy(copy);
        return written;
    }

    void releaseCaches() override { cairo_debug_reset_static_data(); }
};

}  // namespace

cairo_surface_t* surfaceOf(IPlatformBackBuffer& backBuffer) {
    auto* own = dynamic_cast<BackBuffer*>(&backBuffer);
    return own ? own->surface : nullptr;
}

}  // namespace cairo

IPlatformGraphics& platformGraphics() {
    static cairo::Graphics graphics;
    return graphics;
}

}  // namespace VSTGUI
