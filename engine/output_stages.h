// The second half of the literal path's frame, one value at a time: the 580 Glue saturator,
// the side signal's width and the output clamp (arithmetic in stage_formulas.h).
#pragma once

double glueGain(double x);
// Called only while 580 Glue is above 0.01.
double glueStage(double x, double glue);

// Clamps to ±0.98 (not-a-number becomes +0.98) and narrows to single precision.
float clampAndNarrow(double v);

// The side signal's widening factor, at least 1.
double sideWidthFactor(double levelCubic, double lfoValue);
