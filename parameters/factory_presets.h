// The factory presets: the one place they are written. Each gives the eight parameters in
// the units the panel shows (ParameterIndex order: Drive %, Tube Bias, 580 Glue %, Momentum %,
// 172 Sieve %, Output dB, Mix %, Bypass) and the Oversampling factor the formats that have it
// load; the normalized values every format sets are computed from the parameter table.
//
// The Output of each preset was chosen by rendering the built-in demo through it: the peak
// stays under -0.5 dBFS and the RMS within 1 dB of the dry demo's, except where a preset is
// meant to raise the level (docs/presets.md lists the figures).
#pragma once

#include <cstddef>
#include <iterator>

#include "parameters/parameter_set.h"

constexpr int presetNameLimit = 24;  // characters, as the smallest host field shows them

struct FactoryPreset {
    const char* name;
    const char* category;
    float shown[parameterCount];
    int oversampling;  // 1, 2, 4 or 8
    bool raisesLevel;  // louder than the dry signal on purpose
};

constexpr FactoryPreset factoryPresets[] = {
    // name                      category     Drive Bias  Glue Mom  Sieve Out    Mix  Byp  OS
    {"Default", "General", {40, 0.5f, 70, 85, 75, 0.0f, 100, 0}, 1, true},
    {"Mix Bus Warmth", "Mix Bus", {15, 0.5f, 40, 30, 20, -4.0f, 100, 0}, 1, false},
    {"Mix Bus Glue", "Mix Bus", {25, 0.55f, 75, 40, 30, -6.5f, 100, 0}, 1, false},
    {"Master Gentle", "Mastering", {10, 0.5f, 25, 20, 15, -3.0f, 100, 0}, 4, false},
    {"Drum Bus Glue", "Drums", {35, 0.6f, 85, 70, 50, -8.0f, 100, 0}, 1, false},
    {"Drum Crush", "Drums", {90, 0.7f, 100, 90, 80, -12.0f, 100, 0}, 2, false},
    {"Parallel Drum Smash", "Drums", {100, 0.6f, 100, 100, 60, -3.5f, 35, 0}, 1, false},
    {"Vocal Hot Tube", "Vocals", {60, 0.7f, 50, 10, 40, -9.5f, 100, 0}, 2, false},
    {"Top End Sheen", "Tone", {15, 0.5f, 30, 0, 100, -3.5f, 100, 0}, 2, false},
    {"Bass Weight", "Bass", {35, 0.4f, 60, 100, 10, -7.5f, 100, 0}, 1, false},
    {"Bass Growl", "Bass", {75, 0.8f, 70, 80, 30, -10.5f, 100, 0}, 2, false},
    {"Parallel Bass Thickener", "Bass", {70, 0.6f, 80, 100, 20, -2.5f, 40, 0}, 1, false},
    {"Guitar Grit", "Guitar", {80, 0.65f, 60, 40, 50, -10.5f, 100, 0}, 2, false},
    {"Keys Warmth", "Keys", {30, 0.45f, 45, 50, 35, -6.5f, 100, 0}, 1, false},
    {"Lo-Fi Tape", "Creative", {85, 0.9f, 100, 60, 100, -11.5f, 100, 0}, 1, false},
    {"Level Push", "Creative", {50, 0.55f, 100, 60, 40, -4.0f, 100, 0}, 1, true},
};
constexpr int factoryPresetCount = static_cast<int>(std::size(factoryPresets));

// What loading a preset sets: the normalized parameter values and the Oversampling position.
struct PresetValues {
    float parameters[parameterCount];
    int oversamplingChoice;
};

constexpr PresetValues presetValues(const FactoryPreset& preset) {
    PresetValues values{};
    for (int i = 0; i < parameterCount; ++i)
        values.parameters[i] = normalizedFromShown(parameterTable[i], preset.shown[i]);
    values.oversamplingChoice = 0;
    for (int c = 0; c < oversamplingChoiceCount; ++c)
        if (oversamplingFactors[c] == preset.oversampling) values.oversamplingChoice = c;
    return values;
}

inline bool validPresetIndex(int index) { return index >= 0 && index < factoryPresetCount; }

// The index of the preset named exactly so, or -1.
int findFactoryPreset(const char* name);

// A preset's key: its name in lower case with '-' for anything but letters and digits
// ("Lo-Fi Tape" is "lo-fi-tape"); the LV2 preset URIs end with it and CLAP loads by it.
// Zero-terminated in `size` bytes (presetNameLimit + 1 holds any).
void formatPresetKey(int index, char* key, size_t size);
// The index of the preset with this key, or -1.
int findPresetByKey(const char* key);
