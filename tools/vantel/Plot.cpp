// vantel plot: what a program does to sound, measured through the plug-in as a host would
// run it and drawn as a PNG: the echo pattern (the impulse response on a dB scale, the
// repeats marked) and the magnitude response of the wet path.
//
// The wet path is the output less the dry sound. The dry sound is what the same program
// gives with both delay lines' inputs muted (MuteInL, MuteInR): everything outside the
// lines (input gain, the filter at the input, the dry mix, the reverb of the dry signal)
// is then the same, so the difference is exactly what went through the lines. Repeats
// are looked for in the wet path with the reverb switched off, so a reverb tail is not
// taken for echoes; the pictures and the response keep the reverb.
#include "Plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "Cli.h"
#include "OutputFile.h"

namespace vantel {

namespace {

using response::Stereo;
using testhost::Plugin;
using testhost::TestHost;

// After the window the output is watched for as long as a sample can stay in a line: its
// 10 s at the slowest clock (half a slot per sample), and the 1 ms look-ahead.
constexpr double kLookBeyondSeconds = 20.0 + 0.005;

struct Setup {
    std::string pluginPath;
    double tempo = 120.0;
    double rate = 44100.0;
    int block = 512;
    bool left = true, right = true;  // which main inputs the impulse enters
};

struct Render {
    Stereo out;           // up to the window's end
    bool outlasts = false;
    std::string programName;
    bool reverbOn = false;
};

std::unique_ptr<Plugin> loadPlugin(TestHost& host, const std::string& path) {
    try {
        return host.load(path);
    } catch (const testhost::LoadError& e) {
        throw Failure(e.what());
    }
}

// A fresh instance with the state the options give, then `extra` settings; played a unit
// impulse for `window` frames, and then watched for up to `beyond` frames more for
// anything at or above the floor.
Render impulseResponse(const Setup& s, Args state, const std::vector<std::string>& extra, size_t window,
                       size_t beyond) {
    TestHost host;
    host.config().time.tempo = s.tempo;
    host.config().sampleRate = float(s.rate);
    host.config().blockSize = s.block;
    host.config().inputPins = {true, true};
    host.config().outputPins = {true, true};
    std::unique_ptr<Plugin> plugin = loadPlugin(host, s.pluginPath);
    const AEffect& effect = *plugin->effect();
    if (effect.numOutputs < 1) throw Failure("The plug-in has no audio outputs.");
    if (!(effect.flags & effFlagsCanDoubleReplacing))
        throw Failure("vantel plot measures in 64 bits, which \"" + s.pluginPath + "\" does not offer.");
    for (const char* name : {"MuteInL", "MuteInR"})
        if (plugin->findParameter(name) < 0)
            throw Failure("vantel plot tells the echoes from the dry sound by muting the delay lines' inputs, and \"" +
                          s.pluginPath + "\" has no parameter " + name + ".");
    plugin->open();
    plugin->setSampleRate(float(s.rate));
    plugin->setBlockSize(s.block);
    applyStateOptions(*plugin, state);
    applySettings(*plugin, extra);

    Render r;
    r.programName = plugin->programName();
    const int reverb = plugin->findParameter("RvbOn");
    r.reverbOn = reverb >= 0 && plugin->getParameter(reverb) >= 0.5f;
    plugin->resume();

    const size_t block = size_t(s.block);
    testhost::Channels<double> in(size_t(std::max(effect.numInputs, 2)), std::vector<double>(block, 0.0));
    testhost::Channels<double> out(size_t(effect.numOutputs), std::vector<double>(block, 0.0));
    const size_t outR = effect.numOutputs > 1 ? 1 : 0;
    const double floorAmp = std::pow(10.0, plot::kFloorDb / 20.0);
    r.out.left.reserve(window);
    r.out.right.reserve(window);
    for (size_t done = 0; done < window + beyond && !r.outlasts;) {
        const size_t n = std::min(block, window + beyond - done);
        in[0][0] = done == 0 && s.left ? 1.0 : 0.0;
        in[1][0] = done == 0 && s.right ? 1.0 : 0.0;
        plugin->processDoubleReplacing(in, out, VstInt32(n));
        host.advanceTime(VstInt32(n));
        for (size_t i = 0; i < n; ++i, ++done) {
            const double l = std::isfinite(out[0][i]) ? out[0][i] : 0.0;
            const double rr = std::isfinite(out[outR][i]) ? out[outR][i] : 0.0;
            if (done < window) {
                r.out.left.push_back(l);
                r.out.right.push_back(rr);
            } else if (std::max(std::fabs(l), std::fabs(rr)) >= floorAmp) {
                r.outlasts = true;
            }
        }
    }
    return r;
}

Stereo difference(const Stereo& a, const Stereo& b) {
    Stereo d;
    d.left.resize(a.frames());
    d.right.resize(a.frames());
    for (size_t i = 0; i < a.frames(); ++i) {
        d.left[i] = a.left[i] - b.left[i];
        d.right[i] = a.right[i] - b.right[i];
    }
    return d;
}

plot::ProgramPlot measure(const Setup& s, const Args& state, double seconds) {
    const size_t window = size_t(std::llround(seconds * s.rate));
    const size_t beyond = size_t(std::llround(kLookBeyondSeconds * s.rate));
    const std::vector<std::string> mutes{"MuteInL=1", "MuteInR=1"};

    const Render full = impulseResponse(s, state, {}, window, beyond);
    const Render dry = impulseResponse(s, state, mutes, window, 0);
    plot::ProgramPlot p;
    p.name = full.programName;
    p.output = full.out;
    p.outlasts = full.outlasts;
    const Stereo wet = difference(full.out, dry.out);

    Stereo echoes = wet;
    if (full.reverbOn) {
        const Render plain = impulseResponse(s, state, {"RvbOn=0"}, window, 0);
        const Render plainDry = impulseResponse(s, state, {"RvbOn=0", "MuteInL=1", "MuteInR=1"}, window, 0);
        echoes = difference(plain.out, plainDry.out);
    }
    p.repeats = response::findRepeats(echoes, s.rate, plot::kFloorDb);
    p.response = response::magnitudeResponse(wet, s.rate, plot::kLowHz, std::min(plot::kHighHz, 0.45 * s.rate),
                                              plot::kPointsPerOctave, plot::kSmoothingOctaves);
    p.corners = response::findCorners(p.response.hz, p.response.both);
    return p;
}

std::string number(double v, int decimals) {
    if (!std::isfinite(v)) return v < 0 ? "-inf" : "inf";
    char b[64];
    std::snprintf(b, sizeof b, "%.*f", decimals, v);
    return b;
}

// The numbers behind the picture, one fact per line, for people and for scripts:
//   program <name>
//   outlasts yes|no
//   repeat <n> <time> ms <level> dB left <level> dB right <level> dB
//   peak <frequency> Hz <level> dB
//   corner low|high <frequency> Hz      (or "corner low none")
//   response <frequency> Hz <both> dB left <level> dB right <level> dB
std::string dataText(const std::vector<plot::ProgramPlot>& plots, const plot::Caption& c, double rate) {
    std::ostringstream o;
    o << "# vantel plot: " << number(c.tempo, 2) << " BPM, " << number(c.sampleRate, 0) << " Hz, impulse into "
      << c.input << ", window " << number(c.seconds, 3) << " s, floor " << number(plot::kFloorDb, 0) << " dB\n";
    for (size_t k = 0; k < plots.size(); ++k) {
        const plot::ProgramPlot& p = plots[k];
        o << "program " << p.name << "\n";
        o << "outlasts " << (p.outlasts ? "yes" : "no") << "\n";
        for (size_t i = 0; i < p.repeats.size(); ++i) {
            const response::Repeat& r = p.repeats[i];
            o << "repeat " << i + 1 << " " << number(double(r.frame) * 1000.0 / rate, 3) << " ms " << number(r.db, 2)
              << " dB left " << number(r.leftDb, 2) << " dB right " << number(r.rightDb, 2) << " dB\n";
        }
        if (p.corners.any) {
            o << "peak " << number(p.corners.peakHz, 1) << " Hz " << number(p.corners.peakDb, 2) << " dB\n";
            o << "corner low " << (p.corners.lowHz > 0 ? number(p.corners.lowHz, 1) + " Hz" : "none") << "\n";
            o << "corner high " << (p.corners.highHz > 0 ? number(p.corners.highHz, 1) + " Hz" : "none") << "\n";
        }
        for (size_t i = 0; i < p.response.hz.size(); ++i)
            o << "response " << number(p.response.hz[i], 2) << " Hz " << number(p.response.both[i], 2) << " dB left "
              << number(p.response.left[i], 2) << " dB right " << number(p.response.right[i], 2) << " dB\n";
    }
    return o.str();
}

void parseSize(const std::string& text, int& width, int& height) {
    const size_t x = text.find('x');
    if (x == std::string::npos) throw Failure("\"" + text + "\" is not a size; write it as WIDTHxHEIGHT, e.g. 1200x700.");
    width = int(parseInteger(text.substr(0, x), "width in pixels", 320, 8000));
    height = int(parseInteger(text.substr(x + 1), "height in pixels", 240, 8000));
}

}  // namespace

int runPlot(Args args) {
    Setup s;
    s.pluginPath = defaultPluginPath();
    args.value("--plugin", s.pluginPath);
    const std::vector<std::string> programs = args.values("--program");
    Args state = takeStateOptions(args);
    std::string tempoText, rateText, secondsText, inputText, sizeText, dataPath;
    args.value("--tempo", tempoText);
    args.value("--rate", rateText);
    args.value("--seconds", secondsText);
    args.value("--input", inputText);
    const bool hasSize = args.value("--size", sizeText);
    const bool hasData = args.value("--data", dataPath);
    const auto files = args.positionals();
    if (files.size() != 1) throw Failure("vantel plot writes one picture: vantel plot [options] OUT.png.");

    s.tempo = tempoText.empty() ? 120.0 : parseNumber(tempoText, "tempo in BPM");
    if (s.tempo <= 0.0 || s.tempo > 1000.0) throw Failure("The tempo must lie above 0 and at most 1000 BPM.");
    s.rate = rateText.empty() ? 44100.0 : double(parseInteger(rateText, "sample rate in Hz", 8000, 192000));
    const double seconds = secondsText.empty() ? 4.0 : parseNumber(secondsText, "window in seconds");
    if (seconds < 0.05 || seconds > 60.0) throw Failure("The window must lie between 0.05 and 60 seconds.");
    plot::Caption caption;
    caption.input = "both inputs";
    if (inputText == "left") {
        s.right = false;
        caption.input = "the left input";
    } else if (inputText == "right") {
        s.left = false;
        caption.input = "the right input";
    } else if (!inputText.empty() && inputText != "both") {
        throw Failure("\"" + inputText + "\" is not an input; use left, right or both.");
    }
    const size_t columns = std::max<size_t>(1, programs.size());
    int width = int(std::max<size_t>(960, 120 + 600 * columns)), height = 680;
    if (hasSize) parseSize(sizeText, width, height);

    // Every output is claimed before the work: a place that cannot be written fails now.
    OutputFile picture(files[0]);
    std::unique_ptr<OutputFile> data;
    if (hasData && dataPath != "-") data = std::make_unique<OutputFile>(dataPath);

    // Each program in turn, in a fresh instance with the same state, program and settings.
    std::vector<Args> states;
    const std::vector<std::string> stateArgs = state.all();
    if (programs.empty()) {
        states.push_back(state);
    }
    for (const std::string& program : programs) {
        std::vector<std::string> a = stateArgs;
        a.insert(a.end(), {"--program", program});
        states.emplace_back(a);
    }
    {
        // Unknown programs and parameters, and unreadable files, are refused before any rendering.
        TestHost host;
        std::unique_ptr<Plugin> check = loadPlugin(host, s.pluginPath);
        check->open();
        for (const Args& a : states) {
            Args copy = a;
            applyStateOptions(*check, copy);
        }
    }

    caption.sampleRate = s.rate;
    caption.tempo = s.tempo;
    caption.seconds = seconds;
    {
        Args copy = state;
        caption.settings = copy.values("--set");
    }
    std::vector<plot::ProgramPlot> plots;
    for (const Args& a : states) plots.push_back(measure(s, a, seconds));

    plot::draw(plots, caption, width, height, picture.temporary());
    if (hasData) {
        const std::string text = dataText(plots, caption, s.rate);
        if (data) {
            std::ofstream out(data->temporary(), std::ios::trunc);
            out << text;
            out.close();
            if (!out) throw Failure("\"" + dataPath + "\" cannot be written.");
        } else {
            std::fputs(text.c_str(), stdout);
        }
    }
    picture.commit();
    if (data) data->commit();
    return 0;
}

}  // namespace vantel
