// The oversampled engine: at a factor N of 2, 4 or 8 the block kernel runs at N times the
// host rate on the input raised to that rate, and its output is taken back down; the dry
// share of Mix and the Bypass path take the input delayed by the same whole number of
// frames. Factor 1 is the plain engine, sample for sample. Every buffer lives in the record,
// so nothing is allocated after instantiation, whatever the factor.
//
// This is the engine of the LV2, CLAP and VST 3 plug-ins, whose hosts expect a click-free
// bypass: a change of the bypass decision crossfades, sample by sample, between the wet path
// and the delayed input over bypassFadeSeconds. Fully bypassed, the wet path does not run
// (a bypassed instance costs a copy); when the fade back in begins it restarts from silence,
// so no stale history is replayed, and the fade waits the latency for its first output.
// (The VST 2.4 library calls processBlock directly: its bypass switches at the block.)
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

constexpr double bypassFadeSeconds = 0.01;

// Frames of a bypass fade at a host rate: 10 ms, at least one frame.
int32_t bypassFadeLength(double hostRate);

struct BypassFade {
    bool settled = false;   // false after a reset: the next block takes its decision at once
    int32_t dryFrames = 0;  // how far toward bypass, 0 (wet) to bypassFadeLength (dry)
    int32_t waitFrames = 0; // restarted wet frames still inside the chain before the fade in
};

struct Oversampler {
    int factor = 1;
    int latency = 0;
    HalfRateStage stages[oversamplingStageCount];
    StereoFirRun firRun = stereoFirRunReference;  // the chosen kernel's build of it after setup
    double dryDelay[2][dryDelayFrames];  // holds 32-bit input exactly
    int dryPosition = 0;
    BypassFade bypassFade;
    // One chunk at every rate of the chain, stereo pairs; the kernel's planar buffers in the
    // host's sample type (only one is in use in a block).
    double rateBuffers[oversamplingStageCount + 1][2 * maxOversamplingFactor * oversamplingChunkFrames];
    union KernelSamples {
        float narrow[2][maxOversamplingFactor * oversamplingChunkFrames];
        double wide[2][maxOversamplingFactor * oversamplingChunkFrames];
    } kernelInput, kernelOutput;
};

// Designs the stages; factor 1, no history. Runs once, at instantiation.
void oversamplerSetup(Oversampler& oversampler);

// Clears the resamplers' and the delays' history and forgets the bypass fade, so that the
// next block takes its bypass decision without one (the engine's own history is left to its
// owner).
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

// processOversampledBlock over any count of frames, in pieces the engine's 32-bit signed count
// holds: for hosts that count frames in 32 unsigned bits (LV2, CLAP).
void processOversampledFrames(Oversampler& oversampler, EngineState& engine, double hostRate,
                              const BlockSettings& settings, const float* const* inputs,
                              float* const* outputs, uint32_t frames);

// The same with 64-bit samples in and out, never rounded to 32 bits on the way.
void processOversampledFrames(Oversampler& oversampler, EngineState& engine, double hostRate,
                              const BlockSettings& settings, const double* const* inputs,
                              double* const* outputs, uint32_t frames);

// The same with a chosen block path (the literal path in the tests).
void processOversampledBlockWith(BlockPath path, Oversampler& oversampler, EngineState& engine,
                                 double hostRate, const BlockSettings& settings,
                                 const float* const* inputs, float* const* outputs,
                                 int32_t sampleFrames);

// The resampling chain alone, without the engine between up and down: chunk frames (at most
// oversamplingChunkFrames) of stereo pairs in and out. The tests measure the chain with it.
void resampleThroughChain(Oversampler& oversampler, const double* input, double* output, int32_t frames);
