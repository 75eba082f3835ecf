// Parameter settings from the command line: "NAME=VALUE", matched against the names the
// plug-in reports. VALUE is normalized 0..1 or a percentage of the range, or, for an LV2
// control, a value in the units the plug-in shows ("-3dB", "60%", "4x", a scale point's
// label), checked against its range.
#pragma once

#include <string>
#include <vector>

#include "tools/render/plugin_host.h"

struct ParameterSetting {
    std::string name;
    std::string value;
    std::string text;  // as given, for messages
};

struct ResolvedSetting {
    int index = 0;
    float value = 0.0f;  // what setEffectParameter takes
};

// Throws UsageError naming the setting when it is malformed.
ParameterSetting parseParameterSetting(const std::string& text);

// Exact names first, then ignoring letter case; throws UsageError listing the valid names,
// or naming the range of a value that is not in it.
std::vector<ResolvedSetting> resolveParameterSettings(const std::vector<ParameterSetting>& settings,
                                                      const std::vector<ParameterInfo>& parameters);
