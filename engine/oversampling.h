// The oversampled engine: at a factor N of 2, 4 or 8 the block kernel runs at N times the
// host rate on the input raised to that rate, and its output is taken back down; the dry
// share of Mix and the Bypass path take the input delayed by the same whole number of
// frames. Factor 1 is the plain engine, sample for sample. Every buffer lives in the record,
// so nothing is allocated after instantiation, whatever the factor.
#pragma once

#include <cstdint>

#include "engine/block_settings.h"
#include "engine/engine_state.h"
#include "engine/process_block.h"
#include "engine/resampler.h"

constexpr int maxOversamplingFactor = 8;
constexpr int oversamplingStageCount = 3;  // doublings at the largest factor

// Host frames per pass through the chain: the kernel sees up to eight times as many.
constexpr int32_t oversamplingChunkFrames = resamplerChunkFrames;

// The delay of the whole chain in host frames at a factor of 1, 2, 4 or 8 (0 at 1).
int oversamplingLatency(int factor);

// The factor a control value chooses: the nearest of 1, 2, 4 and 8 (not a number: 1).
int oversamplingFactorFor(float value);

constexpr int dryDelayFrames = 256;  // a power of two above the largest latency

struct Oversampler {
    int factor = 1;
    int latency = 0;
    HalfRateStage stages[oversamplingStageCount];
    StereoFirRun firRun = stereoFirRunReference;  // the chosen kernel's build of it after setup
    double dryDelay[2][dryDelayFrames];  // holds 32-bit samples exactly
    int dryPosition = 0;
    // One chunk at every rate of the chain, stereo pairs; the kernel's planar float buffers.
    double rateBuffers[oversamplingStageCount + 1][2 * maxOversamplingFactor * oversamplingChunkFrames];
    // The kernel's planar buffers, in the samples of the block being processed.
    union KernelBuffers {
        float single[2][maxOversamplingFactor * oversamplingChunkFrames];
        double wide[2][maxOversamplingFactor * oversamplingChunkFrames];
    };
    KernelBuffers kernelInput, kernelOutput;
};

// Designs the stages; factor 1, no history. Runs once, at instantiation.
void oversamplerSetup(Oversampler& oversampler);

// Clears the resamplers' and the delays' history (the engine's own is left to its owner).
void resetOversamplerHistory(Oversampler& oversampler);

// Clears the engine's and the oversampler's history: what an activation or reset does.
void resetOversampledHistory(Oversampler& oversampler, EngineState& engine);

// Prepares the engine for factor × hostRate and, when the factor changes, clears all history
// as a reset does (the delay changes, so the old tail has nowhere to go, and the filters'
// states belong to the old rate). Allocates nothing: safe on the audio thread between blocks.
// Returns the factor used.
int setOversamplingFactor(Oversampler& oversampler, EngineState& engine, int factor, double hostRate);

// processBlock at the oversampler's factor; the engine must be prepared for factor × hostRate.
void processOversampledBlock(Oversampler& oversampler, EngineState& engine, double hostRate,
                             const BlockSettings& settings, const float* const* inputs,
                             float* const* outputs, int32_t sampleFrames);
// The same with 64-bit samples: the engine's output unrounded, and at a factor above 1 the
// kernel's signal at the high rate unrounded as well.
void processOversampledBlock(Oversampler& oversampler, EngineState& engine, double hostRate,
                             const BlockSettings& settings, const double* const* inputs,
                             double* const* outputs, int32_t sampleFrames);

// processOversampledBlock over any count of frames, in pieces the engine's 32-bit signed count
// holds: for hosts that count frames in 32 unsigned bits (LV2, CLAP).
void processOversampledFrames(Oversampler& oversampler, EngineState& engine, double hostRate,
                              const BlockSettings& settings, const float* const* inputs,
                              float* const* outputs, uint32_t frames);

// The same with a chosen block path (the literal path in the tests).
void processOversampledBlockWith(BlockPath path, Oversampler& oversampler, EngineState& engine,
                                 double hostRate, const BlockSettings& settings,
                                 const float* const* inputs, float* const* outputs,
                                 int32_t sampleFrames);

// The resampling chain alone, without the engine between up and down: chunk frames (at most
// oversamplingChunkFrames) of stereo pairs in and out. The tests measure the chain with it.
void resampleThroughChain(Oversampler& oversampler, const double* input, double* output, int32_t frames);
