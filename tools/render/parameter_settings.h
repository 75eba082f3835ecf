// Parameter settings from the command line: "NAME=VALUE" with VALUE normalized 0..1 or a
// percentage, matched against the names the plug-in reports.
#pragma once

#include <string>
#include <vector>

#include "tools/render/plugin_host.h"

struct ParameterSetting {
    std::string name;
    float value = 0.0f;
    std::string text;  // as given, for messages
};

struct ResolvedSetting {
    int index = 0;
    float value = 0.0f;
};

// Throws UsageError naming the setting when it is malformed or out of range.
ParameterSetting parseParameterSetting(const std::string& text);

// Exact names first, then ignoring letter case; throws UsageError listing the valid names.
std::vector<ResolvedSetting> resolveParameterSettings(const std::vector<ParameterSetting>& settings,
                                                      const std::vector<ParameterInfo>& parameters);
