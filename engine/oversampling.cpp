#include "engine/oversampling.h"

#include <cstring>
#include <limits>
#include <type_traits>

#include "engine/block_kernels.h"
#include "engine/stage_formulas.h"

namespace {

int doublingsFor(int factor) { return factor == 8 ? 3 : factor == 4 ? 2 : factor == 2 ? 1 : 0; }

// The chain's delay in samples of the oversampled rate, before padding.
int chainDelay(int factor) {
    int delay = 0;
    for (int stage = 0; stage < doublingsFor(factor); ++stage)
        delay += halfRateStageDelay(stage) * (factor >> (stage + 1));
    return delay;
}

int paddingFor(int factor) { return (factor - chainDelay(factor) % factor) % factor; }

// Up through the stages from rateBuffers[0] (frames pairs) to the oversampled rate; leaves
// factor × frames pairs in the last buffer used.
double* raise(Oversampler& o, int32_t frames) {
    const int doublings = doublingsFor(o.factor);
    for (int stage = 0; stage < doublings; ++stage)
        upsampleTwiceCompute(o.stages[stage], o.firRun, o.rateBuffers[stage], frames << stage, o.rateBuffers[stage + 1]);
    return o.rateBuffers[doublings];
}

// Down from the last buffer to rateBuffers[0] (frames pairs).
void lower(Oversampler& o, int32_t frames) {
    for (int stage = doublingsFor(o.factor) - 1; stage >= 0; --stage)
        downsampleTwiceCompute(o.stages[stage], o.firRun, o.rateBuffers[stage + 1], frames << stage, o.rateBuffers[stage]);
}

// Reads a chunk of input into rateBuffers[0] and the delayed dry input beside it, before
// anything is written (the output may be the input's buffer).
template <class Sample>
void readChunk(Oversampler& o, const Sample* const* inputs, int32_t offset, int32_t frames,
               Sample (*dry)[oversamplingChunkFrames]) {
    constexpr int mask = dryDelayFrames - 1;
    for (int32_t i = 0; i < frames; ++i) {
        for (int c = 0; c < 2; ++c) {
            const Sample x = inputs[c][offset + i];
            o.rateBuffers[0][2 * i + c] = x;
            o.dryDelay[c][o.dryPosition] = x;
            dry[c][i] = static_cast<Sample>(o.dryDelay[c][(o.dryPosition - o.latency) & mask]);
        }
        o.dryPosition = (o.dryPosition + 1) & mask;
    }
}

// The kernel's buffers in the samples of the block.
template <class Sample>
auto& kernelArrays(Oversampler::KernelBuffers& buffers) {
    if constexpr (std::is_same_v<Sample, float>)
        return buffers.single;
    else
        return buffers.wide;
}

template <class Sample>
void processOversampled(BlockPathOf<Sample> path, Oversampler& o, EngineState& engine, double hostRate,
                        const BlockSettings& settings, const Sample* const* inputs, Sample* const* outputs,
                        int32_t sampleFrames) {
    if (o.factor == 1) {
        processBlockWith(path, engine, hostRate, settings, inputs, outputs, sampleFrames);
        return;
    }
    const bool bypassed = isBlockBypassed(settings);
    const BlockConstants c = cookBlockConstants(takeSnapshot(settings), hostRate * o.factor);
    // The kernel makes the wet signal with its output gain and clamp, at the high rate; the
    // dry share is added after the way down, to the delayed input.
    BlockConstants wetOnly = c;
    wetOnly.mix = 1.0;
    wetOnly.dryShare = 0.0;
    auto& kernelInput = kernelArrays<Sample>(o.kernelInput);
    auto& kernelOutput = kernelArrays<Sample>(o.kernelOutput);
    const Sample* kernelInputs[2] = {kernelInput[0], kernelInput[1]};
    Sample* kernelOutputs[2] = {kernelOutput[0], kernelOutput[1]};

    for (int32_t offset = 0; offset < sampleFrames; offset += oversamplingChunkFrames) {
        const int32_t left = sampleFrames - offset;
        const int32_t frames = left < oversamplingChunkFrames ? left : oversamplingChunkFrames;
        Sample dry[2][oversamplingChunkFrames];
        readChunk(o, inputs, offset, frames, dry);
        if (bypassed) {
            for (int ch = 0; ch < 2; ++ch)
                std::memcpy(outputs[ch] + offset, dry[ch], sizeof(Sample) * static_cast<size_t>(frames));
            continue;
        }
        const int32_t topFrames = frames * o.factor;
        const double* top = raise(o, frames);
        for (int32_t m = 0; m < topFrames; ++m)
            for (int ch = 0; ch < 2; ++ch) kernelInput[ch][m] = static_cast<Sample>(top[2 * m + ch]);
        path(engine, wetOnly, kernelInputs, kernelOutputs, topFrames);
        double* wetTop = o.rateBuffers[doublingsFor(o.factor)];
        for (int32_t m = 0; m < topFrames; ++m)
            for (int ch = 0; ch < 2; ++ch) wetTop[2 * m + ch] = kernelOutput[ch][m];
        lower(o, frames);
        for (int32_t i = 0; i < frames; ++i)
            for (int ch = 0; ch < 2; ++ch) {
                const double wet = o.rateBuffers[0][2 * i + ch];
                const double mixed = c.mix * wet + (static_cast<double>(dry[ch][i]) * c.dryShare) * c.outputGain;
                outputs[ch][offset + i] = static_cast<Sample>(formula::clampOutput(mixed));
            }
    }
}

}  // namespace

int oversamplingLatency(int factor) {
    return (chainDelay(factor) + paddingFor(factor)) / (factor > 0 ? factor : 1);
}

int oversamplingFactorFor(float value) {
    if (!(value >= 1.5f)) return 1;
    if (value < 3.0f) return 2;
    return value < 6.0f ? 4 : 8;
}

void oversamplerSetup(Oversampler& oversampler) {
    for (int stage = 0; stage < oversamplingStageCount; ++stage)
        halfRateStageSetup(oversampler.stages[stage], stage);
    oversampler.firRun = chosenBlockKernel().stereoFirRun;
    oversampler.factor = 1;
    oversampler.latency = 0;
    resetOversamplerHistory(oversampler);
}

void resetOversamplerHistory(Oversampler& oversampler) {
    for (HalfRateStage& stage : oversampler.stages) halfRateStageClear(stage);
    std::memset(oversampler.dryDelay, 0, sizeof oversampler.dryDelay);
    oversampler.dryPosition = 0;
}

void resetOversampledHistory(Oversampler& oversampler, EngineState& engine) {
    resetEngineHistory(engine);
    resetOversamplerHistory(oversampler);
}

int setOversamplingFactor(Oversampler& oversampler, EngineState& engine, int factor, double hostRate) {
    if (factor != 2 && factor != 4 && factor != 8) factor = 1;
    prepareEngine(engine, hostRate * factor);
    if (factor != oversampler.factor) {
        oversampler.factor = factor;
        oversampler.latency = oversamplingLatency(factor);
        // The padding is even (every stage's delay is) and goes on the last doubling's input,
        // half as many pairs at half the rate.
        for (int stage = 0; stage < oversamplingStageCount; ++stage)
            halfRateStageDelayInput(oversampler.stages[stage],
                                    stage == doublingsFor(factor) - 1 ? paddingFor(factor) / 2 : 0);
        resetOversampledHistory(oversampler, engine);
    }
    return factor;
}

void processOversampledBlockWith(BlockPath path, Oversampler& o, EngineState& engine,
                                 double hostRate, const BlockSettings& settings,
                                 const float* const* inputs, float* const* outputs,
                                 int32_t sampleFrames) {
    processOversampled(path, o, engine, hostRate, settings, inputs, outputs, sampleFrames);
}

void processOversampledBlock(Oversampler& oversampler, EngineState& engine, double hostRate,
                             const BlockSettings& settings, const float* const* inputs,
                             float* const* outputs, int32_t sampleFrames) {
    processOversampledBlockWith(chosenBlockKernel().process, oversampler, engine, hostRate,
                                settings, inputs, outputs, sampleFrames);
}

void processOversampledBlock(Oversampler& oversampler, EngineState& engine, double hostRate,
                             const BlockSettings& settings, const double* const* inputs,
                             double* const* outputs, int32_t sampleFrames) {
    processOversampled(chosenBlockKernel().process64, oversampler, engine, hostRate, settings, inputs,
                       outputs, sampleFrames);
}

void processOversampledFrames(Oversampler& oversampler, EngineState& engine, double hostRate,
                              const BlockSettings& settings, const float* const* inputs,
                              float* const* outputs, uint32_t frames) {
    constexpr uint32_t largestBlock = std::numeric_limits<int32_t>::max();
    for (uint32_t done = 0; done < frames;) {
        const uint32_t piece = frames - done < largestBlock ? frames - done : largestBlock;
        const float* in[2] = {inputs[0] + done, inputs[1] + done};
        float* out[2] = {outputs[0] + done, outputs[1] + done};
        processOversampledBlock(oversampler, engine, hostRate, settings, in, out, static_cast<int32_t>(piece));
        done += piece;
    }
}

void resampleThroughChain(Oversampler& o, const double* input, double* output, int32_t frames) {
    std::memcpy(o.rateBuffers[0], input, sizeof(double) * 2 * static_cast<size_t>(frames));
    raise(o, frames);
    lower(o, frames);
    std::memcpy(output, o.rateBuffers[0], sizeof(double) * 2 * static_cast<size_t>(frames));
}
