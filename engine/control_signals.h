// The per-frame control signals: a peak-normalised level follower, a slow follower of it,
// the crest between the two and a 5.8 Hz modulator whose depth shrinks as the crest grows.
#pragma once

#include "engine/engine_state.h"

constexpr double detectorCeiling = 1000000.0;

// The detector input of one frame: the larger magnitude, with the left sample winning ties
// and not-a-number; 0 for anything not a number or at least a million.
double detectorInput(double xL, double xR);

void updateControlSignals(EngineState& engine, double xL, double xR);
