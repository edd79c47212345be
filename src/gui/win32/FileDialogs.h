// The common item dialogs (IFileOpenDialog, IFileSaveDialog) as the file selector's runner
// on Windows. A dialog is modal: it runs its own message loop, so it is shown from a
// message posted to the frame's window (win32::post), never inside the click that asked
// for it or the host's effEditIdle, and the frame polls for its answer from idle as on
// every platform. COM is initialised on the GUI thread for the dialog and released after
// it; where the host made that thread multithreaded already (RPC_E_CHANGED_MODE), the
// dialog runs in a single-threaded apartment on a thread of its own, still owned by the
// editor's window.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "../core/cfileselector.h"

namespace VSTGUI {
namespace win32 {

// Needs the request's owner: a frame's window of this module (null otherwise).
IFileDialogRunner* fileDialogRunner();

// The file-type filters a request offers, as the dialog takes them (description with its
// pattern, pattern): its extensions, or for a save dialog without any, its default one.
std::vector<std::pair<std::wstring, std::wstring>> fileTypes(const FileDialogRequest& request);
// The request's initial folder as the shell parses it: backslashes, no trailing separator
// (but a drive's root keeps its own); empty for none.
std::wstring folderOf(const std::string& utf8Directory);

}  // namespace win32
}  // namespace VSTGUI
