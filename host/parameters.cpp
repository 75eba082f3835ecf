#include "host/parameters.h"

#include <cmath>
#include <cstdio>

#include "host/platform.h"
#include "host/plugin_instance.h"

namespace {

struct ParameterInfo {
    const char* name;
    const char* label;
};

constexpr ParameterInfo parameterTable[parameterCount] = {
    {"Drive", "%"},    {"Tube Bias", "Asym"}, {"580 Glue", "%"}, {"Momentum", "%"},
    {"172 Sieve", "%"}, {"Output", "dB"},      {"Mix", "%"},      {"Bypass", ""},
};

}  // namespace

const float parameterDefaults[parameterCount] = {0.4f, 0.5f, 0.7f, 0.85f, 0.75f, 0.5f, 1.0f, 0.0f};

const char* parameterName(int index) { return validParameterIndex(index) ? parameterTable[index].name : ""; }

const char* parameterLabel(int index) {
    return validParameterIndex(index) ? parameterTable[index].label : "";
}

void formatParameterDisplay(int index, float value, char* text) {
    float shown;
    const char* format = "%.0f";
    if (index == parameterOutput) {
        shown = (value - 0.5f) * 36.0f;
        format = "%.1f";
    } else if (index == parameterTubeBias) {
        shown = value;
        format = "%.2f";
    } else {
        shown = value * 100.0f;
    }
    std::snprintf(text, parameterTextBytes, format, static_cast<double>(shown));
}

void setParameter(AEffect* effect, int32_t index, float value) {
    PluginInstance* instance = instanceOf(effect);
    if (!instance || !validParameterIndex(index)) return;
    instance->parameters[index].store(clampParameter(value), std::memory_order_relaxed);
    invalidateEditor(*instance);
}

float getParameter(AEffect* effect, int32_t index) {
    PluginInstance* instance = instanceOf(effect);
    if (!instance || !validParameterIndex(index)) return 0.0f;
    return loadParameter(*instance, index);
}
