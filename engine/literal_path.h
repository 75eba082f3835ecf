// The literal path, frame by frame and stage by stage with the C library's tanh, sin and
// pow: the reference every kernel is measured against. Built into the tests and the
// benchmark only (velmora_engine_reference), with the one-value stages it is made of.
#pragma once

#include <cstdint>

#include "engine/process_block.h"

void processFramesLiterally(EngineState& engine, const BlockConstants& constants,
                            const float* const* inputs, float* const* outputs,
                            int32_t sampleFrames);

void processBlockReference(EngineState& engine, double sampleRate, const BlockSettings& settings,
                           const float* const* inputs, float* const* outputs,
                           int32_t sampleFrames);
