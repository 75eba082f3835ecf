#include "engine/process_block.h"

#include <cmath>
#include <cstring>

#include "engine/band_stages.h"
#include "engine/control_signals.h"
#include "engine/fast_kernel.h"
#include "engine/output_stages.h"

bool isBlockBypassed(const BlockSettings& settings) {
    return settings.hostBypass || settings.parameters[parameterBypass] > 0.5f;
}

double outputGainFor(float outputParameter) {
    const double output = outputParameter;
    return std::pow(10.0, ((output - 0.5) * 36.0) / 20.0);
}

BlockSnapshot takeSnapshot(const BlockSettings& settings) {
    const float* p = settings.parameters;
    return BlockSnapshot{p[parameterDrive], p[parameterTubeBias], p[parameterGlue],
                         p[parameterMomentum], p[parameterSieve], p[parameterMix],
                         outputGainFor(p[parameterOutput])};
}

void copyBypassedBlock(const float* const* inputs, float* const* outputs, int32_t sampleFrames) {
    if (sampleFrames < 1) return;
    const size_t frames = static_cast<size_t>(sampleFrames);
    // A channel written first must not be the other channel's input (crossed buffers):
    // then copy frame by frame, reading both inputs before writing either output.
    if (outputs[0] == inputs[1] || outputs[1] == inputs[0]) {
        for (size_t i = 0; i < frames; ++i) {
            const float left = inputs[0][i];
            const float right = inputs[1][i];
            outputs[0][i] = left;
            outputs[1][i] = right;
        }
        return;
    }
    for (int channel = 0; channel < 2; ++channel)
        if (outputs[channel] != inputs[channel])
            std::memmove(outputs[channel], inputs[channel], frames * sizeof(float));
}

void processBlockReference(EngineState& engine, double sampleRate, const BlockSettings& settings,
                           const float* const* inputs, float* const* outputs,
                           int32_t sampleFrames) {
    if (isBlockBypassed(settings)) {
        copyBypassedBlock(inputs, outputs, sampleFrames);
        return;
    }
    const BlockSnapshot snap = takeSnapshot(settings);
    const double fs = sampleRate;

    for (int32_t i = 0; i < sampleFrames; ++i) {
        const double x[2] = {inputs[0][i], inputs[1][i]};
        updateControlSignals(engine, x[0], x[1]);

        double lowBand[2], midBand[2], highBand[2];
        for (int c = 0; c < 2; ++c) {
            BandSplit& band = engine.bands[c];
            lowBand[c] = step(band.lowSplit[1], step(band.lowSplit[0], x[c]));
            const double upperBand = step(band.highSplit[1], step(band.highSplit[0], x[c]));
            midBand[c] = step(band.midSplit[1], step(band.midSplit[0], upperBand));
            highBand[c] = step(band.topSplit[1], step(band.topSplit[0], upperBand));
        }
        for (int c = 0; c < 2; ++c) {
            LowPeakFollower& follower = engine.lowPeakFollowers[c];
            lowBand[c] = momentumStage(lowBand[c], snap.momentum, follower.lowPeak,
                                       follower.lowPeakRelease);
        }
        for (int c = 0; c < 2; ++c)
            midBand[c] = tubeStage(midBand[c], snap.drive, snap.tubeBias, engine.crestSoftener,
                                   engine.lfoDepth, engine.levelCubic, engine.levelSquare, fs);
        if (snap.sieve > stageThreshold)
            for (int c = 0; c < 2; ++c) highBand[c] = sieveStage(highBand[c], snap.sieve);

        const double sumL = (midBand[0] + lowBand[0]) + highBand[0];
        const double sumR = (midBand[1] + lowBand[1]) + highBand[1];
        const double midSignal = (sumL + sumR) * 0.7071067811865475;
        const double sideSignal = (sumL - sumR) * 0.7071067811865475;
        const double sideFiltered = step(engine.sidePresence, step(engine.sideHighPass, sideSignal));
        const double side = sideWidthFactor(engine.levelCubic, engine.lfoValue) * sideFiltered;
        double wetLeft = (midSignal + side) * 0.7071067811865475;
        double wetRight = (midSignal - side) * 0.7071067811865475;
        if (snap.glue > stageThreshold) {
            wetLeft = glueStage(wetLeft, snap.glue);
            wetRight = glueStage(wetRight, snap.glue);
        }
        const double outL = (snap.mix * wetLeft + x[0] * (1.0 - snap.mix)) * snap.outputGain;
        const double outR = ((1.0 - snap.mix) * x[1] + snap.mix * wetRight) * snap.outputGain;
        outputs[0][i] = clampAndNarrow(outL);
        outputs[1][i] = clampAndNarrow(outR);
    }
}

void processBlock(EngineState& engine, double sampleRate, const BlockSettings& settings,
                  const float* const* inputs, float* const* outputs, int32_t sampleFrames) {
    processBlockFast(engine, sampleRate, settings, inputs, outputs, sampleFrames);
}
