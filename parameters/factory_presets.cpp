#include "parameters/factory_presets.h"

#include <cstring>

namespace {

constexpr size_t textLength(const char* text) {
    size_t n = 0;
    while (text[n]) ++n;
    return n;
}

constexpr bool sameText(const char* a, const char* b) {
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}

constexpr bool isAlphanumeric(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}
constexpr char keyCharacter(char c) {
    if (!isAlphanumeric(c)) return '-';
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr bool sameKey(const char* a, const char* b) {
    while (*a && *b && keyCharacter(*a) == keyCharacter(*b)) ++a, ++b;
    return !*a && !*b;
}

constexpr bool presetsAreWellFormed() {
    for (int p = 0; p < factoryPresetCount; ++p) {
        const FactoryPreset& preset = factoryPresets[p];
        const size_t length = textLength(preset.name);
        if (length == 0 || length > presetNameLimit || textLength(preset.category) == 0) return false;
        for (int q = 0; q < p; ++q)
            if (sameText(preset.name, factoryPresets[q].name) || sameKey(preset.name, factoryPresets[q].name))
                return false;
        for (int i = 0; i < parameterCount; ++i) {
            const ParameterSpec& spec = parameterTable[i];
            if (!(preset.shown[i] >= spec.minimum && preset.shown[i] <= spec.maximum)) return false;
            if (spec.steps > 0 && preset.shown[i] != spec.minimum && preset.shown[i] != spec.maximum)
                return false;
        }
        bool knownFactor = false;
        for (int factor : oversamplingFactors) knownFactor = knownFactor || factor == preset.oversampling;
        if (!knownFactor) return false;
    }
    return true;
}

constexpr bool defaultIsConstruction() {
    const FactoryPreset& preset = factoryPresets[0];
    const PresetValues values = presetValues(preset);
    for (int i = 0; i < parameterCount; ++i)
        if (values.parameters[i] != parameterDefaults[i]) return false;
    return sameText(preset.name, "Default") && values.oversamplingChoice == 0;
}

static_assert(factoryPresetCount >= 12 && factoryPresetCount <= 20);
static_assert(presetsAreWellFormed(), "preset names unique, at most 24 characters, values in range");
static_assert(defaultIsConstruction(), "the first preset is \"Default\", the construction values");
// The normalized values come from the table's mapping: Output's -6.5 dB is 0.5 - 6.5 / 36.
static_assert(presetValues(factoryPresets[2]).parameters[parameterOutput] == -6.5f / 36.0f + 0.5f);
static_assert(presetValues(factoryPresets[3]).oversamplingChoice == 2);

}  // namespace

int findFactoryPreset(const char* name) {
    if (!name) return -1;
    for (int p = 0; p < factoryPresetCount; ++p)
        if (std::strcmp(factoryPresets[p].name, name) == 0) return p;
    return -1;
}

void formatPresetKey(int index, char* key, size_t size) {
    if (size == 0) return;
    size_t n = 0;
    if (validPresetIndex(index))
        for (const char* c = factoryPresets[index].name; *c && n + 1 < size; ++c) key[n++] = keyCharacter(*c);
    key[n] = '\0';
}

int findPresetByKey(const char* key) {
    if (!key) return -1;
    char candidate[presetNameLimit + 1];
    for (int p = 0; p < factoryPresetCount; ++p) {
        formatPresetKey(p, candidate, sizeof candidate);
        if (std::strcmp(candidate, key) == 0) return p;
    }
    return -1;
}
