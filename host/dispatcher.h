#pragma once

#include "host/vst2_abi.h"

intptr_t dispatcher(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                    float opt);

// The editor's share of the dispatcher.
intptr_t openEditor(struct PluginInstance& instance, void* parent);
intptr_t closeEditor(struct PluginInstance& instance);
intptr_t idleEditor(struct PluginInstance& instance);
