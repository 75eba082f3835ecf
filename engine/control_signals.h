// The per-frame control signals: a peak-normalised level follower, a slow follower of it,
// the crest between the two and a 5.8 Hz modulator whose depth shrinks as the crest grows.
#pragma once

#include <cmath>

#include "engine/circle.h"
#include "engine/engine_state.h"

constexpr double detectorCeiling = 1000000.0;

// One frame of every control signal, the modulator's sine and depth included.
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

// What the control signals derive from a frame's level and slow level.
template <class V>
struct LevelShapes {
    V crest, crestNorm, crestSoftener, levelCubic, levelSquare;
};

template <class V>
inline LevelShapes<V> shapeLevels(V level, V slowLevel) {
    LevelShapes<V> s;
    s.crest = level / (absolute(0.1 * slowLevel) + 0.04);
    const V crestNorm = s.crest / 25.0;
    s.crestNorm = select(crestNorm > 1.0, broadcast<V>(1.0), crestNorm);
    s.crestSoftener = 1.0 / (s.crestNorm * (2.0 * s.crestNorm) + 1.0);
    const V levelCubic = ((level * (level * level)) * 91.0) / 81.0;
    s.levelCubic = select(levelCubic > 1.0, broadcast<V>(1.0), levelCubic);
    s.levelSquare = ((level * level) * 81.0) / 91.0;
    return s;
}

inline void storeLevelShapes(EngineState& engine, const LevelShapes<double>& s) {
    engine.crest = s.crest;
    engine.crestNorm = s.crestNorm;
    engine.crestSoftener = s.crestSoftener;
    engine.levelCubic = s.levelCubic;
    engine.levelSquare = s.levelSquare;
}

// The state the control signals carry from frame to frame: the peak normaliser, the level,
// the slow level and the modulator phase. In the header so that the kernels' frame loop
// keeps the state in registers; the kernels take everything else on whole chunks.
inline void advanceControlState(EngineState& engine, double xL, double xR) {
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

    double phase = engine.lfoPhase + engine.lfoIncrement;
    if (phase > circle::twoPi) phase -= circle::twoPi;
    engine.lfoPhase = phase;
}

}  // namespace
