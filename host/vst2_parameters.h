// The VST 2.4 side of the parameter set: the host's setParameter and getParameter.
#pragma once

#include <cstdint>

#include "host/vst2_abi.h"
#include "parameters/parameter_set.h"

struct PluginInstance;

void setParameter(AEffect* effect, int32_t index, float value);
float getParameter(AEffect* effect, int32_t index);
