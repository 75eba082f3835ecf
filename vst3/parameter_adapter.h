// Everything the VST 3 layer needs to know about the parameters beyond their normalized
// values: titles, units, defaults, steps, the bypass flag, display texts and their parsing.
// The one place that reads the shared parameter set.
#pragma once

#include <cstdint>

constexpr int vst3ParameterTextBytes = 15;  // display texts, as the other formats show them

const char* vst3ParameterTitle(int index);
const char* vst3ParameterUnits(int index);
float vst3ParameterDefault(int index);
int32_t vst3ParameterStepCount(int index);  // 0 for a continuous parameter
bool vst3IsBypassParameter(int index);

// The display text of a normalized value, into vst3ParameterTextBytes bytes.
void vst3FormatParameter(int index, float value, char* text);
// The number a display text shows (percent, decibels, the bias as it is).
double vst3PlainFromNormalized(int index, double value);
// Its inverse, unclamped.
double vst3NormalizedFromPlain(int index, double plain);
