// Draws the editor's artwork with cairo and writes one PNG per bitmap id into the folder
// given on the command line (resources/png), at a scale of 1 or 2 (resources/png2x: the
// same bitmaps at twice the width and height, for zoomed panels). The sizes and frame
// layouts come from layout.h; every frame carries, in the parts its element leaves free,
// the panel pixels that lie under the control it is drawn for, so the opaque bitmaps sit
// seamlessly on the panel. Run by hand (target `artwork`); the PNGs are committed.
//
// Everything is drawn in the panel's own 942 x 171 coordinates. At scale 2 the surfaces
// (the panel's included) carry a device scale of 2, so cairo rasterises every path, line
// and glyph at twice the size rather than enlarging the 1x pixels, and the panel copied
// under a control is the 2x panel, pixel for pixel. At scale 1 the device scale is 1 and
// the output is what it always was.
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "layout.h"

namespace {

const double kPi = 3.14159265358979323846;
const char* kFont = "Liberation Sans";

struct Rgb {
    double r, g, b;
};
Rgb hex(unsigned v) { return {((v >> 16) & 255) / 255.0, ((v >> 8) & 255) / 255.0, (v & 255) / 255.0}; }
void set(cairo_t* cr, unsigned v, double a = 1.0) {
    Rgb c = hex(v);
    cairo_set_source_rgba(cr, c.r, c.g, c.b, a);
}

// Palette.
const unsigned kOuter = 0x1b1e23, kBox = 0x2d3239, kBoxHi = 0x444b55, kBoxLo = 0x121418, kLabel = 0xb9c1cc,
               kTitle = 0xefa53a, kStrip = 0x15171b, kWell = 0x0d0e11, kLcd = 0x150807, kLedRed = 0xff3b2a,
               kLedRedOff = 0x3a1410;

cairo_surface_t* gPanel = nullptr;
std::string gOut;
int gScale = 1;
cairo_t* gMeasure = nullptr;  // a 1x context on which text is laid out at scale 2

// An image of width x height panel pixels, gScale device pixels to each of them.
cairo_surface_t* scaledSurface(cairo_format_t format, int width, int height) {
    cairo_surface_t* s = cairo_image_surface_create(format, width * gScale, height * gScale);
    cairo_surface_set_device_scale(s, gScale, gScale);
    return s;
}

void roundRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
    cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
    cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

enum Align { kLeft, kCenter, kRight };

// Text whose cap height is centred in the box (x0..x1, y0..y1); shrinks to fit the width.
// The text is laid out as at scale 1 (the font size it shrinks to, where each glyph
// goes, all measured on a 1x surface with the same transformation), then drawn on `cr`:
// at scale 2 the glyphs are rasterised at twice the size in the places they have at 1x,
// so the two sets show the labels alike although the fonts' metrics round differently
// at the two pixel sizes.
void text(cairo_t* cr, const char* s, double x0, double y0, double x1, double y1, double size, unsigned color,
          Align align = kCenter, bool bold = true) {
    cairo_save(cr);
    cairo_t* m = gScale == 1 ? cr : gMeasure;
    cairo_matrix_t matrix;
    cairo_get_matrix(cr, &matrix);
    cairo_set_matrix(m, &matrix);
    const cairo_font_weight_t weight = bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL;
    cairo_select_font_face(m, kFont, CAIRO_FONT_SLANT_NORMAL, weight);
    cairo_set_font_size(m, size);
    cairo_text_extents_t ext, cap;
    cairo_text_extents(m, s, &ext);
    double width = x1 - x0;
    if (ext.x_advance > width && ext.x_advance > 0) {
        size *= width / ext.x_advance;
        cairo_set_font_size(m, size);
        cairo_text_extents(m, s, &ext);
    }
    cairo_text_extents(m, "H", &cap);
    double x = align == kLeft ? x0 : align == kRight ? x1 - ext.x_advance : x0 + (width - ext.x_advance) / 2;
    double y = y0 + (y1 - y0) / 2 - cap.y_bearing / 2;
    // Where cairo_show_text would start: the current point, held in fixed point.
    cairo_move_to(m, x, y);
    cairo_get_current_point(m, &x, &y);
    cairo_new_path(m);
    cairo_glyph_t* glyphs = nullptr;
    int count = 0;
    cairo_scaled_font_text_to_glyphs(cairo_get_scaled_font(m), x, y, s, -1, &glyphs, &count, nullptr, nullptr,
                                     nullptr);
    // cairo puts each glyph image at a whole device pixel: at scale 2, the one the glyph
    // lands on at 1x.
    if (m != cr)
        for (int i = 0; i < count; ++i) {
            cairo_user_to_device(m, &glyphs[i].x, &glyphs[i].y);
            glyphs[i].x = std::round(glyphs[i].x);
            glyphs[i].y = std::round(glyphs[i].y);
            cairo_device_to_user(m, &glyphs[i].x, &glyphs[i].y);
        }
    cairo_select_font_face(cr, kFont, CAIRO_FONT_SLANT_NORMAL, weight);
    cairo_set_font_size(cr, size);
    set(cr, color);
    cairo_show_glyphs(cr, glyphs, count);
    cairo_glyph_free(glyphs);
    cairo_restore(cr);
}

// An engraved label: a dark shadow one pixel below the text.
void engraved(cairo_t* cr, const char* s, double x0, double y0, double x1, double y1, double size,
              unsigned color = kLabel, Align align = kCenter) {
    text(cr, s, x0, y0 + 1, x1, y1 + 1, size, 0x08090b, align);
    text(cr, s, x0, y0, x1, y1, size, color, align);
}

void box(cairo_t* cr, double x0, double y0, double x1, double y1) {
    roundRect(cr, x0 + 0.5, y0 + 0.5, x1 - x0 - 1, y1 - y0 - 1, 4);
    set(cr, kBox);
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1);
    set(cr, kBoxLo);
    cairo_stroke(cr);
    cairo_move_to(cr, x0 + 4, y0 + 1.5);
    cairo_line_to(cr, x1 - 4, y0 + 1.5);
    set(cr, kBoxHi);
    cairo_stroke(cr);
}

void well(cairo_t* cr, double x0, double y0, double x1, double y1, unsigned fill = kWell) {
    cairo_rectangle(cr, x0, y0, x1 - x0, y1 - y0);
    set(cr, fill);
    cairo_fill(cr);
    cairo_set_line_width(cr, 1);
    cairo_move_to(cr, x0 + 0.5, y1);
    cairo_line_to(cr, x0 + 0.5, y0 + 0.5);
    cairo_line_to(cr, x1, y0 + 0.5);
    set(cr, 0x000000, 0.7);
    cairo_stroke(cr);
    cairo_move_to(cr, x0 + 1, y1 - 0.5);
    cairo_line_to(cr, x1 - 0.5, y1 - 0.5);
    cairo_line_to(cr, x1 - 0.5, y0 + 1);
    set(cr, 0x5a616c, 0.6);
    cairo_stroke(cr);
}

void hline(cairo_t* cr, double x0, double x1, double y, unsigned color) {
    cairo_move_to(cr, x0, y + 0.5);
    cairo_line_to(cr, x1, y + 0.5);
    cairo_set_line_width(cr, 1);
    set(cr, color);
    cairo_stroke(cr);
}

void vline(cairo_t* cr, double x, double y0, double y1, unsigned color) {
    cairo_move_to(cr, x + 0.5, y0);
    cairo_line_to(cr, x + 0.5, y1);
    cairo_set_line_width(cr, 1);
    set(cr, color);
    cairo_stroke(cr);
}

const layout::Control& control(int tag, int nth = 0) {
    for (const auto& c : layout::kPanel)
        if (c.tag == tag && nth-- == 0) return c;
    for (const auto& c : layout::kStrip)
        if (c.tag == tag && nth-- == 0) return c;
    std::fprintf(stderr, "no control with tag %d\n", tag);
    static layout::Control none{};
    return none;
}

// Vertical brushed-metal edge with the product name.
void edge(cairo_t* cr, double x0, double x1) {
    cairo_pattern_t* p = cairo_pattern_create_linear(x0, 0, x1, 0);
    cairo_pattern_add_color_stop_rgb(p, 0, 0.20, 0.22, 0.25);
    cairo_pattern_add_color_stop_rgb(p, 0.5, 0.30, 0.32, 0.36);
    cairo_pattern_add_color_stop_rgb(p, 1, 0.18, 0.19, 0.22);
    cairo_rectangle(cr, x0, 0, x1 - x0, 153);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
    for (double y = 1; y < 153; y += 2) {
        cairo_move_to(cr, x0, y + 0.5);
        cairo_line_to(cr, x1, y + 0.5);
        set(cr, 0x000000, 0.06);
        cairo_stroke(cr);
    }
    cairo_save(cr);
    cairo_translate(cr, (x0 + x1) / 2 + 4, 78);
    cairo_rotate(cr, -kPi / 2);
    text(cr, "VANTEL", -50, -8, 50, 0, 12, 0x0c0d0f);
    text(cr, "VANTEL", -50, -9, 50, -1, 12, 0x8d949e);
    cairo_restore(cr);
}

// ---------------------------------------------------------------- the panel (128)

void drawPanel(cairo_t* cr) {
    set(cr, kOuter);
    cairo_paint(cr);
    edge(cr, 0, 24);
    edge(cr, 918, 942);

    box(cr, 26, 5, 57, 151);    // input meters
    box(cr, 59, 5, 285, 151);   // delay and feedback of the shown side
    box(cr, 287, 5, 379, 151);  // display, bypass, LFO
    box(cr, 381, 5, 564, 151);  // main and modulation
    box(cr, 566, 5, 818, 151);  // VCO and filter
    box(cr, 820, 5, 916, 151);  // reverb

    // Meters.
    engraved(cr, "IN", 28, 8, 55, 17, 7.5, kTitle);
    well(cr, 42, 22, 51, 69);
    well(cr, 42, 86, 51, 133);
    engraved(cr, "L", 28, 71, 55, 82, 7);
    engraved(cr, "R", 28, 135, 55, 146, 7);

    // Shown side: side tabs, pre-delay, range, delay.
    vline(cr, 152, 12, 144, kBoxLo);
    vline(cr, 153, 12, 144, kBoxHi);
    engraved(cr, "PRE-DELAY", 86, 8, 150, 17, 7.5, kTitle);
    engraved(cr, "/", 109, 24, 126, 43, 11);
    engraved(cr, "100", 84, 57, 103, 66, 6.5, kLabel, kRight);
    engraved(cr, "1k", 104, 48, 130, 56, 6.5);
    engraved(cr, "5k", 132, 57, 150, 66, 6.5, kLabel, kLeft);
    engraved(cr, "RANGE", 90, 68, 145, 76, 6.5);
    engraved(cr, "DELAY", 86, 80, 150, 89, 7.5, kTitle);
    engraved(cr, "TIME", 84, 90, 107, 99, 6.5, kLabel, kRight);
    engraved(cr, "NOTE", 130, 90, 151, 99, 6.5, kLabel, kLeft);
    well(cr, 111, 114, 126, 133);
    engraved(cr, "NUM", 86, 135, 113, 143, 6);
    engraved(cr, "DEN", 122, 135, 149, 143, 6);
    engraved(cr, "LINK", 59, 62, 87, 69, 5.5);

    // Feedback.
    engraved(cr, "FEEDBACK", 158, 8, 248, 17, 7.5, kTitle);
    engraved(cr, "OUTPUT", 158, 80, 248, 89, 7.5, kTitle);
    engraved(cr, "INV", 250, 30, 286, 38, 6.5);
    engraved(cr, "MUTE IN", 250, 60, 286, 68, 6.5);
    engraved(cr, "INV", 250, 93, 286, 101, 6.5);

    // Display, bypass, LFO.
    well(cr, 291, 20, 367, 50, kLcd);
    engraved(cr, "BYPASS", 289, 58, 337, 68, 7, kLabel, kRight);
    hline(cr, 292, 374, 73, kBoxLo);
    hline(cr, 292, 374, 74, kBoxHi);
    engraved(cr, "LFO", 291, 77, 330, 86, 7.5, kTitle, kLeft);
    engraved(cr, "NOTE", 308, 82, 338, 90, 6.5);
    engraved(cr, "FREE", 288, 91, 308, 100, 6.5, kLabel, kRight);
    engraved(cr, "SONG", 337, 91, 358, 100, 6.5, kLabel, kLeft);
    well(cr, 358, 82, 376, 140);
    well(cr, 316, 114, 331, 133);
    engraved(cr, "RATE", 296, 135, 351, 143, 6);

    // Main and modulation knobs get their labels from the table below.
    engraved(cr, "MAIN", 383, 8, 558, 17, 7.5, kTitle);
    engraved(cr, "MODULATION", 430, 79, 511, 88, 7.5, kTitle);
    hline(cr, 386, 428, 83, kBoxLo);
    hline(cr, 513, 559, 83, kBoxLo);

    // VCO and filter.
    engraved(cr, "VCO", 568, 8, 622, 17, 7.5, kTitle);
    engraved(cr, "FILTER", 628, 8, 814, 17, 7.5, kTitle);
    vline(cr, 624, 12, 144, kBoxLo);
    vline(cr, 625, 12, 144, kBoxHi);
    engraved(cr, "FB", 634, 19, 660, 26, 6.5);
    engraved(cr, "IN", 622, 27, 633, 36, 6.5, kLabel, kRight);
    engraved(cr, "FX", 662, 27, 677, 36, 6.5, kLabel, kLeft);
    engraved(cr, "PLACE", 630, 38, 664, 46, 6);
    engraved(cr, "BP", 634, 49, 660, 56, 6.5);
    engraved(cr, "LP", 622, 57, 633, 66, 6.5, kLabel, kRight);
    engraved(cr, "HP", 662, 57, 677, 66, 6.5, kLabel, kLeft);
    engraved(cr, "TYPE", 630, 68, 664, 76, 6);
    engraved(cr, "ON", 630, 92, 668, 100, 6.5);
    engraved(cr, "ON", 776, 92, 816, 100, 6.5);

    // Reverb.
    engraved(cr, "REVERB", 822, 8, 914, 17, 7.5, kTitle);
    engraved(cr, "MODE", 836, 82, 872, 90, 6.5);
    engraved(cr, "FX", 822, 91, 840, 100, 6.5, kLabel, kRight);
    engraved(cr, "OUT", 868, 91, 886, 100, 6.5, kLabel, kLeft);
    engraved(cr, "ON", 880, 92, 916, 100, 6.5);
    engraved(cr, "SPRING", 821, 122, 840, 131, 6.5, kLabel, kRight);
    engraved(cr, "PLATE", 868, 122, 886, 131, 6.5, kLabel, kLeft);
    engraved(cr, "TYPE", 836, 133, 872, 141, 6.5);

    // Knob labels.
    struct KnobLabel {
        int tag;
        const char* name;
    };
    const KnobLabel labels[] = {{83, "PAN"},      {84, "GAIN"},     {85, "PAN"},    {86, "GATE"},    {0, "INPUT"},
                                {2, "MIX"},       {1, "OUTPUT"},    {52, "DUCKING"}, {11, "L/R PHASE"}, {12, "LFO/ENV"},
                                {47, "SENS"},     {22, "ENV SPEED"}, {17, "MANUAL"}, {18, "MOD"},     {15, "CUTOFF"},
                                {16, "RESO"},     {21, "DRIVE"},    {13, "CUT MOD"}, {53, "RES MOD"}, {39, "DAMP"},
                                {40, "AMOUNT"}};
    for (const auto& l : labels) {
        const auto& c = control(l.tag);
        engraved(cr, l.name, c.left - 6, c.bottom + 2, c.right + 6, c.bottom + 10, 6.5);
    }

    // Preset strip.
    cairo_rectangle(cr, 0, 153, 942, 18);
    set(cr, kStrip);
    cairo_fill(cr);
    hline(cr, 0, 942, 153, 0x3a3f47);
    engraved(cr, "A", 407, 156, 423, 170, 8, kTitle);
    engraved(cr, "B", 471, 156, 488, 170, 8, kTitle);
    engraved(cr, "MEMORY", 508, 156, 548, 170, 6.5);
    // The name field and the controller display draw the panel under them, then their
    // dark text: the panel gives them light fields with a dark frame. The menu button
    // draws nothing and sits on a well.
    for (int tag : {98, 104}) {
        const auto& c = control(tag);
        const double top = std::floor(c.top), bottom = std::floor(c.bottom);
        cairo_rectangle(cr, c.left, top, c.right - c.left, bottom - top);
        set(cr, 0xbdcfda);
        cairo_fill(cr);
        cairo_rectangle(cr, c.left + 0.5, top + 0.5, c.right - c.left - 1, bottom - top - 1);
        cairo_set_line_width(cr, 1);
        set(cr, 0x242420);
        cairo_stroke(cr);
    }
    well(cr, 322, 157, 336, 170, 0x23272d);
    cairo_move_to(cr, 325.5, 161.5);
    cairo_line_to(cr, 332.5, 161.5);
    cairo_line_to(cr, 329, 166);
    cairo_close_path(cr);
    set(cr, 0xd0d5dc);
    cairo_fill(cr);
    engraved(cr, "CC", 720, 156, 732, 170, 6.5);
    engraved(cr, "KEYS", 882, 156, 898, 170, 6);
}

// ---------------------------------------------------------------- helpers for bitmaps

struct Canvas {
    cairo_surface_t* surface;
    cairo_t* cr;
    int width, height;
};

Canvas canvas(int id, bool alpha = false) {
    for (const auto& b : layout::kBitmaps)
        if (b.id == id) {
            Canvas c;
            c.width = b.width;
            c.height = b.height;
            c.surface = scaledSurface(alpha ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24, b.width, b.height);
            c.cr = cairo_create(c.surface);
            return c;
        }
    std::fprintf(stderr, "unknown bitmap %d\n", id);
    return {};
}

void save(Canvas& c, int id) {
    cairo_destroy(c.cr);
    char name[64];
    std::snprintf(name, sizeof name, "/bmp%05d.png", id);
    std::string path = gOut + name;
    if (cairo_surface_write_to_png(c.surface, path.c_str()) != CAIRO_STATUS_SUCCESS)
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
    cairo_surface_destroy(c.surface);
}

// Copies the panel under (px, py) into the frame area at (0, y) of size w x h.
void underlay(cairo_t* cr, double y, double w, double h, double px, double py) {
    cairo_save(cr);
    cairo_rectangle(cr, 0, y, w, h);
    cairo_clip(cr);
    cairo_set_source_surface(cr, gPanel, -px, y - py);
    cairo_paint(cr);
    cairo_restore(cr);
}

// ---------------------------------------------------------------- knobs (130-139)

void knob(cairo_t* cr, double cx, double cy, double v, unsigned accent) {
    const double a0 = kPi * 0.75, a1 = kPi * 2.25;  // -135 .. +135 degrees from the top
    double a = a0 + (a1 - a0) * v;
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    // Track and value arc.
    cairo_set_line_width(cr, 2.2);
    cairo_arc(cr, cx, cy, 14.2, a0, a1);
    set(cr, 0x121418);
    cairo_stroke(cr);
    if (v > 0) {
        cairo_arc(cr, cx, cy, 14.2, a0, a);
        set(cr, accent);
        cairo_stroke(cr);
    }
    // Shadow, body, cap.
    cairo_arc(cr, cx + 0.6, cy + 1.2, 11.6, 0, 2 * kPi);
    set(cr, 0x000000, 0.45);
    cairo_fill(cr);
    cairo_pattern_t* body = cairo_pattern_create_linear(cx, cy - 11, cx, cy + 11);
    cairo_pattern_add_color_stop_rgb(body, 0, 0.42, 0.45, 0.50);
    cairo_pattern_add_color_stop_rgb(body, 1, 0.13, 0.14, 0.16);
    cairo_arc(cr, cx, cy, 11, 0, 2 * kPi);
    cairo_set_source(cr, body);
    cairo_fill(cr);
    cairo_pattern_destroy(body);
    cairo_pattern_t* cap = cairo_pattern_create_radial(cx - 3, cy - 4, 1, cx, cy, 9);
    cairo_pattern_add_color_stop_rgb(cap, 0, 0.36, 0.38, 0.42);
    cairo_pattern_add_color_stop_rgb(cap, 1, 0.19, 0.21, 0.24);
    cairo_arc(cr, cx, cy, 8.6, 0, 2 * kPi);
    cairo_set_source(cr, cap);
    cairo_fill(cr);
    // Pointer.
    double dx = std::cos(a), dy = std::sin(a);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 2.0);
    cairo_move_to(cr, cx + dx * 3.5, cy + dy * 3.5);
    cairo_line_to(cr, cx + dx * 10, cy + dy * 10);
    set(cr, 0xf4f4f2);
    cairo_stroke(cr);
}

void knobStrip(int id, int tag, unsigned accent) {
    Canvas c = canvas(id);
    const auto& ctl = control(tag);
    double frameHeight = c.height / 101.0;
    bool tall = frameHeight == 37;
    // Frame pixel (0, 0) lies one pixel up and left of the control rectangle.
    double cx = tall ? 18.5 : 18.0, cy = tall ? 18.5 : 18.0;
    for (int f = 0; f < 101; ++f) {
        double y = f * frameHeight;
        underlay(c.cr, y, c.width, frameHeight, ctl.left - 1, ctl.top - 1);
        cairo_save(c.cr);
        cairo_rectangle(c.cr, 0, y, c.width, frameHeight);
        cairo_clip(c.cr);
        knob(c.cr, cx, y + cy, f / 100.0, accent);
        cairo_restore(c.cr);
    }
    save(c, id);
}

// ---------------------------------------------------------------- buttons and switches

void ledButton(int id, int tag, unsigned on, unsigned off) {
    Canvas c = canvas(id);
    const auto& ctl = control(tag);
    for (int f = 0; f < 2; ++f) {
        double y = f * 20;
        underlay(c.cr, y, 24, 20, ctl.left, ctl.top);
        cairo_t* cr = c.cr;
        roundRect(cr, 1.5, y + 1.5, 21, 17, 3);
        cairo_pattern_t* p = cairo_pattern_create_linear(0, y + 1, 0, y + 19);
        cairo_pattern_add_color_stop_rgb(p, 0, 0.33, 0.35, 0.39);
        cairo_pattern_add_color_stop_rgb(p, 1, 0.17, 0.18, 0.21);
        cairo_set_source(cr, p);
        cairo_fill_preserve(cr);
        cairo_pattern_destroy(p);
        set(cr, 0x0b0c0e);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        // The LED, with a glow when lit.
        if (f == 1) {
            cairo_pattern_t* glow = cairo_pattern_create_radial(12, y + 10, 1, 12, y + 10, 9);
            Rgb g = hex(on);
            cairo_pattern_add_color_stop_rgba(glow, 0, g.r, g.g, g.b, 0.55);
            cairo_pattern_add_color_stop_rgba(glow, 1, g.r, g.g, g.b, 0);
            cairo_set_source(cr, glow);
            cairo_paint(cr);
            cairo_pattern_destroy(glow);
        }
        roundRect(cr, 7, y + 8, 10, 4, 1.5);
        set(cr, f == 1 ? on : off);
        cairo_fill(cr);
        if (f == 1) {
            roundRect(cr, 8, y + 8.5, 8, 1.5, 0.7);
            set(cr, 0xffffff, 0.6);
            cairo_fill(cr);
        }
    }
    save(c, id);
}

void sideTab(int id, int tag, const char* letter) {
    Canvas c = canvas(id);
    const auto& ctl = control(tag);
    for (int f = 0; f < 2; ++f) {
        // Frame 0 is the side being shown (lit), frame 1 the other side.
        double y = f * 46;
        underlay(c.cr, y, 12, 46, ctl.left, ctl.top);
        cairo_t* cr = c.cr;
        roundRect(cr, 0.5, y + 0.5, 11, 45, 3);
        set(cr, f == 0 ? 0x3b4250 : 0x23272d);
        cairo_fill_preserve(cr);
        set(cr, 0x0b0c0e);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        roundRect(cr, 3, y + 4, 6, 3, 1);
        set(cr, f == 0 ? 0x41d9ff : 0x17313a);
        cairo_fill(cr);
        text(cr, letter, 0, y + 18, 12, y + 34, 10, f == 0 ? 0xf2f4f7 : 0x6b737e);
    }
    save(c, id);
}

void stepButton(int id, int tag, bool up) {
    Canvas c = canvas(id);
    const auto& ctl = control(tag);
    for (int f = 0; f < 2; ++f) {
        double y = f * 19, d = f;  // pressed: darker and one pixel lower
        underlay(c.cr, y, 19, 19, ctl.left, ctl.top);
        cairo_t* cr = c.cr;
        roundRect(cr, 1.5, y + 1.5, 16, 16, 3);
        set(cr, f ? 0x1e2126 : 0x3a3f47);
        cairo_fill_preserve(cr);
        set(cr, 0x0b0c0e);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        if (!f) hline(cr, 4, 15, y + 2, 0x59606b);
        double cy = y + 9.5 + d;
        if (up) {
            cairo_move_to(cr, 5.5, cy + 2.5);
            cairo_line_to(cr, 13.5, cy + 2.5);
            cairo_line_to(cr, 9.5, cy - 2.5);
        } else {
            cairo_move_to(cr, 5.5, cy - 2.5);
            cairo_line_to(cr, 13.5, cy - 2.5);
            cairo_line_to(cr, 9.5, cy + 2.5);
        }
        cairo_close_path(cr);
        set(cr, f ? kTitle : 0xd9dde3);
        cairo_fill(cr);
    }
    save(c, id);
}

void slideSwitch(int id, int tag, int positions) {
    Canvas c = canvas(id);
    const auto& ctl = control(tag);
    double w = c.width;
    for (int f = 0; f < positions; ++f) {
        double y = f * 9;
        underlay(c.cr, y, w, 9, ctl.left, ctl.top);
        cairo_t* cr = c.cr;
        roundRect(cr, 0.5, y + 1.5, w - 1, 6, 3);
        set(cr, kWell);
        cairo_fill(cr);
        double knobW = positions == 2 ? 9 : 9;
        double x = (w - knobW) * f / (positions - 1);
        roundRect(cr, x + 0.5, y + 0.5, knobW - 1, 8, 2);
        cairo_pattern_t* p = cairo_pattern_create_linear(0, y, 0, y + 9);
        cairo_pattern_add_color_stop_rgb(p, 0, 0.85, 0.87, 0.90);
        cairo_pattern_add_color_stop_rgb(p, 1, 0.47, 0.50, 0.55);
        cairo_set_source(cr, p);
        cairo_fill(cr);
        cairo_pattern_destroy(p);
        vline(cr, x + knobW / 2 - 0.5, y + 2, y + 7, kTitle);
    }
    save(c, id);
}

// ---------------------------------------------------------------- digits, marks, meter

// Seven segments: a top, b top right, c bottom right, d bottom, e bottom left, f top left, g middle.
void segments(cairo_t* cr, double y, unsigned mask) {
    struct Seg {
        double x0, y0, x1, y1;
    };
    const Seg seg[7] = {{3.5, 2, 10.5, 2}, {11, 2.5, 10.4, 7.5}, {10.3, 8.5, 9.7, 13.5}, {2.5, 14, 9.5, 14},
                        {2.3, 8.5, 1.7, 13.5}, {3, 2.5, 2.4, 7.5}, {3, 8, 10, 8}};
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 1.6);
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < 7; ++i) {
            bool lit = (mask >> i) & 1;
            if ((pass == 0) == lit) continue;
            cairo_move_to(cr, seg[i].x0, y + seg[i].y0);
            cairo_line_to(cr, seg[i].x1, y + seg[i].y1);
            set(cr, lit ? kLedRed : kLedRedOff);
            cairo_stroke(cr);
        }
}

void digits(int id, int tag, bool sign) {
    // Frame 0 blank, 1..10 the digits 0..9, then minus and plus for the leading cell.
    const unsigned digitMask[10] = {0x3f, 0x06, 0x5b, 0x4f, 0x66, 0x6d, 0x7d, 0x07, 0x7f, 0x6f};
    Canvas c = canvas(id);
    const auto& ctl = control(tag);
    int frames = sign ? 13 : 11;
    for (int f = 0; f < frames; ++f) {
        double y = f * 16;
        underlay(c.cr, y, 13, 16, ctl.left, ctl.top);
        cairo_save(c.cr);
        cairo_rectangle(c.cr, 0, y, 13, 16);
        cairo_clip(c.cr);
        unsigned mask = f == 0 ? 0 : f <= 10 ? digitMask[f - 1] : 0x40;
        segments(c.cr, y, mask);
        if (f == 12) {  // plus: a vertical bar through the middle segment
            cairo_move_to(c.cr, 6.5, y + 5);
            cairo_line_to(c.cr, 6.5, y + 11);
            set(c.cr, kLedRed);
            cairo_stroke(c.cr);
        }
        cairo_restore(c.cr);
    }
    save(c, id);
}

void separator(int id, int tag) {
    Canvas c = canvas(id);
    const auto& ctl = control(tag);
    for (int f = 0; f < 2; ++f) {
        double y = f * 8;
        underlay(c.cr, y, 3, 8, ctl.left, ctl.top);
        cairo_move_to(c.cr, 2.6, y + 0.8);
        cairo_line_to(c.cr, 0.4, y + 7.2);
        cairo_set_line_width(c.cr, 1.2);
        set(c.cr, f ? kLedRed : kLedRedOff);
        cairo_stroke(c.cr);
    }
    save(c, id);
}

void decimalPoint(int id, int tag) {
    Canvas c = canvas(id);
    const auto& ctl = control(tag);
    for (int f = 0; f < 2; ++f) {
        double y = f * 2;
        underlay(c.cr, y, 3, 2, ctl.left, ctl.top);
        cairo_rectangle(c.cr, 0.5, y, 2, 2);
        set(c.cr, f ? kLedRed : kLedRedOff);
        cairo_fill(c.cr);
    }
    save(c, id);
}

void meter(int id, int tag) {
    // 15 segments of 3 px (2 lit, 1 gap); frame k lights round(k * 15 / 20) from the bottom.
    Canvas c = canvas(id);
    const auto& ctl = control(tag);
    for (int f = 0; f < 21; ++f) {
        double y = f * 45;
        underlay(c.cr, y, 7, 45, ctl.left, ctl.top);
        int lit = static_cast<int>(std::lround(f * 15 / 20.0));
        for (int s = 0; s < 15; ++s) {
            double top = y + 45 - (s + 1) * 3;
            unsigned color = s >= 13 ? 0xff3b2a : s >= 10 ? 0xffc23a : 0x5de06a;
            cairo_rectangle(c.cr, 1, top + 1, 5, 2);
            set(c.cr, color, s < lit ? 1.0 : 0.16);
            cairo_fill(c.cr);
        }
    }
    save(c, id);
}

void lfoWaves(int id) {
    // Five 11-pixel rows (sine, square, triangle, saw, random); frame f lights row f.
    Canvas c = canvas(id, true);
    cairo_t* cr = c.cr;
    for (int f = 0; f < 5; ++f) {
        for (int row = 0; row < 5; ++row) {
            double y0 = f * 56 + 1 + row * 11, mid = y0 + 5;
            bool on = row == f;
            if (on) {
                roundRect(cr, 0.5, y0 + 0.5, 15, 10, 2);
                set(cr, 0x3b2a12, 0.9);
                cairo_fill(cr);
            }
            cairo_new_path(cr);
            switch (row) {
                case 0:
                    for (int i = 0; i <= 24; ++i) {
                        double x = 2 + 12 * i / 24.0, yy = mid - 3 * std::sin(2 * kPi * i / 24.0);
                        if (i == 0)
                            cairo_move_to(cr, x, yy);
                        else
                            cairo_line_to(cr, x, yy);
                    }
                    break;
                case 1:
                    cairo_move_to(cr, 2, mid + 3);
                    cairo_line_to(cr, 2, mid - 3);
                    cairo_line_to(cr, 8, mid - 3);
                    cairo_line_to(cr, 8, mid + 3);
                    cairo_line_to(cr, 14, mid + 3);
                    cairo_line_to(cr, 14, mid - 3);
                    break;
                case 2:
                    cairo_move_to(cr, 2, mid + 3);
                    cairo_line_to(cr, 5, mid - 3);
                    cairo_line_to(cr, 11, mid + 3);
                    cairo_line_to(cr, 14, mid - 3);
                    break;
                case 3:
                    cairo_move_to(cr, 2, mid + 3);
                    cairo_line_to(cr, 8, mid - 3);
                    cairo_line_to(cr, 8, mid + 3);
                    cairo_line_to(cr, 14, mid - 3);
                    cairo_line_to(cr, 14, mid + 3);
                    break;
                default: {
                    const double h[6] = {1, -3, 2, -1, 3, -2};
                    cairo_move_to(cr, 2, mid + h[0]);
                    for (int i = 0; i < 6; ++i) {
                        cairo_line_to(cr, 2 + i * 2, mid + h[i]);
                        cairo_line_to(cr, 4 + i * 2, mid + h[i]);
                    }
                }
            }
            cairo_set_line_width(cr, 1.2);
            cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
            set(cr, on ? kTitle : 0x6b737e);
            cairo_stroke(cr);
        }
    }
    save(c, id);
}

// ---------------------------------------------------------------- preset strip (988-999)

// A strip button: frames normal / hover / pressed (or lit), `draw` paints the face.
template <typename Face>
void stripButton(int id, int tag, int frames, Face face) {
    Canvas c = canvas(id);
    const auto& ctl = control(tag);
    double h = c.height / frames;
    for (int f = 0; f < frames; ++f) {
        double y = f * h;
        underlay(c.cr, y, c.width, h, ctl.left, ctl.top);
        cairo_save(c.cr);
        cairo_rectangle(c.cr, 0, y, c.width, h);
        cairo_clip(c.cr);
        face(c.cr, y, c.width, h, f);
        cairo_restore(c.cr);
    }
    save(c, id);
}

void keyFace(cairo_t* cr, double y, double w, double h, int state) {
    roundRect(cr, 0.5, y + 0.5, w - 1, h - 1, 2.5);
    set(cr, state == 2 ? 0x101215 : state == 1 ? 0x3d434c : 0x2a2e35);
    cairo_fill_preserve(cr);
    set(cr, state == 1 ? 0x7a828e : 0x050607);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
}

void labelButton(int id, int tag, const char* label) {
    stripButton(id, tag, 3, [label](cairo_t* cr, double y, double w, double h, int f) {
        keyFace(cr, y, w, h, f);
        text(cr, label, 2, y + (f == 2 ? 1 : 0), w - 2, y + h + (f == 2 ? 1 : 0), 7,
             f == 2 ? kTitle : f == 1 ? 0xffffff : kLabel);
    });
}

void fileButton(int id, int tag, bool load) {
    stripButton(id, tag, 3, [load](cairo_t* cr, double y, double w, double h, int f) {
        keyFace(cr, y, w, h, f);
        unsigned color = f == 2 ? kTitle : f == 1 ? 0xffffff : kLabel;
        double cx = w / 2, cy = y + h / 2 + (f == 2 ? 0.5 : 0);
        // A tray with an arrow: out of it for load, into it for save.
        cairo_set_line_width(cr, 1.2);
        cairo_move_to(cr, cx - 5, cy + 1);
        cairo_line_to(cr, cx - 5, cy + 4);
        cairo_line_to(cr, cx + 5, cy + 4);
        cairo_line_to(cr, cx + 5, cy + 1);
        set(cr, color);
        cairo_stroke(cr);
        double tip = load ? cy - 5 : cy + 2, tail = load ? cy + 2 : cy - 5, dir = load ? 1 : -1;
        cairo_move_to(cr, cx, tail);
        cairo_line_to(cr, cx, tip + dir * 1);
        cairo_stroke(cr);
        cairo_move_to(cr, cx - 2.8, tip + dir * 2.8);
        cairo_line_to(cr, cx, tip);
        cairo_line_to(cr, cx + 2.8, tip + dir * 2.8);
        cairo_stroke(cr);
    });
}

void rocker(int id, int tag) {
    // Frames: idle, hover left, hover right, pressed left, pressed right.
    stripButton(id, tag, 5, [](cairo_t* cr, double y, double w, double h, int f) {
        keyFace(cr, y, w, h, f >= 3 ? 2 : 0);
        vline(cr, w / 2 - 0.5, y + 2, y + h - 2, 0x050607);
        for (int side = 0; side < 2; ++side) {
            bool hot = (side == 0 && (f == 1 || f == 3)) || (side == 1 && (f == 2 || f == 4));
            bool pressed = (side == 0 && f == 3) || (side == 1 && f == 4);
            double cx = side == 0 ? w / 4 : 3 * w / 4, cy = y + h / 2;
            cairo_move_to(cr, cx + (side == 0 ? 2.5 : -2.5), cy - 3.5);
            cairo_line_to(cr, cx + (side == 0 ? 2.5 : -2.5), cy + 3.5);
            cairo_line_to(cr, cx + (side == 0 ? -2.5 : 2.5), cy);
            cairo_close_path(cr);
            set(cr, pressed ? kTitle : hot ? 0xffffff : kLabel);
            cairo_fill(cr);
        }
    });
}

void ledToggle(int id, int tag, const char* label) {
    // Frames: off, hover while off, on. The label on top, a lamp bar below it.
    stripButton(id, tag, 3, [label](cairo_t* cr, double y, double w, double h, int f) {
        keyFace(cr, y + 1, w, h - 2, f == 1 ? 1 : 0);
        text(cr, label, 1.5, y + 2, w - 1.5, y + 10, 6.5, f == 2 ? 0xffffff : f == 1 ? 0xe0e4ea : kLabel);
        roundRect(cr, 5, y + h - 5, w - 10, 2, 1);
        set(cr, f == 2 ? 0x5de06a : 0x1c3320);
        cairo_fill(cr);
    });
}

void focusToggle(int id, int tag) {
    stripButton(id, tag, 3, [](cairo_t* cr, double y, double w, double h, int f) {
        roundRect(cr, 0.5, y + 0.5, w - 1, h - 1, 2);
        set(cr, f == 2 ? 0x5de06a : f == 1 ? 0x36503a : 0x1c3320);
        cairo_fill_preserve(cr);
        set(cr, 0x050607);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
    });
}

void manualButton(int id, int tag) {
    stripButton(id, tag, 3, [](cairo_t* cr, double y, double w, double h, int f) {
        cairo_arc(cr, w / 2, y + h / 2, 4.5, 0, 2 * kPi);
        set(cr, f == 2 ? 0x101215 : f == 1 ? 0x3d434c : 0x2a2e35);
        cairo_fill_preserve(cr);
        set(cr, 0x050607);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        text(cr, "?", 0, y, w, y + h, 7, f == 2 ? kTitle : f == 1 ? 0xffffff : kLabel);
    });
}

// ---------------------------------------------------------------- about (129)

void about() {
    Canvas c = canvas(129);
    cairo_t* cr = c.cr;
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, 171);
    cairo_pattern_add_color_stop_rgb(p, 0, 0.10, 0.11, 0.13);
    cairo_pattern_add_color_stop_rgb(p, 1, 0.04, 0.04, 0.05);
    cairo_set_source(cr, p);
    cairo_paint(cr);
    cairo_pattern_destroy(p);
    // Echoes: one burst repeated with falling level and fading colour.
    for (int echo = 0; echo < 9; ++echo) {
        double x0 = 60 + echo * 92, level = std::pow(0.72, echo);
        cairo_new_path(cr);
        for (int i = 0; i <= 80; ++i) {
            double t = i / 80.0, env = std::exp(-5 * t) * std::sin(kPi * std::fmin(1, t * 6));
            double y = 128 - 26 * level * env * std::sin(2 * kPi * 6 * t);
            if (i == 0)
                cairo_move_to(cr, x0 + t * 80, y);
            else
                cairo_line_to(cr, x0 + t * 80, y);
        }
        Rgb col = hex(kTitle);
        cairo_set_source_rgba(cr, col.r, col.g, col.b, 0.25 + 0.75 * level);
        cairo_set_line_width(cr, 1.5);
        cairo_stroke(cr);
    }
    hline(cr, 40, 902, 150, 0x2e333b);
    text(cr, "VANTEL", 60, 30, 600, 70, 40, 0xf2f2f0, kLeft);
    text(cr, "THE ULTIMATE DELAY MACHINE", 62, 74, 600, 88, 11, kTitle, kLeft);
    text(cr, "Stereo delay with modulation, filter, drive and reverb", 62, 154, 700, 166, 8.5, 0x8d949e, kLeft,
         false);
    text(cr, "Click anywhere to close", 700, 154, 902, 166, 8.5, 0x8d949e, kRight, false);
    // The version text is drawn over (740, 70) by the editor.
    text(cr, "VERSION", 740, 56, 840, 66, 7, 0x8d949e, kLeft);
    save(c, 129);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3 || (argc == 3 && std::strcmp(argv[2], "1") != 0 && std::strcmp(argv[2], "2") != 0)) {
        std::fprintf(stderr, "usage: artgen OUTPUT_DIR [SCALE: 1 or 2]\n");
        return 2;
    }
    gOut = argv[1];
    gScale = argc == 3 ? std::atoi(argv[2]) : 1;

    cairo_surface_t* measureSurface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
    gMeasure = cairo_create(measureSurface);
    gPanel = scaledSurface(CAIRO_FORMAT_RGB24, 942, 171);
    cairo_t* cr = cairo_create(gPanel);
    drawPanel(cr);
    cairo_destroy(cr);
    {
        Canvas c = canvas(128);
        cairo_set_source_surface(c.cr, gPanel, 0, 0);
        cairo_paint(c.cr);
        save(c, 128);
    }
    about();

    knobStrip(130, 83, 0x3cc8c8);
    knobStrip(131, 15, 0xf08a3a);
    knobStrip(132, 13, 0xf0b860);
    knobStrip(133, 1, 0x7fd46a);
    knobStrip(134, 0, 0x7fd46a);
    knobStrip(135, 11, 0xb08cf0);
    knobStrip(136, 47, 0xb08cf0);
    knobStrip(137, 39, 0x5aa8f0);
    knobStrip(138, 17, 0xf06a5a);
    knobStrip(139, 18, 0xf06a5a);

    stepButton(140, 74, true);
    stepButton(141, 76, false);
    slideSwitch(142, 88, 2);
    slideSwitch(143, 89, 3);
    digits(144, 65, false);
    digits(145, 64, true);
    separator(146, 71);
    decimalPoint(147, 68);
    sideTab(148, 91, "L");
    sideTab(149, 92, "R");
    ledButton(150, 93, 0xffb238, 0x3b2a12);
    ledButton(151, 41, 0xff4a3a, 0x3b1612);
    lfoWaves(152);
    meter(153, 80);

    focusToggle(988, 117);
    manualButton(989, 118);
    fileButton(990, 100, true);
    fileButton(991, 101, false);
    labelButton(992, 111, "BANK");
    labelButton(993, 112, "PRESET");
    labelButton(994, 108, "MIDI");
    rocker(995, 99);
    ledToggle(998, 105, "LEARN");
    ledToggle(999, 109, "FORGET");

    cairo_surface_destroy(gPanel);
    cairo_destroy(gMeasure);
    cairo_surface_destroy(measureSurface);
    return 0;
}
