#include "tools/render/parameter_settings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <strings.h>

#include "tools/render/errors.h"

namespace {

std::string trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool sameText(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

// "4x" and "4×" alike.
std::string withPlainTimes(std::string text) {
    for (size_t at; (at = text.find("\u00d7")) != std::string::npos;) text.replace(at, 2, "x");
    return text;
}

std::string number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return text;
}

// What the parameter takes, for messages: "0..1 (normalized) or -18 dB..18 dB".
std::string rangeText(const ParameterInfo& p) {
    std::string text = "0..1 (normalized) or 0%..100%";
    if (p.normalizedOnly || p.enabledSwitch) return text;
    const std::string unit = p.label.empty() ? "" : " " + p.label;
    text = "0..1 (normalized) or " + number(p.minimum) + unit + ".." + number(p.maximum) + unit;
    if (!p.scalePoints.empty()) {
        text += " (";
        for (size_t i = 0; i < p.scalePoints.size(); ++i) text += (i ? ", " : "") + p.scalePoints[i].label;
        text += ")";
    }
    return text;
}

// An integer control with scale points takes the nearest of them, another its nearest
// whole value.
float snapped(const ParameterInfo& p, float value) {
    if (!p.integer) return value;
    if (p.scalePoints.empty()) return std::round(value);
    float best = p.scalePoints.front().value;
    for (const ScalePoint& point : p.scalePoints)
        if (std::fabs(point.value - value) < std::fabs(best - value)) best = point.value;
    return best;
}

bool isScalePoint(const ParameterInfo& p, double value) {
    for (const ScalePoint& point : p.scalePoints)
        if (point.value == value) return true;
    return false;
}

float valueFor(const ParameterInfo& p, const ParameterSetting& setting) {
    const std::string where = "--set " + inQuotes(setting.text) + ": ";
    const std::string outOfRange = where + p.name + " takes " + rangeText(p);
    for (const ScalePoint& point : p.scalePoints)
        if (sameText(withPlainTimes(point.label), withPlainTimes(setting.value))) return point.value;

    const std::string& text = setting.value;
    const size_t start = !text.empty() && text[0] == '+' ? 1 : 0;
    double amount = 0.0;
    auto [end, error] = std::from_chars(text.data() + start, text.data() + text.size(), amount);
    const std::string unit = trimmed(std::string(end, text.data() + text.size()));
    const bool timesUnit = withPlainTimes(unit) == "x" && !p.scalePoints.empty();
    const bool inUnits = !p.normalizedOnly && !p.enabledSwitch && !unit.empty() &&
                         (sameText(unit, p.label) || timesUnit);
    if (error != std::errc() || end == text.data() + start || !std::isfinite(amount) ||
        (!unit.empty() && unit != "%" && !inUnits))
        throw UsageError(where + inQuotes(text) + " is not a number; " + p.name + " takes " + rangeText(p));

    if (inUnits || (unit == "%" && p.label == "%" && !p.normalizedOnly)) {
        // An integer control with scale points takes only those (Oversampling: 1x, 2x, 4x, 8x).
        if (amount < p.minimum || amount > p.maximum || (p.integer && !p.scalePoints.empty() && !isScalePoint(p, amount)))
            throw UsageError(outOfRange);
        return snapped(p, static_cast<float>(amount));
    }
    const double normalized = unit == "%" ? amount / 100.0 : amount;
    if (normalized < 0.0 || normalized > 1.0) throw UsageError(outOfRange);
    if (p.normalizedOnly) return static_cast<float>(normalized);
    if (p.enabledSwitch) return normalized > 0.5 ? 0.0f : 1.0f;  // Bypass: 1 bypasses
    return snapped(p, static_cast<float>(p.minimum + normalized * (p.maximum - p.minimum)));
}

}  // namespace

ParameterSetting parseParameterSetting(const std::string& text) {
    size_t equals = text.rfind('=');
    if (equals == std::string::npos)
        throw UsageError("--set " + inQuotes(text) + ": expected NAME=VALUE");
    ParameterSetting setting;
    setting.text = text;
    setting.name = trimmed(text.substr(0, equals));
    setting.value = trimmed(text.substr(equals + 1));
    if (setting.name.empty()) throw UsageError("--set " + inQuotes(text) + ": the name is empty");
    if (setting.value.empty()) throw UsageError("--set " + inQuotes(text) + ": the value is empty");
    return setting;
}

std::vector<ResolvedSetting> resolveParameterSettings(const std::vector<ParameterSetting>& settings,
                                                      const std::vector<ParameterInfo>& parameters) {
    std::vector<ResolvedSetting> resolved;
    for (const ParameterSetting& setting : settings) {
        auto match = std::find_if(parameters.begin(), parameters.end(),
                                  [&](const ParameterInfo& p) { return p.name == setting.name; });
        if (match == parameters.end())
            match = std::find_if(parameters.begin(), parameters.end(),
                                 [&](const ParameterInfo& p) { return sameText(p.name, setting.name); });
        if (match == parameters.end()) {
            std::string names;
            for (const ParameterInfo& p : parameters) names += (names.empty() ? "" : ", ") + p.name;
            throw UsageError("unknown parameter " + inQuotes(setting.name) + "; valid names: " +
                             (names.empty() ? "(the plug-in has no parameters)" : names));
        }
        resolved.push_back(ResolvedSetting{match->index, valueFor(*match, setting)});
    }
    return resolved;
}
