// vantel: a small offline host for the plug-in, for people and for us.
#include "Cli.h"
#include "vantel_version.h"

#include "System.h"

#include <cstdio>
#include <cstring>

namespace {

const char kUsage[] =
    "Usage:\n"
    "  vantel info [PLUGIN.so] [--chunk F] [--bank F] [--program N|NAME] [--preset F] [--midi F]\n"
    "              [--set NAME=VALUE]...\n"
    "      Identity, parameters (name, label, value, display text) and program names,\n"
    "      after selecting a program and setting parameters if asked.\n"
    "\n"
    "  vantel render [options] [IN] OUT\n"
    "      Runs IN (WAV, FLAC or AIFF; mono or stereo) through the plug-in and writes OUT in\n"
    "      the input's format, or the container OUT's extension names. Without IN a built-in\n"
    "      demo signal is rendered and OUT is 24-bit (.wav, .flac or .aiff).\n"
    "      --program N|NAME   program by index or name (vantel info lists them)\n"
    "      --set NAME=VALUE   a parameter by name, normalised value 0..1 (repeatable)\n"
    "      --tempo BPM        the host tempo (default 120)\n"
    "      --rate HZ          sample rate of the demo signal (default 44100)\n"
    "      --block N          frames per processing block (default 512)\n"
    "      --tail SECONDS     silence appended so echoes can ring out (default 2)\n"
    "      --key FILE         key (side-chain) input on inputs 3-4\n"
    "      --chunk FILE       a saved state chunk, loaded before program and parameters\n"
    "      --bank FILE.qeb    a bank file (makes program 0 current; --program then chooses)\n"
    "      --preset FILE.qel  a preset file, loaded into the current program\n"
    "      --midi FILE.qem    MIDI controller assignments\n"
    "      --reversed         read the files' fields in the opposite byte order\n"
    "      --double           64-bit processing\n"
    "      --plugin PATH      another plug-in file\n"
    "      --quiet            no progress bar\n"
    "      --settle           half a second of silence, played at a DAW's pace, before\n"
    "                         the input (for plug-ins that finish setting up on threads of\n"
    "                         their own)\n"
    "\n"
    "  vantel bench [PLUGIN.so] [options]\n"
    "      Cost per stereo frame and real-time factor at 44100 and 96000 Hz, blocks 64, 256, 1024.\n"
    "      --program N|NAME   program to measure (repeatable; default Default)\n"
    "      --set NAME=VALUE   as for render\n"
    "      --vs OTHER.so      measure another plug-in alternately in the same process\n"
    "      --vs-program P, --vs-set NAME=VALUE   its program and parameters\n"
    "      --rate HZ, --block N   one sample rate or block size only\n"
    "      --repeats N        repeats per configuration (default 5; the median counts)\n"
    "      --seconds S        audio per repeat (default 1)\n"
    "      --callgrind        instructions per frame, counted by valgrind's callgrind\n"
    "                         (44100 Hz, block 256 unless given; --frames N, default 88200)\n"
    "\n"
    "  vantel convert [--chunk F] [--bank F] [--program P] [--preset F] [--midi F]\n"
    "                 [--set NAME=VALUE]... --to preset|bank|midi|chunk OUT\n"
    "      Writes the state so built as a preset (the current program), a bank, MIDI\n"
    "      settings or a host chunk.\n"
    "\n"
    "  vantel stress [PLUGIN.so] [--seconds S] [--seed N] [--threads LIST] [--hang S]\n"
    "      A hostile host: an audio thread (random block sizes, sample rates, suspend and\n"
    "      resume, MIDI, moving tempo), a parameter thread (automation storms with values out\n"
    "      of range, texts, program changes, controller assignments) and a chunk thread\n"
    "      drive one instance at once, in a child process. Checks: no crash or hang (the\n"
    "      call in flight is named), every output sample written, finite and not subnormal,\n"
    "      texts terminated and short, chunk round trips identical, and a fresh instance\n"
    "      rendering the same samples from the stormed one's state. Exits 1 on any failure.\n"
    "      --seconds S        wall time of the storm (default 10)\n"
    "      --seed N           the random choices (default: a new seed, printed)\n"
    "      --threads LIST     which of audio,parameters,chunks run (default all three)\n"
    "      --hang S           how long one call may take before it counts as a hang\n"
    "                         (default 10; 30 in a sanitizer build)\n"
    "\n"
    "  vantel stress --sweep [PLUGIN.so] [--cases N] [--seed N] [--seconds S] [--tail S]\n"
    "                [--jobs N]\n"
    "      Renders a grid of the settings through which the feedback loop can gain (filter\n"
    "      placement, type, resonance, cutoff and their modulation, feedback gain, pan and\n"
    "      polarity, drive, clock rate and modulation, reverb, input gain, delay time, LFO)\n"
    "      with pink noise, a sine sweep or steps at 44.1 to 192 kHz in both precisions, and\n"
    "      prints each case's peak and how often the plug-in recovered from an overflow and\n"
    "      silenced its output at its ceiling. Exits 1 when any case was not clean.\n"
    "      --cases N          how many points of the grid (default 200)\n"
    "      --seed N           which points they are (default 1; the same seed, the same cases)\n"
    "      --seconds S, --tail S   signal and silence after it per case (default 4 and 2)\n"
    "      --jobs N           cases rendered at once (default: the number of cores)\n"
    "\n"
    "  vantel plot [options] OUT.png\n"
    "      What a program does to sound: its echo pattern (impulse response in dB, the\n"
    "      repeats marked) and the magnitude response of its wet path, side by side for\n"
    "      several programs. The state options are those of render.\n"
    "      --program N|NAME   a program to show (repeatable: one column each)\n"
    "      --tempo BPM, --rate HZ   as for render (default 120, 44100)\n"
    "      --seconds S        the window of the echo pattern (default 4)\n"
    "      --input both|left|right  where the impulse enters (default both)\n"
    "      --size WxH         the picture's size in pixels\n"
    "      --data FILE|-      also write the numbers behind the picture as text\n"
    "\n"
    "  vantel shot [--chunk F] [--bank F] [--program P] [--preset F] [--midi F]\n"
    "              [--set NAME=VALUE]... [--tempo BPM] [--zoom PERCENT] OUT.png\n"
    "      The editor panel as a PNG, drawn without an X server, after selecting a program\n"
    "      and setting parameters as render does. Uses the editor built into vantel.\n"
    "      --zoom 100|125|150|175|200   the editor's zoom (default 100: 942 x 171 pixels)\n"
    "\n"
    "  vantel --version\n"
    "\n"
    "The plug-in is Vantel.so unless named: $VANTEL_PLUGIN, else next to this program,\n"
    "else the one installed with it, else the one this build made.\n";

// This program's own file, to run it again under valgrind.
std::string selfPath() {
    const std::string path = vantel::executablePath();
    return path.empty() ? "vantel" : path;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "help")) {
        std::fputs(kUsage, argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    if (!std::strcmp(argv[1], "--version")) {
        std::printf("vantel %s\n", VANTEL_VERSION);
        return 0;
    }
    const std::string command = argv[1];
    vantel::Args args(std::vector<std::string>(argv + 2, argv + argc));
    try {
        if (command == "info") return vantel::runInfo(std::move(args));
        if (command == "render") return vantel::runRender(std::move(args));
        if (command == "bench") return vantel::runBench(std::move(args), selfPath());
        if (command == "convert") return vantel::runConvert(std::move(args));
        if (command == "stress") return vantel::runStress(std::move(args));
        if (command == "plot") return vantel::runPlot(std::move(args));
        if (command == "shot") return vantel::runShot(std::move(args));
        std::fprintf(stderr,
                     "vantel: there is no command \"%s\"; the commands are info, render, bench, convert, stress, plot "
                     "and shot.\n\n%s",
                     command.c_str(), kUsage);
        return 2;
    } catch (const vantel::Failure& e) {
        std::fprintf(stderr, "vantel: %s\n", e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vantel: %s\n", e.what());
        return 1;
    }
}
