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

// Every parameter write is clamped: not below 1 (or not a number) gives 1, not above 0
// gives 0.
inline float clampParameter(float value) {
    if (!(value < 1.0f)) return 1.0f;
    if (!(value > 0.0f)) return 0.0f;
    return value;
}
