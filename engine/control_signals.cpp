#include "engine/control_signals.h"

#include <cmath>

#include "engine/stage_formulas.h"

double modulatorDepth(double lfoValue, double crest) { return formula::modulatorDepth(lfoValue, crest); }

void updateControlSignals(EngineState& engine, double xL, double xR) {
    advanceControlState(engine, xL, xR);
    storeLevelShapes(engine, shapeLevels(engine.level, engine.slowLevel));
    engine.lfoValue = std::sin(engine.lfoPhase + lfoPhaseOffset);
    engine.lfoDepth = modulatorDepth(engine.lfoValue, engine.crest);
}
