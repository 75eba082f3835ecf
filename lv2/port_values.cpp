#include "lv2/port_values.h"

#include "parameters/parameter_set.h"

float parameterFromPortValue(int parameter, float portValue) {
    const ParameterSpec& spec = parameterTable[parameter];
    if (spec.isBypass) return clampParameter(1.0f - portValue);
    return clampParameter(normalizedFromShown(spec, portValue));
}

float portValueFromParameter(int parameter, float value) {
    const ParameterSpec& spec = parameterTable[parameter];
    if (spec.isBypass) return 1.0f - value;
    return shownFromNormalized(spec, value);
}
