// The editor's zoom: the factors it offers, which one a window opens at, how a scale from
// the desktop or the host becomes one of them, and the window's size at each. The panel
// keeps its own 942 x 171 coordinates at every factor; only its window and what is drawn
// into it grow.
#pragma once

namespace zoom {

// Per cent of the panel's own size.
inline constexpr int kFactors[] = {100, 125, 150, 175, 200};
inline constexpr int kCount = sizeof kFactors / sizeof kFactors[0];

// The offered factor nearest to `scale` (1 for 100 %), the larger one when it lies halfway;
// 0 for a scale that is not a positive finite number.
int nearest(double scale);
// The index of `percent` among the factors, -1 when it is not one.
int indexOf(int percent);

// The window at `percent`: the panel's width and height times the factor, each rounded to
// the nearest pixel, halves up (1413 x 257 at 150 %), as the toolkit rounds every edge.
struct Size {
    int width, height;
};
Size windowSize(int percent);

// What a window opens at: the user's stored choice (a per cent between 100 and 200, taken
// as the nearest factor; 0 or anything else: none), else the scale the host announced,
// else the desktop's scale (0: unknown), else 100.
struct Sources {
    int stored = 0;
    double host = 0;
    double system = 0;
};
int startFactor(const Sources& sources);
// The stored choice as a factor, 0 when there is none worth taking.
int storedFactor(int stored);

}  // namespace zoom
