#include "engine/process_block.h"

#include "engine/block_kernels.h"

namespace {

template <class Sample>
void processWith(BlockPathOf<Sample> path, EngineState& engine, double sampleRate,
                 const BlockSettings& settings, const Sample* const* inputs,
                 Sample* const* outputs, int32_t sampleFrames) {
    if (isBlockBypassed(settings)) {
        copyBypassedBlock(inputs, outputs, sampleFrames);
        return;
    }
    path(engine, cookBlockConstants(takeSnapshot(settings), sampleRate), inputs, outputs,
         sampleFrames);
}

}  // namespace

void processBlockWith(BlockPath path, EngineState& engine, double sampleRate,
                      const BlockSettings& settings, const float* const* inputs,
                      float* const* outputs, int32_t sampleFrames) {
    processWith(path, engine, sampleRate, settings, inputs, outputs, sampleFrames);
}

void processBlockWith(BlockPath64 path, EngineState& engine, double sampleRate,
                      const BlockSettings& settings, const double* const* inputs,
                      double* const* outputs, int32_t sampleFrames) {
    processWith(path, engine, sampleRate, settings, inputs, outputs, sampleFrames);
}

void processBlock(EngineState& engine, double sampleRate, const BlockSettings& settings,
                  const float* const* inputs, float* const* outputs, int32_t sampleFrames) {
    processBlockWith(chosenBlockKernel().process, engine, sampleRate, settings, inputs, outputs,
                     sampleFrames);
}
