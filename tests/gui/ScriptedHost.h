// What the two scripted editor hosts (edhost on X11, wedhost on Win32) share: the log line
// of a host callback, the transport they answer audioMasterGetTime with, and the commands
// that only read the plug-in. The scripts read both hosts' logs and answers alike.
#pragma once

#include <cmath>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>

#include "TestHost.h"

namespace scripted {

inline std::string logLine(const testhost::HostCall& call) {
    char line[320];
    const long value = static_cast<long>(call.value);
    switch (call.opcode) {
        case audioMasterAutomate: std::snprintf(line, sizeof line, "automate %d %g", call.index, call.opt); break;
        case audioMasterBeginEdit: std::snprintf(line, sizeof line, "beginEdit %d", call.index); break;
        case audioMasterEndEdit: std::snprintf(line, sizeof line, "endEdit %d", call.index); break;
        case audioMasterUpdateDisplay: std::snprintf(line, sizeof line, "updateDisplay"); break;
        case audioMasterGetTime: std::snprintf(line, sizeof line, "getTime %ld", value); break;
        case audioMasterCanDo: std::snprintf(line, sizeof line, "canDo %s", call.text.c_str()); break;
        case audioMasterSizeWindow: std::snprintf(line, sizeof line, "sizeWindow %d %ld", call.index, value); break;
        default: std::snprintf(line, sizeof line, "call %d %d %ld %g", call.opcode, call.index, value, call.opt);
    }
    return line;
}

// Playing at 120 beats per minute in 4/4 from `samplePos`. A record per thread: the audio
// thread and the editor's may both ask, and each gets its own, as a DAW's would be.
inline VstIntPtr timeInfoAt(double samplePos, double sampleRate) {
    thread_local VstTimeInfo info;
    info = VstTimeInfo{};
    info.samplePos = samplePos;
    info.sampleRate = sampleRate;
    info.tempo = 120.0;
    info.ppqPos = info.samplePos / sampleRate * 2.0;
    info.barStartPos = std::floor(info.ppqPos / 4.0) * 4.0;
    info.timeSigNumerator = 4;
    info.timeSigDenominator = 4;
    info.flags = kVstTransportPlaying | kVstTempoValid | kVstPpqPosValid | kVstBarsValid | kVstTimeSigValid;
    return reinterpret_cast<VstIntPtr>(&info);
}

// param N, name, pname I: the answer, or nothing for another command.
inline std::optional<std::string> query(testhost::Plugin& p, const std::string& name, std::istringstream& args) {
    if (name == "param") {
        int index;
        if (!(args >> index)) return "ERR usage: param N";
        char text[64];
        std::snprintf(text, sizeof text, "PARAM %d %g", index, p.getParameter(index));
        return text;
    }
    if (name == "name") return "NAME " + p.programName();
    if (name == "pname") {
        int index;
        if (!(args >> index)) return "ERR usage: pname I";
        return "PNAME " + std::to_string(index) + " " + p.programNameIndexed(index).value_or("");
    }
    return std::nullopt;
}

}  // namespace scripted
