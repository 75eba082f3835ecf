#include "parameters/parameter_set.h"

#include <cstdio>

namespace {

struct ParameterInfo {
    const char* name;
    const char* label;
};

constexpr ParameterInfo parameterTable[parameterCount] = {
    {"Drive", "%"},    {"Tube Bias", "Asym"}, {"580 Glue", "%"}, {"Momentum", "%"},
    {"172 Sieve", "%"}, {"Output", "dB"},      {"Mix", "%"},      {"Bypass", ""},
};

constexpr float outputDecibelSpan = 36.0f;

}  // namespace

const float parameterDefaults[parameterCount] = {0.4f, 0.5f, 0.7f, 0.85f, 0.75f, 0.5f, 1.0f, 0.0f};

const char* parameterName(int index) { return validParameterIndex(index) ? parameterTable[index].name : ""; }

const char* parameterLabel(int index) {
    return validParameterIndex(index) ? parameterTable[index].label : "";
}

float outputDecibelsFromNormalized(float value) { return (value - 0.5f) * outputDecibelSpan; }

float normalizedFromOutputDecibels(float decibels) {
    return decibels / outputDecibelSpan + 0.5f;
}

void formatParameterDisplay(int index, float value, char* text) {
    float shown;
    const char* format = "%.0f";
    if (index == parameterOutput) {
        shown = outputDecibelsFromNormalized(value);
        format = "%.1f";
    } else if (index == parameterTubeBias) {
        shown = value;
        format = "%.2f";
    } else {
        shown = value * 100.0f;
    }
    std::snprintf(text, parameterTextBytes, format, static_cast<double>(shown));
}
