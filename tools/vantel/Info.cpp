// vantel info [PLUGIN.so]: what a host sees of a plug-in.
#include "Cli.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace vantel {

namespace {

std::string fourCC(VstInt32 code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<unsigned char>((uint32_t(code) >> shift) & 0xff);
        text += std::isprint(c) ? char(c) : '?';
    }
    return text;
}

std::string flagNames(VstInt32 flags) {
    static const struct {
        VstInt32 bit;
        const char* name;
    } names[] = {{effFlagsHasEditor, "HasEditor"},       {effFlagsHasClip, "HasClip"},
                 {effFlagsHasVu, "HasVu"},               {effFlagsCanMono, "CanMono"},
                 {effFlagsCanReplacing, "CanReplacing"}, {effFlagsProgramChunks, "ProgramChunks"},
                 {effFlagsIsSynth, "IsSynth"},           {effFlagsNoSoundInStop, "NoSoundInStop"},
                 {effFlagsExtIsAsync, "ExtIsAsync"},     {effFlagsExtHasBuffer, "ExtHasBuffer"},
                 {effFlagsCanDoubleReplacing, "CanDoubleReplacing"}};
    std::string text;
    VstInt32 known = 0;
    for (const auto& n : names) {
        known |= n.bit;
        if (flags & n.bit) text += (text.empty() ? "" : " ") + std::string(n.name);
    }
    if (flags & ~known) {
        char rest[32];
        std::snprintf(rest, sizeof rest, "0x%x", unsigned(flags & ~known));
        text += (text.empty() ? "unknown " : " unknown ") + std::string(rest);
    }
    return text.empty() ? "none" : text;
}

std::string pad(const std::string& s, size_t width) { return s + std::string(width - std::min(width, s.size()), ' '); }

}  // namespace

int runInfo(Args args) {
    Args state = takeStateOptions(args);
    auto rest = args.positionals();
    if (rest.size() > 1) throw Failure("vantel info takes at most one plug-in file.");
    const std::string path = rest.empty() ? defaultPluginPath() : rest[0];

    testhost::TestHost host;
    std::unique_ptr<testhost::Plugin> plugin;
    try {
        plugin = host.load(path);
    } catch (const testhost::LoadError& e) {
        throw Failure(e.what());
    }
    plugin->open();
    applyStateOptions(*plugin, state);
    const AEffect& e = *plugin->effect();

    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", unsigned(e.uniqueID));
    char flags[16];
    std::snprintf(flags, sizeof flags, "0x%04X", unsigned(e.flags));
    std::printf("Plug-in       %s\n", path.c_str());
    std::printf("Effect name   %s\n", plugin->effectName().c_str());
    std::printf("Vendor        %s\n", plugin->vendorString().c_str());
    std::printf("Product       %s\n", plugin->productString().c_str());
    std::printf("Unique ID     '%s' (%s)\n", fourCC(e.uniqueID).c_str(), hex);
    std::printf("Version       %d (vendor version %ld)\n", e.version, long(plugin->vendorVersion()));
    std::printf("VST version   %ld\n", long(plugin->vstVersion()));
    std::printf("Inputs        %d\n", e.numInputs);
    std::printf("Outputs       %d\n", e.numOutputs);
    std::printf("Parameters    %d\n", e.numParams);
    std::printf("Programs      %d\n", e.numPrograms);
    std::printf("Latency       %d samples\n", e.initialDelay);
    std::printf("Flags         %s (%s)\n", flags, flagNames(e.flags).c_str());
    std::printf("Program       %s\n", plugin->programName().c_str());

    struct Row {
        std::string index, name, label, value, display;
    };
    std::vector<Row> rows{{"#", "Name", "Label", "Value", "Display"}};
    for (int i = 0; i < e.numParams; ++i) {
        char value[32];
        std::snprintf(value, sizeof value, "%.6f", double(plugin->getParameter(i)));
        rows.push_back({std::to_string(i), plugin->paramName(i), plugin->paramLabel(i), value, plugin->paramDisplay(i)});
    }
    size_t w[4] = {0, 0, 0, 0};
    for (const Row& r : rows) {
        w[0] = std::max(w[0], r.index.size());
        w[1] = std::max(w[1], r.name.size());
        w[2] = std::max(w[2], r.label.size());
        w[3] = std::max(w[3], r.value.size());
    }
    std::printf("\nParameters\n");
    for (const Row& r : rows) {
        const std::string index = std::string(w[0] - r.index.size(), ' ') + r.index;
        std::printf("  %s  %s  %s  %s  %s\n", index.c_str(), pad(r.name, w[1]).c_str(), pad(r.label, w[2]).c_str(),
                    pad(r.value, w[3]).c_str(), r.display.c_str());
    }

    const auto programs = plugin->programNames();
    std::printf("\nPrograms (%zu)\n", programs.size());
    const size_t iw = std::to_string(programs.empty() ? 0 : programs.size() - 1).size();
    for (size_t i = 0; i < programs.size(); ++i) {
        const std::string index = std::to_string(i);
        std::printf("  %s%s  %s\n", std::string(iw - index.size(), ' ').c_str(), index.c_str(), programs[i].c_str());
    }
    return 0;
}

}  // namespace vantel
