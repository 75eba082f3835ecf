#include "engine/process_block.h"

#include "engine/block_kernels.h"

void processBlockWith(BlockPath path, EngineState& engine, double sampleRate,
                      const BlockSettings& settings, const float* const* inputs,
                      float* const* outputs, int32_t sampleFrames) {
    if (isBlockBypassed(settings)) {
        copyBypassedBlock(inputs, outputs, sampleFrames);
        return;
    }
    path(engine, cookBlockConstants(takeSnapshot(settings), sampleRate), inputs, outputs,
         sampleFrames);
}

void processBlock(EngineState& engine, double sampleRate, const BlockSettings& settings,
                  const float* const* inputs, float* const* outputs, int32_t sampleFrames) {
    processBlockWith(chosenBlockKernel().process, engine, sampleRate, settings, inputs, outputs,
                     sampleFrames);
}
