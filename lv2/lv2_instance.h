// One LV2 instance: the engine with its oversampler, the host's rate and the host's port
// buffers.
#pragma once

#include "engine/engine_state.h"
#include "engine/oversampling.h"
#include "parameters/parameter_index.h"

struct Lv2Instance {
    EngineState engine;
    Oversampler oversampler;
    double sampleRate;  // the host's, as prepared (the engine runs at factor times it)
    const float* controls[parameterCount];  // null until the host connects one
    const float* inputs[2];
    float* outputs[2];
    const float* oversampling;
    float* latency;
};
