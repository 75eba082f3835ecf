// The three band stages of the literal path, one value at a time: Momentum on the low band,
// the tube shaper on the mid band and the 172 Sieve ripple on the high band. Their
// arithmetic is in stage_formulas.h, shared with the block kernels.
#pragma once

#include "engine/engine_state.h"

// Boosts the low band with its own level, follows the boosted peak and softly limits
// above 0.7. A non-finite value leaves the follower where it was.
double momentumStage(double x, double momentum, double& lowPeak, double lowPeakRelease);

double tubeStage(double m, double drive, double tubeBias, double crestSoftener,
                 double lfoDepth, double levelCubic, double levelSquare, double fs);

// Called only while 172 Sieve is above 0.01.
double sieveStage(double h, double sieve);
