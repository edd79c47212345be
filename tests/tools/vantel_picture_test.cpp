// `vantel plot` and `vantel shot`, run as a person runs them. The plot is checked on the
// numbers behind its picture (--data), against what the settings shown by `vantel info`
// say the sound must be; the shot against the editor's own golden render, pixel for pixel.
#include <cairo.h>
#include <dirent.h>
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "CommandRun.h"

namespace {

struct Point {
    double hz, db;
};

struct Program {
    std::string name;
    bool outlasts = false;
    std::vector<std::pair<double, double>> repeats;  // ms, dB
    std::vector<std::pair<double, double>> sides;    // left dB, right dB of each repeat
    double lowHz = 0, highHz = 0;                    // 0: none
    std::vector<Point> response;

    // The level of the response at the point nearest to `hz` (48 points per octave).
    double at(double hz) const {
        const Point* best = &response.front();
        for (const Point& p : response)
            if (std::fabs(std::log(p.hz / hz)) < std::fabs(std::log(best->hz / hz))) best = &p;
        return best->db;
    }
};

std::vector<Program> parse(const std::string& data) {
    std::vector<Program> programs;
    std::istringstream lines(data);
    std::string line, word;
    while (std::getline(lines, line)) {
        std::istringstream in(line);
        in >> word;
        if (word == "program") {
            programs.emplace_back();
            std::getline(in >> std::ws, programs.back().name);
            continue;
        }
        if (programs.empty()) continue;
        Program& p = programs.back();
        std::string unit, side;
        if (word == "outlasts") {
            in >> word;
            p.outlasts = word == "yes";
        } else if (word == "repeat") {
            int n;
            double ms, db, left, right;
            in >> n >> ms >> unit >> db >> unit >> side >> left >> unit >> side >> right;
            p.repeats.emplace_back(ms, db);
            p.sides.emplace_back(left, right);
        } else if (word == "corner") {
            std::string which, value;
            in >> which >> value;
            (which == "low" ? p.lowHz : p.highHz) = value == "none" ? 0.0 : std::stod(value);
        } else if (word == "response") {
            Point point;
            in >> point.hz >> unit >> point.db;
            p.response.push_back(point);
        }
    }
    return programs;
}

// The display text `vantel info` shows for a parameter after --set NAME=VALUE.
std::string display(const std::string& setting) {
    const std::string name = setting.substr(0, setting.find('='));
    const CommandResult run = vantel("info --set " + setting);
    std::smatch m;
    const std::regex row("\n +[0-9]+  " + name + " .* [0-9]\\.[0-9]{6}  ([^\n]*)\n");
    return std::regex_search(run.out, m, row) ? m[1].str() : "";
}

std::vector<Program> plot(const std::string& options) {
    const CommandResult run = vantel("plot " + options + " --data - " + quoted(temp("plot.png")));
    EXPECT_EQ(run.status, 0) << options << "\n" << run.err;
    return parse(run.out);
}

// Plain echoes of program 0: the clocked line off (its anti-alias filter would shape the
// sound), echoes only.
const std::string kPlainEchoes = "--set VcoOn=0 --set Mix=1 ";

struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // 0xRRGGBB
    bool operator==(const Picture& o) const { return width == o.width && height == o.height && pixels == o.pixels; }
};

Picture load(const std::string& path) {
    Picture p;
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
        cairo_surface_flush(s);
        p.width = cairo_image_surface_get_width(s);
        p.height = cairo_image_surface_get_height(s);
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x)
                p.pixels.push_back(reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(s) +
                                                                      y * cairo_image_surface_get_stride(s))[x] &
                                   0xffffff);
    }
    cairo_surface_destroy(s);
    return p;
}

Picture shot(const std::string& options) {
    const std::string out = temp("shot.png");
    const CommandResult run = vantel("shot " + options + " " + quoted(out));
    EXPECT_EQ(run.status, 0) << options << "\n" << run.err;
    return load(out);
}

// Files in the test's temporary folder whose names start with `prefix`.
int filesStartingWith(const std::string& prefix) {
    int n = 0;
    if (DIR* dir = opendir(testing::TempDir().c_str())) {
        while (const dirent* e = readdir(dir)) n += std::string(e->d_name).rfind(prefix, 0) == 0;
        closedir(dir);
    }
    return n;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// plot

TEST(VantelPlot, RepeatsComeEveryNoteLengthAndFallByTheFeedbackGain) {
    // Each line feeds itself: repeat k comes k quarter notes after the impulse (plus the 1 ms
    // look-ahead of what is heard, and a sample per pass), at k - 1 times the feedback gain.
    const struct {
        double tempo;
        int rate;
        std::string gain;
    } cases[] = {{120, 44100, "0.6"}, {90, 44100, "0.45"}, {150, 48000, "0.3"}};
    for (const auto& c : cases) {
        const double gainDb = std::stod(display("FbGainL=" + c.gain));
        const double windowMs = 3000.0, beatMs = 60000.0 / c.tempo;
        const std::vector<Program> p =
            plot(kPlainEchoes + "--set FbGainL=" + c.gain + " --set FbGainR=" + c.gain + " --seconds 3 --tempo " +
                 std::to_string(c.tempo) + " --rate " + std::to_string(c.rate));
        ASSERT_EQ(p.size(), 1u);
        size_t expected = 0;
        while ((expected + 1) * beatMs + 1.0 < windowMs - 5.0 && expected * gainDb >= -80.0) ++expected;
        ASSERT_EQ(p[0].repeats.size(), expected) << c.tempo;
        for (size_t k = 1; k <= expected; ++k) {
            const auto [ms, db] = p[0].repeats[k - 1];
            EXPECT_NEAR(ms, k * beatMs + 1.0, 0.05 + 1000.0 * k / c.rate) << c.tempo << " repeat " << k;
            EXPECT_NEAR(db, (k - 1) * gainDb, 0.05) << c.tempo << " repeat " << k;
            EXPECT_NEAR(p[0].sides[k - 1].first, p[0].sides[k - 1].second, 0.01) << "both lines alike";
        }
    }
}

TEST(VantelPlot, WetResponseShowsTheFiltersCornerAndTwelveDecibelsPerOctave) {
    // The filter at minimum resonance is a two-pole low or high pass: its response peaks just
    // short of the cutoff shown, falls 3 dB below that peak a little past the cutoff, and
    // beyond it drops 12 dB per octave.
    const struct {
        std::string type, cutoff;
        bool lowPass;
    } cases[] = {{"0.1", "0.45", true}, {"0.1", "0.6", true}, {"0.9", "0.5", false}};
    for (const auto& c : cases) {
        ASSERT_EQ(display("FltType=" + c.type), c.lowPass ? "LPF" : "HPF");
        const double fc = std::stod(display("Cutoff=" + c.cutoff));
        const std::vector<Program> p =
            plot(kPlainEchoes + "--set FltOn=1 --set FltType=" + c.type + " --set Cutoff=" + c.cutoff + " --seconds 0.6");
        ASSERT_EQ(p.size(), 1u);
        const Program& r = p[0];
        if (c.lowPass) {
            EXPECT_EQ(r.lowHz, 0.0) << fc;
            EXPECT_GT(r.highHz, fc);
            EXPECT_LT(r.highHz, 1.3 * fc);
            EXPECT_NEAR(r.at(4 * fc) - r.at(2 * fc), -12.0, 1.5) << fc;
        } else {
            EXPECT_EQ(r.highHz, 0.0) << fc;
            EXPECT_LT(r.lowHz, fc);
            EXPECT_GT(r.lowHz, fc / 1.3);
            EXPECT_NEAR(r.at(fc / 4) - r.at(fc / 2), -12.0, 1.5) << fc;
        }
    }
}

TEST(VantelPlot, SaysWhenTheEchoesOutlastTheWindow) {
    // Program 0 echoes once, half a second after the impulse.
    const struct {
        std::string options;
        bool outlasts;
    } cases[] = {
        {"--seconds 1", false},
        {"--seconds 0.3", true},  // the one echo comes after the window
        {"--seconds 1 --set FbGainL=0.9 --set FbGainR=0.9", true},
    };
    for (const auto& c : cases) {
        const std::vector<Program> p = plot(c.options);
        ASSERT_EQ(p.size(), 1u);
        EXPECT_EQ(p[0].outlasts, c.outlasts) << c.options;
    }
}

TEST(VantelPlot, PictureHasTheAskedSizeAndAColumnPerProgram) {
    const std::string out = temp("sized.png");
    CommandResult run = vantel("plot --seconds 0.6 --size 800x500 " + quoted(out));
    ASSERT_EQ(run.status, 0) << run.err;
    Picture p = load(out);
    EXPECT_EQ(p.width, 800);
    EXPECT_EQ(p.height, 500);

    run = vantel("plot --seconds 0.6 --program 0 --program 'Ping Pong' --data - " + quoted(out));
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<Program> programs = parse(run.out);
    ASSERT_EQ(programs.size(), 2u);
    EXPECT_EQ(programs[0].name, "Default");
    EXPECT_EQ(programs[1].name, "Ping Pong");
    p = load(out);
    EXPECT_EQ(p.width, 120 + 2 * 600);
    EXPECT_EQ(p.height, 680);
}

// ---------------------------------------------------------------------------------------
// shot

TEST(VantelShot, ProgramZeroMatchesTheEditorsGoldenRenderPixelForPixel) {
    const Picture golden = load(std::string(GUI_TEST_DATA_DIR) + "/panel_program0.png");
    ASSERT_EQ(golden.width, 942);
    const Picture made = shot("");
    ASSERT_EQ(made.width, golden.width);
    ASSERT_EQ(made.height, golden.height);
    size_t different = 0;
    for (size_t i = 0; i < made.pixels.size(); ++i) different += made.pixels[i] != golden.pixels[i];
    EXPECT_EQ(different, 0u);
}

TEST(VantelShot, ZoomDrawsThePanelAsTheEditorDoesAtEachFactor) {
    // 100 % is the golden above, 200 % a golden of its own; 150 % only has its size here
    // (the Windows stage compares it with this build's).
    const struct {
        const char* zoom;
        int width, height;
        const char* golden;
    } cases[] = {{"100", 942, 171, "panel_program0.png"},
                 {"150", 1413, 257, nullptr},
                 {"200", 1884, 342, "panel_program0_200.png"}};
    for (const auto& c : cases) {
        const Picture made = shot(std::string("--zoom ") + c.zoom);
        EXPECT_EQ(made.width, c.width) << c.zoom;
        EXPECT_EQ(made.height, c.height) << c.zoom;
        if (c.golden) {
            EXPECT_TRUE(made == load(std::string(GUI_TEST_DATA_DIR) + "/" + c.golden)) << c.zoom;
        }
    }
    const CommandResult refused = vantel("shot --zoom 120 " + quoted(temp("z.png")));
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("100, 125, 150, 175 or 200"), std::string::npos) << refused.err;
}

TEST(VantelShot, ThePanelShowsTheStateTheOptionsBuild) {
    const Picture program0 = shot("--program 0");
    const Picture pingPong = shot("--program 'Ping Pong'");
    EXPECT_FALSE(pingPong == program0);
    EXPECT_FALSE(shot("--set Mix=0.25") == program0);
    EXPECT_FALSE(shot("--tempo 96") == program0);  // the digit display shows the host's tempo
    // A state saved by another command shows as the program it holds.
    const std::string chunk = temp("pingpong.chunk");
    ASSERT_EQ(vantel("convert --program 'Ping Pong' --to chunk " + quoted(chunk)).status, 0);
    EXPECT_TRUE(shot("--chunk " + quoted(chunk)) == pingPong);
}

// ---------------------------------------------------------------------------------------
// both

TEST(VantelPictures, RefuseWhatRenderRefusesInTheSameWordsAndLeaveNoFile) {
    const std::string wav = temp("refused.wav"), png = temp("refused.png");
    const std::string tempPrefix = "." + png.substr(png.find_last_of('/') + 1) + ".";
    const std::string cases[] = {
        "--program Nope",
        "--program 99",
        "--set Nope=0.5",
        "--set Mix=1.5",
        "--chunk /nonexistent.chunk",
        "--preset /nonexistent/x.qel",
        "--tempo fast",
    };
    for (const std::string& options : cases) {
        const CommandResult render = vantel("render " + options + " " + quoted(wav));
        ASSERT_EQ(render.status, 1) << options;
        ASSERT_FALSE(render.err.empty());
        for (const char* command : {"plot", "shot"}) {
            const CommandResult run = vantel(std::string(command) + " " + options + " " + quoted(png));
            EXPECT_EQ(run.status, 1) << command << " " << options;
            EXPECT_EQ(run.err, render.err) << command << " " << options;
            EXPECT_FALSE(exists(png)) << command << " " << options;
            EXPECT_EQ(filesStartingWith(tempPrefix), 0) << command << " " << options;
        }
    }
    // Where nothing can be written, the command says so before any work.
    const struct {
        std::string path, message;
    } places[] = {
        {"/nonexistent/folder/out.png", "vantel: \"/nonexistent/folder/out.png\" cannot be written: No such file or directory.\n"},
        {testing::TempDir(), "is a folder; give a file name for the output.\n"},
    };
    for (const auto& place : places)
        for (const char* command : {"plot", "shot"}) {
            const CommandResult run = vantel(std::string(command) + " " + quoted(place.path));
            EXPECT_EQ(run.status, 1) << command;
            EXPECT_NE(run.err.find(place.message), std::string::npos) << command << ": " << run.err;
        }
}
