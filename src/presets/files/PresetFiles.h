// Preset (".qel"), bank (".qeb") and MIDI-settings (".qem") files: each holds one preset
// block, or one of the legacy bodies behind the identifier and kind byte, exactly as the
// block codec writes and reads them.
//
// Reading and writing go by full path and never change the process's working directory
// (it belongs to the host). A file is read whole through a read-only descriptor, up to a
// size limit, and is handed to the codec, which checks all of it before changing anything.
// A file is written to a temporary file beside the target and renamed over it only once
// the whole block is on disk, so a full disk or a failed write never costs the old file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FileSelector.h"
#include "RecentPaths.h"

class CPresetSystemEffect;

namespace presets {

// The largest file a reader looks at: the largest well-formed file is a bank block of
// about 125 KiB; anything far beyond it is not ours.
constexpr size_t kMaxPresetFileSize = 4u * 1024u * 1024u;

struct FileKindInfo {
    FileKind kind;
    const char* extension;          // without its dot
    const char* description;        // the dialog's filter text
    const char* saveTitle;
    const char* loadTitle;
    const char* loadReversedTitle;  // the endian-reversed variant
    unsigned acceptedKinds;         // BlockKindBits a file of this kind may hold
};

const FileKindInfo& fileKindInfo(FileKind kind);

enum class FileResult {
    Done,         // saved whole, or loaded whole
    Cancelled,    // no file was chosen (or there is no dialog to choose with)
    BadPath,      // the chosen path is longer than the recent paths can hold
    Unreadable,   // missing, unreadable, not a regular file, or over the size limit
    Refused,      // not a valid file of this kind: nothing loaded
    WriteFailed,  // not written; a file that was there is intact
    BadChunk,     // (chunk helpers) the state handed in is not a chunk of this effect
};

// A short sentence for people (the command line), e.g. "the file is not a valid preset file".
std::string describe(FileResult result, FileKind kind);

// ---- by path, without a dialog and without touching the recent paths ----

// The whole file of `kind` for the effect's current state, in native byte order.
std::vector<uint8_t> buildFileImage(CPresetSystemEffect& effect, FileKind kind);

// Applies a whole file image (identifier onward) with the rules of loading a file of
// `kind`: `reversed` reads the fields after the identifier in the byte order opposite to
// the one the identifier tells. A bank file whose identifier is ours makes program 0
// current afterwards, whether or not the rest of it could be read.
FileResult applyFileImage(CPresetSystemEffect& effect, FileKind kind, const uint8_t* data, size_t size, bool reversed);

FileResult saveFileToPath(CPresetSystemEffect& effect, FileKind kind, const std::string& path);
FileResult loadFileFromPath(CPresetSystemEffect& effect, FileKind kind, const std::string& path, bool reversed);

// One of the six file operations of the preset strip, as the dialog is asked for it.
struct FileOperation {
    FileKind kind = FileKind::Preset;
    bool save = false;
    bool reversed = false;  // loads only: the endian-reversed variant
};

// The six file operations of the preset strip and their by-path forms, with the recent
// folder and file names that the dialogs start from.
//
// An operation runs in two phases around its dialog, so that the dialog may run while the
// host's editor thread goes on: `prepare` says what to ask (title, folder, default name,
// the one kind of file offered), `complete` takes the answer and saves or loads. The
// answer may come much later; nothing is held between the two phases.
class PresetFiles {
public:
    explicit PresetFiles(CPresetSystemEffect& effect, FileSelector* selector = nullptr);
    virtual ~PresetFiles() = default;

    // ---- in two phases ----
    FileSelectorRequest prepare(const FileOperation& operation) const;
    // `chosen`: the full path of the one file chosen; empty when the dialog was cancelled,
    // which changes nothing (Cancelled). Otherwise the recent paths take the chosen file
    // and the file is saved or loaded.
    FileResult complete(const FileOperation& operation, const std::string& chosen);

    // ---- in one call, with a modal selector ----
    // The dialog behind the operations below; null: every dialog operation is Cancelled.
    void setFileSelector(FileSelector* selector) { selector_ = selector; }
    FileSelector* fileSelector() const { return selector_; }
    FileResult run(const FileOperation& operation);

    FileResult savePresetFile() { return run({FileKind::Preset, true, false}); }
    FileResult saveBankFile() { return run({FileKind::Bank, true, false}); }
    FileResult saveMidiFile() { return run({FileKind::Midi, true, false}); }
    FileResult loadPresetFile(bool reversed = false) { return run({FileKind::Preset, false, reversed}); }
    FileResult loadBankFile(bool reversed = false) { return run({FileKind::Bank, false, reversed}); }
    FileResult loadMidiFile(bool reversed = false) { return run({FileKind::Midi, false, reversed}); }

    // ---- by path (the recent paths stay as they are) ----
    FileResult savePresetToPath(const std::string& path) { return saveFileToPath(effect_, FileKind::Preset, path); }
    FileResult saveBankToPath(const std::string& path) { return saveFileToPath(effect_, FileKind::Bank, path); }
    FileResult saveMidiToPath(const std::string& path) { return saveFileToPath(effect_, FileKind::Midi, path); }
    FileResult loadPresetFromPath(const std::string& path, bool reversed = false) {
        return loadFileFromPath(effect_, FileKind::Preset, path, reversed);
    }
    FileResult loadBankFromPath(const std::string& path, bool reversed = false) {
        return loadFileFromPath(effect_, FileKind::Bank, path, reversed);
    }
    FileResult loadMidiFromPath(const std::string& path, bool reversed = false) {
        return loadFileFromPath(effect_, FileKind::Midi, path, reversed);
    }

    RecentPaths& recentPaths() { return recent_; }
    const RecentPaths& recentPaths() const { return recent_; }

protected:
    CPresetSystemEffect& effect_;

private:
    FileSelector* selector_;
    RecentPaths recent_;
};

}  // namespace presets
