// The per-frame control signals: a peak-normalised level follower, a slow follower of it,
// the crest between the two and a 5.8 Hz modulator whose depth shrinks as the crest grows.
#pragma once

#include "engine/engine_state.h"

constexpr double detectorCeiling = 1000000.0;

// The detector input of one frame: the larger magnitude, with the left sample winning ties
// and not-a-number; 0 for anything not a number or at least a million.
double detectorInput(double xL, double xR);

void updateControlSignals(EngineState& engine, double xL, double xR);

// Everything of updateControlSignals up to the modulator phase; the modulator's value and
// depth are left to the caller (the fast kernel takes the sines of a whole block at once).
void advanceControlSignals(EngineState& engine, double xL, double xR);
constexpr double lfoPhaseOffset = 0.8224670334241132;  // added after the wrap, not stored
double modulatorDepth(double lfoValue, double crest);
