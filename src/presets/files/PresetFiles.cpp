#include "PresetFiles.h"

#include "../../platform/SettingsStore.h"
#include "../CPresetSystemEffect.h"
#include "../codec/PresetCodec.h"

namespace presets {

namespace {

const FileKindInfo kKinds[] = {
    {FileKind::Preset, "qel", "QEL Preset", "Save preset", "Load preset", "Load preset (endian-reversed)",
     kPresetKinds},
    {FileKind::Bank, "qeb", "QEL Bank", "Save bank", "Load bank", "Load bank (endian-reversed)", kBankKinds},
    {FileKind::Midi, "qem", "QEL MIDI Settings", "Save midi settings as", "Load MIDI settings",
     "Load MIDI settings (endian-reversed)", kMidiKinds},
};

const char* kindNoun(FileKind kind) {
    return kind == FileKind::Preset ? "preset" : kind == FileKind::Bank ? "bank" : "MIDI-settings";
}

// A name typed without any extension gets the dialog's one.
std::string withDefaultExtension(const std::string& path, const char* extension) {
    const size_t split = path.find_last_of("/\\");
    const std::string name = split == std::string::npos ? path : path.substr(split + 1);
    if (name.empty() || name.find('.') != std::string::npos) return path;
    return path + "." + extension;
}

}  // namespace

const FileKindInfo& fileKindInfo(FileKind kind) {
    for (const FileKindInfo& info : kKinds)
        if (info.kind == kind) return info;
    return kKinds[0];
}

std::string describe(FileResult result, FileKind kind) {
    const std::string noun = kindNoun(kind);
    switch (result) {
        case FileResult::Done: return "done";
        case FileResult::Cancelled: return "no file was chosen";
        case FileResult::BadPath: return "the path is longer than " + std::to_string(kMaxRecentPath) + " characters";
        case FileResult::Unreadable:
            return "the file cannot be read (it is missing, not a regular file, unreadable, or larger than " +
                   std::to_string(kMaxPresetFileSize / (1024 * 1024)) + " MiB)";
        case FileResult::Refused: return "the file is not a valid " + noun + " file; nothing was loaded";
        case FileResult::WriteFailed: return "the " + noun + " file could not be written";
        case FileResult::BadChunk: return "the plug-in's state is not a chunk of this effect";
    }
    return {};
}

std::vector<uint8_t> buildFileImage(CPresetSystemEffect& effect, FileKind kind) {
    PresetCodec codec(effect);
    switch (kind) {
        case FileKind::Preset: return codec.buildPresetBlock();
        case FileKind::Bank: return codec.buildBankBlock();
        case FileKind::Midi: return codec.buildMidiBlock();
    }
    return {};
}

FileResult applyFileImage(CPresetSystemEffect& effect, FileKind kind, const uint8_t* data, size_t size, bool reversed) {
    // Too short to hold an identifier and a kind byte: not looked at.
    if (!data || size < kIdentifierAndKindSize) return FileResult::Refused;
    const bool loaded = PresetCodec(effect).loadBlockImage(data, size, fileKindInfo(kind).acceptedKinds, reversed);
    // A bank file that is ours by its identifier always leaves program 0 current, so the
    // user sees the bank from its start (the stored current program serves chunks).
    if (kind == FileKind::Bank && byteOrderOf(data, static_cast<uint32_t>(effect.getPresetID())) != ByteOrder::Foreign) {
        if (PresetEditorHooks* hooks = effect.presetEditor()) hooks->programShown(0);
        effect.selectProgram(0);
    }
    return loaded ? FileResult::Done : FileResult::Refused;
}

FileResult saveFileToPath(CPresetSystemEffect& effect, FileKind kind, const std::string& path) {
    const std::vector<uint8_t> image = buildFileImage(effect, kind);
    if (image.empty()) return FileResult::WriteFailed;
    return platform::replaceFileAtomically(path, image.data(), image.size()) ? FileResult::Done
                                                                              : FileResult::WriteFailed;
}

FileResult loadFileFromPath(CPresetSystemEffect& effect, FileKind kind, const std::string& path, bool reversed) {
    std::vector<uint8_t> image;
    if (!platform::readWholeFile(path, image, kMaxPresetFileSize)) return FileResult::Unreadable;
    return applyFileImage(effect, kind, image.data(), image.size(), reversed);
}

// ---------------------------------------------------------------- with the dialog

PresetFiles::PresetFiles(CPresetSystemEffect& effect, FileSelector* selector) : effect_(effect), selector_(selector) {
    recent_.directory = workingDirectory();
}

FileSelectorRequest PresetFiles::prepare(const FileOperation& operation) const {
    const FileKindInfo& info = fileKindInfo(operation.kind);
    FileSelectorRequest request;
    request.mode = operation.save ? FileSelectorRequest::Mode::Save : FileSelectorRequest::Mode::Open;
    request.title = operation.save ? info.saveTitle : operation.reversed ? info.loadReversedTitle : info.loadTitle;
    request.initialDirectory = recent_.directory;
    if (operation.save) request.defaultName = recent_.nameOf(operation.kind);
    request.extension = info.extension;
    request.description = info.description;
    return request;
}

FileResult PresetFiles::complete(const FileOperation& operation, const std::string& chosen) {
    if (chosen.empty()) return FileResult::Cancelled;
    const std::string path =
        operation.save ? withDefaultExtension(chosen, fileKindInfo(operation.kind).extension) : chosen;
    if (!recent_.remember(path, operation.kind)) return FileResult::BadPath;
    return operation.save ? saveFileToPath(effect_, operation.kind, path)
                          : loadFileFromPath(effect_, operation.kind, path, operation.reversed);
}

FileResult PresetFiles::run(const FileOperation& operation) {
    if (!selector_) return FileResult::Cancelled;
    const std::optional<std::string> chosen = selector_->choose(prepare(operation));
    return complete(operation, chosen.value_or(std::string()));
}

}  // namespace presets
