#include "ChunkFiles.h"

#include "../../platform/SettingsStore.h"
#include "../CPresetSystemEffect.h"
#include "../codec/PresetCodec.h"

namespace presets {

namespace {

// The preset system without a host: every host call it makes goes nowhere.
class Workbench : public CPresetSystemEffect {
public:
    Workbench() : CPresetSystemEffect(nullptr) {}

    bool take(const std::vector<uint8_t>& chunk) {
        return !chunk.empty() && PresetCodec(*this).loadChunk(chunk.data(), chunk.size());
    }
    std::vector<uint8_t> chunk() { return PresetCodec(*this).buildChunk(); }
};

}  // namespace

std::vector<uint8_t> initialChunk() { return Workbench().chunk(); }

FileResult applyFileToChunk(const std::vector<uint8_t>& chunk, const std::string& path, FileKind kind, bool reversed,
                            std::vector<uint8_t>& out) {
    out.clear();
    Workbench bench;
    if (!bench.take(chunk)) return FileResult::BadChunk;
    const FileResult result = loadFileFromPath(bench, kind, path, reversed);
    out = bench.chunk();
    return result;
}

FileResult fileFromChunk(const std::vector<uint8_t>& chunk, FileKind kind, std::vector<uint8_t>& file) {
    file.clear();
    Workbench bench;
    if (!bench.take(chunk)) return FileResult::BadChunk;
    file = buildFileImage(bench, kind);
    return file.empty() ? FileResult::WriteFailed : FileResult::Done;
}

FileResult saveFileFromChunk(const std::vector<uint8_t>& chunk, FileKind kind, const std::string& path) {
    std::vector<uint8_t> file;
    const FileResult made = fileFromChunk(chunk, kind, file);
    if (made != FileResult::Done) return made;
    return platform::replaceFileAtomically(path, file.data(), file.size()) ? FileResult::Done
                                                                            : FileResult::WriteFailed;
}

}  // namespace presets
