#include "Cli.h"

#include "System.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace vantel {

using testhost::Plugin;

// ---------------------------------------------------------------------------------------
// Arguments

bool Args::flag(const std::string& name) {
    auto it = std::find(args_.begin(), args_.end(), name);
    if (it == args_.end()) return false;
    args_.erase(it);
    return true;
}

std::vector<std::string> Args::values(const std::string& name) {
    std::vector<std::string> found;
    const std::string prefix = name + "=";
    for (size_t i = 0; i < args_.size();) {
        if (args_[i] == name) {
            if (i + 1 >= args_.size()) throw Failure("The option " + name + " needs a value.");
            found.push_back(args_[i + 1]);
            args_.erase(args_.begin() + long(i), args_.begin() + long(i) + 2);
        } else if (args_[i].compare(0, prefix.size(), prefix) == 0) {
            found.push_back(args_[i].substr(prefix.size()));
            args_.erase(args_.begin() + long(i));
        } else {
            ++i;
        }
    }
    return found;
}

bool Args::value(const std::string& name, std::string& out) {
    auto found = values(name);
    if (found.empty()) return false;
    out = found.back();
    return true;
}

std::vector<std::string> Args::positionals() const {
    for (const std::string& a : args_)
        if (a.size() > 1 && a[0] == '-' && !std::isdigit(static_cast<unsigned char>(a[1])))
            throw Failure("Unknown option " + a + " (vantel --help lists the options).");
    return args_;
}

double parseNumber(const std::string& text, const std::string& what) {
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(v))
        throw Failure("\"" + text + "\" is not a number (" + what + ").");
    return v;
}

long parseInteger(const std::string& text, const std::string& what, long min, long max) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0)
        throw Failure("\"" + text + "\" is not a whole number (" + what + ").");
    if (v < min || v > max)
        throw Failure("The " + what + " must lie between " + std::to_string(min) + " and " + std::to_string(max) +
                      "; " + text + " does not.");
    return v;
}

// ---------------------------------------------------------------------------------------
// The plug-in

std::string defaultPluginPath() {
    if (const char* env = std::getenv("VANTEL_PLUGIN"); env && *env) return env;
    std::string installed;
    const std::string self = executablePath();
    if (!self.empty()) {
        const size_t split = self.find_last_of("/\\");
        const std::string dir = self.substr(0, split);
        const std::string separator = split == std::string::npos ? "/" : self.substr(split, 1);
        const std::string beside = dir + separator + VANTEL_PLUGIN_FILE_NAME;
        if (fileExists(beside)) return beside;
#ifdef VANTEL_INSTALLED_PLUGIN
        installed = dir + "/" VANTEL_INSTALLED_PLUGIN;
        const std::string resolved = resolvedPath(installed);
        if (!resolved.empty()) return resolved;
#endif
    }
#ifdef VANTEL_BUILT_PLUGIN
    if (fileExists(VANTEL_BUILT_PLUGIN)) return VANTEL_BUILT_PLUGIN;
#endif
    // Nothing found: the message names where an installed copy belongs.
    return installed.empty() ? VANTEL_PLUGIN_FILE_NAME : installed;
}

namespace {

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string trimmed(std::string s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.pop_back();
    return s;
}

bool allDigits(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

}  // namespace

int findProgram(Plugin& plugin, const std::string& wanted) {
    std::vector<std::string> names = plugin.programNames();
    const int count = std::max<int>(int(names.size()), plugin.numPrograms());
    if (allDigits(wanted)) {
        const long index = wanted.size() > 9 ? LONG_MAX : std::stol(wanted);
        if (index >= count)
            throw Failure("There is no program " + wanted + ": the plug-in has " + std::to_string(count) +
                          " programs, numbered from 0.");
        return int(index);
    }
    for (size_t i = 0; i < names.size(); ++i)
        if (trimmed(names[i]) == wanted) return int(i);
    for (size_t i = 0; i < names.size(); ++i)
        if (lower(trimmed(names[i])) == lower(wanted)) return int(i);
    throw Failure("There is no program called \"" + wanted + "\" (vantel info lists the program names).");
}

namespace {

// Our plug-in shows a host a single program; its bank of programs travels in its state
// chunk. Such a chunk starts with the chunk version 2 and the effect's unique ID (native
// int32 each), followed by a bank block: the unique ID again, the kind byte 0x38, and
// further 32-bit header fields of which the current program sits at block offset 17.
// Reading a chunk applies its current program, so writing k there and handing the chunk
// back selects program k. Answers false when the chunk is not of that kind.
bool selectProgramThroughChunk(Plugin& plugin, int index) {
    constexpr size_t kBlockStart = 8, kKindOffset = kBlockStart + 4, kCurrentProgramOffset = kBlockStart + 17;
    constexpr int32_t kChunkVersion2 = 0x02000000;
    constexpr uint8_t kBankKind = 0x38;
    if (!(plugin.effect()->flags & effFlagsProgramChunks)) return false;
    std::vector<uint8_t> chunk = plugin.getChunk();
    if (chunk.size() < kCurrentProgramOffset + 4) return false;
    int32_t version, id, blockId;
    std::memcpy(&version, &chunk[0], 4);
    std::memcpy(&id, &chunk[4], 4);
    std::memcpy(&blockId, &chunk[kBlockStart], 4);
    const int32_t uniqueID = plugin.effect()->uniqueID;
    if (version != kChunkVersion2 || id != uniqueID || blockId != uniqueID || chunk[kKindOffset] != kBankKind)
        return false;
    const int32_t program = index;
    std::memcpy(&chunk[kCurrentProgramOffset], &program, 4);
    if (plugin.setChunk(chunk) == -1) throw Failure("The plug-in refused its own state with program " +
                                                    std::to_string(index) + " made current.");
    return true;
}

}  // namespace

void selectProgram(Plugin& plugin, int index) {
    if (selectProgramThroughChunk(plugin, index)) return;
    if (index < plugin.numPrograms()) {
        plugin.setProgram(index);
        return;
    }
    throw Failure("Program " + std::to_string(index) + " cannot be selected: the plug-in offers " +
                  std::to_string(plugin.numPrograms()) + " programs to a host and no bank in its state.");
}

void applySettings(Plugin& plugin, const std::vector<std::string>& settings) {
    for (const std::string& setting : settings) {
        const size_t eq = setting.find('=');
        if (eq == std::string::npos || eq == 0)
            throw Failure("\"" + setting + "\" is not of the form NAME=VALUE (for example FbGainL=0.6).");
        const std::string name = setting.substr(0, eq);
        const double value = parseNumber(setting.substr(eq + 1), "the value of " + name);
        if (value < 0.0 || value > 1.0)
            throw Failure("The value of " + name + " must be a normalised value from 0 to 1; " +
                          setting.substr(eq + 1) + " is not.");
        int index = plugin.findParameter(name);
        if (index < 0)
            for (int i = 0; i < plugin.numParams() && index < 0; ++i)
                if (lower(trimmed(plugin.paramName(i))) == lower(name)) index = i;
        if (index < 0)
            throw Failure("There is no parameter called \"" + name + "\" (vantel info lists the parameter names).");
        plugin.setParameter(index, static_cast<float>(value));
    }
}

// ---------------------------------------------------------------------------------------
// The demo signal

namespace {

// A small fixed-seed generator, so the demo is the same on every machine.
struct Noise {
    uint32_t state = 0x13579bdfu;
    double next() {  // -1 .. 1
        state = state * 1664525u + 1013904223u;
        return double(state >> 8) / double(1u << 23) - 1.0;
    }
};

void addKick(std::vector<double>& out, size_t at, double fs) {
    double phase = 0.0;
    const size_t n = std::min(out.size() - std::min(out.size(), at), size_t(0.4 * fs));
    for (size_t i = 0; i < n; ++i) {
        const double t = i / fs;
        const double freq = 45.0 + 95.0 * std::exp(-t / 0.04);  // the pitch drop of a drum skin
        phase += 2.0 * M_PI * freq / fs;
        out[at + i] += 0.9 * std::sin(phase) * std::exp(-t / 0.15);
    }
}

void addNoiseHit(std::vector<double>& out, size_t at, double fs, Noise& noise, double decay, double tone,
                 double level) {
    double previous = 0.0;
    const size_t n = std::min(out.size() - std::min(out.size(), at), size_t(6.0 * decay * fs));
    for (size_t i = 0; i < n; ++i) {
        const double t = i / fs;
        const double white = noise.next();
        const double bright = white - previous;  // first difference: a crude high-pass for hats
        previous = white;
        const double body = tone > 0.0 ? 0.5 * std::sin(2.0 * M_PI * tone * t) : 0.0;
        out[at + i] += level * (tone > 0.0 ? 0.6 * white + body : bright) * std::exp(-t / decay);
    }
}

// Karplus-Strong: a noise burst circulating in a delay line of one period, averaged on
// every pass, sounds like a plucked string.
void addPluck(std::vector<double>& left, std::vector<double>& right, size_t at, double fs, double freq,
              double pan, Noise& noise) {
    const size_t period = std::max<size_t>(2, size_t(fs / freq + 0.5));
    std::vector<double> line(period);
    for (double& s : line) s = noise.next();
    const size_t n = std::min(left.size() - std::min(left.size(), at), size_t(1.2 * fs));
    size_t pos = 0;
    for (size_t i = 0; i < n; ++i) {
        const size_t nextPos = pos + 1 == period ? 0 : pos + 1;
        const double s = line[pos];
        line[pos] = 0.996 * 0.5 * (s + line[nextPos]);
        pos = nextPos;
        left[at + i] += 0.35 * s * std::cos(pan * M_PI / 2);
        right[at + i] += 0.35 * s * std::sin(pan * M_PI / 2);
    }
}

}  // namespace

testhost::Channels<float> demoSignal(double fs) {
    // Three bars of 4/4 at 120 BPM: 6 seconds, eighth notes every 0.25 s.
    constexpr double kEighth = 0.25;
    constexpr int kEighths = 24;
    const size_t frames = size_t(kEighths * kEighth * fs);
    std::vector<double> left(frames, 0.0), right(frames, 0.0), drums(frames, 0.0);
    Noise noise;

    for (int e = 0; e < kEighths; ++e) {
        const size_t at = size_t(e * kEighth * fs);
        if (e % 4 == 0) addKick(drums, at, fs);                                // beats 1 and 3
        if (e % 4 == 2) addNoiseHit(drums, at, fs, noise, 0.06, 190.0, 0.5);   // beats 2 and 4
        addNoiseHit(drums, at, fs, noise, 0.015, 0.0, e % 2 ? 0.12 : 0.2);     // hats on eighths
    }
    // A sparse phrase in A minor pentatonic (MIDI note, eighth), leaving room for echoes.
    static const int phrase[][2] = {{57, 0}, {64, 3}, {67, 6},  {69, 8},  {72, 11}, {69, 14},
                                    {67, 16}, {64, 18}, {60, 19}, {62, 21}, {57, 22}};
    int k = 0;
    for (const auto& note : phrase) {
        const double freq = 440.0 * std::pow(2.0, (note[0] - 69) / 12.0);
        addPluck(left, right, size_t(note[1] * kEighth * fs), fs, freq, (k++ % 2) ? 0.7 : 0.3, noise);
    }

    double peak = 0.0;
    for (size_t i = 0; i < frames; ++i) {
        left[i] += drums[i];
        right[i] += drums[i];
        peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
    }
    const double gain = peak > 0.0 ? 0.5 / peak : 1.0;  // peaks at -6 dBFS
    testhost::Channels<float> out(2, std::vector<float>(frames));
    for (size_t i = 0; i < frames; ++i) {
        out[0][i] = float(left[i] * gain);
        out[1][i] = float(right[i] * gain);
    }
    return out;
}

}  // namespace vantel
