#include "Zoom.h"

#include <cmath>

#include "../gui/core/composite.h"
#include "Editor.h"

namespace zoom {

int nearest(double scale) {
    if (!std::isfinite(scale) || scale <= 0) return 0;
    int best = kFactors[0];
    for (int f : kFactors)
        if (std::fabs(scale * 100 - f) <= std::fabs(scale * 100 - best)) best = f;
    return best;
}

int indexOf(int percent) {
    for (int i = 0; i < kCount; ++i)
        if (kFactors[i] == percent) return i;
    return -1;
}

Size windowSize(int percent) {
    const double scale = percent / 100.0;
    return Size{VSTGUI::composite::deviceEdge(Editor::kWidth, scale),
                VSTGUI::composite::deviceEdge(Editor::kHeight, scale)};
}

int storedFactor(int stored) {
    return stored >= kFactors[0] && stored <= kFactors[kCount - 1] ? nearest(stored / 100.0) : 0;
}

int startFactor(const Sources& sources) {
    if (const int chosen = storedFactor(sources.stored)) return chosen;
    if (const int host = nearest(sources.host)) return host;
    if (const int system = nearest(sources.system)) return system;
    return 100;
}

}  // namespace zoom
