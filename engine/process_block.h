// The block entry points: the bypass decision, then a block path: in the plug-in the block
// kernel chosen for this processor (the literal path, the kernels' reference, is in
// literal_path.h, built only into the tests and the benchmark).
#pragma once

#include <cstdint>

#include "engine/block_settings.h"
#include "engine/engine_state.h"

// Copies a bypassed block; otherwise runs the path with the block's constants.
void processBlockWith(BlockPath path, EngineState& engine, double sampleRate,
                      const BlockSettings& settings, const float* const* inputs,
                      float* const* outputs, int32_t sampleFrames);
void processBlockWith(BlockPath64 path, EngineState& engine, double sampleRate,
                      const BlockSettings& settings, const double* const* inputs,
                      double* const* outputs, int32_t sampleFrames);

// What the plug-in runs: the kernel chosen once per process (block_kernels.h).
void processBlock(EngineState& engine, double sampleRate, const BlockSettings& settings,
                  const float* const* inputs, float* const* outputs, int32_t sampleFrames);
