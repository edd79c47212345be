// Opens a document with the desktop's program for it (xdg-open) without waiting: the
// frame reaps the opener in idle and reports its exit status (3: no program for the
// document's type). Input stays live meanwhile.
#pragma once

#include <functional>

namespace VSTGUI {

class CFrame;

// False when no opener could be started (then `done` is never called).
// VANTEL_OPEN_PROGRAM names another opener (tests).
bool openDocument(CFrame* frame, const char* path, std::function<void(int exitStatus)> done);

}  // namespace VSTGUI
