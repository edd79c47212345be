// The storm of `vantel stress`, run in the forked child (see Stress.cpp for the watcher).
//
// Three threads drive one instance at once, as the threads of a real host do: an audio
// thread (blocks, suspend/resume, sample rates, MIDI, host time), a parameter thread
// (automation storms, texts, program changes, controller assignments) and a chunk thread
// (effGetChunk/effSetChunk round trips). Every so often the main thread parks all three and
// checks that a chunk round trip changes nothing; after the storm a fresh instance and the
// stormed one must render the same samples from the same state. Each call into the
// plug-in is announced in the shared record first, so the watcher can name it if it never
// returns.
#include "Cli.h"
#include "StressRecord.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>

namespace vantel::stress {

namespace {

using testhost::Plugin;
using testhost::TestHost;

// ---------------------------------------------------------------------------------------
// Small tools

// Each thread draws from its own generator, derived from the seed and the thread, so a
// thread's sequence of actions is the same on every run with that seed (the interleaving
// of the threads is not).
uint64_t splitmix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

class Random {
public:
    explicit Random(uint64_t seed) : state_(splitmix(seed) | 1) {}
    uint64_t next() {  // xorshift64*: cheap enough to make noise with
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1Dull;
    }
    double uniform() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }  // [0, 1)
    int between(int low, int high) { return low + int(next() % uint64_t(int64_t(high) - low + 1)); }
    bool chance(double p) { return uniform() < p; }
    template <typename T, size_t N>
    const T& pick(const T (&items)[N]) { return items[next() % N]; }

private:
    uint64_t state_;
};

// Output buffers are filled with this NaN before every block: a sample still holding it
// was never written. (A quiet NaN, so that no copy on the way changes its bits.)
constexpr uint32_t kFloatMarker = 0x7FE5A5A5u;
constexpr uint64_t kDoubleMarker = 0x7FFCA5A5A5A5A5A5ull;
template <typename T>
T marker() {
    T value;
    if constexpr (std::is_same_v<T, float>)
        std::memcpy(&value, &kFloatMarker, sizeof value);
    else
        std::memcpy(&value, &kDoubleMarker, sizeof value);
    return value;
}
template <typename T>
bool isMarker(T value) {
    return std::memcmp(&value, &static_cast<const T&>(marker<T>()), sizeof value) == 0;
}
template <typename T>
bool sameBits(T a, T b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Text buffers are 256 bytes of this before the plug-in writes into them: a text without a
// terminator runs into it.
constexpr unsigned char kTextMarker = 0xA5;
constexpr size_t kTextBuffer = 256;
// Texts a host shows in a parameter's row (name, label, value) get 14 characters here;
// program names the interface's 24 bytes with their terminator.
constexpr size_t kParameterTextLimit = 14;
constexpr size_t kProgramNameLimit = kVstMaxProgNameLen - 1;

// Samples past the end of a block that must stay untouched.
constexpr int kGuardFrames = 16;

// What the host answers about time and the audio set-up. The audio thread moves it while
// the other threads' calls may ask for it, so it is made of atomics, and each thread reads
// the time through a record of its own.
struct HostState {
    std::atomic<double> tempo{120.0};
    std::atomic<double> ppqPos{0.0};
    std::atomic<double> samplePos{0.0};
    std::atomic<float> sampleRate{44100.0f};
    std::atomic<int> blockSize{1024};
    std::atomic<bool> playing{true};
    std::atomic<bool> timeAvailable{true};
    std::atomic<int> numerator{4}, denominator{4};

    VstTimeInfo* time() {
        if (!timeAvailable.load(std::memory_order_relaxed)) return nullptr;
        thread_local VstTimeInfo info;
        info = VstTimeInfo{};
        info.samplePos = samplePos.load(std::memory_order_relaxed);
        info.sampleRate = sampleRate.load(std::memory_order_relaxed);
        info.tempo = tempo.load(std::memory_order_relaxed);
        info.ppqPos = ppqPos.load(std::memory_order_relaxed);
        const double beatsPerBar = numerator.load(std::memory_order_relaxed) * 4.0 /
                                   denominator.load(std::memory_order_relaxed);
        info.barStartPos = std::floor(info.ppqPos / beatsPerBar) * beatsPerBar;
        info.timeSigNumerator = numerator.load(std::memory_order_relaxed);
        info.timeSigDenominator = denominator.load(std::memory_order_relaxed);
        info.flags = kVstTempoValid | kVstPpqPosValid | kVstBarsValid | kVstTimeSigValid |
                     (playing.load(std::memory_order_relaxed) ? kVstTransportPlaying : 0);
        return &info;
    }
    void advance(int frames, double rate) {
        samplePos.store(samplePos.load(std::memory_order_relaxed) + frames, std::memory_order_relaxed);
        ppqPos.store(ppqPos.load(std::memory_order_relaxed) + frames / rate * tempo.load() / 60.0,
                     std::memory_order_relaxed);
    }
};

// Chunks the plug-in gave, to hand back later as a host switching sessions or undoing does.
class ChunkPool {
public:
    void add(std::vector<uint8_t> chunk, Random& random) {
        if (chunk.empty()) return;
        std::lock_guard<std::mutex> lock(mutex_);
        if (chunks_.size() < kSize)
            chunks_.push_back(std::move(chunk));
        else
            chunks_[random.next() % kSize] = std::move(chunk);
    }
    std::vector<uint8_t> pick(Random& random) {
        std::lock_guard<std::mutex> lock(mutex_);
        return chunks_.empty() ? std::vector<uint8_t>{} : chunks_[random.next() % chunks_.size()];
    }

private:
    static constexpr size_t kSize = 8;
    std::mutex mutex_;
    std::vector<std::vector<uint8_t>> chunks_;
};

// Announces a call in the thread's slot for as long as the call lasts.
class CallScope {
public:
    CallScope(Slot& slot, Call call, int opcode = 0, int index = 0, long long value = 0, float opt = 0.0f,
              int frames = 0)
        : slot_(slot) {
        slot.call.store(int(call), std::memory_order_relaxed);
        slot.opcode.store(opcode, std::memory_order_relaxed);
        slot.index.store(index, std::memory_order_relaxed);
        slot.value.store(value, std::memory_order_relaxed);
        slot.opt.store(opt, std::memory_order_relaxed);
        slot.frames.store(frames, std::memory_order_relaxed);
        slot.startNs.store(monotonicNs(), std::memory_order_relaxed);
        slot.inCall.store(1, std::memory_order_release);
    }
    ~CallScope() {
        slot_.inCall.store(0, std::memory_order_release);
        slot_.calls.fetch_add(1, std::memory_order_relaxed);
    }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

private:
    Slot& slot_;
};

// One block's channels, allocated to the exact length (plus the guard on outputs) so that
// AddressSanitizer sees a read or write past them.
template <typename T>
struct BlockBuffers {
    std::vector<std::unique_ptr<T[]>> in, out;
    std::vector<T*> inPointers, outPointers;
    int frames = 0;

    BlockBuffers(int inputs, int outputs, int n) : frames(n) {
        for (int c = 0; c < inputs; ++c) {
            in.emplace_back(new T[size_t(std::max(n, 1))]());
            inPointers.push_back(in.back().get());
        }
        for (int c = 0; c < outputs; ++c) {
            out.emplace_back(new T[size_t(n + kGuardFrames)]);
            std::fill_n(out.back().get(), n + kGuardFrames, marker<T>());
            outPointers.push_back(out.back().get());
        }
    }
};

// What the signal on the inputs is during a burst.
enum class Signal { Silence, Noise, Sine, Impulses, Loud, Tiny, Dc, KeyOnly, Count };

template <typename T>
void fillInputs(BlockBuffers<T>& b, Signal signal, Random& random, double& phase, double step) {
    const int n = b.frames;
    for (size_t c = 0; c < b.in.size(); ++c) {
        T* x = b.in[c].get();
        const bool key = c >= 2;
        for (int i = 0; i < n; ++i) {
            double v = 0.0;
            switch (signal) {
            case Signal::Silence: break;
            case Signal::Noise: v = key ? 0.0 : 0.25 * (random.uniform() * 2.0 - 1.0); break;
            case Signal::Sine: v = key ? 0.0 : 0.5 * std::sin(phase + double(i) * step + double(c)); break;
            case Signal::Impulses: v = !key && random.chance(0.002) ? 1.0 : 0.0; break;
            case Signal::Loud: v = 4.0 * (random.uniform() * 2.0 - 1.0); break;  // hosts send more than 0 dBFS
            case Signal::Tiny:  // numbers below the normal range of the sample type
                v = (random.uniform() * 2.0 - 1.0) * double(std::numeric_limits<T>::min());
                break;
            case Signal::Dc: v = key ? 0.0 : 0.5; break;
            case Signal::KeyOnly: v = key ? 0.5 * (random.uniform() * 2.0 - 1.0) : 0.0; break;
            default: break;
            }
            x[i] = T(v);
        }
    }
    phase = std::fmod(phase + n * step, 2.0 * M_PI);
}

// ---------------------------------------------------------------------------------------
// The run

struct Storm {
    const Options& options;
    Record& record;
    TestHost& host;
    HostState& state;
    Plugin* plugin = nullptr;
    int numInputs = 0, numOutputs = 0, numParams = 0, numPrograms = 0;
    bool canDouble = false, hasChunks = false;

    ChunkPool pool;
    // Controllers lately assigned by the parameter thread, which the audio thread then moves.
    std::atomic<int> assignedControllers[8] = {};

    std::mutex mutex;
    std::condition_variable wake;
    std::atomic<bool> stopping{false};
    std::atomic<bool> pausing{false};
    int parked = 0;

    Storm(const Options& o, Record& r, TestHost& h, HostState& s) : options(o), record(r), host(h), state(s) {}

    Slot& slot(Thread t) { return record.slots[int(t)]; }
    double secondsIn() const { return double(monotonicNs() - record.startNs.load()) / 1e9; }

    // A worker waits here while the main thread checks something in quiet.
    void checkpoint() {
        if (!pausing.load()) return;
        std::unique_lock<std::mutex> lock(mutex);
        ++parked;
        wake.notify_all();
        wake.wait(lock, [&] { return !pausing.load() || stopping.load(); });
        --parked;
    }
    // Sleeps, but wakes for a pause or the end.
    void sleepFor(double milliseconds) {
        std::unique_lock<std::mutex> lock(mutex);
        wake.wait_for(lock, std::chrono::duration<double, std::milli>(milliseconds),
                      [&] { return pausing.load() || stopping.load(); });
    }
    void pauseWorkers(int workers) {
        std::unique_lock<std::mutex> lock(mutex);
        pausing = true;
        wake.notify_all();
        wake.wait(lock, [&] { return parked == workers; });
    }
    void resumeWorkers() {
        std::lock_guard<std::mutex> lock(mutex);
        pausing = false;
        wake.notify_all();
    }
    void stopWorkers() {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
        pausing = false;
        wake.notify_all();
    }

    // ---- calls into the plug-in, each announced in the calling thread's slot ----

    VstIntPtr dispatch(Thread t, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f) {
        CallScope scope(slot(t), Call::Dispatch, opcode, index, value, opt);
        return plugin->dispatch(opcode, index, value, ptr, opt);
    }
    VstIntPtr dispatchTo(Plugin& p, Thread t, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                         void* ptr = nullptr, float opt = 0.0f) {
        CallScope scope(slot(t), Call::Dispatch, opcode, index, value, opt);
        return p.dispatch(opcode, index, value, ptr, opt);
    }
    void setParameter(Plugin& p, Thread t, VstInt32 index, float value) {
        CallScope scope(slot(t), Call::SetParameter, 0, index, 0, value);
        p.setParameter(index, value);
    }
    float getParameter(Thread t, VstInt32 index) {
        CallScope scope(slot(t), Call::GetParameter, 0, index);
        return plugin->getParameter(index);
    }
    std::vector<uint8_t> getChunk(Plugin& p, Thread t, bool programOnly) {
        CallScope scope(slot(t), Call::Dispatch, effGetChunk, programOnly ? 1 : 0);
        return p.getChunk(programOnly);
    }
    VstIntPtr setChunk(Plugin& p, Thread t, const std::vector<uint8_t>& chunk, bool programOnly) {
        CallScope scope(slot(t), Call::Dispatch, effSetChunk, programOnly ? 1 : 0, VstIntPtr(chunk.size()));
        return p.setChunk(chunk, programOnly);
    }

    // One block through `p`, timed and checked; answers the cost in nanoseconds.
    template <typename T>
    long long process(Plugin& p, Thread t, BlockBuffers<T>& b, float rate, int blockSize) {
        constexpr bool isFloat = std::is_same_v<T, float>;
        Slot& s = slot(t);
        s.sampleRate.store(rate, std::memory_order_relaxed);
        s.blockSize.store(blockSize, std::memory_order_relaxed);
        AEffect* e = p.effect();
        long long cost;
        {
            CallScope scope(s, isFloat ? Call::ProcessReplacing : Call::ProcessDoubleReplacing, 0, 0, 0, 0.0f,
                            b.frames);
            const auto start = std::chrono::steady_clock::now();
            if constexpr (isFloat)
                e->processReplacing(e, b.inPointers.data(), b.outPointers.data(), b.frames);
            else
                e->processDoubleReplacing(e, b.inPointers.data(), b.outPointers.data(), b.frames);
            cost = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start)
                       .count();
        }
        record.blocks.fetch_add(1, std::memory_order_relaxed);
        record.audioSeconds.store(record.audioSeconds.load(std::memory_order_relaxed) + b.frames / double(rate),
                                  std::memory_order_relaxed);
        record.addCost(cost);
        checkOutputs(b, rate);
        return cost;
    }

    // Every sample written, finite, and normal or exactly 0; nothing past the block.
    template <typename T>
    void checkOutputs(const BlockBuffers<T>& b, float rate) {
        const char* call = std::is_same_v<T, float> ? "processReplacing" : "processDoubleReplacing";
        bool unwritten = false, nonFinite = false, subnormal = false, past = false;
        for (size_t c = 0; c < b.out.size(); ++c) {
            const T* y = b.out[c].get();
            for (int i = 0; i < b.frames; ++i) {
                const T v = y[i];
                if (isMarker(v)) {
                    if (!unwritten)
                        record.fail(Fault::Unwritten, "%s, %d frames at %.0f Hz, %.1f s in: output %zu frame %d was not written",
                                    call, b.frames, double(rate), secondsIn(), c, i);
                    unwritten = true;
                    continue;
                }
                const int kind = std::fpclassify(v);
                if ((kind == FP_NAN || kind == FP_INFINITE) && !nonFinite) {
                    record.fail(Fault::NonFinite, "%s, %d frames at %.0f Hz, %.1f s in: output %zu frame %d is %g", call,
                                b.frames, double(rate), secondsIn(), c, i, double(v));
                    nonFinite = true;
                } else if (kind == FP_SUBNORMAL && !subnormal) {
                    record.fail(Fault::Subnormal, "%s, %d frames at %.0f Hz, %.1f s in: output %zu frame %d is %g", call,
                                b.frames, double(rate), secondsIn(), c, i, double(v));
                    subnormal = true;
                }
            }
            for (int i = b.frames; i < b.frames + kGuardFrames && !past; ++i)
                if (!isMarker(y[i])) {
                    record.fail(Fault::PastBlockEnd, "%s, %d frames at %.0f Hz, %.1f s in: output %zu written at frame %d",
                                call, b.frames, double(rate), secondsIn(), c, i);
                    past = true;
                }
        }
    }

    // A text through a 256-byte buffer full of the marker: it must end within `limit`
    // characters. With `whenAnswered`, an answer of 0 means "no text" and is not checked.
    void checkText(Thread t, VstInt32 opcode, VstInt32 index, size_t limit, bool whenAnswered = false) {
        char text[kTextBuffer];
        std::memset(text, kTextMarker, sizeof text);
        if (dispatch(t, opcode, index, 0, text) == 0 && whenAnswered) return;
        const size_t length = strnlen(text, sizeof text);
        if (length == sizeof text) {
            record.fail(Fault::TextUnterminated, "%s(%d) wrote no terminator into a %zu-byte buffer; it begins \"%s\"",
                        opcodeName(opcode).c_str(), index, kTextBuffer, printable(text, 24).c_str());
        } else if (length > limit) {
            record.fail(Fault::TextTooLong, "%s(%d) answered \"%s\", %zu characters (at most %zu)",
                        opcodeName(opcode).c_str(), index, printable(text, length).c_str(), length, limit);
        }
    }
    static std::string printable(const char* text, size_t n) {
        std::string out;
        for (size_t i = 0; i < n; ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            if (c >= 32 && c < 127 && c != '"' && c != '\\') {
                out += char(c);
            } else {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
                out += escaped;
            }
        }
        return out;
    }

    // ---- the audio thread ----

    void audioThread() {
        const Thread t = Thread::Audio;
        Random random(options.seed ^ 0xA0D10);
        static const float kRates[] = {22050, 32000, 44100, 48000, 88200, 96000, 176400, 192000};
        static const int kMaxBlocks[] = {32, 64, 128, 256, 441, 512, 1024, 2048, 4096};
        double phase = 0.0;
        bool first = true;
        while (!stopping.load()) {
            checkpoint();
            if (stopping.load()) break;
            // Between bursts: a new set-up as a host makes it, switched off around the change.
            const float rate = random.chance(0.7) ? random.pick(kRates) : float(random.between(22050, 192000));
            const int maxBlock = random.chance(0.8) ? random.pick(kMaxBlocks) : random.between(1, 4096);
            state.sampleRate = rate;
            state.blockSize = maxBlock;
            if (first || random.chance(0.9)) {
                dispatch(t, effMainsChanged, 0, 0);
                dispatch(t, effSetSampleRate, 0, 0, nullptr, rate);
                dispatch(t, effSetBlockSize, 0, maxBlock);
            }
            dispatch(t, effMainsChanged, 0, 1);
            if (random.chance(0.2)) dispatch(t, effMainsChanged, 0, 1);  // Ardour resumes twice
            first = false;

            // A host without a transport, a stopped one, a new time signature, a jump.
            state.timeAvailable = random.chance(0.9);
            state.playing = random.chance(0.8);
            if (random.chance(0.1)) {
                static const int kSignatures[][2] = {{4, 4}, {3, 4}, {6, 8}, {7, 8}, {5, 4}, {12, 16}};
                const auto& sig = random.pick(kSignatures);
                state.numerator = sig[0];
                state.denominator = sig[1];
            }
            if (random.chance(0.2)) state.ppqPos = random.uniform() * 1000.0;

            const auto signal = Signal(random.between(0, int(Signal::Count) - 1));
            const double step = 2.0 * M_PI * (20.0 + random.uniform() * 8000.0) / rate;
            bool useDouble = canDouble && random.chance(0.5);
            const int blocks = random.between(1, 300);
            for (int k = 0; k < blocks && !stopping.load(); ++k) {
                checkpoint();
                if (stopping.load()) break;
                if (canDouble && random.chance(0.02)) useDouble = !useDouble;
                const int frames = random.chance(0.6) ? maxBlock : random.between(1, maxBlock);
                if (random.chance(0.3)) sendMidi(random, frames);
                moveTempo(random);
                if (useDouble) {
                    BlockBuffers<double> b(numInputs, numOutputs, frames);
                    fillInputs(b, signal, random, phase, step);
                    process(*plugin, t, b, rate, maxBlock);
                } else {
                    BlockBuffers<float> b(numInputs, numOutputs, frames);
                    fillInputs(b, signal, random, phase, step);
                    process(*plugin, t, b, rate, maxBlock);
                }
                if (state.playing.load()) state.advance(frames, rate);
            }
        }
    }

    void moveTempo(Random& random) {
        double tempo = state.tempo.load();
        if (random.chance(0.01))
            tempo = 30.0 + random.uniform() * 270.0;
        else
            tempo *= 1.0 + 0.02 * (random.uniform() - 0.5);  // a slow drift, as a tempo ramp
        state.tempo = std::min(300.0, std::max(20.0, tempo));
    }

    // Controllers, mostly, and the lately assigned ones often; now and then other messages
    // and bytes no MIDI port would send.
    void sendMidi(Random& random, int frames) {
        std::vector<testhost::MidiMessage> messages(size_t(random.between(1, 8)));
        for (auto& m : messages) {
            m.deltaFrames = random.chance(0.95) ? random.between(0, frames - 1) : random.between(-8, frames + 64);
            const int channel = random.between(0, 15);
            const double kind = random.uniform();
            if (kind < 0.8) {
                m.status = uint8_t(0xB0 | channel);
                m.data1 = uint8_t(random.chance(0.5) ? assignedControllers[random.next() % 8].load()
                                                     : random.between(0, 127));
                m.data2 = uint8_t(random.between(0, 127));
            } else if (kind < 0.95) {
                static const uint8_t kOthers[] = {0x80, 0x90, 0xA0, 0xC0, 0xD0, 0xE0};
                m.status = uint8_t(random.pick(kOthers) | channel);
                m.data1 = uint8_t(random.between(0, 127));
                m.data2 = uint8_t(random.between(0, 127));
            } else {
                m.status = uint8_t(random.between(0, 255));
                m.data1 = uint8_t(random.between(0, 255));
                m.data2 = uint8_t(random.between(0, 255));
            }
        }
        CallScope scope(slot(Thread::Audio), Call::Dispatch, effProcessEvents, 0, VstIntPtr(messages.size()));
        plugin->processEvents(messages);
    }

    // ---- the parameter thread ----

    float pickValue(Random& random) {
        const double u = random.uniform();
        if (u < 0.88) return float(random.uniform());
        if (u < 0.94) return random.chance(0.5) ? 0.0f : 1.0f;
        static const float kHostile[] = {std::numeric_limits<float>::quiet_NaN(),
                                         std::numeric_limits<float>::infinity(),
                                         -std::numeric_limits<float>::infinity(),
                                         -0.5f,
                                         1.5f,
                                         1e30f,
                                         -1e30f,
                                         std::numeric_limits<float>::denorm_min(),
                                         -0.0f,
                                         std::numeric_limits<float>::max(),
                                         1.0000001f};
        return random.pick(kHostile);
    }
    VstInt32 pickIndex(Random& random) {
        if (random.chance(0.95)) return random.between(0, numParams - 1);
        static const VstInt32 kHostile[] = {-1, INT_MIN, INT_MAX, 1000};
        if (random.chance(0.5)) return random.pick(kHostile);
        return random.between(numParams, 2 * numParams + 1);
    }

    void parameterThread() {
        const Thread t = Thread::Parameters;
        Random random(options.seed ^ 0x9A4A3);
        while (!stopping.load()) {
            checkpoint();
            if (stopping.load()) break;
            const double action = random.uniform();
            if (action < 0.35) {
                // An automation storm.
                const int n = random.between(10, 2000);
                for (int i = 0; i < n; ++i) setParameter(*plugin, t, pickIndex(random), pickValue(random));
                record.parameterChanges.fetch_add(unsigned(n), std::memory_order_relaxed);
            } else if (action < 0.45) {
                // A few controls thrown to their ends and left there for a while, so that
                // glides reach their targets (Output to 0, say) with audio running.
                const int n = random.between(1, 20);
                for (int i = 0; i < n; ++i)
                    setParameter(*plugin, t, random.between(0, numParams - 1), random.chance(0.5) ? 0.0f : 1.0f);
                record.parameterChanges.fetch_add(unsigned(n), std::memory_order_relaxed);
                sleepFor(20 + random.uniform() * 400);
            } else if (action < 0.6) {
                // What a host's generic editor reads.
                for (int n = random.between(1, 20); n > 0; --n) {
                    const VstInt32 index = random.between(0, numParams - 1);
                    getParameter(t, index);
                    checkText(t, effGetParamDisplay, index, kParameterTextLimit);
                    checkText(t, effGetParamName, index, kParameterTextLimit);
                    checkText(t, effGetParamLabel, index, kParameterTextLimit);
                }
                getParameter(t, pickIndex(random));
            } else if (action < 0.7) {
                changeProgram(random);
            } else if (action < 0.8) {
                assignController(random);
            } else if (action < 0.85) {
                // A host saving its session while the chunk thread does too.
                if (hasChunks) pool.add(getChunk(*plugin, t, false), random);
            } else {
                sleepFor(1 + random.uniform() * 100);
            }
            if (random.chance(0.3)) sleepFor(random.uniform() * 5);
        }
    }

    // The plug-in shows a host one program and keeps its bank in its chunk: a program change
    // is a chunk handed back, then a name given to the current program.
    void changeProgram(Random& random) {
        const Thread t = Thread::Parameters;
        if (hasChunks) {
            const std::vector<uint8_t> chunk = pool.pick(random);
            if (!chunk.empty() && setChunk(*plugin, t, chunk, false) == -1)
                record.fail(Fault::ChunkRefused, "effSetChunk refused a chunk of %zu bytes that the plug-in gave earlier",
                            chunk.size());
        }
        if (random.chance(0.2)) {
            dispatch(t, effSetProgram, 0, random.chance(0.8) ? random.between(0, std::max(0, numPrograms - 1)) : -1);
            dispatch(t, effGetProgram);
        }
        char name[kTextBuffer] = {};
        const int length = random.chance(0.7) ? random.between(0, 23) : random.between(24, 60);
        for (int i = 0; i < length; ++i)
            name[i] = random.chance(0.95) ? char(random.between(32, 126)) : char(random.between(128, 255));
        dispatch(t, effSetProgramName, 0, 0, name);
        checkText(t, effGetProgramName, 0, kProgramNameLimit);
        // Our plug-in names its whole bank, past the one program a host sees.
        checkText(t, effGetProgramNameIndexed, random.between(0, 63), kProgramNameLimit, true);
    }

    // Learning as a host can do it without the editor: our plug-in keeps a controller
    // assignment per parameter in the indices past its parameters (controller c as the
    // value (c + 0.5) / 129, none as 128.5 / 129). The audio thread then moves the
    // controller. For another plug-in these are only indices out of range.
    void assignController(Random& random) {
        const Thread t = Thread::Parameters;
        const VstInt32 parameter = random.between(0, numParams - 1);
        const int controller = random.between(0, 127);
        setParameter(*plugin, t, numParams + parameter, (float(controller) + 0.5f) / 129.0f);
        assignedControllers[random.next() % 8] = controller;
        getParameter(t, numParams + parameter);
        if (random.chance(0.3))  // and forget one again
            setParameter(*plugin, t, numParams + random.between(0, numParams - 1), 128.5f / 129.0f);
        record.parameterChanges.fetch_add(1, std::memory_order_relaxed);
    }

    // ---- the chunk thread ----

    void chunkThread() {
        const Thread t = Thread::Chunks;
        Random random(options.seed ^ 0xC4C4C);
        while (!stopping.load()) {
            checkpoint();
            if (stopping.load()) break;
            const bool programOnly = random.chance(0.2);
            std::vector<uint8_t> chunk = getChunk(*plugin, t, programOnly);
            if (chunk.empty()) {
                if (hasChunks)
                    record.fail(Fault::ChunkRefused, "effGetChunk(%d) gave no data", programOnly ? 1 : 0);
                sleepFor(5);
                continue;
            }
            if (setChunk(*plugin, t, chunk, programOnly) == -1)
                record.fail(Fault::ChunkRefused, "effSetChunk(%d) refused the %zu bytes effGetChunk had just given",
                            programOnly ? 1 : 0, chunk.size());
            record.chunkRoundTrips.fetch_add(1, std::memory_order_relaxed);
            if (random.chance(0.05)) {
                // A damaged chunk (a session file cut short or with bytes gone wrong): the
                // answer is the plug-in's to choose, only it must survive.
                std::vector<uint8_t> damaged = chunk;
                if (random.chance(0.5))
                    damaged.resize(size_t(random.between(1, int(damaged.size()))));
                else
                    for (int n = random.between(1, 8); n > 0; --n)
                        damaged[random.next() % damaged.size()] = uint8_t(random.next());
                setChunk(*plugin, t, damaged, programOnly);
            }
            if (!programOnly && random.chance(0.1)) pool.add(std::move(chunk), random);
            if (random.chance(0.5)) sleepFor(random.uniform() * 3);
        }
    }

    // ---- the main thread's checks ----

    // With nothing else going on, a chunk handed back changes nothing: the next one has
    // the same bytes.
    void roundTripInQuiet(bool programOnly) {
        const Thread t = Thread::Main;
        const std::vector<uint8_t> before = getChunk(*plugin, t, programOnly);
        if (before.empty()) return;
        setChunk(*plugin, t, before, programOnly);
        const std::vector<uint8_t> after = getChunk(*plugin, t, programOnly);
        record.chunkRoundTrips.fetch_add(1, std::memory_order_relaxed);
        if (after == before) return;
        size_t at = 0;
        while (at < before.size() && at < after.size() && before[at] == after[at]) ++at;
        record.fail(Fault::ChunkRoundTrip,
                    "%.1f s in: effGetChunk(%d), effSetChunk of it, effGetChunk again: %zu bytes became %zu, first "
                    "difference at byte %zu (0x%02x, then 0x%02x)",
                    secondsIn(), programOnly ? 1 : 0, before.size(), after.size(), at,
                    at < before.size() ? before[at] : 0, at < after.size() ? after[at] : 0);
    }

    // After the storm: the stormed instance and a fresh one given its state must sound
    // the same. "The same" means identical bits in every output sample: both instances
    // run the same code on the same state and input, block for block in one thread, so
    // nothing but a difference of state can make a difference of sound, and no tolerance
    // is wanted. Round 0 loads the stormed instance's own chunk into both, as a host reopens
    // a session (chunk, then resume). The later rounds reach more
    // states: both get the same earlier chunk and the same parameter values while
    // suspended (as Ardour restores a session), then the stormed one alone plays a second
    // of noise and is suspended again before both resume, so whatever a resume fails to
    // forget, or a value set while suspended that a resume does not reach, shows.
    void compareWithFreshInstance() {
        const Thread t = Thread::Main;
        Random random(options.seed ^ 0xF4E54);
        static const float kRates[] = {44100, 48000, 96000};
        // (At most 96 kHz: the storm has had the high rates, and this part's cost under a
        // sanitizer is rounds times seconds of audio.)
        const float rate = random.chance(0.8) ? random.pick(kRates) : float(random.between(22050, 96000));
        static const int kBlocks[] = {64, 256, 512, 1000};
        const int block = random.pick(kBlocks);
        state.sampleRate = rate;
        state.blockSize = block;
        state.tempo = 90.0 + random.uniform() * 60.0;
        state.ppqPos = 0.0;
        state.samplePos = 0.0;
        state.playing = true;
        state.timeAvailable = true;

        std::unique_ptr<Plugin> fresh;
        {
            CallScope scope(slot(t), Call::Load);
            fresh = host.load(options.plugin);
        }
        dispatchTo(*fresh, t, effOpen);
        const std::vector<uint8_t> stormedState = hasChunks ? getChunk(*plugin, t, false) : std::vector<uint8_t>{};

        constexpr int kRounds = 16;
        for (int round = 0; round < kRounds; ++round) {
            for (Plugin* p : {plugin, fresh.get()}) {
                dispatchTo(*p, t, effMainsChanged, 0, 0);
                dispatchTo(*p, t, effSetSampleRate, 0, 0, nullptr, rate);
                dispatchTo(*p, t, effSetBlockSize, 0, block);
            }
            std::string how;
            if (round == 0) {
                // Both from the stormed one's chunk, as a host reopens a session. (Its live
                // state as it stands may hold values outside 0..1 that the storm sent and
                // that are heard as sent, while a chunk keeps programs within 0..1.)
                how = "the stormed state saved and loaded into both";
                if (!stormedState.empty()) {
                    for (Plugin* p : {plugin, fresh.get()}) setChunk(*p, t, stormedState, false);
                } else {
                    for (int i = 0; i < numParams; ++i) setParameter(*fresh, t, i, getParameter(t, i));
                }
            } else {
                how = "a chunk from the storm and the same values set on both while suspended, then 1 s played by "
                      "the stormed one alone";
                const std::vector<uint8_t> chunk = pool.pick(random);
                for (Plugin* p : {plugin, fresh.get()})
                    if (!chunk.empty()) setChunk(*p, t, chunk, false);
                for (int i = 0; i < numParams; ++i) {
                    if (random.chance(0.5)) continue;
                    const float value = float(random.uniform());
                    setParameter(*plugin, t, i, value);
                    setParameter(*fresh, t, i, value);
                }
                dispatchTo(*plugin, t, effMainsChanged, 0, 1);
                double phase = 0.0;
                for (int k = std::max(1, int(1.0 * rate / block)); k > 0; --k) {
                    BlockBuffers<float> b(numInputs, numOutputs, block);
                    fillInputs(b, Signal::Noise, random, phase, 0.0);
                    process(*plugin, t, b, rate, block);
                }
                dispatchTo(*plugin, t, effMainsChanged, 0, 0);
            }
            for (Plugin* p : {plugin, fresh.get()}) dispatchTo(*p, t, effMainsChanged, 0, 1);
            renderAlike(*fresh, random, rate, block, round, how);
        }
        CallScope scope(slot(t), Call::Unload);
        fresh.reset();
    }

    // Both instances, block for block, the same input, until the first difference (which
    // is recorded).
    void renderAlike(Plugin& fresh, Random& random, float rate, int block, int round, const std::string& how) {
        const int blocks = std::max(1, int(1.0 * rate / block));  // one second of audio
        const auto signal = Signal(random.between(int(Signal::Noise), int(Signal::Impulses)));
        const double step = 2.0 * M_PI * 440.0 / rate;
        double phase = 0.0;
        for (int k = 0; k < blocks; ++k) {
            // The second half in 64 bits where the plug-in has them.
            const bool useDouble = canDouble && k >= blocks / 2;
            const std::string mismatch = useDouble ? renderBlock<double>(fresh, random, signal, phase, step, rate, block)
                                                   : renderBlock<float>(fresh, random, signal, phase, step, rate, block);
            state.advance(block, rate);
            if (!mismatch.empty()) {
                record.fail(Fault::RenderMismatch, "round %d (%s), %.0f Hz, blocks of %d, %s: block %d, %s%s", round,
                            how.c_str(), double(rate), block, useDouble ? "64-bit" : "32-bit", k, mismatch.c_str(),
                            parametersThatDiffer(fresh).c_str());
                return;
            }
        }
    }

    // Where to look first: the parameters the two instances report differently.
    std::string parametersThatDiffer(Plugin& fresh) {
        std::string text;
        int shown = 0;
        for (int i = 0; i < numParams; ++i) {
            const float a = getParameter(Thread::Main, i);
            float b;
            {
                CallScope scope(slot(Thread::Main), Call::GetParameter, 0, i);
                b = fresh.getParameter(i);
            }
            // The display texts show the quantities the values were mapped to.
            const std::string da = plugin->paramDisplay(i), db = fresh.paramDisplay(i);
            if (sameBits(a, b) && da == db) continue;
            if (shown++ == 4) {
                text += ", ...";
                break;
            }
            char item[160];
            std::snprintf(item, sizeof item, "%s%d (stormed %g \"%s\", fresh %g \"%s\")", text.empty() ? "" : ", ", i,
                          double(a), da.c_str(), double(b), db.c_str());
            text += item;
        }
        return text.empty() ? "; every parameter reads the same on both" : "; parameters that read differently: " + text;
    }

    template <typename T>
    std::string renderBlock(Plugin& fresh, Random& random, Signal signal, double& phase, double step, float rate,
                            int block) {
        BlockBuffers<T> a(numInputs, numOutputs, block), b(numInputs, numOutputs, block);
        fillInputs(a, signal, random, phase, step);
        for (size_t c = 0; c < a.in.size(); ++c) std::copy_n(a.in[c].get(), block, b.in[c].get());
        process(*plugin, Thread::Main, a, rate, block);
        process(fresh, Thread::Main, b, rate, block);
        for (size_t c = 0; c < a.out.size(); ++c)
            for (int i = 0; i < block; ++i)
                if (!sameBits(a.out[c][size_t(i)], b.out[c][size_t(i)])) {
                    char text[160];
                    std::snprintf(text, sizeof text, "output %zu frame %d: stormed %.9g, fresh %.9g", c, i,
                                  double(a.out[c][size_t(i)]), double(b.out[c][size_t(i)]));
                    return text;
                }
        return "";
    }
};

}  // namespace

int runStorm(const Options& options, Record& record) {
    TestHost host;
    HostState state;
    // Time, sample rate and block size come from the shared state, whichever thread asks.
    host.setHook([&state](Plugin*, const testhost::HostCall& call) -> std::optional<VstIntPtr> {
        switch (call.opcode) {
        case audioMasterGetTime: return reinterpret_cast<VstIntPtr>(state.time());
        case audioMasterGetSampleRate: return static_cast<VstIntPtr>(state.sampleRate.load());
        case audioMasterGetBlockSize: return state.blockSize.load();
        default: return std::nullopt;
        }
    });
    Storm storm(options, record, host, state);
    Slot& main = record.slots[int(Thread::Main)];

    std::unique_ptr<Plugin> plugin;
    try {
        CallScope scope(main, Call::Load);
        plugin = host.load(options.plugin);
    } catch (const testhost::LoadError& e) {
        throw vantel::Failure(e.what());
    }
    AEffect* e = plugin->effect();
    if (!(e->flags & effFlagsCanReplacing))
        throw vantel::Failure("\"" + options.plugin + "\" does not offer replacing processing, which the stress test drives.");
    storm.plugin = plugin.get();
    storm.numInputs = std::max(0, e->numInputs);
    storm.numOutputs = std::max(0, e->numOutputs);
    storm.numParams = std::max(0, e->numParams);
    storm.numPrograms = std::max(0, e->numPrograms);
    storm.canDouble = (e->flags & effFlagsCanDoubleReplacing) != 0;
    storm.hasChunks = (e->flags & effFlagsProgramChunks) != 0;

    // Instantiated as Ardour does it.
    storm.dispatch(Thread::Main, effOpen);
    storm.dispatch(Thread::Main, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    storm.dispatch(Thread::Main, effSetBlockSize, 0, 1024);
    storm.dispatch(Thread::Main, effMainsChanged, 0, 1);
    storm.dispatch(Thread::Main, effMainsChanged, 0, 1);
    Random random(options.seed ^ 0x3A1);
    if (storm.hasChunks) storm.pool.add(storm.getChunk(*plugin, Thread::Main, false), random);

    std::vector<std::thread> workers;
    if (options.audio) workers.emplace_back([&] { storm.audioThread(); });
    if (options.parameters && storm.numParams > 0) workers.emplace_back([&] { storm.parameterThread(); });
    if (options.chunks) workers.emplace_back([&] { storm.chunkThread(); });
    const int count = int(workers.size());

    // The storm, with quiet checks at random moments; the host's call log is emptied
    // often, or it would grow with every callback for the whole run.
    const long long end = record.startNs.load() + static_cast<long long>(options.seconds * 1e9);
    while (monotonicNs() < end) {
        const long long quietAt = std::min(end, monotonicNs() + static_cast<long long>((0.3 + random.uniform()) * 1e9));
        while (monotonicNs() < quietAt) {
            host.clearCalls();
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min<long long>(
                100, std::max<long long>(1, (quietAt - monotonicNs()) / 1000000))));
        }
        storm.pauseWorkers(count);
        storm.roundTripInQuiet(false);
        storm.roundTripInQuiet(true);
        storm.resumeWorkers();
    }
    storm.stopWorkers();
    for (auto& w : workers) w.join();
    host.clearCalls();

    storm.compareWithFreshInstance();
    storm.roundTripInQuiet(false);
    {
        CallScope scope(main, Call::Unload);
        plugin.reset();
    }
    record.finished = 1;
    return 0;
}

}  // namespace vantel::stress
