// The second half of the frame: the 580 Glue saturator and the output clamp.
#pragma once

constexpr double outputLimit = 0.98;

double glueGain(double x);
// Called only while 580 Glue is above 0.01.
double glueStage(double x, double glue);

// Clamps to ±0.98 (not-a-number becomes +0.98) and narrows to single precision.
inline float clampAndNarrow(double v) {
    if (!(v < outputLimit)) return static_cast<float>(outputLimit);
    if (v > -outputLimit) return static_cast<float>(v);
    return static_cast<float>(-outputLimit);
}

// The side signal's widening factor, at least 1.
double sideWidthFactor(double levelCubic, double lfoValue);
