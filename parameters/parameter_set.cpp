#include "parameters/parameter_set.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

static_assert(parameterDefaults[parameterDrive] == 0.4f && parameterDefaults[parameterTubeBias] == 0.5f &&
              parameterDefaults[parameterGlue] == 0.7f && parameterDefaults[parameterMomentum] == 0.85f &&
              parameterDefaults[parameterSieve] == 0.75f && parameterDefaults[parameterOutput] == 0.5f &&
              parameterDefaults[parameterMix] == 1.0f && parameterDefaults[parameterBypass] == 0.0f);
static_assert(shownFromNormalized(parameterTable[parameterOutput], 0.0f) == -18.0f &&
              normalizedOffset(parameterTable[parameterOutput]) == 0.5f);

void formatParameterDisplay(int index, float value, char* text) {
    formatParameterNumber(parameterTable[index], value, text, parameterTextBytes);
}

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool parseParameterText(const ParameterSpec& spec, const char* text, float* value) {
    if (!text || !value) return false;
    while (isSpace(*text)) ++text;
    char* end = nullptr;
    const double shown = std::strtod(text, &end);
    if (end == text || !std::isfinite(shown)) return false;
    while (isSpace(*end)) ++end;
    const size_t unitLength = std::strlen(spec.unit);
    if (unitLength > 0 && std::strncmp(end, spec.unit, unitLength) == 0) end += unitLength;
    while (isSpace(*end)) ++end;
    if (*end != '\0') return false;

    float normalized = clampParameter(normalizedFromShown(spec, static_cast<float>(shown)));
    if (spec.steps > 0)
        normalized = std::nearbyint(normalized * static_cast<float>(spec.steps)) /
                     static_cast<float>(spec.steps);
    *value = normalized;
    return true;
}

int oversamplingChoiceOf(int factor) {
    for (int choice = 0; choice < oversamplingChoiceCount; ++choice)
        if (oversamplingFactors[choice] == factor) return choice;
    return -1;
}

void formatOversamplingChoice(int choice, char* text, size_t size) {
    const bool valid = choice >= 0 && choice < oversamplingChoiceCount;
    std::snprintf(text, size, "%dx", oversamplingFactors[valid ? choice : 0]);
}

bool parseOversamplingText(const char* text, int* choice) {
    if (!text || !choice) return false;
    while (isSpace(*text)) ++text;
    if (*text < '0' || *text > '9') return false;
    char* end = nullptr;
    const long factor = std::strtol(text, &end, 10);
    while (isSpace(*end)) ++end;
    if (*end == 'x' || *end == 'X') ++end;
    else if (std::strncmp(end, "\xC3\x97", 2) == 0) end += 2;  // "×" in UTF-8
    while (isSpace(*end)) ++end;
    const int found = factor <= 8 ? oversamplingChoiceOf(static_cast<int>(factor)) : -1;
    if (*end != '\0' || found < 0) return false;
    *choice = found;
    return true;
}
