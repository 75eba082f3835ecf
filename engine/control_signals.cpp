#include "engine/control_signals.h"

#include <cmath>

double modulatorDepth(double lfoValue, double crest) {
    return (0.08 * lfoValue) / (std::fabs(crest) + 1.0);
}

void updateControlSignals(EngineState& engine, double xL, double xR) {
    advanceControlSignals(engine, xL, xR);
    engine.lfoValue = std::sin(engine.lfoPhase + lfoPhaseOffset);
    engine.lfoDepth = modulatorDepth(engine.lfoValue, engine.crest);
}
