// The block entry points: the bypass decision, then either the literal stage-by-stage path
// or the block kernel chosen for this processor.
#pragma once

#include <cstdint>

#include "engine/block_settings.h"
#include "engine/engine_state.h"

// One way of processing a block that is not bypassed.
using BlockPath = void (*)(EngineState& engine, const BlockConstants& constants,
                           const float* const* inputs, float* const* outputs,
                           int32_t sampleFrames);

// Copies a bypassed block; otherwise runs the path with the block's constants.
void processBlockWith(BlockPath path, EngineState& engine, double sampleRate,
                      const BlockSettings& settings, const float* const* inputs,
                      float* const* outputs, int32_t sampleFrames);

// The literal path, frame by frame and stage by stage with the C library's tanh, sin and
// pow: the reference every kernel is measured against.
void processFramesLiterally(EngineState& engine, const BlockConstants& constants,
                            const float* const* inputs, float* const* outputs,
                            int32_t sampleFrames);

void processBlockReference(EngineState& engine, double sampleRate, const BlockSettings& settings,
                           const float* const* inputs, float* const* outputs,
                           int32_t sampleFrames);

// What the plug-in runs: the kernel chosen once per process (block_kernels.h).
void processBlock(EngineState& engine, double sampleRate, const BlockSettings& settings,
                  const float* const* inputs, float* const* outputs, int32_t sampleFrames);
