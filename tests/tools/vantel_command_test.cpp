// The `vantel` command, run as a person runs it. Audio paths are checked exactly through
// the probe plug-in (out = gain * (0.5 * main + 0.25 * key)); the real plug-in shows its
// identity, parameters and programs, and its error cases.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "CommandRun.h"

namespace {

void writeSound(const std::string& path, int format, int channels, int rate, const std::vector<double>& interleaved) {
    std::remove(path.c_str());
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = rate;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    sf_writef_double(f, interleaved.data(), sf_count_t(interleaved.size() / size_t(channels)));
    sf_close(f);
}

struct Sound {
    SF_INFO info{};
    std::vector<double> samples;  // interleaved
    double at(sf_count_t frame, int channel) const { return samples[size_t(frame * info.channels + channel)]; }
};

Sound readSound(const std::string& path) {
    Sound s;
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &s.info);
    if (!f) return s;
    s.samples.resize(size_t(s.info.frames * s.info.channels));
    sf_readf_double(f, s.samples.data(), s.info.frames);
    sf_close(f);
    return s;
}

// A 16-bit signal whose halves and quarters are still exact 16-bit values.
double exact16(int i) { return double(((i * 37) % 201) - 100) * 8.0 / 32768.0; }
double exact24(int i, int salt) { return double(((i * 53 + salt) % 4001) - 2000) * 16.0 / 8388608.0; }

}  // namespace

// ---------------------------------------------------------------------------------------
// info

TEST(VantelInfo, ShowsIdentityEveryParameterAndEveryProgramOfOurPlugIn) {
    const CommandResult run = vantel("info");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_NE(run.out.find("Effect name   Vantel\n"), std::string::npos);
    EXPECT_NE(run.out.find("Vendor        Morvane\n"), std::string::npos);
    EXPECT_NE(run.out.find("Product       Vantel - The ultimate delay machine\n"), std::string::npos);
    EXPECT_NE(run.out.find("Unique ID     'Vq41' (0x56713431)\n"), std::string::npos);
    EXPECT_NE(run.out.find("VST version   2400\n"), std::string::npos);
    EXPECT_NE(run.out.find("Inputs        4\nOutputs       2\nParameters    60\nPrograms      1\n"), std::string::npos);
    EXPECT_NE(run.out.find("Flags         0x1031 (HasEditor CanReplacing ProgramChunks CanDoubleReplacing)\n"),
              std::string::npos);

    static const char* const names[60] = {
        "Input",    "Output",   "Mix",      "FbGainL",  "FbGainR",  "FbPanL",  "FbPanR",   "FbInvL",  "FbInvR",
        "LFOWave",  "LFORate",  "LROffset", "ModSrc",   "CutfMod",  "FltType", "Cutoff",   "Reso",    "VcoMan",
        "VcoMod",   "DlyInvL",  "DlyInvR",  "Drive",    "EnvSpeed", "FltMode", "DlyModeL", "DlyModeR", "DlyNumL",
        "DlyNumR",  "DlyDenL",  "DlyDenR",  "RangeL",   "RangeR",   "LfoMode", "LfoNum",   "LfoDen",  "DlyTimeL",
        "DlyTimeR", "RvbMode",  "RvbType",  "RvbDamp",  "RvbAmt",   "Bypass",  "FltOn",    "n/a",     "n/a",
        "VcoOn",    "RvbOn",    "ModSens",  "DlyPanL",  "DlyPanR",  "DlyGateL", "DlyGateR", "Ducking", "ResoMod",
        "PreNumL",  "PreNumR",  "PreDenL",  "PreDenR",  "MuteInL",  "MuteInR"};
    size_t from = run.out.find("\nParameters\n");
    ASSERT_NE(from, std::string::npos);
    for (int i = 0; i < 60; ++i) {
        // Rows in order: right-aligned index, two spaces, the name, then its column's padding.
        const std::regex row("\n +" + std::to_string(i) + "  " + names[i] + " +[^ ]");
        std::smatch m;
        const std::string rest = run.out.substr(from);
        ASSERT_TRUE(std::regex_search(rest, m, row)) << "parameter " << i << " " << names[i];
        from += size_t(m.position(0)) + 1;
    }
    EXPECT_NE(run.out.find("\nPrograms (61)\n   0  Default\n"), std::string::npos);
}

TEST(VantelInfo, ShowsAnyPlugInWithAlignedColumns) {
    const CommandResult run = vantel("info " + quoted(PROBE_PLUGIN));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Unique ID     'Prb1' (0x50726231)\n"), std::string::npos);
    EXPECT_NE(run.out.find("Version       7 (vendor version 0)\n"), std::string::npos);
    EXPECT_NE(run.out.find("Flags         0x1030 (CanReplacing ProgramChunks CanDoubleReplacing)\n"), std::string::npos);
    // Columns line up under their headings, whatever the longest name.
    const std::string header = "  #  Name                                      Label  Value     Display\n";
    const std::string first = "  0  Gain                                      x      0.500000  1.00\n";
    const std::string longest = "  3  A parameter name forty characters long..         0.000000  0.00\n";
    EXPECT_NE(run.out.find(header + first), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(longest), std::string::npos) << run.out;
    // Program names until effGetProgramNameIndexed answers 0, past numPrograms.
    EXPECT_NE(run.out.find("\nPrograms (3)\n  0  Unity\n  1  Quiet\n  2  Unreachable\n"), std::string::npos);
}

TEST(VantelInfo, SelectsAnyOfOurSixtyOneProgramsThroughTheStateChunk) {
    // Only one program is visible to a host; the others are reached through the bank chunk.
    for (const auto& [option, name] : std::vector<std::pair<std::string, std::string>>{
             {"'Ping Pong'", "Ping Pong"}, {"60", "Bass Drone"}, {"'bass drone'", "Bass Drone"}, {"0", "Default"}}) {
        const CommandResult run = vantel("info --program " + option);
        ASSERT_EQ(run.status, 0) << option << ": " << run.err;
        EXPECT_NE(run.out.find("\nProgram       " + name + "\n"), std::string::npos) << option;
    }
    const CommandResult set = vantel("info --set FbGainL=0.6");
    EXPECT_TRUE(std::regex_search(set.out, std::regex("\n +3  FbGainL +dB +0\\.600000 ")));
    const CommandResult probe = vantel("info " + quoted(PROBE_PLUGIN) + " --program Quiet");
    EXPECT_NE(probe.out.find("  0  Gain  "), std::string::npos);
    EXPECT_TRUE(std::regex_search(probe.out, std::regex("\n  0  Gain +x +0\\.125000  0\\.25\n"))) << probe.out;
}

TEST(VantelInfo, FailuresExplainThemselvesAndExitNonZero) {
    const std::string text = temp("text.so");
    std::ofstream(text) << "not a library";
    const struct {
        std::string file, message;
    } cases[] = {
        {"/nonexistent/Vantel.so", "vantel: There is no file at \"/nonexistent/Vantel.so\".\n"},
        {text, "could not be loaded as a shared library"},
        {NOT_A_PLUGIN, "is not a VST 2.4 plug-in: it exports neither VSTPluginMain nor main.\n"},
        {PROBE_NULL_PLUGIN, "declined to create an effect (its entry point returned null).\n"},
        {PROBE_BAD_MAGIC_PLUGIN, "lacks the 'VstP' mark.\n"},
    };
    for (const auto& c : cases) {
        const CommandResult run = vantel("info " + quoted(c.file));
        EXPECT_EQ(run.status, 1) << c.file;
        EXPECT_EQ(run.out, "") << c.file;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    EXPECT_EQ(vantel("frobnicate").status, 2);
}

// ---------------------------------------------------------------------------------------
// render

TEST(VantelRender, DemoSignalHasItsLengthPlusTheTailInTheFormatOfTheExtension) {
    const std::string wav = temp("demo.wav"), flac = temp("demo.flac");
    std::remove(wav.c_str());
    CommandResult run = vantel("render --rate 22050 --tail 0.5 " + quoted(wav));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");  // no progress bar when stderr is not a terminal
    Sound s = readSound(wav);
    EXPECT_EQ(s.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    EXPECT_EQ(s.info.channels, 2);
    EXPECT_EQ(s.info.samplerate, 22050);
    EXPECT_EQ(s.info.frames, 6 * 22050 + 11025);

    run = vantel("render --tail 0 --double --program 'Ping Pong' --set FbGainL=0.6 --tempo 90 " + quoted(flac));
    ASSERT_EQ(run.status, 0) << run.err;
    s = readSound(flac);
    EXPECT_EQ(s.info.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    EXPECT_EQ(s.info.frames, 6 * 44100);

    // The demo is the same on every run: through the probe it comes out at half level.
    const std::string a = temp("demo-a.wav"), b = temp("demo-b.wav");
    ASSERT_EQ(vantel("render --quiet --tail 0 --plugin " + quoted(PROBE_PLUGIN) + " " + quoted(a)).status, 0);
    ASSERT_EQ(vantel("render --quiet --tail 0 --plugin " + quoted(PROBE_PLUGIN) + " " + quoted(b)).status, 0);
    const Sound sa = readSound(a), sb = readSound(b);
    EXPECT_EQ(sa.samples, sb.samples);
    double peak = 0;
    for (double v : sa.samples) peak = std::max(peak, std::fabs(v));
    EXPECT_NEAR(peak, 0.25, 1e-6);  // the demo peaks at -6 dBFS; the probe halves it

    // --settle plays half a second of silence first; none of it is written out.
    const std::string c = temp("demo-c.wav");
    ASSERT_EQ(vantel("render --quiet --settle --tail 0 --plugin " + quoted(PROBE_PLUGIN) + " " + quoted(c)).status, 0);
    EXPECT_EQ(readSound(c).samples, sa.samples);
}

TEST(VantelRender, MonoFileFeedsBothInputsSampleForSampleAndKeepsItsEncoding) {
    const std::string in = temp("mono16.wav"), out = temp("mono16-out.wav");
    std::vector<double> x(1000);
    for (int i = 0; i < 1000; ++i) x[size_t(i)] = exact16(i);
    writeSound(in, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 48000, x);

    // Block 96 does not divide 13000 frames: the last block is short.
    const CommandResult run = vantel("render --plugin " + quoted(PROBE_PLUGIN) + " --block 96 --tail 0.25 " + quoted(in) + " " +
                           quoted(out));
    ASSERT_EQ(run.status, 0) << run.err;
    const Sound s = readSound(out);
    EXPECT_EQ(s.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(s.info.samplerate, 48000);
    ASSERT_EQ(s.info.channels, 2);  // the plug-in's two outputs
    ASSERT_EQ(s.info.frames, 1000 + 12000);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(s.at(i, 0), 0.5 * x[size_t(i)]) << i;
        ASSERT_EQ(s.at(i, 1), 0.5 * x[size_t(i)]) << i;
    }
    for (sf_count_t i = 1000; i < s.info.frames; ++i) ASSERT_EQ(s.at(i, 0), 0.0) << i;
}

TEST(VantelRender, StereoFileWithKeyInputAndParameterByName) {
    const std::string in = temp("stereo24.flac"), key = temp("key.wav"), out = temp("stereo24-out.flac");
    const int frames = 3000;
    std::vector<double> stereo(2 * frames), k(1000);
    for (int i = 0; i < frames; ++i) {
        stereo[size_t(2 * i)] = exact24(i, 1);
        stereo[size_t(2 * i + 1)] = exact24(i, 777);
    }
    for (int i = 0; i < 1000; ++i) k[size_t(i)] = exact24(i, 31);
    writeSound(in, SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 2, 44100, stereo);
    writeSound(key, SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1, 44100, k);

    for (const std::string precision : {"", "--double "}) {
        // Gain 0.25 normalised is a factor 0.5; the key (shorter than the input) adds a quarter.
        const CommandResult run = vantel("render " + precision + "--plugin " + quoted(PROBE_PLUGIN) +
                               " --set Gain=0.25 --tail 0 --key " + quoted(key) + " " + quoted(in) + " " + quoted(out));
        ASSERT_EQ(run.status, 0) << run.err;
        const Sound s = readSound(out);
        EXPECT_EQ(s.info.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
        ASSERT_EQ(s.info.frames, frames);
        for (int i = 0; i < frames; ++i) {
            const double keyed = i < 1000 ? 0.25 * k[size_t(i)] : 0.0;
            ASSERT_DOUBLE_EQ(s.at(i, 0), 0.5 * (0.5 * stereo[size_t(2 * i)] + keyed)) << i;
            ASSERT_DOUBLE_EQ(s.at(i, 1), 0.5 * (0.5 * stereo[size_t(2 * i + 1)] + keyed)) << i;
        }
    }
}

TEST(VantelRender, SamplesThatAreNotNumbersAreWrittenAsSilenceAndCounted) {
    const std::string in = temp("nan-in.wav"), out = temp("nan-out.wav");
    std::vector<double> x(1000);
    for (int i = 0; i < 1000; ++i) x[size_t(i)] = exact16(i);
    writeSound(in, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100, x);
    // The probe makes the first left sample of each block NaN: ten blocks of 100.
    const CommandResult run = vantel("render --plugin " + quoted(PROBE_PLUGIN) + " --set P1=1 --block 100 --tail 0 " +
                                     quoted(in) + " " + quoted(out));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "vantel: the plug-in produced 10 samples that were not finite numbers; they were written as 0.\n");
    const Sound s = readSound(out);
    ASSERT_EQ(s.info.frames, 1000);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(s.at(i, 0), i % 100 == 0 ? 0.0 : 0.5 * x[size_t(i)]) << i;
        ASSERT_EQ(s.at(i, 1), 0.5 * x[size_t(i)]) << i;
    }
}

TEST(VantelRender, ProgramByNameOrIndexAndSavedChunkReachThePlugIn) {
    const std::string in = temp("prog-in.aiff"), out = temp("prog-out.wav");
    std::vector<double> x(500);
    for (int i = 0; i < 500; ++i) x[size_t(i)] = exact16(i);
    writeSound(in, SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 1, 44100, x);
    const std::string chunk = temp("quiet.chunk");
    {
        const float gain = 0.125f;  // the probe's chunk: its gain parameter
        std::ofstream(chunk, std::ios::binary).write(reinterpret_cast<const char*>(&gain), 4);
    }
    const std::string plugin = "--plugin " + quoted(PROBE_PLUGIN) + " --tail 0 ";
    for (const std::string& option : std::vector<std::string>{"--program Quiet", "--program quiet", "--program 1", "--chunk " + quoted(chunk)}) {
        std::remove(out.c_str());
        const CommandResult run = vantel("render " + plugin + option + " " + quoted(in) + " " + quoted(out));
        ASSERT_EQ(run.status, 0) << option << ": " << run.err;
        const Sound s = readSound(out);
        EXPECT_EQ(s.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16) << "container from the name, encoding from the input";
        ASSERT_EQ(s.info.frames, 500);
        for (int i = 0; i < 500; ++i) ASSERT_EQ(s.at(i, 0), 0.125 * x[size_t(i)]) << option << " " << i;
    }

    const std::string badChunk = temp("bad.chunk");
    std::ofstream(badChunk, std::ios::binary) << "abc";
    const struct {
        std::string option, message;
    } failures[] = {
        {"--program Unreachable", "Program 2 cannot be selected"},
        {"--program 3", "There is no program 3: the plug-in has 3 programs, numbered from 0."},
        {"--chunk " + quoted(badChunk), "The plug-in refused the state in"},
        {"--chunk /nonexistent.chunk", "There is no chunk file at \"/nonexistent.chunk\""},
    };
    for (const auto& f : failures) {
        const CommandResult run = vantel("render " + plugin + f.option + " " + quoted(in) + " " + quoted(out));
        EXPECT_EQ(run.status, 1) << f.option;
        EXPECT_NE(run.err.find(f.message), std::string::npos) << run.err;
    }
}

TEST(VantelRender, BadRequestsExitNonZeroWithASentenceAndWriteNothing) {
    const std::string out = temp("never.wav");
    const std::string text = temp("text.wav");
    std::ofstream(text) << "this is not a sound";
    const std::string surround = temp("three.wav");
    writeSound(surround, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 3, 44100, std::vector<double>(300, 0.0));

    const struct {
        std::string args, message;
    } cases[] = {
        {"/nonexistent/in.wav " + quoted(out), "vantel: There is no input file at \"/nonexistent/in.wav\".\n"},
        {"--program Nope " + quoted(out), "vantel: There is no program called \"Nope\" (vantel info lists the program names).\n"},
        {"--set Nope=0.5 " + quoted(out), "vantel: There is no parameter called \"Nope\" (vantel info lists the parameter names).\n"},
        {"--set Mix=1.5 " + quoted(out), "must be a normalised value from 0 to 1"},
        {"--set Mix " + quoted(out), "is not of the form NAME=VALUE"},
        {quoted(text) + " " + quoted(out), "is not a sound file that can be read (WAV, FLAC or AIFF)"},
        {quoted(surround) + " " + quoted(out), "has 3 channels; only mono and stereo files can be rendered.\n"},
        {quoted(temp("never.mp3")), "does not name a supported format"},
        {"--key /nonexistent/key.wav " + quoted(out), "There is no key input file at"},
        {"--block 0 " + quoted(out), "The block size must lie between 1 and"},
        {"--tempo fast " + quoted(out), "\"fast\" is not a number (tempo in BPM).\n"},
        {"--frobnicate " + quoted(out), "Unknown option --frobnicate"},
        {"", "vantel render needs an output file"},
    };
    for (const auto& c : cases) {
        std::remove(out.c_str());
        const CommandResult run = vantel("render " + c.args);
        EXPECT_EQ(run.status, 1) << c.args;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.args << "\n" << run.err;
        EXPECT_FALSE(exists(out)) << c.args;
    }
    // The input is never overwritten by its own output.
    const CommandResult same = vantel("render " + quoted(surround) + " " + quoted(surround));
    EXPECT_EQ(same.status, 1);
}

// ---------------------------------------------------------------------------------------
// bench

TEST(VantelBench, PrintsCostAndRatioPerConfiguration) {
    // The heading names the compile of the processing code each side ran: the one forced on
    // Vantel here, and "-" for a plug-in that does not say.
    setenv("VANTEL_ISA", "sse2", 1);
    const CommandResult run =
        vantel("bench --vs " + quoted(PROBE_PLUGIN) + " --rate 44100 --block 256 --repeats 1 --seconds 0.01");
    unsetenv("VANTEL_ISA");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("), program Default, SSE2 code\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("   vs Probe (" + std::string(PROBE_PLUGIN) + "), - code\n"), std::string::npos) << run.out;
    EXPECT_TRUE(std::regex_search(run.out, std::regex("\n  44100    256 +[0-9.]+ +[0-9]+x \\| +[0-9.]+ +[0-9]+x +[0-9.]+\n")))
        << run.out;
    EXPECT_NE(run.out.find("ratio = cost of Vantel / cost of Probe"), std::string::npos);
}

namespace {

// The line of parameter `index` in `vantel info`'s table (its display text is the last column).
std::string infoLine(const std::string& out, int index) {
    std::istringstream lines(out);
    std::string line;
    const std::regex row("^ *" + std::to_string(index) + " +[A-Za-z/].*");
    while (std::getline(lines, line))
        if (std::regex_match(line, row)) return line;
    return "";
}

TEST(VantelConvert, FilesMadeFromOneStateCarryItIntoAnother) {
    const std::string preset = temp("pingpong.qel"), bank = temp("bank.qeb"), midi = temp("midi.qem");
    ASSERT_EQ(vantel("convert --program 'Ping Pong' --to preset " + quoted(preset)).status, 0);
    ASSERT_EQ(vantel("convert --set Mix=0.25 --to bank " + quoted(bank)).status, 0);
    ASSERT_EQ(vantel("convert --to midi " + quoted(midi)).status, 0);
    std::ifstream p(preset, std::ios::binary | std::ios::ate), b(bank, std::ios::binary | std::ios::ate),
        m(midi, std::ios::binary | std::ios::ate);
    EXPECT_EQ(p.tellg(), 2129);
    EXPECT_EQ(b.tellg(), 127409);
    EXPECT_EQ(m.tellg(), 1961);

    // The preset lands in the current program of a fresh instance: its name and values.
    const auto pingPong = vantel("info --program 'Ping Pong'");
    const auto loaded = vantel("info --preset " + quoted(preset));
    ASSERT_EQ(loaded.status, 0) << loaded.err;
    for (int index : {2, 3, 5, 6, 24, 35})
        EXPECT_EQ(infoLine(loaded.out, index), infoLine(pingPong.out, index)) << index;
    // A bank makes program 0 current, here with the Mix it was saved with.
    const auto fromBank = vantel("info --bank " + quoted(bank));
    ASSERT_EQ(fromBank.status, 0) << fromBank.err;
    EXPECT_NE(infoLine(fromBank.out, 2).find("D:75<>25:W"), std::string::npos) << infoLine(fromBank.out, 2);
}

TEST(VantelConvert, WrongKindsAndMissingFilesAreRefused) {
    const std::string preset = temp("kind.qel");
    ASSERT_EQ(vantel("convert --to preset " + quoted(preset)).status, 0);
    auto wrong = vantel("info --bank " + quoted(preset));  // a preset is no bank
    EXPECT_EQ(wrong.status, 1);
    EXPECT_FALSE(wrong.err.empty());
    auto missing = vantel("render --preset /nonexistent/x.qel " + quoted(temp("never.wav")));
    EXPECT_EQ(missing.status, 1);
    EXPECT_FALSE(exists(temp("never.wav")));
    auto badKind = vantel("convert --to poster " + quoted(temp("x")));
    EXPECT_EQ(badKind.status, 1);
    EXPECT_NE(badKind.err.find("not a kind of file"), std::string::npos);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// stress

// The probe, broken on purpose through $PROBE_FAULT: what it does wrong is reported by
// kind, and the run fails.
TEST(VantelStress, BrokenOutputsAndTextsAreCountedAndFailTheRun) {
    setenv("PROBE_FAULT", "subnormal,unterminated", 1);
    const CommandResult run = vantel("stress " + quoted(PROBE_PLUGIN) + " --seconds 1 --seed 7");
    unsetenv("PROBE_FAULT");
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_TRUE(std::regex_search(run.out, std::regex("\nfailure: subnormal output \\([0-9]+\\); first: process(Double)?Replacing, "
                                                      "[0-9]+ frames at [0-9]+ Hz, [0-9.]+ s in: output 1 frame 0 is ")))
        << run.out;
    EXPECT_NE(run.out.find("\nfailure: unterminated text ("), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("effGetParamDisplay("), std::string::npos) << run.out;
    EXPECT_TRUE(std::regex_search(run.out, std::regex("\nstress: [0-9.]+ s, [0-9.]+ k? ?blocks .*, [1-9][0-9]* failures, seed 7\n$")))
        << run.out;
}

// A crash and a hang of the plug-in end the child process, never the report: the call in
// flight is named.
TEST(VantelStress, CrashAndHangAreCaughtWithTheCallInFlight) {
    for (const char* fault : {"crash", "hang"}) {
        setenv("PROBE_FAULT", fault, 1);
        const CommandResult run = vantel("stress " + quoted(PROBE_PLUGIN) + " --seconds 2 --hang 1 --threads audio");
        unsetenv("PROBE_FAULT");
        EXPECT_EQ(run.status, 1) << fault << "\n" << run.out << run.err;
        EXPECT_TRUE(std::regex_search(run.out, std::regex("\nfailure: " + std::string(fault) +
                                                          " \\(1\\); first: .*audio thread in process(Double)?Replacing\\(")))
            << fault << "\n" << run.out;
    }
}
