// The block path the plug-in runs: the same arithmetic as processBlockReference, with the two
// channels side by side in vector registers, everything constant over a block computed once,
// and tanh and sin evaluated on whole stretches of frames.
#pragma once

#include <cstdint>

#include "engine/engine_state.h"
#include "engine/process_block.h"

// Frames a block is cut into; the kernel's working arrays live on the stack.
constexpr int32_t fastChunkFrames = 64;

void processBlockFast(EngineState& engine, double sampleRate, const BlockSettings& settings,
                      const float* const* inputs, float* const* outputs, int32_t sampleFrames);
