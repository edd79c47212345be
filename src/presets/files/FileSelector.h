// The choice of a file, as the file operations ask for it. The editor puts a desktop
// dialog behind this; tests put a scripted one.
#pragma once

#include <optional>
#include <string>

namespace presets {

struct FileSelectorRequest {
    enum class Mode { Save, Open };
    Mode mode = Mode::Open;
    std::string title;
    // With its trailing '/'; empty: the selector's own default folder.
    std::string initialDirectory;
    // Save dialogs: the name offered; empty for open dialogs.
    std::string defaultName;
    // The one kind of file offered: extension without its dot ("qel") and its description
    // ("QEL Preset"). Open dialogs show only such files; save dialogs use it as default.
    std::string extension;
    std::string description;
};

class FileSelector {
public:
    virtual ~FileSelector() = default;
    // Runs the dialog modally. The full path of exactly one chosen file, or nothing when
    // the user cancelled (or the dialog cannot be shown).
    virtual std::optional<std::string> choose(const FileSelectorRequest& request) = 0;
};

}  // namespace presets
