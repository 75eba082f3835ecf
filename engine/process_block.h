// The block frame: bypass, the per-block parameter snapshot and output gain, and the
// per-frame path from the two input samples to the two clamped output samples.
#pragma once

#include <cstdint>

#include "engine/engine_state.h"
#include "engine/parameter_index.h"

// What the engine reads of the host side once per block.
struct BlockSettings {
    float parameters[parameterCount];
    bool hostBypass;
};

// The parameter snapshot of one processed block, widened to double.
struct BlockSnapshot {
    double drive;
    double tubeBias;
    double glue;
    double momentum;
    double sieve;
    double mix;
    double outputGain;
};

bool isBlockBypassed(const BlockSettings& settings);
double outputGainFor(float outputParameter);
BlockSnapshot takeSnapshot(const BlockSettings& settings);

// Copies input to output for a bypassed block; safe for in-place and crossed buffers.
void copyBypassedBlock(const float* const* inputs, float* const* outputs, int32_t sampleFrames);

// The literal stage-by-stage path, kept as the reference for the fast one.
void processBlockReference(EngineState& engine, double sampleRate, const BlockSettings& settings,
                           const float* const* inputs, float* const* outputs,
                           int32_t sampleFrames);

// What the plug-in runs.
void processBlock(EngineState& engine, double sampleRate, const BlockSettings& settings,
                  const float* const* inputs, float* const* outputs, int32_t sampleFrames);
