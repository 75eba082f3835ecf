// The LV2 entry: instantiation for the host's sample rate, port connection and run. Each run
// reads the connected control ports once, converts them to the parameter values and hands
// the block to the engine; nothing here allocates, locks or calls the system while running.
#include <cmath>
#include <cstdint>
#include <new>

#include <lv2/core/lv2.h>

#include "engine/oversampling.h"
#include "lv2/lv2_instance.h"
#include "lv2/port_values.h"
#include "parameters/parameter_set.h"

namespace {

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*,
                       const LV2_Feature* const*) {
    // Any positive rate; the engine raises rates below its floor as it does for VST hosts.
    if (!(rate > 0.0 && std::isfinite(rate))) return nullptr;
    Lv2Instance* instance = new (std::nothrow) Lv2Instance{};
    if (!instance) return nullptr;
    instance->sampleRate = prepareEngine(instance->engine, rate);
    oversamplerSetup(instance->oversampler);
    return instance;
}

void connectPort(LV2_Handle handle, uint32_t port, void* data) {
    Lv2Instance& instance = *static_cast<Lv2Instance*>(handle);
    if (port < lv2PortInputLeft) {
        instance.controls[port] = static_cast<const float*>(data);
        return;
    }
    switch (port) {
    case lv2PortInputLeft: instance.inputs[0] = static_cast<const float*>(data); break;
    case lv2PortInputRight: instance.inputs[1] = static_cast<const float*>(data); break;
    case lv2PortOutputLeft: instance.outputs[0] = static_cast<float*>(data); break;
    case lv2PortOutputRight: instance.outputs[1] = static_cast<float*>(data); break;
    case lv2PortOversampling: instance.oversampling = static_cast<const float*>(data); break;
    case lv2PortLatency: instance.latency = static_cast<float*>(data); break;
    default: break;
    }
}

// Activation starts from silence, as a VST 2.4 resume does: the last run's history is
// forgotten, the preparation for the instance's rate stays.
void activate(LV2_Handle handle) {
    Lv2Instance& instance = *static_cast<Lv2Instance*>(handle);
    resetOversampledHistory(instance.oversampler, instance.engine);
}
void deactivate(LV2_Handle) {}

void run(LV2_Handle handle, uint32_t sampleCount) {
    Lv2Instance& instance = *static_cast<Lv2Instance*>(handle);
    // A new factor re-prepares the engine for its rate and starts the resamplers and delays
    // from silence (everything is in the instance: nothing is allocated). The latency port
    // is written on every run, as hosts read it after one.
    const int factor = instance.oversampling ? oversamplingFactorFor(*instance.oversampling) : 1;
    if (factor != instance.oversampler.factor)
        setOversamplingFactor(instance.oversampler, instance.engine, factor, instance.sampleRate);
    if (instance.latency) *instance.latency = static_cast<float>(instance.oversampler.latency);
    if (!instance.inputs[0] || !instance.inputs[1] || !instance.outputs[0] ||
        !instance.outputs[1])
        return;

    BlockSettings settings;
    for (int i = 0; i < parameterCount; ++i) {
        const float* port = instance.controls[i];
        settings.parameters[i] = port ? parameterFromPortValue(i, *port) : parameterDefaults[i];
    }
    settings.hostBypass = false;

    const float* inputs[2] = {instance.inputs[0], instance.inputs[1]};
    float* outputs[2] = {instance.outputs[0], instance.outputs[1]};
    processOversampledFrames(instance.oversampler, instance.engine, instance.sampleRate, settings,
                             inputs, outputs, sampleCount);
}

void cleanup(LV2_Handle handle) { delete static_cast<Lv2Instance*>(handle); }

const void* extensionData(const char*) { return nullptr; }

const LV2_Descriptor descriptor = {
    VELMORA_LV2_URI, instantiate, connectPort, activate, run, deactivate, cleanup, extensionData,
};

}  // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? &descriptor : nullptr;
}
