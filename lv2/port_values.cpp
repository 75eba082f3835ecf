#include "lv2/port_values.h"

#include "parameters/parameter_set.h"

float parameterFromPortValue(int parameter, float portValue) {
    switch (parameter) {
    case parameterTubeBias:
        return clampParameter(portValue);
    case parameterOutput:
        return clampParameter(normalizedFromOutputDecibels(portValue));
    case parameterBypass:
        return clampParameter(1.0f - portValue);
    default:
        return clampParameter(portValue / 100.0f);
    }
}

float portValueFromParameter(int parameter, float value) {
    switch (parameter) {
    case parameterTubeBias:
        return value;
    case parameterOutput:
        return outputDecibelsFromNormalized(value);
    case parameterBypass:
        return 1.0f - value;
    default:
        return value * 100.0f;
    }
}
