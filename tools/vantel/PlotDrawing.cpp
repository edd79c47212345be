// The picture of `vantel plot`, drawn with cairo: a column per program, the echo pattern
// above (peak level per pixel column on a dB scale, repeats marked with their times) and
// the magnitude response of the wet path below (log frequency, the -3 dB corners marked).
// All columns share their scales, so programs side by side compare at a glance.
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "Cli.h"
#include "Plot.h"

namespace vantel::plot {

namespace {

struct Colour {
    double r, g, b, a = 1.0;
};
constexpr Colour kBackground{0.071, 0.082, 0.102};
constexpr Colour kPanel{0.098, 0.114, 0.141};
constexpr Colour kGrid{0.200, 0.227, 0.271};
constexpr Colour kGridMinor{0.137, 0.157, 0.188};
constexpr Colour kText{0.878, 0.898, 0.925};
constexpr Colour kDim{0.557, 0.604, 0.663};
constexpr Colour kLeft{0.310, 0.765, 0.969};
constexpr Colour kRight{1.000, 0.718, 0.302};
constexpr Colour kMark{0.929, 0.949, 0.604};
constexpr Colour kCorner{0.957, 0.561, 0.694};
constexpr Colour kWarn{1.000, 0.800, 0.302};

constexpr int kMaxMarks = 64;  // repeats marked on the picture (the data lists them all)

struct Box {
    double x, y, w, h;
    double right() const { return x + w; }
    double bottom() const { return y + h; }
};

enum class Align { Left, Centre, Right };

void colour(cairo_t* cr, Colour c, double alpha = 1.0) { cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a * alpha); }

// Text with its baseline at y; returns its width.
double text(cairo_t* cr, double x, double y, const std::string& s, double size, Colour c, Align align = Align::Left,
            bool bold = false) {
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, s.c_str(), &e);
    const double left = align == Align::Left ? x : align == Align::Centre ? x - e.x_advance / 2 : x - e.x_advance;
    colour(cr, c);
    cairo_move_to(cr, left, y);
    cairo_show_text(cr, s.c_str());
    return e.x_advance;
}

// A crisp one-pixel line between pixel centres.
void line(cairo_t* cr, double x0, double y0, double x1, double y1, Colour c, double width = 1.0) {
    colour(cr, c);
    cairo_set_line_width(cr, width);
    cairo_move_to(cr, std::floor(x0) + 0.5, std::floor(y0) + 0.5);
    cairo_line_to(cr, std::floor(x1) + 0.5, std::floor(y1) + 0.5);
    cairo_stroke(cr);
}

void dashed(cairo_t* cr, double x0, double y0, double x1, double y1, Colour c) {
    const double dash[] = {3.0, 3.0};
    cairo_set_dash(cr, dash, 2, 0.0);
    line(cr, x0, y0, x1, y1, c);
    cairo_set_dash(cr, nullptr, 0, 0.0);
}

std::string format(const char* pattern, double v) {
    char b[64];
    std::snprintf(b, sizeof b, pattern, v);
    return b;
}

std::string secondsText(double s) {
    if (s < 1.0) return format("%.0f ms", s * 1000.0);
    return format(s < 10.0 ? "%.2f s" : "%.1f s", s);
}

std::string hzText(double hz) {
    if (hz < 1000.0) return format("%.0f Hz", hz);
    return format(hz < 10000.0 ? "%.2f kHz" : "%.1f kHz", hz / 1000.0);
}

std::string tickHz(double hz) { return hz < 1000.0 ? format("%g", hz) : format("%gk", hz / 1000.0); }

// A linear or logarithmic mapping of values onto pixels.
struct Scale {
    double lo, hi, from, to;
    bool log = false;
    double at(double v) const {
        const double t = log ? std::log(v / lo) / std::log(hi / lo) : (v - lo) / (hi - lo);
        return from + t * (to - from);
    }
};

// A grid step for a range, giving at most about `most` intervals: 1, 2 or 5 times a power of ten.
double niceStep(double range, int most) {
    const double raw = range / most;
    const double ten = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (m * ten >= raw) return m * ten;
    return 10.0 * ten;
}

// The plot area of a chart box: room for the dB labels on the left, time or frequency below.
Box plotArea(const Box& b) { return {b.x + 44, b.y, b.w - 44 - 6, b.h - 24}; }

void frame(cairo_t* cr, const Box& a) {
    colour(cr, kPanel);
    cairo_rectangle(cr, a.x, a.y, a.w, a.h);
    cairo_fill(cr);
}

void dbGrid(cairo_t* cr, const Box& a, const Scale& y, double step) {
    const double labelEvery = (y.to - y.from) / ((y.hi - y.lo) / step) < 14.0 ? 2 * step : step;
    for (double db = y.lo; db <= y.hi + 1e-9; db += step) {
        const double py = y.at(db);
        line(cr, a.x, py, a.right(), py, kGrid);
        if (std::fmod(std::fabs(db - y.hi), labelEvery) < 1e-9)
            text(cr, a.x - 6, py + 4, format("%.0f", db), 11, kDim, Align::Right);
    }
}

// The echo pattern: peak level per pixel column of each channel, repeats marked.
void drawEchoes(cairo_t* cr, const Box& box, const ProgramPlot& p, const Caption& c, double topDb) {
    const Box a = plotArea(box);
    frame(cr, a);
    const Scale y{kFloorDb, topDb, a.bottom(), a.y};
    const Scale x{0.0, c.seconds, a.x, a.right()};
    const double step = niceStep(c.seconds, std::max(2, int(a.w / 90)));
    for (double t = 0.0; t <= c.seconds + 1e-9; t += step) {
        line(cr, x.at(t), a.y, x.at(t), a.bottom(), kGridMinor);
        text(cr, x.at(t), a.bottom() + 16, format("%g", t), 11, kDim, Align::Centre);
    }
    dbGrid(cr, a, y, 10.0);

    const size_t frames = p.output.frames();
    const int columns = std::max(1, int(a.w));
    cairo_save(cr);
    cairo_rectangle(cr, a.x, a.y, a.w, a.h);
    cairo_clip(cr);
    for (const auto& [samples, tint] : {std::pair{&p.output.left, kLeft}, std::pair{&p.output.right, kRight}}) {
        cairo_new_path(cr);
        cairo_move_to(cr, a.x, a.bottom());
        for (int col = 0; col < columns; ++col) {
            const size_t from = size_t(double(col) / columns * frames), to = size_t(double(col + 1) / columns * frames);
            double peak = 0.0;
            for (size_t i = from; i < std::max(to, from + 1) && i < frames; ++i) peak = std::max(peak, std::fabs((*samples)[i]));
            const double db = std::clamp(response::toDb(peak), kFloorDb, topDb);
            cairo_line_to(cr, a.x + col, y.at(db));
            cairo_line_to(cr, a.x + col + 1, y.at(db));
        }
        cairo_line_to(cr, a.right(), a.bottom());
        cairo_close_path(cr);
        colour(cr, tint, 0.30);
        cairo_fill_preserve(cr);
        colour(cr, tint, 0.85);
        cairo_set_line_width(cr, 1.0);
        cairo_stroke(cr);
    }

    // Repeats: a dot on each peak and a dashed line down to the time axis; times where they fit.
    double labelEnd = -1e9;
    const int marks = std::min<int>(kMaxMarks, int(p.repeats.size()));
    for (int i = 0; i < marks; ++i) {
        const response::Repeat& r = p.repeats[size_t(i)];
        const double t = double(r.frame) / c.sampleRate;
        const double px = x.at(t), py = y.at(std::min(r.db, topDb));
        dashed(cr, px, py, px, a.bottom(), Colour{kMark.r, kMark.g, kMark.b, 0.45});
        colour(cr, kMark);
        cairo_arc(cr, px, py, 3.0, 0, 2 * M_PI);
        cairo_fill(cr);
        const std::string label = secondsText(t);
        cairo_text_extents_t e;
        cairo_set_font_size(cr, 10);
        cairo_text_extents(cr, label.c_str(), &e);
        const double lx = px - e.x_advance / 2, ly = std::max(a.y + 12, py - 7);
        if (lx > labelEnd + 6 && lx + e.x_advance < a.right() - 2) {
            text(cr, lx, ly, label, 10, kMark);
            labelEnd = lx + e.x_advance;
        }
    }
    cairo_restore(cr);
    if (int(p.repeats.size()) > marks)
        text(cr, a.x + 6, a.bottom() - 6, "first " + std::to_string(marks) + " of " + std::to_string(p.repeats.size()) +
             " repeats marked", 10, kDim);

    // Echoes that go on past the window are not cut off in silence.
    if (p.outlasts) {
        const std::string note = "echoes go on past " + secondsText(c.seconds) + " \u2192";
        cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
        cairo_set_font_size(cr, 12);
        cairo_text_extents_t e;
        cairo_text_extents(cr, note.c_str(), &e);
        const Box tag{a.right() - e.x_advance - 18, a.y + 8, e.x_advance + 12, 22};
        colour(cr, kBackground, 0.85);
        cairo_rectangle(cr, tag.x, tag.y, tag.w, tag.h);
        cairo_fill(cr);
        colour(cr, kWarn);
        cairo_set_line_width(cr, 1.0);
        cairo_rectangle(cr, tag.x + 0.5, tag.y + 0.5, tag.w - 1, tag.h - 1);
        cairo_stroke(cr);
        text(cr, tag.x + 6, tag.y + 15, note, 12, kWarn, Align::Left, true);
    }
}

// The magnitude response of the wet path, both channels, the -3 dB corners marked.
void drawResponse(cairo_t* cr, const Box& box, const ProgramPlot& p, double topDb, double spanDb, double highHz) {
    const Box a = plotArea(box);
    frame(cr, a);
    const Scale y{topDb - spanDb, topDb, a.bottom(), a.y};
    const Scale x{kLowHz, highHz, a.x, a.right(), true};
    for (double decade = 10.0; decade <= highHz; decade *= 10.0)
        for (int m = 1; m <= 9; ++m) {
            const double hz = decade * m;
            if (hz < kLowHz || hz > highHz) continue;
            const bool labelled = m == 1 || m == 2 || m == 5;
            line(cr, x.at(hz), a.y, x.at(hz), a.bottom(), labelled ? kGrid : kGridMinor);
            if (labelled) text(cr, x.at(hz), a.bottom() + 16, tickHz(hz), 11, kDim, Align::Centre);
        }
    dbGrid(cr, a, y, 6.0);

    if (!p.corners.any) {
        text(cr, a.x + a.w / 2, a.y + a.h / 2, "no wet signal: nothing goes through the delay lines", 12, kDim,
             Align::Centre);
        return;
    }
    cairo_save(cr);
    cairo_rectangle(cr, a.x, a.y, a.w, a.h);
    cairo_clip(cr);
    for (const auto& [db, tint] : {std::pair{&p.response.left, kLeft}, std::pair{&p.response.right, kRight}}) {
        cairo_new_path(cr);
        bool drawing = false;
        for (size_t i = 0; i < p.response.hz.size(); ++i) {
            if (!std::isfinite((*db)[i])) {
                drawing = false;
                continue;
            }
            const double px = x.at(p.response.hz[i]), py = y.at(std::max((*db)[i], topDb - spanDb - 10));
            if (drawing)
                cairo_line_to(cr, px, py);
            else
                cairo_move_to(cr, px, py);
            drawing = true;
        }
        colour(cr, tint, 0.95);
        cairo_set_line_width(cr, 1.8);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_stroke(cr);
    }
    // Two corners close together (a narrow band) put their labels on two lines, so that
    // neither covers the other.
    const bool both = p.corners.lowHz > 0.0 && p.corners.highHz > 0.0;
    const bool close = both && x.at(p.corners.highHz) - x.at(p.corners.lowHz) < 160.0;
    for (double hz : {p.corners.lowHz, p.corners.highHz}) {
        if (hz <= 0.0) continue;
        const double px = x.at(hz);
        dashed(cr, px, a.y, px, a.bottom(), kCorner);
        // At the top, where the scale leaves at least 3 dB above the loudest point.
        const std::string label = "\u22123 dB at " + hzText(hz);
        const bool rightSide = px < a.x + a.w * 0.7;
        const double y = a.y + (close && hz == p.corners.highHz ? 27 : 13);
        text(cr, rightSide ? px + 5 : px - 5, y, label, 10, kCorner, rightSide ? Align::Left : Align::Right);
    }
    cairo_restore(cr);
}

void legend(cairo_t* cr, double right, double baseline) {
    double x = right;
    for (const auto& [name, tint] : {std::pair{"right", kRight}, std::pair{"left", kLeft}}) {
        cairo_set_font_size(cr, 11);
        x -= text(cr, x, baseline, name, 11, kDim, Align::Right) + 5;
        colour(cr, tint);
        cairo_rectangle(cr, x - 10, baseline - 9, 10, 10);
        cairo_fill(cr);
        x -= 22;
    }
    x -= text(cr, x, baseline, "repeat", 11, kDim, Align::Right) + 8;
    colour(cr, kMark);
    cairo_arc(cr, x - 3, baseline - 4, 3.0, 0, 2 * M_PI);
    cairo_fill(cr);
}

}  // namespace

void draw(const std::vector<ProgramPlot>& programs, const Caption& c, int width, int height, const std::string& path) {
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height), cairo_surface_destroy);
    std::unique_ptr<cairo_t, decltype(&cairo_destroy)> context(cairo_create(surface.get()), cairo_destroy);
    cairo_t* cr = context.get();
    colour(cr, kBackground);
    cairo_paint(cr);

    // Shared scales: the loudest echo and the loudest response of all programs.
    double echoTop = 0.0, responseMax = -1e9;
    for (const ProgramPlot& p : programs) {
        for (const auto* s : {&p.output.left, &p.output.right})
            for (double v : *s) echoTop = std::max(echoTop, std::ceil(response::toDb(std::fabs(v)) / 10.0) * 10.0);
        if (p.corners.any) responseMax = std::max(responseMax, p.corners.peakDb);
    }
    echoTop = std::min(echoTop, 40.0);
    const double responseTop = responseMax > -1e9 ? std::ceil((responseMax + 3.0) / 6.0) * 6.0 : 6.0;
    const double highHz = std::min(kHighHz, 0.45 * c.sampleRate);

    // Header: what was measured, and how.
    constexpr double kMargin = 20.0;
    text(cr, kMargin, 32, "Vantel \u2014 echo pattern and wet response", 19, kText, Align::Left, true);
    std::string how = format("%g BPM", c.tempo) + " \u00b7 " + format("%g kHz", c.sampleRate / 1000.0) +
                      " \u00b7 unit impulse into " + c.input + " \u00b7 first " + secondsText(c.seconds);
    for (const std::string& s : c.settings) how += " \u00b7 " + s;
    text(cr, kMargin, 52, how, 12, kDim);

    const double top = 72.0, gap = 24.0;
    const double columnWidth = (width - 2 * kMargin - gap * double(programs.size() - 1)) / double(programs.size());
    const double chartsHeight = height - top - 26.0 - 20.0 - 26.0 - kMargin;
    const double echoHeight = std::floor(chartsHeight * 0.55), responseHeight = chartsHeight - echoHeight;
    for (size_t k = 0; k < programs.size(); ++k) {
        const ProgramPlot& p = programs[k];
        const double x = kMargin + double(k) * (columnWidth + gap);
        text(cr, x, top + 14, p.name.empty() ? "(unnamed program)" : p.name, 15, kText, Align::Left, true);
        legend(cr, x + columnWidth, top + 14);

        const Box echoes{x, top + 26 + 20, columnWidth, echoHeight};
        text(cr, x, echoes.y - 8, "Echo pattern \u2014 impulse response: peak level (dB) over time (s)", 12, kDim);
        drawEchoes(cr, echoes, p, c, echoTop);

        const Box response{x, echoes.bottom() + 26 + 20, columnWidth, responseHeight};
        text(cr, x, response.y - 8, "Wet path \u2014 magnitude response (dB, 1/6-octave smoothed) over frequency (Hz)", 12, kDim);
        drawResponse(cr, response, p, responseTop, 48.0, highHz);
    }

    cairo_surface_flush(surface.get());
    const cairo_status_t status = cairo_surface_write_to_png(surface.get(), path.c_str());
    if (status != CAIRO_STATUS_SUCCESS)
        throw Failure("The picture could not be written: " + std::string(cairo_status_to_string(status)) + ".");
}

}  // namespace vantel::plot
