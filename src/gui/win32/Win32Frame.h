// The Windows backend: a child window of the host's window (the HWND of effEditOpen),
// painted from the frame's back buffer, with the mouse, the keyboard, the keyboard focus,
// the clipboard, the frame's idle on a 30 ms window timer (hosts call effEditIdle as well,
// but not all of them while their own menus or dialogs are open) and the common item
// dialogs for files. Everything runs on the thread that opened the window.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "../core/platform.h"

namespace VSTGUI {

// Creates the window; null when the parent is not a window or no window could be made.
IPlatformFrame* createWin32PlatformFrame(CFrame* frame, void* parent, const CRect& size);

// Installs the Windows backend as the default for frames with a parent window, and the
// common item dialogs (IFileOpenDialog, IFileSaveDialog) as the default dialog runner.
void useWin32Platform();

namespace win32 {

// The period of the window timer that runs the frame's idle.
constexpr UINT kIdleTimerMs = 30;

// The window class of this module's frames. Its name holds the module's address, so that
// two copies of the plug-in loaded into one host never share a class (each would find the
// other's window procedure behind its windows). It is registered while a frame of the
// module exists and unregistered with the last one.
std::wstring frameClassName();

// Runs `call` later from the message loop, through a message posted to `window` (a frame's
// window of this module), once whatever is running now has returned: a modal dialog shown
// from there never runs inside a mouse handler or the host's effEditIdle. False when
// `window` is none of ours; the call is dropped if the window goes first.
bool post(HWND window, std::function<void()> call);

}  // namespace win32
}  // namespace VSTGUI
