#include "EngineTables.h"

namespace engine {

EngineTables::EngineTables()
    : sine(kSineSize), svfFrequency(kSvfFrequencySize), svfDamping(kSvfDampingSize), octave(kOctaveSize) {
    for (int i = 0; i < kSineSize; ++i) sine[i] = std::sin(i / kSineScale);
    for (int i = 0; i < kSvfFrequencySize; ++i) svfFrequency[i] = 2.0 * std::sin(i * kQuarterPiSingle / 8191.0);
    for (int i = 0; i < kSvfDampingSize; ++i) svfDamping[i] = 2.0 * (1.0 - std::pow(i / 4095.0, 0.25));
    for (int i = 0; i < kOctaveSize; ++i) octave[i] = std::pow(2.0, (i - 4999) / 4999.0);
}

}  // namespace engine
