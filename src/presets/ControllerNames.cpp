#include "ControllerNames.h"

#include <cmath>
#include <cstdio>

namespace presets {

namespace {

struct NamedController {
    int number;
    const char* text;
};

// Controllers with a name of their own; every other number reads "control N".
constexpr NamedController kNamedControllers[] = {
    {0, "bank sel MSB"},  {1, "modulation"},    {2, "breath"},        {4, "foot"},
    {5, "portamento"},    {6, "data ent MSB"},  {7, "main volume"},   {8, "balance"},
    {10, "pan"},          {11, "expression"},   {16, "gen purp 1"},   {17, "gen purp 2"},
    {18, "gen purp 3"},   {19, "gen purp 4"},   {32, "bank sel LSB"}, {33, "modul. LSB"},
    {34, "breath LSB"},   {36, "foot LSB"},     {37, "porta LSB"},    {38, "data ent LSB"},
    {39, "main vol LSB"}, {40, "balance LSB"},  {42, "pan LSB"},      {43, "express. LSB"},
    {64, "sustain"},      {65, "porta on/off"}, {66, "sostenuto"},    {67, "soft pedal"},
    {68, "legato FS"},    {69, "hold 2"},       {70, "sound var"},    {71, "harmonic"},
    {72, "release time"}, {73, "attack time"},  {74, "brightness"},   {80, "gen purp 5"},
    {81, "gen purp 6"},   {82, "gen purp 7"},   {83, "gen purp 8"},   {84, "porta ctrl"},
    {91, "ext FX"},       {92, "tremolo"},      {93, "chorus"},       {94, "detune"},
    {95, "phaser"},       {96, "data incr"},    {97, "data decr"},    {98, "NRPN LSB"},
    {99, "NRPN MSB"},     {100, "RPN LSB"},     {101, "RPN MSB"},     {120, "all snd off"},
    {121, "reset ctrl"},  {122, "local ctrl"},  {123, "all note off"}, {124, "omni off"},
    {125, "omni on"},     {126, "mono mode on"}, {127, "poly mode on"},
};

constexpr int kTextSize = 16;

struct NameTable {
    char texts[kControllerDisplaySteps][kTextSize] = {};

    NameTable() {
        for (int c = 0; c < kNotAssignedStep; ++c) std::snprintf(texts[c], kTextSize, "control %d", c);
        for (const NamedController& n : kNamedControllers) std::snprintf(texts[n.number], kTextSize, "%s", n.text);
        std::snprintf(texts[kNotAssignedStep], kTextSize, "not assigned");
        // Entry 129 stays empty.
    }
};

}  // namespace

int controllerStep(float x, int n) {
    if (n < 1) return 0;
    if (!(x >= 0.0f)) return n - 1;
    const double position = std::floor(static_cast<double>(n) * static_cast<double>(x)) + 0.5;
    if (position >= static_cast<double>(n - 1)) return n - 1;
    return static_cast<int>(position);
}

const char* controllerName(int step) {
    static const NameTable table;
    if (step < 0 || step >= kControllerDisplaySteps) return table.texts[kControllerDisplaySteps - 1];
    return table.texts[step];
}

}  // namespace presets
