// A tiny VST 2.4 plug-in whose every answer is known, for testing the test host and the
// `vantel` command without depending on what our effect does. Built in three variants:
// PROBE_VARIANT 0 the working probe, 1 an entry point that returns null, 2 a record with
// the wrong magic.
//
// What it does:
//   entry      audioMasterVersion (effect null); 0 refuses. Then audioMasterCanDo("probeEntry")
//              with the new effect, before the host has it.
//   audio      out[o] = gain * (0.5 * in[o] + 0.25 * in[2]), gain = 2 * parameter 0; all
//              inputs of a frame are read before its outputs are written (in-place safe).
//              With P1 at 1 the first left sample of every block is NaN.
//   params     "Gain", "P1", "P2", and a 40-character name; setParameter reports itself
//              with audioMasterAutomate, as an effect's own automated change would.
//   programs   2 for the host ("Unity", "Quiet": gain 1 and 0.25) and a third name,
//              "Unreachable", that effGetProgramNameIndexed gives but effSetProgram refuses.
//   chunk      exactly 4 bytes: parameter 0 as a float; anything else is refused (-1).
//   vendor-specific (50)  calls the host with opcode = index, index = (int) opt, value,
//              ptr, opt, and answers what the host answered.
//   faults     $PROBE_FAULT, read by the entry point, breaks the probe on purpose for the
//              stress test's own tests; a comma-separated list of: "subnormal" (the first
//              right sample of every block is the smallest subnormal), "unterminated"
//              (display texts without a terminator), "crash" (processing writes through a
//              null pointer), "hang" (processing never returns).
#include "aeffectx.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#ifndef PROBE_VARIANT
#define PROBE_VARIANT 0
#endif

namespace {

struct Probe {
    AEffect effect{};
    audioMasterCallback host = nullptr;
    float params[4] = {0.5f, 0.0f, 0.0f, 0.0f};
    VstInt32 program = 0;
    float sampleRate = 0.0f;
    unsigned char chunk[4] = {};
    bool subnormal = false, unterminated = false, crash = false, hang = false;
};

Probe* probeOf(AEffect* e) { return static_cast<Probe*>(e->object); }

const char* const kProgramNames[] = {"Unity", "Quiet", "Unreachable"};

void copy(void* ptr, const char* text) { std::strcpy(static_cast<char*>(ptr), text); }

void setParameter(AEffect* e, VstInt32 index, float value) {
    if (index < 0 || index >= 4) return;
    Probe* p = probeOf(e);
    p->params[index] = value;
    p->host(e, audioMasterAutomate, index, 0, nullptr, value);
}

float getParameter(AEffect* e, VstInt32 index) { return index >= 0 && index < 4 ? probeOf(e)->params[index] : 0.0f; }

template <typename Sample>
void process(AEffect* e, Sample** in, Sample** out, VstInt32 frames) {
    const double gain = 2.0 * probeOf(e)->params[0];
    for (VstInt32 i = 0; i < frames; ++i) {
        const double a = in[0][i], b = in[1][i], key = in[2][i];
        out[0][i] = Sample(gain * (0.5 * a + 0.25 * key));
        out[1][i] = Sample(gain * (0.5 * b + 0.25 * key));
    }
    if (probeOf(e)->params[1] == 1.0f && frames > 0) out[0][0] = std::numeric_limits<Sample>::quiet_NaN();
    if (probeOf(e)->subnormal && frames > 0) out[1][0] = std::numeric_limits<Sample>::denorm_min();
    if (probeOf(e)->crash) *static_cast<volatile int*>(nullptr) = 1;
    while (probeOf(e)->hang) pause();
}

void processAccumulating(AEffect*, float**, float**, VstInt32) {}

VstIntPtr dispatcher(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    Probe* p = probeOf(e);
    switch (opcode) {
    case effClose:
        p->host(e, audioMasterIdle, 0, 0, nullptr, 0.0f);  // the probe reports its close
        delete p;
        return 1;
    case effSetProgram:
        if (value < 0 || value >= e->numPrograms) return 0;
        p->program = VstInt32(value);
        p->params[0] = value == 1 ? 0.125f : 0.5f;
        return 0;
    case effGetProgram:
        return p->program;
    case effGetProgramNameIndexed:
        if (index < 0 || index > 2) return 0;
        copy(ptr, kProgramNames[index]);
        return 1;
    case effGetParamName:
        if (index == 0) copy(ptr, "Gain");
        else if (index == 3) copy(ptr, "A parameter name forty characters long..");
        else std::sprintf(static_cast<char*>(ptr), "P%d", index);
        return 0;
    case effGetParamLabel:
        copy(ptr, index == 0 ? "x" : "");
        return 0;
    case effGetParamDisplay:
        if (p->unterminated) {
            std::memset(ptr, 'x', 16);
            return 0;
        }
        std::sprintf(static_cast<char*>(ptr), "%.2f", index >= 0 && index < 4 ? 2.0 * p->params[index] : 0.0);
        return 0;
    case effSetSampleRate:
        p->sampleRate = opt;
        return 0;
    case effMainsChanged:
        p->host(e, audioMasterWantMidi, 0, value, nullptr, 0.0f);  // as an effect asks for MIDI on resume
        return 0;
    case effEditGetRect: {
        static ERect rect{1, 2, 101, 202};
        *static_cast<ERect**>(ptr) = &rect;
        return 1;
    }
    case effIdentify:
        return vstFourCC('N', 'v', 'E', 'f');
    case effGetChunk:
        std::memcpy(p->chunk, &p->params[0], 4);
        *static_cast<void**>(ptr) = p->chunk;
        return 4;
    case effSetChunk:
        if (value != 4 || !ptr) return -1;
        std::memcpy(&p->params[0], ptr, 4);
        return 0;
    case effProcessEvents: {
        // Answers numEvents << 24 | the last event's three bytes; -1 for a malformed list.
        const auto* events = static_cast<const VstEvents*>(ptr);
        VstIntPtr answer = VstIntPtr(events->numEvents) << 24;
        for (VstInt32 i = 0; i < events->numEvents; ++i) {
            const auto* m = reinterpret_cast<const VstMidiEvent*>(events->events[i]);
            if (m->type != kVstMidiType || m->byteSize != VstInt32(sizeof(VstMidiEvent))) return -1;
            answer = (VstIntPtr(events->numEvents) << 24) | (VstIntPtr(m->midiData[0] & 0xff) << 16) |
                     (VstIntPtr(m->midiData[1] & 0xff) << 8) | VstIntPtr(m->midiData[2] & 0xff);
        }
        return answer;
    }
    case effSetSpeakerArrangement: {
        const auto* in = reinterpret_cast<const VstSpeakerArrangement*>(value);
        const auto* out = static_cast<const VstSpeakerArrangement*>(ptr);
        const auto typeFor = [](VstInt32 n) { return n == 1 ? 0 : n == 2 ? 1 : -2; };
        if (in->type != typeFor(in->numChannels) || out->type != typeFor(out->numChannels)) return -1;
        return in->numChannels * 10 + out->numChannels;
    }
    case effGetEffectName:
        copy(ptr, "Probe");
        return 1;
    case effGetVendorString:
        copy(ptr, "Vantel tests");
        return 1;
    case effGetProductString:
        copy(ptr, "Probe plug-in");
        return 1;
    case effGetVendorVersion:
        return VstIntPtr(p->sampleRate);  // lets a test see effSetSampleRate arrive
    case effVendorSpecific:
        return p->host(e, index, VstInt32(opt), value, ptr, opt);
    case effCanDo:
        return p->host(e, audioMasterCanDo, 0, 0, ptr, 0.0f);
    case effGetVstVersion:
        return 2400;
    default:
        return 0;
    }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host) {
    if (PROBE_VARIANT == 1 || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    // The wrong-magic probe is never closed (no host may call into it), so it must not
    // allocate: a static one leaks nothing.
    static Probe unclosable;
    Probe* p = PROBE_VARIANT == 2 ? &unclosable : new Probe;
    p->host = host;
    if (const char* faults = std::getenv("PROBE_FAULT")) {
        p->subnormal = std::strstr(faults, "subnormal") != nullptr;
        p->unterminated = std::strstr(faults, "unterminated") != nullptr;
        p->crash = std::strstr(faults, "crash") != nullptr;
        p->hang = std::strstr(faults, "hang") != nullptr;
    }
    AEffect& e = p->effect;
    e.magic = PROBE_VARIANT == 2 ? 0 : kEffectMagic;
    e.dispatcher = dispatcher;
    e.process = processAccumulating;
    e.setParameter = setParameter;
    e.getParameter = getParameter;
    e.numPrograms = 2;
    e.numParams = 4;
    e.numInputs = 3;
    e.numOutputs = 2;
    e.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing | effFlagsProgramChunks;
    e.ioRatio = 1.0f;
    e.object = p;
    e.uniqueID = vstFourCC('P', 'r', 'b', '1');
    e.version = 7;
    e.processReplacing = process<float>;
    e.processDoubleReplacing = process<double>;
    host(&e, audioMasterCanDo, 0, 0, const_cast<char*>("probeEntry"), 0.0f);
    return &e;
}
