// The folder and file names of the last files chosen in the file dialogs. Each is at most
// kMaxRecentPath characters, the size of the buffers they were designed for; a path that
// does not fit is refused as a whole rather than cut.
#pragma once

#include <string>

namespace presets {

constexpr size_t kMaxRecentPath = 256;

enum class FileKind { Preset, Bank, Midi };

struct RecentPaths {
    std::string directory;  // with its trailing separator; empty: none yet
    std::string preset;     // file names, without their folder
    std::string bank;
    std::string midi;

    std::string& nameOf(FileKind kind) { return kind == FileKind::Preset ? preset : kind == FileKind::Bank ? bank : midi; }
    const std::string& nameOf(FileKind kind) const {
        return kind == FileKind::Preset ? preset : kind == FileKind::Bank ? bank : midi;
    }

    // Takes a chosen full path apart at its last '/' (or '\\'): the part up to and
    // including the separator becomes the directory, the rest the name of `kind`. A path
    // without a separator leaves both as they were; so does one longer than the limit.
    // False when the path was refused for its length.
    bool remember(const std::string& fullPath, FileKind kind);

    // Stores a value read back from the settings: empty when it does not fit.
    static std::string fitted(const std::string& value) { return value.size() <= kMaxRecentPath ? value : std::string(); }
};

// The process's working directory with its trailing separator, or empty when it does not fit.
std::string workingDirectory();

}  // namespace presets
