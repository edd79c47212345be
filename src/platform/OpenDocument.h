// Opening a document (a path or a URL) with the desktop's preferred application, without
// waiting for it: the caller (a user-interface thread) starts the opening and polls for
// its outcome, from its idle step, until the opener has answered.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace platform {

enum class OpenDocumentResult {
    Opened,         // the desktop took the document (its viewer shows it, or its own error)
    NoApplication,  // nothing on this system opens documents of this kind (or at all)
    Failed,         // the document could not be opened: empty name, missing file, no process
};

// One opening in progress. On Windows the shell opens it (ShellExecuteW, verb "open") and
// its answer is the outcome at once: above 32 opened, 31 (SE_ERR_NOASSOC) no application,
// anything else failed. On POSIX systems it runs `xdg-open` (looked up in PATH) with the
// document as its one argument, no shell involved, and reads the answer from its exit
// status: 0 opened, 3 (no tool for the document's type) no application, anything else
// failed. The opener never blocks its caller.
class DocumentOpening {
public:
    // Starts opening `document`. Problems found before anything runs (an empty name, a
    // file that is not there, no opener installed) are the outcome at once. `owner` is the
    // window that asks (an HWND on Windows, where the shell's own messages belong to it;
    // unused elsewhere), or null.
    explicit DocumentOpening(const std::string& document, void* owner = nullptr);
    // An opener still running goes on by itself and is reaped later, never killed: the
    // document still opens after the window that asked for it has closed.
    ~DocumentOpening();
    DocumentOpening(const DocumentOpening&) = delete;
    DocumentOpening& operator=(const DocumentOpening&) = delete;

    // The outcome once the opener has answered; nothing while it still runs.
    std::optional<OpenDocumentResult> poll();

private:
    std::optional<OpenDocumentResult> outcome_;
    long pid_ = -1;  // the opener's process (POSIX systems)
};

// The opener program, a name looked up in PATH.
constexpr const char* kDocumentOpener = "xdg-open";

}  // namespace platform
