// The scale an X11 desktop asks of windows, read the way the toolkits of Linux hosts read
// it, so that the editor comes out as large as the host around it.
#pragma once

#include <string>

namespace VSTGUI {
namespace x11 {

// GDK_SCALE (its whole part, as GTK windows follow it), else QT_SCALE_FACTOR (what Qt
// windows follow), else the Xft.dpi line of the screen's resource database (the
// RESOURCE_MANAGER text that xrdb loads; GNOME and KDE set it to 96 times the scale) over
// 96. Values that are missing, not numbers or not above 0 count as unset; 1 when nothing
// is set.
double desktopScale(const char* gdkScale, const char* qtScaleFactor, const std::string& resources);

}  // namespace x11
}  // namespace VSTGUI
