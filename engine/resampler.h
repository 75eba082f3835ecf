// Rate doubling and halving for the oversampled engine: one stage raises a stereo signal to
// twice its rate and takes the engine's output back down.
//
// The filters are linear-phase FIRs, not IIR half-bands: the wet signal then leaves with a
// constant delay at every frequency, so the dry share of Mix and the Bypass path, delayed by
// the same whole number of frames, line up with it and Mix below 100 % does not comb-filter.
// Raising uses half-band filters (every other tap zero, the odd outputs a plain copy): the
// images they must stop lie above the band they pass. Lowering from twice the host rate is
// a sharp Kaiser low-pass whose stop band begins at the host's Nyquist frequency, so that
// nothing above it folds back into the band; lowering between higher rates (4x -> 2x,
// 8x -> 4x) only has to keep fold-backs out of what the first stage passes and uses the
// half-band filters again. Everything is designed once, in normalized frequency (independent
// of the rate), and runs on stereo pairs (left, right) interleaved.
#pragma once

#include <cstdint>

// The first stage passes up to 0.45 of the host rate (19.8 kHz at 44.1 kHz); its half-band
// stops from 0.55 of it (where the images of that band begin), its sharp low-pass from 0.5.
// The stop-band attenuations are what keeps the table of velmora-aliasing (README) within
// the ideal's; the lengths are Kaiser's for them and those transition bands.
constexpr int sharpLowPassTaps = 175;
constexpr double sharpLowPassDecibels = 70.0;
constexpr int halfBandTaps[3] = {103, 23, 15};  // host <-> 2x, 2x <-> 4x, 4x <-> 8x
constexpr double halfBandDecibels[3] = {80.0, 80.0, 80.0};
constexpr double firstStagePassEdge = 0.45;  // of the host rate

// A run of FIR outputs along a line of stereo pairs: to each channel of out[n], n < outputs,
// taps[0]·line[n], taps[1]·line[n + 1], ... taps[length − 1]·line[n + length − 1] are added
// one product at a time, in that order (n and k count pairs). Every output is a chain of
// additions of its own, so the block kernels, which hold neighbouring outputs side by side in
// the lanes of their registers, give the same bits as this reference at every vector width.
using StereoFirRun = void (*)(const double* taps, int length, const double* line, int outputs, double* out);

// The reference: one output at a time, in plain doubles.
void stereoFirRunReference(const double* taps, int length, const double* line, int outputs, double* out);

// Host frames one pass through the stages takes at most (a stage at 2^s times the host rate
// then takes in at most this many times 2^s pairs raising, twice that lowering).
constexpr int resamplerChunkFrames = 64;
constexpr int resamplerLinePairs = resamplerChunkFrames * 4;  // the most one line takes in a call

// The most a stage's raising input can be delayed (halfRateStageDelayInput), in pairs.
constexpr int maxRaisingInputDelay = 4;

// A filter with its line: the taps, and the last `history` input pairs (length − 1 for a
// plain FIR) followed by the (at most resamplerLinePairs) pairs of the current call.
template <int capacity>
struct StereoFir {
    int length = 0;
    int history = 0;
    double taps[capacity];
    double line[2 * (capacity + resamplerLinePairs)];
};

// One doubling/halving stage.
struct HalfRateStage {
    // Raising: the even outputs through the half-band's nonzero taps (2·h[2j]), made in
    // `evens` first; the odd ones a copy of the input `oddDelay` pairs back (the centre tap,
    // exactly one half).
    StereoFir<(halfBandTaps[0] + 1) / 2 + maxRaisingInputDelay> raise;
    double evens[2 * resamplerLinePairs];
    int oddDelay = 0;
    // Lowering: y[n] = sum over k of h[k]·x[2n − k], with the even inputs on one line and the
    // odd ones on another, so that each is a plain FIR at the lower rate. The sharp low-pass
    // (first stage) puts its even taps on the even inputs and its odd taps on the odd ones; a
    // half-band (the other stages) has the even taps h[2j] and, on the odd line, the centre
    // tap alone (one half) on the odd input it meets, (centre + 1) / 2 pairs back.
    StereoFir<(sharpLowPassTaps + 1) / 2> lowerEven, lowerOdd;
};

// Kaiser's window at a position from −1 to 1: I0(β·√(1 − position²)) / I0(β).
double kaiserWindow(double position, double beta);

// Stage 0 gets the sharp low-pass for lowering, the others their half-band; clears history.
void halfRateStageSetup(HalfRateStage& stage, int stageIndex);
void halfRateStageClear(HalfRateStage& stage);

// Delays the raising's input by 0 … maxRaisingInputDelay pairs (more is taken as none). On
// the chain's last doubling, half the top-rate samples that make the chain's delay whole
// host frames. Its history is stale until the next clear.
void halfRateStageDelayInput(HalfRateStage& stage, int pairs);

// Round-trip delay of a stage in samples of its doubled rate.
int halfRateStageDelay(int stageIndex);

// frames stereo pairs in, 2·frames pairs out.
void upsampleTwiceCompute(HalfRateStage& stage, StereoFirRun run, const double* input, int32_t frames, double* output);
// 2·frames stereo pairs in, frames pairs out.
void downsampleTwiceCompute(HalfRateStage& stage, StereoFirRun run, const double* input, int32_t frames, double* output);
