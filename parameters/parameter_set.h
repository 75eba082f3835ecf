// The one description of the plug-in's parameters that every format and the editor read:
// per parameter its name, symbol, unit, range and default in the units a panel shows, its
// stepping, its display text and the mapping between those units and the normalized 0..1
// value the engine reads. Platform-free.
//
// A shown value is (normalized - offset) × span in single precision, where span is
// maximum - minimum and offset is -minimum / span (0 for the per-cent controls, 0.5 for
// Output's -18..+18 dB); the normalized value of a shown value is shown / span + offset.
// A control that only some formats carry gets a ParameterSpec of its own beside this table;
// the eight here are the VST 2.4 library's parameters, in ParameterIndex order.
#pragma once

#include <cstddef>

#include "parameters/parameter_index.h"

constexpr int parameterLabelBytes = 7;
constexpr int parameterTextBytes = 15;  // names and display texts

struct ParameterSpec {
    const char* name;    // as hosts list it
    const char* symbol;  // lower-case identifier, stable across versions (LV2 port symbol)
    const char* unit;    // the VST 2.4 label; "" for none
    float minimum;       // range and default in shown units
    float maximum;
    float defaultShown;
    int decimals;        // digits after the point in the display text
    int steps;           // 0: continuous; n: n + 1 positions from minimum to maximum
    bool isBypass;       // the switch that passes the input through
};

constexpr ParameterSpec parameterTable[parameterCount] = {
    {"Drive", "drive", "%", 0.0f, 100.0f, 40.0f, 0, 0, false},
    {"Tube Bias", "tube_bias", "Asym", 0.0f, 1.0f, 0.5f, 2, 0, false},
    {"580 Glue", "glue_580", "%", 0.0f, 100.0f, 70.0f, 0, 0, false},
    {"Momentum", "momentum", "%", 0.0f, 100.0f, 85.0f, 0, 0, false},
    {"172 Sieve", "sieve_172", "%", 0.0f, 100.0f, 75.0f, 0, 0, false},
    {"Output", "output", "dB", -18.0f, 18.0f, 0.0f, 1, 0, false},
    {"Mix", "mix", "%", 0.0f, 100.0f, 100.0f, 0, 0, false},
    {"Bypass", "bypass", "", 0.0f, 100.0f, 0.0f, 0, 1, true},
};

// Oversampling, a control of the formats that can report latency (LV2, CLAP, VST 3) and not
// of the VST 2.4 library: its positions are the engine's factors, shown as "1x" ... "8x".
constexpr int oversamplingFactors[] = {1, 2, 4, 8};
constexpr int oversamplingChoiceCount = 4;
constexpr const char* oversamplingName = "Oversampling";
constexpr const char* oversamplingSymbol = "oversampling";

// The position (0..3) of a factor, and the display text of a position: "1x" ... "8x".
int oversamplingChoiceOf(int factor);  // -1 for anything but 1, 2, 4 and 8
void formatOversamplingChoice(int choice, char* text, size_t size);
// Reads "4", "4x", "4X" or "4×" (spaces around allowed) back into its position; false for
// anything else, with *choice untouched.
bool parseOversamplingText(const char* text, int* choice);

constexpr float shownSpan(const ParameterSpec& spec) { return spec.maximum - spec.minimum; }
constexpr float normalizedOffset(const ParameterSpec& spec) {
    return -spec.minimum / shownSpan(spec);
}

// Unclamped both ways: a shown value outside the range maps outside 0..1.
constexpr float shownFromNormalized(const ParameterSpec& spec, float value) {
    return (value - normalizedOffset(spec)) * shownSpan(spec);
}
constexpr float normalizedFromShown(const ParameterSpec& spec, float shown) {
    return shown / shownSpan(spec) + normalizedOffset(spec);
}

constexpr float defaultNormalized(const ParameterSpec& spec) {
    return normalizedFromShown(spec, spec.defaultShown);
}

// The defaults as normalized values, in ParameterIndex order.
struct ParameterDefaults {
    float values[parameterCount];
    constexpr float operator[](int index) const { return values[index]; }
};
constexpr ParameterDefaults makeParameterDefaults() {
    ParameterDefaults defaults{};
    for (int i = 0; i < parameterCount; ++i) defaults.values[i] = defaultNormalized(parameterTable[i]);
    return defaults;
}
constexpr ParameterDefaults parameterDefaults = makeParameterDefaults();

inline const char* parameterName(int index) {
    return validParameterIndex(index) ? parameterTable[index].name : "";
}
inline const char* parameterLabel(int index) {
    return validParameterIndex(index) ? parameterTable[index].unit : "";
}

// Which texts a format shows. The VST 2.4 library's are the shown value as "%.*f" prints it,
// Bypass as 0 or 100 and a value just below zero as "-0.0"; the newer formats (CLAP, VST 3,
// LV2) show Bypass as "Off" or "On" and a value that rounds to zero without its sign.
enum class TextConvention { vst2Library, newerFormats };

// A number with `decimals` digits after the point, as "%.*f" prints it in the "C" locale
// whatever the process's LC_NUMERIC: zero-terminated in `size` bytes, returning the
// characters the whole number needs (as snprintf counts them).
int formatFixed(double value, int decimals, char* text, size_t size);

// The display text of a normalized value (unclamped): "40", "0.50", "-18.0", or "Off"/"On"
// for Bypass in the newer formats. Returns the characters written, as snprintf counts them.
int formatParameterNumber(const ParameterSpec& spec, float value, char* text, size_t size,
                          TextConvention convention);

// The display text of a valid index into 15 bytes.
void formatParameterDisplay(int index, float value, char* text, TextConvention convention);

// Reads a display text back, with or without the unit after the number (surrounding spaces
// allowed), into a normalized value clamped to 0..1; a stepped parameter snaps to its
// nearest position. The decimal separator is the point or, from a host that formats in its
// locale, the comma. In the newer formats Bypass reads "Off" and "On" (any case) and its
// numbers as 0 for off and 1 for on. False (and *value untouched) for anything else.
bool parseParameterText(const ParameterSpec& spec, const char* text, float* value,
                        TextConvention convention);
