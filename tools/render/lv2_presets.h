// An LV2 plug-in's presets as lilv loads them for a host: found through the data that applies
// to the plug-in, their port values read from the preset's state.
#pragma once

#include <string>
#include <vector>

#include "tools/render/parameter_settings.h"

struct Lv2Preset {
    std::string uri, label, comment;
    std::vector<ResolvedSetting> ports;  // control input index and port value
};

// Sorted by label. Throws ProcessingError when a preset's state does not load or names a
// port the plug-in has not.
std::vector<Lv2Preset> loadLv2Presets(const Lv2Plugin& plugin);

// The preset labelled `name` (exactly, else ignoring letter case) of an LV2 plug-in; throws
// UsageError listing the presets when there is none, or when the plug-in is no LV2 plug-in.
Lv2Preset findLv2Preset(const PluginModule& module, const std::string& name);
