#include "parameters/parameter_set.h"

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static_assert(parameterDefaults[parameterDrive] == 0.4f && parameterDefaults[parameterTubeBias] == 0.5f &&
              parameterDefaults[parameterGlue] == 0.7f && parameterDefaults[parameterMomentum] == 0.85f &&
              parameterDefaults[parameterSieve] == 0.75f && parameterDefaults[parameterOutput] == 0.5f &&
              parameterDefaults[parameterMix] == 1.0f && parameterDefaults[parameterBypass] == 0.0f);
static_assert(shownFromNormalized(parameterTable[parameterOutput], 0.0f) == -18.0f &&
              normalizedOffset(parameterTable[parameterOutput]) == 0.5f);

int formatFixed(double value, int decimals, char* text, size_t size) {
    // Wide enough for every finite double in fixed notation with a few decimals.
    char digits[DBL_MAX_10_EXP + 40];
    const std::to_chars_result result =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
    const size_t length = result.ec == std::errc() ? static_cast<size_t>(result.ptr - digits) : 0;
    if (size > 0) {
        const size_t kept = length < size - 1 ? length : size - 1;
        std::memcpy(text, digits, kept);
        text[kept] = '\0';
    }
    return static_cast<int>(length);
}

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t'; }

bool bypassIsOn(float normalized) { return normalized > 0.5f; }

// "-0", "-0.0", "-0.00": a minus sign and nothing but zeros.
bool isNegativeZero(const char* text) {
    if (text[0] != '-') return false;
    for (const char* c = text + 1; *c; ++c)
        if (*c != '0' && *c != '.') return false;
    return true;
}

bool equalsIgnoringCase(const char* begin, const char* end, const char* word) {
    for (; begin != end && *word; ++begin, ++word)
        if (std::tolower(static_cast<unsigned char>(*begin)) != *word) return false;
    return begin == end && *word == '\0';
}

// The number at the start of [begin, end) with the point or one comma as its separator and
// an optional sign; the end of what was read, or nullptr.
const char* readNumber(const char* begin, const char* end, double* number) {
    char copy[64];
    const char* start = begin;
    if (begin != end && *begin == '+') ++begin;
    const size_t length = static_cast<size_t>(end - begin);
    if (length == 0 || length >= sizeof copy) return nullptr;
    std::memcpy(copy, begin, length);
    char* comma = std::find(copy, copy + length, ',');
    if (comma != copy + length && std::find(copy, copy + length, '.') == copy + length) *comma = '.';
    const std::from_chars_result result =
        std::from_chars(copy, copy + length, *number);
    if (result.ec != std::errc() || result.ptr == copy || !std::isfinite(*number)) return nullptr;
    if (*begin == '-' && start != begin) return nullptr;  // "+-1"
    return begin + (result.ptr - copy);
}

}  // namespace

int formatParameterNumber(const ParameterSpec& spec, float value, char* text, size_t size,
                          TextConvention convention) {
    const bool newer = convention == TextConvention::newerFormats;
    if (newer && spec.isBypass) {
        const char* word = bypassIsOn(value) ? "On" : "Off";
        return std::snprintf(text, size, "%s", word);
    }
    const float shown = shownFromNormalized(spec, value);
    const int length = formatFixed(static_cast<double>(shown), spec.decimals, text, size);
    if (!newer || size == 0 || !isNegativeZero(text)) return length;
    std::memmove(text, text + 1, std::strlen(text));
    return length - 1;
}

void formatParameterDisplay(int index, float value, char* text, TextConvention convention) {
    formatParameterNumber(parameterTable[index], value, text, parameterTextBytes, convention);
}

bool parseParameterText(const ParameterSpec& spec, const char* text, float* value,
                        TextConvention convention) {
    if (!text || !value) return false;
    const char* begin = text;
    while (isSpace(*begin)) ++begin;
    const char* end = begin + std::strlen(begin);
    while (end != begin && isSpace(end[-1])) --end;
    const bool namedBypass = convention == TextConvention::newerFormats && spec.isBypass;
    if (namedBypass && (equalsIgnoringCase(begin, end, "off") || equalsIgnoringCase(begin, end, "on"))) {
        *value = equalsIgnoringCase(begin, end, "on") ? 1.0f : 0.0f;
        return true;
    }
    const size_t unitLength = std::strlen(spec.unit);
    if (unitLength > 0 && static_cast<size_t>(end - begin) >= unitLength &&
        std::strncmp(end - unitLength, spec.unit, unitLength) == 0) {
        end -= unitLength;
        while (end != begin && isSpace(end[-1])) --end;
    }
    double shown = 0.0;
    if (readNumber(begin, end, &shown) != end) return false;

    float normalized = namedBypass ? static_cast<float>(shown)
                                   : normalizedFromShown(spec, static_cast<float>(shown));
    normalized = clampParameter(normalized);
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
