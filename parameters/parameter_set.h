// The parameter set as every plug-in format shows it: names, labels, defaults, the Output
// parameter in decibels and the display texts. Platform-free.
#pragma once

#include "engine/parameter_index.h"

constexpr int parameterLabelBytes = 7;
constexpr int parameterTextBytes = 15;  // names and display texts

extern const float parameterDefaults[parameterCount];
const char* parameterName(int index);
const char* parameterLabel(int index);


// The Output parameter's gain in decibels: -18 dB at 0, 0 dB at 0.5, +18 dB at 1.
float outputDecibelsFromNormalized(float value);
// Its inverse, unclamped: what a write of that many decibels stores before the clamp.
float normalizedFromOutputDecibels(float decibels);

// Writes the display text of the value as a zero-terminated string into 15 bytes.
void formatParameterDisplay(int index, float value, char* text);
