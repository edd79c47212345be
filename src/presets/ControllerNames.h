// MIDI controller numbers as the editor shows them, and the quantiser that turns an
// assignment value into a controller number.
#pragma once

namespace presets {

// Positions of an assignment value: controllers 0..127 and 128 for "not assigned".
constexpr int kAssignmentSteps = 129;
constexpr int kNotAssignedStep = 128;
// Positions of the controller display: the 129 above and 129 for an empty text.
constexpr int kControllerDisplaySteps = 130;

// The step of a normalised value among n: the integer part of floor(n * x) + 0.5, at most
// n - 1. Values that have no step (negative, NaN) fall on the last step, so a bad
// assignment value reads as "not assigned".
int controllerStep(float x, int n);
// The value that stands for step k among n: (k + 0.5) / n.
constexpr float controllerStepValue(int k, int n) { return (static_cast<float>(k) + 0.5f) / static_cast<float>(n); }

// Entry `step` (0..129) of the controller name table: a controller's name, "control N"
// for the unnamed ones, "not assigned" for 128 and the empty text for 129 and anything
// outside the table.
const char* controllerName(int step);

}  // namespace presets
