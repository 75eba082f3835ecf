#include "engine/oversampling.h"

#include <cmath>
#include <cstring>
#include <limits>

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
    oversampler.bypassFade = BypassFade{};
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

namespace {

template <class Sample>
Sample (&samplesOf(Oversampler::KernelSamples& samples))[2][maxOversamplingFactor * oversamplingChunkFrames] {
    if constexpr (sizeof(Sample) == sizeof(float))
        return samples.narrow;
    else
        return samples.wide;
}

// The wet path of one chunk already read by readChunk, at the oversampled rate, with the
// delayed dry share of Mix added after the way down.
template <class Sample, class Path>
void processChunk(Path path, Oversampler& o, EngineState& engine, const BlockConstants& c,
                  const Sample (*dry)[oversamplingChunkFrames], Sample* const* outputs,
                  int32_t offset, int32_t frames) {
    // The kernel makes the wet signal with its output gain and clamp, at the high rate.
    BlockConstants wetOnly = c;
    wetOnly.mix = 1.0;
    wetOnly.dryShare = 0.0;
    auto& kernelInput = samplesOf<Sample>(o.kernelInput);
    auto& kernelOutput = samplesOf<Sample>(o.kernelOutput);
    const Sample* kernelInputs[2] = {kernelInput[0], kernelInput[1]};
    Sample* kernelOutputs[2] = {kernelOutput[0], kernelOutput[1]};
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

// A block with no fade under way: the wet path alone, or the delayed input alone.
template <class Sample, class Path>
void processSettled(Path path, Oversampler& o, EngineState& engine, double hostRate,
                    const BlockSettings& settings, bool bypassed, const Sample* const* inputs,
                    Sample* const* outputs, int32_t sampleFrames) {
    if (o.factor == 1) {
        processBlockWith(path, engine, hostRate, settings, inputs, outputs, sampleFrames);
        return;
    }
    const BlockConstants c = cookBlockConstants(takeSnapshot(settings), hostRate * o.factor);
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
        processChunk(path, o, engine, c, dry, outputs, offset, frames);
    }
}

// Fades chunk by chunk until the fade reaches the block's decision or the block ends; returns
// the frames done. Each frame moves the fade one step, then mixes with equal gains summing to
// one; at either end the wet or the dry sample passes unchanged.
template <class Sample, class Path>
int32_t processFading(Path path, Oversampler& o, EngineState& engine, double hostRate,
                      const BlockSettings& settings, bool bypassed, const Sample* const* inputs,
                      Sample* const* outputs, int32_t sampleFrames) {
    BypassFade& fade = o.bypassFade;
    const int32_t length = bypassFadeLength(hostRate);
    const int32_t target = bypassed ? length : 0;
    const BlockConstants c = cookBlockConstants(takeSnapshot(settings), hostRate * o.factor);
    int32_t offset = 0;
    while (offset < sampleFrames && fade.dryFrames != target) {
        const int32_t left = sampleFrames - offset;
        const int32_t frames = left < oversamplingChunkFrames ? left : oversamplingChunkFrames;
        Sample dry[2][oversamplingChunkFrames];
        if (o.factor == 1) {
            for (int ch = 0; ch < 2; ++ch)
                std::memcpy(dry[ch], inputs[ch] + offset, sizeof(Sample) * static_cast<size_t>(frames));
            const Sample* chunkIn[2] = {dry[0], dry[1]};
            Sample* chunkOut[2] = {outputs[0] + offset, outputs[1] + offset};
            path(engine, c, chunkIn, chunkOut, frames);
        } else {
            readChunk(o, inputs, offset, frames, dry);
            processChunk(path, o, engine, c, dry, outputs, offset, frames);
        }
        for (int32_t i = 0; i < frames; ++i) {
            if (fade.waitFrames > 0 && !bypassed)
                --fade.waitFrames;
            else if (fade.dryFrames != target)
                fade.dryFrames += bypassed ? 1 : -1;
            const double g = static_cast<double>(fade.dryFrames) / length;
            for (int ch = 0; ch < 2; ++ch) {
                Sample& out = outputs[ch][offset + i];
                if (fade.dryFrames == length)
                    out = dry[ch][i];
                else if (fade.dryFrames > 0)
                    out = static_cast<Sample>(static_cast<double>(out) * (1.0 - g) + static_cast<double>(dry[ch][i]) * g);
            }
        }
        offset += frames;
    }
    return offset;
}

template <class Sample, class Path>
void processOversampled(Path path, Oversampler& o, EngineState& engine, double hostRate,
                        const BlockSettings& settings, const Sample* const* inputs,
                        Sample* const* outputs, int32_t sampleFrames) {
    if (sampleFrames < 1) return;
    BypassFade& fade = o.bypassFade;
    const bool bypassed = isBlockBypassed(settings);
    const int32_t length = bypassFadeLength(hostRate);
    if (!fade.settled) fade = BypassFade{true, bypassed ? length : 0, 0};
    if (fade.dryFrames > length) fade.dryFrames = length;
    int32_t done = 0;
    if (fade.dryFrames != (bypassed ? length : 0)) {
        if (fade.dryFrames == length) {
            // The wet path has not run since the fade out ended: it starts from silence, and
            // its first output comes through the chain the latency later.
            resetEngineHistory(engine);
            for (HalfRateStage& stage : o.stages) halfRateStageClear(stage);
            fade.waitFrames = o.latency;
        }
        done = processFading(path, o, engine, hostRate, settings, bypassed, inputs, outputs, sampleFrames);
    }
    if (done < sampleFrames) {
        const Sample* restIn[2] = {inputs[0] + done, inputs[1] + done};
        Sample* restOut[2] = {outputs[0] + done, outputs[1] + done};
        processSettled(path, o, engine, hostRate, settings, bypassed, restIn, restOut, sampleFrames - done);
    }
}

// Any count of frames, in pieces the engine's 32-bit signed count holds.
template <class Sample, class Path>
void processOversampledPieces(Path path, Oversampler& oversampler, EngineState& engine, double hostRate,
                              const BlockSettings& settings, const Sample* const* inputs,
                              Sample* const* outputs, uint32_t frames) {
    constexpr uint32_t largestBlock = std::numeric_limits<int32_t>::max();
    for (uint32_t done = 0; done < frames;) {
        const uint32_t piece = frames - done < largestBlock ? frames - done : largestBlock;
        const Sample* in[2] = {inputs[0] + done, inputs[1] + done};
        Sample* out[2] = {outputs[0] + done, outputs[1] + done};
        processOversampled(path, oversampler, engine, hostRate, settings, in, out, static_cast<int32_t>(piece));
        done += piece;
    }
}

}  // namespace

int32_t bypassFadeLength(double hostRate) {
    const double frames = std::nearbyint(bypassFadeSeconds * hostRate);
    return frames >= 1.0 ? static_cast<int32_t>(frames) : 1;
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

void processOversampledFrames(Oversampler& oversampler, EngineState& engine, double hostRate,
                              const BlockSettings& settings, const float* const* inputs,
                              float* const* outputs, uint32_t frames) {
    processOversampledPieces(chosenBlockKernel().process, oversampler, engine, hostRate, settings,
                             inputs, outputs, frames);
}

void processOversampledFrames(Oversampler& oversampler, EngineState& engine, double hostRate,
                              const BlockSettings& settings, const double* const* inputs,
                              double* const* outputs, uint32_t frames) {
    processOversampledPieces(chosenBlockKernel().process64, oversampler, engine, hostRate, settings,
                             inputs, outputs, frames);
}

void resampleThroughChain(Oversampler& o, const double* input, double* output, int32_t frames) {
    std::memcpy(o.rateBuffers[0], input, sizeof(double) * 2 * static_cast<size_t>(frames));
    raise(o, frames);
    lower(o, frames);
    std::memcpy(output, o.rateBuffers[0], sizeof(double) * 2 * static_cast<size_t>(frames));
}
