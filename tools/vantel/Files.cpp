// Preset, bank and MIDI-settings files for the command line. The plug-in is reached only
// through its interface: its state comes out as a chunk, the file is applied to that chunk
// by the preset system's own readers, and the result goes back in as a chunk.
#include <fstream>

#include "Cli.h"
#include "PresetFiles.h"
#include "ChunkFiles.h"

namespace vantel {

namespace {

using presets::FileKind;
using presets::FileResult;

void applyFile(testhost::Plugin& plugin, const std::string& path, FileKind kind, bool reversed) {
    std::vector<uint8_t> out;
    const FileResult result = presets::applyFileToChunk(plugin.getChunk(), path, kind, reversed, out);
    if (result != FileResult::Done) throw Failure("\"" + path + "\": " + presets::describe(result, kind));
    if (plugin.setChunk(out) == -1) throw Failure("The plug-in refused the state made from \"" + path + "\".");
}

FileKind kindNamed(const std::string& name) {
    if (name == "preset") return FileKind::Preset;
    if (name == "bank") return FileKind::Bank;
    if (name == "midi") return FileKind::Midi;
    throw Failure("\"" + name + "\" is not a kind of file; use preset, bank, midi or chunk.");
}

}  // namespace

void applyStateOptions(testhost::Plugin& plugin, Args& args) {
    std::string chunkPath, bankPath, programSpec, presetPath, midiPath;
    const bool reversed = args.flag("--reversed");
    if (args.value("--chunk", chunkPath)) {
        std::ifstream in(chunkPath, std::ios::binary);
        if (!in) throw Failure("There is no chunk file at \"" + chunkPath + "\" (or it cannot be read).");
        const std::vector<uint8_t> chunk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (plugin.setChunk(chunk) == -1) throw Failure("The plug-in refused the state in \"" + chunkPath + "\".");
    }
    if (args.value("--bank", bankPath)) applyFile(plugin, bankPath, FileKind::Bank, reversed);
    if (args.value("--program", programSpec)) selectProgram(plugin, findProgram(plugin, programSpec));
    if (args.value("--preset", presetPath)) applyFile(plugin, presetPath, FileKind::Preset, reversed);
    if (args.value("--midi", midiPath)) applyFile(plugin, midiPath, FileKind::Midi, reversed);
    applySettings(plugin, args.values("--set"));
}

Args takeStateOptions(Args& args) {
    std::vector<std::string> taken;
    for (const char* option : {"--chunk", "--bank", "--program", "--preset", "--midi"}) {
        std::string v;
        if (args.value(option, v)) taken.insert(taken.end(), {option, v});
    }
    for (const std::string& setting : args.values("--set")) taken.insert(taken.end(), {"--set", setting});
    if (args.flag("--reversed")) taken.push_back("--reversed");
    return Args(taken);
}

int runConvert(Args args) {
    std::string pluginPath = defaultPluginPath(), to;
    args.value("--plugin", pluginPath);
    if (!args.value("--to", to))
        throw Failure("vantel convert needs --to preset|bank|midi|chunk and an output file.");
    testhost::TestHost host;
    std::unique_ptr<testhost::Plugin> plugin;
    try {
        plugin = host.load(pluginPath);
    } catch (const testhost::LoadError& e) {
        throw Failure(e.what());
    }
    plugin->open();
    applyStateOptions(*plugin, args);
    const auto files = args.positionals();
    if (files.size() != 1) throw Failure("vantel convert writes exactly one output file: vantel convert ... --to KIND OUT.");
    const std::vector<uint8_t> chunk = plugin->getChunk();
    if (to == "chunk") {
        std::ofstream out(files[0], std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(chunk.data()), std::streamsize(chunk.size()));
        if (!out) throw Failure("\"" + files[0] + "\" could not be written.");
        return 0;
    }
    const FileKind kind = kindNamed(to);
    const FileResult result = presets::saveFileFromChunk(chunk, kind, files[0]);
    if (result != FileResult::Done) throw Failure("\"" + files[0] + "\": " + presets::describe(result, kind));
    return 0;
}

}  // namespace vantel
