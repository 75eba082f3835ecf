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

// A run of dot products along a line of stereo pairs: out[n·outStep] = the dot of taps with
// the `length` pairs from line[n·step], for n < outputs (steps and offsets in pairs). Taps
// come twice over (t0, t0, t1, t1, ...), so that each lane of the sum meets its channel, and
// padded to whole vectors of eight (paddedTaps). Each output is summed in 32 partial sums
// (enough independent additions to keep a vector unit busy), lane k in sum k mod 32,
// and those are added in the fixed order below: the block kernels' builds of it, at every
// vector width, give the same bits as this one.
using StereoFirRun = void (*)(const double* taps, int length, const double* line, int step,
                              int outputs, double* out, int outStep);

constexpr int stereoDotLanes = 32;

// The last step of every build: the 32 partial sums of one output to its two channels (a
// copy per unit, as everything inline the kernels' units share: see lanes.h).
namespace {
inline void addStereoPartials(const double* partial, double* out) {
    double eight[8];
    for (int lane = 0; lane < 8; ++lane)
        eight[lane] = (partial[lane] + partial[lane + 8]) + (partial[lane + 16] + partial[lane + 24]);
    out[0] = (eight[0] + eight[2]) + (eight[4] + eight[6]);
    out[1] = (eight[1] + eight[3]) + (eight[5] + eight[7]);
}
}  // namespace

// The reference: one output at a time, in plain doubles.
void stereoFirRunReference(const double* taps, int length, const double* line, int step,
                           int outputs, double* out, int outStep);

// Filters are stored padded with leading zero taps to a multiple of 4 pairs: whole vectors
// of eight doubles.
constexpr int paddedTaps(int taps) { return (taps + 3) / 4 * 4; }

// Host frames one pass through the stages takes at most (a stage at 2^s times the host rate
// then takes in at most this many times 2^s pairs raising, twice that lowering).
constexpr int resamplerChunkFrames = 64;

// A filter with its line: taps doubled for the dot products, and the last length − 1 input
// pairs followed by the (at most `linePairs`) pairs of the current call.
template <int capacity, int linePairs>
struct StereoFir {
    int length = 0;
    double taps[2 * capacity];
    double line[2 * (capacity + linePairs)];
};

// One doubling/halving stage.
struct HalfRateStage {
    // Raising: the even outputs through the half-band's nonzero taps (2·h[2j]), the odd ones
    // a copy of the input `oddDelay` pairs back (the centre tap, exactly one half).
    StereoFir<paddedTaps((halfBandTaps[0] + 1) / 2), resamplerChunkFrames * 4> raise;
    int oddDelay = 0;
    // Lowering: y[n] = sum over k of h[k]·x[2n − k]; through the sharp low-pass at the first
    // stage, and split like the raising at the others: the even inputs through the nonzero
    // taps h[2j], plus one half of the odd input at the centre.
    bool halfBandLowering = false;
    StereoFir<paddedTaps(sharpLowPassTaps), resamplerChunkFrames * 2> lower;  // first stage only
    StereoFir<paddedTaps((halfBandTaps[1] + 1) / 2), resamplerChunkFrames * 4> lowerEven, lowerOdd;  // lowerOdd: its line only
    int centreDelay = 0;  // the odd input the centre tap meets, in odd inputs back
};

// Kaiser's window at a position from −1 to 1: I0(β·√(1 − position²)) / I0(β).
double kaiserWindow(double position, double beta);

// Stage 0 gets the sharp low-pass for lowering, the others their half-band; clears history.
void halfRateStageSetup(HalfRateStage& stage, int stageIndex);
void halfRateStageClear(HalfRateStage& stage);

// Round-trip delay of a stage in samples of its doubled rate.
int halfRateStageDelay(int stageIndex);

// frames stereo pairs in, 2·frames pairs out.
void upsampleTwiceCompute(HalfRateStage& stage, StereoFirRun run, const double* input, int32_t frames, double* output);
// 2·frames stereo pairs in, frames pairs out.
void downsampleTwiceCompute(HalfRateStage& stage, StereoFirRun run, const double* input, int32_t frames, double* output);
