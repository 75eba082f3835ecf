// Validates the host's block arguments, snapshots the shared settings and forwards to the
// engine; the engine never sees host types.
#include "host/process_entry.h"

#include "engine/process_block.h"
#include "host/plugin_instance.h"

void processReplacing(AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames) {
    PluginInstance* instance = instanceOf(effect);
    if (!instance || !inputs || !outputs) return;
    if (!inputs[0] || !inputs[1] || !outputs[0] || !outputs[1]) return;

    BlockSettings settings;
    for (int i = 0; i < parameterCount; ++i) settings.parameters[i] = loadParameter(*instance, i);
    settings.hostBypass = instance->bypassed.load(std::memory_order_relaxed);
    processBlock(instance->engine, instance->sampleRate, settings, inputs, outputs, sampleFrames);
}
