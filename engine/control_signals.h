// The per-frame control signals: a peak-normalised level follower, a slow follower of it,
// the crest between the two and a 5.8 Hz modulator whose depth shrinks as the crest grows.
#pragma once

#include <cmath>

#include "engine/engine_state.h"

constexpr double detectorCeiling = 1000000.0;

void updateControlSignals(EngineState& engine, double xL, double xR);

constexpr double lfoPhaseOffset = 0.8224670334241132;  // added after the wrap, not stored
double modulatorDepth(double lfoValue, double crest);

namespace {

// The detector input of one frame: the larger magnitude, with the left sample winning ties
// and not-a-number; 0 for anything not a number or at least a million.
inline double detectorInput(double xL, double xR) {
    const double magnitudeL = std::fabs(xL);
    const double magnitudeR = std::fabs(xR);
    double d = magnitudeR > magnitudeL ? magnitudeR : magnitudeL;
    if (std::isnan(d)) d = 0.0;
    if (d >= detectorCeiling) d = 0.0;
    return d;
}

// Everything of updateControlSignals up to the modulator phase; the modulator's value and
// depth are left to the caller (the block kernels take the sines of a whole chunk at once).
// In the header so that the kernels' frame loop keeps the state in registers.
inline void advanceControlSignals(EngineState& engine, double xL, double xR) {
    const double d = detectorInput(xL, xR);

    const double decayedPeak = engine.peakNorm * engine.peakNormDecay;
    double peakNorm = decayedPeak > d ? decayedPeak : d;
    if (peakNorm < 0.001) peakNorm = 0.001;
    engine.peakNorm = peakNorm;

    double n = d / peakNorm;
    if (n > 1.0) n = 1.0;

    const double k = n > engine.level ? engine.levelAttack : engine.levelRelease;
    const double level = (1.0 - k) * n + k * engine.level;
    engine.level = level;

    engine.slowLevel = (level - engine.slowLevel) * engine.slowCoef + engine.slowLevel;

    const double crest = level / (std::fabs(0.1 * engine.slowLevel) + 0.04);
    engine.crest = crest;
    double crestNorm = crest / 25.0;
    if (crestNorm > 1.0) crestNorm = 1.0;
    engine.crestNorm = crestNorm;
    engine.crestSoftener = 1.0 / (crestNorm * (2.0 * crestNorm) + 1.0);

    double levelCubic = ((level * (level * level)) * 91.0) / 81.0;
    if (levelCubic > 1.0) levelCubic = 1.0;
    engine.levelCubic = levelCubic;
    engine.levelSquare = ((level * level) * 81.0) / 91.0;

    double phase = engine.lfoPhase + engine.lfoIncrement;
    if (phase > 6.283185307179586) phase -= 6.283185307179586;
    engine.lfoPhase = phase;
}

}  // namespace
