// Opening a document (a path or a URL) with the desktop's preferred application.
#pragma once

#include <string>

namespace platform {

enum class OpenDocumentResult {
    Started,        // the opener is running; it shows the document (or its own error)
    NoApplication,  // there is nothing on this system to open documents with
    Failed,         // the document could not be opened: empty name, missing file, no process
};

// Starts `xdg-open` on `document` and returns as soon as it has been spawned: the caller
// (a user-interface thread) never waits for the viewer. No shell is involved, so the name
// reaches the opener as one argument whatever characters it holds. Openers started by
// earlier calls are reaped here, without waiting, so none lingers for long.
OpenDocumentResult openDocument(const std::string& document);

// The opener started by openDocument; a program name looked up in PATH.
constexpr const char* kDocumentOpener = "xdg-open";

}  // namespace platform
