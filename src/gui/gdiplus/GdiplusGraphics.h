// The GDI+ renderer (Windows). Images and the back buffer are premultiplied 32-bit pixels
// of our own (the back buffer a 32-bit top-down DIB section, which a window can BitBlt
// from its memory DC); the artwork, fills and outlines are composited on those pixels
// with cairo's arithmetic (core/composite.h), so that the panel comes out as on Linux byte for
// byte. GDI+ decodes the PNGs, draws the text (grey-scale anti-aliased) and the few
// slanted lines, and writes PNG files.
//
// GDI+ is started when the first user needs it (a back buffer, a PNG to decode or write, a
// text to measure) and shut down when the last one is done, never from DllMain and never
// from a static destructor.
#pragma once

#include <windows.h>

#include "../core/graphics.h"

namespace VSTGUI {
namespace gdiplus {

// The DIB section behind a back buffer of this renderer (what a window shows), and a
// memory DC it is selected into (made on first use, owned by the buffer).
HBITMAP bitmapOf(IPlatformBackBuffer& backBuffer);
HDC memoryDcOf(IPlatformBackBuffer& backBuffer);

// How many users hold GDI+ started right now (0 once every back buffer is gone).
int sessionUsers();

}  // namespace gdiplus
}  // namespace VSTGUI
