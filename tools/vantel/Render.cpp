// vantel render [IN] OUT: runs a sound file (or the demo signal) through the plug-in,
// offline, as a host would, and writes the result.
#include "Cli.h"

#include <sndfile.h>

#include "System.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>

namespace vantel {

namespace {

using testhost::Channels;
using testhost::Plugin;

struct SndFile {
    SNDFILE* file = nullptr;
    SF_INFO info{};
    SndFile() = default;
    SndFile(const SndFile&) = delete;
    SndFile& operator=(const SndFile&) = delete;
    ~SndFile() {
        if (file) sf_close(file);
    }
};

std::string extensionOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

int containerForExtension(const std::string& path) {
    const std::string ext = extensionOf(path);
    if (ext == "wav") return SF_FORMAT_WAV;
    if (ext == "flac") return SF_FORMAT_FLAC;
    if (ext == "aif" || ext == "aiff" || ext == "aifc") return SF_FORMAT_AIFF;
    return 0;
}

bool readableContainer(int format) {
    const int major = format & SF_FORMAT_TYPEMASK;
    return major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_FLAC || major == SF_FORMAT_AIFF;
}

// Opens a mono or stereo WAV, FLAC or AIFF file for reading, or throws Failure.
void openSoundFile(const std::string& path, const std::string& role, SndFile& f) {
    if (!fileExists(path)) throw Failure("There is no " + role + " file at \"" + path + "\".");
    f.file = sf_open(path.c_str(), SFM_READ, &f.info);
    if (!f.file)
        throw Failure("\"" + path + "\" is not a sound file that can be read (WAV, FLAC or AIFF): " +
                      sf_strerror(nullptr) + ".");
    if (!readableContainer(f.info.format))
        throw Failure("\"" + path + "\" is in an unsupported format: WAV, FLAC and AIFF files can be rendered.");
    if (f.info.channels < 1 || f.info.channels > 2)
        throw Failure("\"" + path + "\" has " + std::to_string(f.info.channels) +
                      " channels; only mono and stereo files can be rendered.");
}

// The format of the output: the container its name asks for, else the input's; the
// input's sample encoding where that container can hold it, else 24-bit PCM.
int outputFormat(const std::string& path, const SF_INFO* input, int channels, int rate) {
    int container = containerForExtension(path);
    if (!input) {
        if (!container)
            throw Failure("\"" + path + "\" does not name a supported format: give it the extension .wav, .flac or .aiff.");
        return container | SF_FORMAT_PCM_24;
    }
    const int inputContainer = input->format & SF_FORMAT_TYPEMASK;
    if (!container) container = inputContainer;
    SF_INFO probe{};
    probe.channels = channels;
    probe.samplerate = rate;
    probe.format = container | (input->format & SF_FORMAT_SUBMASK);
    if (container == inputContainer) probe.format |= input->format & SF_FORMAT_ENDMASK;
    if (sf_format_check(&probe)) return probe.format;
    return container | SF_FORMAT_PCM_24;
}

sf_count_t readFrames(SNDFILE* f, double* p, sf_count_t n) { return sf_readf_double(f, p, n); }
sf_count_t writeFrames(SNDFILE* f, const float* p, sf_count_t n) { return sf_writef_float(f, p, n); }
sf_count_t writeFrames(SNDFILE* f, const double* p, sf_count_t n) { return sf_writef_double(f, p, n); }

// Audio coming in, block by block: a file, or the demo signal; silence after its end.
struct Source {
    SndFile* file = nullptr;
    const Channels<float>* demo = nullptr;
    size_t position = 0;
    std::vector<double> scratch;

    int channels() const { return file ? file->info.channels : demo ? int(demo->size()) : 0; }
    sf_count_t frames() const { return file ? file->info.frames : demo ? sf_count_t((*demo)[0].size()) : 0; }

    // Fills left and right with n frames (a mono source feeds both).
    template <typename Sample>
    void read(Sample* left, Sample* right, size_t n) {
        std::fill(left, left + n, Sample(0));
        std::fill(right, right + n, Sample(0));
        if (file) {
            const int c = file->info.channels;
            scratch.assign(n * size_t(c), 0.0);
            const size_t got = size_t(std::max<sf_count_t>(0, readFrames(file->file, scratch.data(), sf_count_t(n))));
            for (size_t i = 0; i < got; ++i) {
                left[i] = Sample(scratch[i * size_t(c)]);
                right[i] = Sample(scratch[i * size_t(c) + size_t(c - 1)]);
            }
        } else if (demo) {
            const size_t total = (*demo)[0].size();
            for (size_t i = 0; i < n && position + i < total; ++i) {
                left[i] = Sample((*demo)[0][position + i]);
                right[i] = Sample((*demo)[1][position + i]);
            }
            position += n;
        }
    }
};

class Progress {
public:
    explicit Progress(bool shown) : shown_(shown) {}
    void update(double fraction) {
        if (!shown_) return;
        const int percent = int(fraction * 100.0);
        if (percent == last_) return;
        last_ = percent;
        constexpr int kWidth = 40;
        const int filled = percent * kWidth / 100;
        std::fprintf(stderr, "\rRendering [%s%s] %3d%%", std::string(size_t(filled), '#').c_str(),
                     std::string(size_t(kWidth - filled), ' ').c_str(), percent);
        std::fflush(stderr);
    }
    void finish() {
        if (shown_ && last_ >= 0) std::fputc('\n', stderr);
    }

private:
    bool shown_;
    int last_ = -1;
};

struct RenderJob {
    Plugin* plugin = nullptr;
    testhost::TestHost* host = nullptr;
    Source main, key;
    bool hasKey = false;
    sf_count_t totalFrames = 0;
    int blockSize = 512;
    SNDFILE* out = nullptr;
    int outChannels = 2;
    size_t nonFinite = 0;
};

// Half a second of silence at the pace a DAW plays it (a block, then a pause as long as
// the block), before the input: for plug-ins that finish their set-up on threads of their
// own once their settings arrive, and until then pass their input through untouched.
template <typename Sample>
void settle(Plugin& plugin, int blockSize, int rate) {
    const size_t block = size_t(blockSize);
    Channels<Sample> inputs(size_t(std::max(plugin.effect()->numInputs, 4)), std::vector<Sample>(block, Sample(0)));
    Channels<Sample> outputs(size_t(std::max(plugin.effect()->numOutputs, 0)), std::vector<Sample>(block));
    const auto blockTime = std::chrono::duration<double>(double(blockSize) / rate);
    for (int done = 0; done < rate / 2; done += blockSize) {
        if constexpr (std::is_same_v<Sample, float>)
            plugin.processReplacing(inputs, outputs, VstInt32(block));
        else
            plugin.processDoubleReplacing(inputs, outputs, VstInt32(block));
        std::this_thread::sleep_for(blockTime);
    }
}

template <typename Sample>
void renderLoop(RenderJob& job, Progress& progress) {
    Plugin& plugin = *job.plugin;
    const int numInputs = std::max(0, plugin.effect()->numInputs);
    const int numOutputs = std::max(0, plugin.effect()->numOutputs);
    const size_t block = size_t(job.blockSize);
    // Every input exists (a host feeds unconnected pins silence); 1-2 main, 3-4 key.
    Channels<Sample> inputs(size_t(std::max(numInputs, 4)), std::vector<Sample>(block));
    Channels<Sample> outputs(size_t(numOutputs), std::vector<Sample>(block, Sample(0)));
    std::vector<Sample> interleaved(block * size_t(job.outChannels));

    for (sf_count_t done = 0; done < job.totalFrames;) {
        const size_t n = size_t(std::min<sf_count_t>(sf_count_t(block), job.totalFrames - done));
        job.main.read(inputs[0].data(), inputs[1].data(), n);
        if (job.hasKey) job.key.read(inputs[2].data(), inputs[3].data(), n);
        if constexpr (std::is_same_v<Sample, float>)
            plugin.processReplacing(inputs, outputs, VstInt32(n));
        else
            plugin.processDoubleReplacing(inputs, outputs, VstInt32(n));
        job.host->advanceTime(VstInt32(n));

        for (size_t i = 0; i < n; ++i)
            for (int c = 0; c < job.outChannels; ++c) {
                Sample s = outputs[size_t(c)][i];
                if (!std::isfinite(s)) {  // a sound file has no room for NaN or infinity
                    s = 0;
                    ++job.nonFinite;
                }
                interleaved[i * size_t(job.outChannels) + size_t(c)] = s;
            }
        if (writeFrames(job.out, interleaved.data(), sf_count_t(n)) != sf_count_t(n))
            throw Failure(std::string("Writing the output failed: ") + sf_strerror(job.out) + ".");
        done += sf_count_t(n);
        progress.update(double(done) / double(job.totalFrames));
    }
}

}  // namespace

int runRender(Args args) {
    std::string pluginPath = defaultPluginPath(), tempoText, rateText, blockText, tailText, keyPath;
    args.value("--plugin", pluginPath);
    // The state options are applied once the plug-in is loaded.
    Args state = takeStateOptions(args);
    args.value("--tempo", tempoText);
    const bool hasRate = args.value("--rate", rateText);
    args.value("--block", blockText);
    args.value("--tail", tailText);
    const bool hasKey = args.value("--key", keyPath);
    const bool useDouble = args.flag("--double");
    const bool quiet = args.flag("--quiet");
    const bool paced = args.flag("--settle");
    const auto files = args.positionals();
    if (files.empty() || files.size() > 2)
        throw Failure("vantel render needs an output file, and optionally an input file before it: "
                      "vantel render [IN] OUT.");
    const std::string inPath = files.size() == 2 ? files[0] : "";
    const std::string outPath = files.back();

    const double tempo = tempoText.empty() ? 120.0 : parseNumber(tempoText, "tempo in BPM");
    if (tempo <= 0.0 || tempo > 1000.0) throw Failure("The tempo must lie above 0 and at most 1000 BPM.");
    const int blockSize = blockText.empty() ? 512 : int(parseInteger(blockText, "block size", 1, 1 << 20));
    const double tail = tailText.empty() ? 2.0 : parseNumber(tailText, "tail in seconds");
    if (tail < 0.0 || tail > 3600.0) throw Failure("The tail must lie between 0 and 3600 seconds.");

    // The input and its sample rate.
    SndFile input;
    Channels<float> demo;
    RenderJob job;
    int rate;
    if (!inPath.empty()) {
        openSoundFile(inPath, "input", input);
        rate = input.info.samplerate;
        if (hasRate) std::fprintf(stderr, "vantel: --rate is for the demo signal; %s plays at its own %d Hz.\n",
                                  inPath.c_str(), rate);
        job.main.file = &input;
        if (sameFile(inPath, outPath))
            throw Failure("The output would overwrite the input \"" + inPath + "\"; choose another output file.");
    } else {
        rate = hasRate ? int(parseInteger(rateText, "sample rate in Hz", 4096, 384000)) : 44100;
        demo = demoSignal(rate);
        job.main.demo = &demo;
    }
    SndFile keyFile;
    if (hasKey) {
        openSoundFile(keyPath, "key input", keyFile);
        if (keyFile.info.samplerate != rate)
            throw Failure("The key input \"" + keyPath + "\" runs at " + std::to_string(keyFile.info.samplerate) +
                          " Hz but the input at " + std::to_string(rate) + " Hz; they must match.");
        job.key.file = &keyFile;
        job.hasKey = true;
    }

    // The host: tempo as given; the main input on pins 1-2, the key (when there is one) on
    // pins 3-4 and those pins unconnected otherwise, as a DAW's stereo track would feed them.
    testhost::TestHost host;
    host.config().time.tempo = tempo;
    host.config().sampleRate = float(rate);
    host.config().blockSize = blockSize;
    host.config().inputPins = hasKey ? std::vector<bool>{true, true, true, true} : std::vector<bool>{true, true};
    host.config().outputPins = {true, true};
    std::unique_ptr<Plugin> plugin;
    try {
        plugin = host.load(pluginPath);
    } catch (const testhost::LoadError& e) {
        throw Failure(e.what());
    }
    const AEffect& effect = *plugin->effect();
    if (useDouble && !(effect.flags & effFlagsCanDoubleReplacing))
        throw Failure("The plug-in does not offer 64-bit processing; leave out --double.");
    if (!useDouble && !(effect.flags & effFlagsCanReplacing))
        throw Failure("The plug-in does not offer 32-bit replacing processing; try --double.");
    if (effect.numOutputs < 1) throw Failure("The plug-in has no audio outputs.");

    // Set-up in the order of a host restoring a session: rate and block size, state,
    // program, parameters, then switch on.
    plugin->open();
    plugin->setSampleRate(float(rate));
    plugin->setBlockSize(blockSize);
    applyStateOptions(*plugin, state);
    plugin->resume();
    if (paced) {
        if (useDouble) settle<double>(*plugin, blockSize, rate);
        else settle<float>(*plugin, blockSize, rate);
    }

    job.plugin = plugin.get();
    job.host = &host;
    job.blockSize = blockSize;
    job.outChannels = std::min(effect.numOutputs, 2);
    job.totalFrames = job.main.frames() + sf_count_t(std::llround(tail * rate));

    SF_INFO outInfo{};
    outInfo.channels = job.outChannels;
    outInfo.samplerate = rate;
    outInfo.format = outputFormat(outPath, inPath.empty() ? nullptr : &input.info, job.outChannels, rate);
    SndFile output;
    output.file = sf_open(outPath.c_str(), SFM_WRITE, &outInfo);
    if (!output.file)
        throw Failure("\"" + outPath + "\" could not be written: " + sf_strerror(nullptr) + ".");
    sf_command(output.file, SFC_SET_CLIPPING, nullptr, SF_TRUE);  // clip, rather than wrap, loud samples
    job.out = output.file;

    Progress progress(!quiet && stderrIsTerminal());
    if (useDouble)
        renderLoop<double>(job, progress);
    else
        renderLoop<float>(job, progress);
    progress.finish();
    if (job.nonFinite)
        std::fprintf(stderr, "vantel: the plug-in produced %zu samples that were not finite numbers; they were written as 0.\n",
                     job.nonFinite);
    return 0;
}

}  // namespace vantel
