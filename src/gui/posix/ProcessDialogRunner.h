// The file dialogs of a Linux desktop: zenity, else kdialog, run as a child process and
// polled from idle (VANTEL_FILE_DIALOG names another program taking zenity's arguments).
#pragma once

#include "../core/cfileselector.h"

namespace VSTGUI {
namespace posix {

IFileDialogRunner* processDialogRunner();

}  // namespace posix
}  // namespace VSTGUI
