// The cairo renderer (Linux): images are cairo image surfaces, the back buffer is an RGB24
// image surface, text goes through cairo's own font API (fontconfig resolves the family).
#pragma once

#include "../core/graphics.h"

typedef struct _cairo_surface cairo_surface_t;

namespace VSTGUI {
namespace cairo {

// The image surface behind a back buffer of this renderer (what the X11 window shows).
cairo_surface_t* surfaceOf(IPlatformBackBuffer& backBuffer);

}  // namespace cairo
}  // namespace VSTGUI
