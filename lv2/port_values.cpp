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
