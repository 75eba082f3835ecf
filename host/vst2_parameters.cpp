#include "host/vst2_parameters.h"

#include "host/platform.h"
#include "host/plugin_instance.h"

void setParameter(AEffect* effect, int32_t index, float value) {
    PluginInstance* instance = instanceOf(effect);
    if (!instance || !validParameterIndex(index)) return;
    instance->parameters[index].store(clampParameter(value), std::memory_order_relaxed);
    invalidateEditor(*instance);
}

float getParameter(AEffect* effect, int32_t index) {
    PluginInstance* instance = instanceOf(effect);
    if (!instance || !validParameterIndex(index)) return 0.0f;
    return loadParameter(*instance, index);
}
