// The parameter set: names, labels, defaults, clamping and display texts.
#pragma once

#include <cstdint>

#include "host/vst2_abi.h"

struct PluginInstance;

constexpr int parameterLabelBytes = 7;
constexpr int parameterTextBytes = 15;  // names and display texts

extern const float parameterDefaults[8];
const char* parameterName(int index);
const char* parameterLabel(int index);

// Writes the display text of the value as a zero-terminated string into 15 bytes.
void formatParameterDisplay(int index, float value, char* text);

void setParameter(AEffect* effect, int32_t index, float value);
float getParameter(AEffect* effect, int32_t index);
