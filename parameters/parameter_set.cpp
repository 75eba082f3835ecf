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
