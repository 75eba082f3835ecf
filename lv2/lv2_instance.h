// One LV2 instance: the engine, the rate it is prepared for and the host's port buffers.
#pragma once

#include "engine/engine_state.h"
#include "parameters/parameter_index.h"

struct Lv2Instance {
    EngineState engine;
    double sampleRate;
    const float* controls[parameterCount];  // null until the host connects one
    const float* inputs[2];
    float* outputs[2];
};
