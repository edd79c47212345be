// The X11 backend: a child window of the host's window on a connection of our own (never
// the host's Display*), pumped without blocking from the frame's idle.
#pragma once

#include <cstdint>

#include "../core/platform.h"

namespace VSTGUI {

// Creates the window; null when there is no X server or the parent is not a window.
IPlatformFrame* createX11PlatformFrame(CFrame* frame, void* parent, const CRect& size);

// Installs the X11 backend as the default for frames with a parent window, and the
// desktop's file dialogs (zenity or kdialog) as the default dialog runner.
void useX11Platform();

// X errors our connections received since the process started (all frames together).
// Each is also written to stderr as "X error <code> on request <major>.<minor>".
uint32_t x11ErrorCount();

}  // namespace VSTGUI
