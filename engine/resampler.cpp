#include "engine/resampler.h"

#include <cmath>
#include <cstring>

#include "engine/circle.h"

namespace {

// Modified Bessel function of the first kind, order 0, by its power series.
double besselI0(double x) {
    double sum = 1.0, term = 1.0;
    const double quarterSquare = x * x / 4.0;
    for (int k = 1; k < 200 && term > sum * 1e-17; ++k) {
        term *= quarterSquare / (static_cast<double>(k) * k);
        sum += term;
    }
    return sum;
}

// Kaiser-windowed sinc low-pass, cut-off in cycles per sample, unity gain at DC.
void designLowPass(double* h, int taps, double cutoff, double decibels) {
    const int centre = (taps - 1) / 2;
    const double beta = 0.1102 * (decibels - 8.7);  // Kaiser's rule above 50 dB
    double sum = 0.0;
    for (int k = 0; k < taps; ++k) {
        const double offset = k - centre;
        const double argument = circle::pi * 2.0 * cutoff * offset;
        const double sinc = offset == 0 ? 1.0 : std::sin(argument) / argument;
        h[k] = 2.0 * cutoff * sinc * kaiserWindow(offset / centre, beta);
        sum += h[k];
    }
    for (int k = 0; k < taps; ++k) h[k] /= sum;
}

// A plain FIR: the taps, and the history its windows reach back over.
template <int capacity>
void setTaps(StereoFir<capacity>& fir, const double* taps, int length, int history) {
    fir.length = length;
    fir.history = history;
    std::memcpy(fir.taps, taps, sizeof(double) * static_cast<size_t>(length));
}

template <int capacity>
void clearFir(StereoFir<capacity>& fir) {
    std::memset(fir.line, 0, sizeof fir.line);
}

// Where the current call's pairs go, after the kept history.
template <int capacity>
double* newPairs(StereoFir<capacity>& fir) {
    return fir.line + 2 * fir.history;
}

// Keeps the last `history` pairs for the next call.
template <int capacity>
void keepHistory(StereoFir<capacity>& fir, int pairs) {
    std::memmove(fir.line, fir.line + 2 * pairs, sizeof(double) * 2 * static_cast<size_t>(fir.history));
}

}  // namespace

double kaiserWindow(double position, double beta) {
    return besselI0(beta * std::sqrt(1.0 - position * position)) / besselI0(beta);
}

void stereoFirRunReference(const double* taps, int length, const double* line, int outputs, double* out) {
    for (int n = 0; n < outputs; ++n)
        for (int c = 0; c < 2; ++c) {
            double sum = out[2 * n + c];
            for (int k = 0; k < length; ++k) sum += taps[k] * line[2 * (n + k) + c];
            out[2 * n + c] = sum;
        }
}

void halfRateStageSetup(HalfRateStage& stage, int stageIndex) {
    // The half-band: cut-off at a quarter of the doubled rate, centre tap exactly one half
    // and the others scaled to sum to the other half.
    const int taps = halfBandTaps[stageIndex];
    double h[sharpLowPassTaps];
    designLowPass(h, taps, 0.25, halfBandDecibels[stageIndex]);
    const int centre = (taps - 1) / 2;
    const double others = 1.0 - h[centre];
    for (int k = 0; k < taps; ++k) h[k] = k == centre ? 0.5 : h[k] * (0.5 / others);

    // Output 2n of the raising ends its window on input n; output 2n + 1 is input n − oddDelay.
    double split[(sharpLowPassTaps + 1) / 2];
    for (int j = 0; 2 * j < taps; ++j) split[j] = 2.0 * h[2 * j];
    setTaps(stage.raise, split, (taps + 1) / 2, (taps - 1) / 2);
    stage.oddDelay = (centre - 1) / 2;

    // Lowering, output n ends its window on input 2n: the even inputs x[2n − 2i] meet the
    // taps h[length − 1 − 2i] and the odd ones the taps between, so both lines keep
    // (length − 1) / 2 pairs and their windows for n start at the same place.
    if (stageIndex == 0) {
        static_assert(sharpLowPassTaps % 2 == 1);
        // Pass edge and the host's Nyquist frequency, in cycles per sample at twice the rate.
        designLowPass(h, sharpLowPassTaps, (firstStagePassEdge / 2.0 + 0.25) / 2.0, sharpLowPassDecibels);
        const int history = (sharpLowPassTaps - 1) / 2;
        for (int j = 0; 2 * j < sharpLowPassTaps; ++j) split[j] = h[2 * j];
        setTaps(stage.lowerEven, split, history + 1, history);
        for (int j = 0; 2 * j + 1 < sharpLowPassTaps; ++j) split[j] = h[2 * j + 1];
        setTaps(stage.lowerOdd, split, history, history);
    } else {
        static_assert(halfBandTaps[2] <= halfBandTaps[1] && halfBandTaps[1] <= sharpLowPassTaps);
        for (int j = 0; 2 * j < taps; ++j) split[j] = h[2 * j];
        setTaps(stage.lowerEven, split, (taps + 1) / 2, (taps - 1) / 2);
        // The centre tap meets x[2n − centre], the odd input (centre + 1) / 2 pairs back.
        const double half = 0.5;
        setTaps(stage.lowerOdd, &half, 1, (centre + 1) / 2);
    }
    halfRateStageClear(stage);
}

void halfRateStageClear(HalfRateStage& stage) {
    clearFir(stage.raise);
    clearFir(stage.lowerEven);
    clearFir(stage.lowerOdd);
}

void halfRateStageDelayInput(HalfRateStage& stage, int pairs) {
    if (pairs < 0 || pairs > maxRaisingInputDelay) pairs = 0;
    // A longer history moves every window back by the delay; the odd copies, read from where
    // the windows start, follow it.
    stage.raise.history = stage.raise.length - 1 + pairs;
}

int halfRateStageDelay(int stageIndex) {
    const int lowering = stageIndex == 0 ? sharpLowPassTaps : halfBandTaps[stageIndex];
    return (halfBandTaps[stageIndex] - 1) / 2 + (lowering - 1) / 2;
}

void upsampleTwiceCompute(HalfRateStage& stage, StereoFirRun run, const double* input, int32_t frames, double* output) {
    auto& fir = stage.raise;
    std::memcpy(newPairs(fir), input, sizeof(double) * 2 * static_cast<size_t>(frames));
    std::memset(stage.evens, 0, sizeof(double) * 2 * static_cast<size_t>(frames));
    run(fir.taps, fir.length, fir.line, frames, stage.evens);
    const double* odd = fir.line + 2 * (fir.length - 1 - stage.oddDelay);
    for (int32_t n = 0; n < frames; ++n) {
        output[4 * n] = stage.evens[2 * n];
        output[4 * n + 1] = stage.evens[2 * n + 1];
        output[4 * n + 2] = odd[2 * n];
        output[4 * n + 3] = odd[2 * n + 1];
    }
    keepHistory(fir, frames);
}

void downsampleTwiceCompute(HalfRateStage& stage, StereoFirRun run, const double* input, int32_t frames, double* output) {
    double* even = newPairs(stage.lowerEven);
    double* odd = newPairs(stage.lowerOdd);
    for (int32_t n = 0; n < frames; ++n)
        for (int c = 0; c < 2; ++c) {
            even[2 * n + c] = input[4 * n + c];
            odd[2 * n + c] = input[4 * n + 2 + c];
        }
    std::memset(output, 0, sizeof(double) * 2 * static_cast<size_t>(frames));
    run(stage.lowerEven.taps, stage.lowerEven.length, stage.lowerEven.line, frames, output);
    run(stage.lowerOdd.taps, stage.lowerOdd.length, stage.lowerOdd.line, frames, output);
    keepHistory(stage.lowerEven, frames);
    keepHistory(stage.lowerOdd, frames);
}
