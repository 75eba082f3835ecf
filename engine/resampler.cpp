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

template <int capacity, int linePairs>
void setTaps(StereoFir<capacity, linePairs>& fir, const double* taps, int length) {
    fir.length = paddedTaps(length);
    static_assert(capacity % 4 == 0);
    const int zeros = fir.length - length;
    for (int k = 0; k < fir.length; ++k)
        fir.taps[2 * k] = fir.taps[2 * k + 1] = k < zeros ? 0.0 : taps[k - zeros];
}

template <int capacity, int linePairs>
void clearFir(StereoFir<capacity, linePairs>& fir) {
    std::memset(fir.line, 0, sizeof fir.line);
}

// Appends `pairs` input pairs after the kept history; returns the line.
template <int capacity, int linePairs>
double* fill(StereoFir<capacity, linePairs>& fir, const double* input, int pairs) {
    std::memcpy(fir.line + 2 * (fir.length - 1), input, sizeof(double) * 2 * static_cast<size_t>(pairs));
    return fir.line;
}

// Keeps the last length − 1 pairs for the next call.
template <int capacity, int linePairs>
void keepHistory(StereoFir<capacity, linePairs>& fir, int pairs) {
    std::memmove(fir.line, fir.line + 2 * pairs, sizeof(double) * 2 * static_cast<size_t>(fir.length - 1));
}

}  // namespace

double kaiserWindow(double position, double beta) {
    return besselI0(beta * std::sqrt(1.0 - position * position)) / besselI0(beta);
}

void stereoFirRunReference(const double* taps, int length, const double* line, int step,
                           int outputs, double* out, int outStep) {
    for (int n = 0; n < outputs; ++n) {
        const double* window = line + 2 * step * n;
        double partial[stereoDotLanes] = {};
        for (int k = 0; k < 2 * length; ++k) partial[k % stereoDotLanes] += taps[k] * window[k];
        addStereoPartials(partial, out + 2 * outStep * n);
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

    double even[(halfBandTaps[0] + 1) / 2];
    for (int j = 0; 2 * j < taps; ++j) even[j] = 2.0 * h[2 * j];
    setTaps(stage.raise, even, (taps + 1) / 2);
    stage.oddDelay = (centre - 1) / 2;
    if (stageIndex == 0) {
        // Pass edge and the host's Nyquist frequency, in cycles per sample at twice the rate.
        designLowPass(h, sharpLowPassTaps, (firstStagePassEdge / 2.0 + 0.25) / 2.0, sharpLowPassDecibels);
        setTaps(stage.lower, h, sharpLowPassTaps);
    } else {
        static_assert(halfBandTaps[2] <= halfBandTaps[1]);
        for (int j = 0; 2 * j < taps; ++j) even[j] = h[2 * j];
        setTaps(stage.lowerEven, even, (taps + 1) / 2);
        stage.centreDelay = (centre + 1) / 2;
        stage.lowerOdd.length = stage.centreDelay + 1;
        stage.halfBandLowering = true;
    }
    halfRateStageClear(stage);
}

void halfRateStageClear(HalfRateStage& stage) {
    clearFir(stage.raise);
    clearFir(stage.lower);
    clearFir(stage.lowerEven);
    clearFir(stage.lowerOdd);
}

int halfRateStageDelay(int stageIndex) {
    const int lowering = stageIndex == 0 ? sharpLowPassTaps : halfBandTaps[stageIndex];
    return (halfBandTaps[stageIndex] - 1) / 2 + (lowering - 1) / 2;
}

void upsampleTwiceCompute(HalfRateStage& stage, StereoFirRun run, const double* input, int32_t frames, double* output) {
    auto& fir = stage.raise;
    const double* line = fill(fir, input, frames);
    // Output 2n ends its window on input n (the window starts at pair n); output 2n + 1 is
    // input n − oddDelay.
    run(fir.taps, fir.length, line, 1, frames, output, 2);
    const double* odd = line + 2 * (fir.length - 1 - stage.oddDelay);
    for (int32_t n = 0; n < frames; ++n) {
        output[4 * n + 2] = odd[2 * n];
        output[4 * n + 3] = odd[2 * n + 1];
    }
    keepHistory(fir, frames);
}

void downsampleTwiceCompute(HalfRateStage& stage, StereoFirRun run, const double* input, int32_t frames, double* output) {
    if (!stage.halfBandLowering) {
        // Output n ends its window on input 2n, the even sample the doubling puts each input on.
        const double* line = fill(stage.lower, input, 2 * frames);
        run(stage.lower.taps, stage.lower.length, line, 2, frames, output, 1);
        keepHistory(stage.lower, 2 * frames);
        return;
    }
    double* even = stage.lowerEven.line + 2 * (stage.lowerEven.length - 1);
    double* odd = stage.lowerOdd.line + 2 * (stage.lowerOdd.length - 1);
    for (int32_t n = 0; n < frames; ++n)
        for (int c = 0; c < 2; ++c) {
            even[2 * n + c] = input[4 * n + c];
            odd[2 * n + c] = input[4 * n + 2 + c];
        }
    run(stage.lowerEven.taps, stage.lowerEven.length, stage.lowerEven.line, 1, frames, output, 1);
    const double* centre = odd - 2 * stage.centreDelay;
    for (int32_t n = 0; n < 2 * frames; ++n) output[n] += 0.5 * centre[n];
    keepHistory(stage.lowerEven, frames);
    keepHistory(stage.lowerOdd, frames);
}
