#pragma once

// The eight normalised parameters, in the order hosts see them.
enum ParameterIndex : int {
    parameterDrive = 0,
    parameterTubeBias = 1,
    parameterGlue = 2,
    parameterMomentum = 3,
    parameterSieve = 4,
    parameterOutput = 5,
    parameterMix = 6,
    parameterBypass = 7,
};

constexpr int parameterCount = 8;

inline bool validParameterIndex(int index) { return index >= 0 && index < parameterCount; }
