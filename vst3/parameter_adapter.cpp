#include "vst3/parameter_adapter.h"

#include "parameters/parameter_set.h"

static_assert(vst3ParameterTextBytes == parameterTextBytes);

const char* vst3ParameterTitle(int index) { return parameterName(index); }
const char* vst3ParameterUnits(int index) { return parameterLabel(index); }
float vst3ParameterDefault(int index) { return parameterDefaults[index]; }
int32_t vst3ParameterStepCount(int index) { return index == parameterBypass ? 1 : 0; }
bool vst3IsBypassParameter(int index) { return index == parameterBypass; }

void vst3FormatParameter(int index, float value, char* text) {
    formatParameterDisplay(index, value, text);
}

double vst3PlainFromNormalized(int index, double value) {
    if (index == parameterOutput)
        return static_cast<double>(outputDecibelsFromNormalized(static_cast<float>(value)));
    if (index == parameterTubeBias) return value;
    return value * 100.0;
}

double vst3NormalizedFromPlain(int index, double plain) {
    if (index == parameterOutput)
        return static_cast<double>(normalizedFromOutputDecibels(static_cast<float>(plain)));
    if (index == parameterTubeBias) return plain;
    return plain / 100.0;
}
