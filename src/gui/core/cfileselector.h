// File selection. The request is collected here and handed to a runner, which the window
// system installs (on X11 the one that starts zenity, else kdialog, as a child process:
// posix/ProcessDialogRunner.h). `run(callback)` does not block: the frame polls the dialog
// in idle, drops mouse and key input while it is open, and calls the callback when it
// ends. `runModal()` waits for the dialog.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "vstguibase.h"

namespace VSTGUI {

class CFrame;

class CFileExtension {
public:
    CFileExtension(const char* description, const char* extension, const char* mimeType = nullptr,
                   int32_t macType = 0)
        : description(description ? description : ""),
          extension(extension ? extension : ""),
          mimeType(mimeType ? mimeType : ""),
          macType(macType) {}
    const std::string& getDescription() const { return description; }
    const std::string& getExtension() const { return extension; }
    const std::string& getMimeType() const { return mimeType; }
    int32_t getMacType() const { return macType; }

private:
    std::string description;
    std::string extension;
    std::string mimeType;
    int32_t macType;
};

struct FileDialogRequest {
    enum Style { kSelectFile = 0, kSelectSaveFile, kSelectDirectory };
    Style style = kSelectFile;
    std::string title;
    std::string initialDirectory;
    std::string defaultSaveName;
    std::string defaultExtension;  // without the dot
    std::string defaultDescription;  // the default extension's, for a dialog that lists types
    std::vector<CFileExtension> extensions;
    // The frame's window, which owns the dialog where the window system has owners (set by
    // `run`; null for `runModal`, which has no message loop to show an owned dialog from).
    void* owner = nullptr;
};

// A started dialog.
class IFileDialogJob {
public:
    virtual ~IFileDialogJob() = default;
    // True once the dialog has ended; `files` then holds the chosen files (none on cancel).
    virtual bool poll(std::vector<std::string>& files) = 0;
    virtual void cancel() = 0;
};

class IFileDialogRunner {
public:
    virtual ~IFileDialogRunner() = default;
    // Null when no dialog could be started.
    virtual IFileDialogJob* start(const FileDialogRequest& request) = 0;
};

class CNewFileSelector : public CBaseObject {
public:
    enum Style { kSelectFile = 0, kSelectSaveFile, kSelectDirectory };
    using Callback = std::function<void(CNewFileSelector*)>;

    static CNewFileSelector* create(CFrame* parent = nullptr, Style style = kSelectFile);

    void setTitle(const char* title) { request.title = title ? title : ""; }
    void setInitialDirectory(const char* dir) { request.initialDirectory = dir ? dir : ""; }
    void setDefaultSaveName(const char* name) { request.defaultSaveName = name ? name : ""; }
    void setDefaultExtension(const CFileExtension& ext);
    void addFileExtension(const CFileExtension& ext) { request.extensions.push_back(ext); }
    void setAllowMultiFileSelection(bool) {}

    // Non-blocking; false when no dialog could be started (the callback is then not called).
    bool run(Callback callback);
    // Blocks until the dialog ends; true when a file was chosen.
    bool runModal();

    int32_t getNumSelectedFiles() const { return static_cast<int32_t>(selected.size()); }
    const char* getSelectedFile(int32_t index) const;
    const FileDialogRequest& getRequest() const { return request; }
    Style getStyle() const { return static_cast<Style>(request.style); }

    // The window system's runner (none: no dialog can be started).
    static void setDefaultRunner(IFileDialogRunner* runner);
    // Test seam: the runner every selector uses (null restores the default runner).
    static void setRunner(IFileDialogRunner* runner);

private:
    friend class FileDialogTask;
    CNewFileSelector(CFrame* frame, Style style);
    CFrame* frame;
    FileDialogRequest request;
    std::vector<std::string> selected;
};

namespace filedialog {
// Command lines, as pure functions.
std::vector<std::string> zenityArguments(const FileDialogRequest& request);
std::vector<std::string> kdialogArguments(const FileDialogRequest& request);
// The path to pre-select: directory and default name (with the default extension added
// when the name has none).
std::string initialPath(const FileDialogRequest& request);
// One absolute path, trailing newline stripped, exit status 0 required.
bool parseOutput(const std::string& output, int exitStatus, std::string& path);
}  // namespace filedialog

}  // namespace VSTGUI
