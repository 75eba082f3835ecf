#include "tools/render/parameter_settings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <strings.h>

#include "tools/render/errors.h"

namespace {

std::string trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace

ParameterSetting parseParameterSetting(const std::string& text) {
    size_t equals = text.rfind('=');
    if (equals == std::string::npos)
        throw UsageError("--set " + inQuotes(text) + ": expected NAME=VALUE");
    ParameterSetting setting;
    setting.text = text;
    setting.name = trimmed(text.substr(0, equals));
    std::string value = trimmed(text.substr(equals + 1));
    if (setting.name.empty()) throw UsageError("--set " + inQuotes(text) + ": the name is empty");

    bool percent = !value.empty() && value.back() == '%';
    if (percent) value = trimmed(value.substr(0, value.size() - 1));
    double number = 0.0;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (value.empty() || error != std::errc() || end != value.data() + value.size() ||
        !std::isfinite(number))
        throw UsageError("--set " + inQuotes(text) + ": " + inQuotes(value) + " is not a number");
    double limit = percent ? 100.0 : 1.0;
    if (number < 0.0 || number > limit)
        throw UsageError("--set " + inQuotes(text) + ": the value must lie in " +
                         (percent ? "0%..100%" : "0..1"));
    setting.value = static_cast<float>(percent ? number / 100.0 : number);
    return setting;
}

std::vector<ResolvedSetting> resolveParameterSettings(const std::vector<ParameterSetting>& settings,
                                                      const std::vector<ParameterInfo>& parameters) {
    std::vector<ResolvedSetting> resolved;
    for (const ParameterSetting& setting : settings) {
        auto match = std::find_if(parameters.begin(), parameters.end(),
                                  [&](const ParameterInfo& p) { return p.name == setting.name; });
        if (match == parameters.end())
            match = std::find_if(parameters.begin(), parameters.end(), [&](const ParameterInfo& p) {
                return strcasecmp(p.name.c_str(), setting.name.c_str()) == 0;
            });
        if (match == parameters.end()) {
            std::string names;
            for (const ParameterInfo& p : parameters) names += (names.empty() ? "" : ", ") + p.name;
            throw UsageError("unknown parameter " + inQuotes(setting.name) + "; valid names: " +
                             (names.empty() ? "(the plug-in has no parameters)" : names));
        }
        resolved.push_back(ResolvedSetting{match->index, setting.value});
    }
    return resolved;
}
