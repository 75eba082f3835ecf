#include "engine/control_signals.h"

#include <cmath>

double detectorInput(double xL, double xR) {
    const double magnitudeL = std::fabs(xL);
    const double magnitudeR = std::fabs(xR);
    double d = magnitudeR > magnitudeL ? magnitudeR : magnitudeL;
    if (std::isnan(d)) d = 0.0;
    if (d >= detectorCeiling) d = 0.0;
    return d;
}

void advanceControlSignals(EngineState& engine, double xL, double xR) {
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

double modulatorDepth(double lfoValue, double crest) {
    return (0.08 * lfoValue) / (std::fabs(crest) + 1.0);
}

void updateControlSignals(EngineState& engine, double xL, double xR) {
    advanceControlSignals(engine, xL, xR);
    engine.lfoValue = std::sin(engine.lfoPhase + lfoPhaseOffset);
    engine.lfoDepth = modulatorDepth(engine.lfoValue, engine.crest);
}
