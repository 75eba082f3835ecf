#include "engine/block_settings.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#include "engine/circle.h"
#include "engine/stage_formulas.h"
#include "parameters/parameter_set.h"

bool isBlockBypassed(const BlockSettings& settings) {
    return settings.hostBypass || settings.parameters[parameterBypass] > 0.5f;
}

double outputGainFor(float outputParameter) {
    const ParameterSpec& spec = parameterTable[parameterOutput];
    const double output = outputParameter;
    const double offset = normalizedOffset(spec);  // 0.5 and 36 dB, widened exactly
    const double span = shownSpan(spec);
    return std::pow(10.0, ((output - offset) * span) / 20.0);
}

BlockSnapshot takeSnapshot(const BlockSettings& settings) {
    const float* p = settings.parameters;
    return BlockSnapshot{p[parameterDrive], p[parameterTubeBias], p[parameterGlue],
                         p[parameterMomentum], p[parameterSieve], p[parameterMix],
                         outputGainFor(p[parameterOutput])};
}

namespace {

template <class Sample>
void copyBypassed(const Sample* const* inputs, Sample* const* outputs, int32_t sampleFrames) {
    if (sampleFrames < 1) return;
    const size_t frames = static_cast<size_t>(sampleFrames);
    // A channel written first must not be the other channel's input (crossed buffers):
    // then copy frame by frame, reading both inputs before writing either output.
    if (outputs[0] == inputs[1] || outputs[1] == inputs[0]) {
        for (size_t i = 0; i < frames; ++i) {
            const Sample left = inputs[0][i];
            const Sample right = inputs[1][i];
            outputs[0][i] = left;
            outputs[1][i] = right;
        }
        return;
    }
    for (int channel = 0; channel < 2; ++channel)
        if (outputs[channel] != inputs[channel])
            std::memmove(outputs[channel], inputs[channel], frames * sizeof(Sample));
}

}  // namespace

void copyBypassedBlock(const float* const* inputs, float* const* outputs, int32_t sampleFrames) {
    copyBypassed(inputs, outputs, sampleFrames);
}
void copyBypassedBlock(const double* const* inputs, double* const* outputs, int32_t sampleFrames) {
    copyBypassed(inputs, outputs, sampleFrames);
}

double tubeRateConstant(double fs) { return circle::twoPi * (1000.0 / fs); }

BlockConstants cookBlockConstants(const BlockSnapshot& snap, double fs) {
    BlockConstants c;
    c.driveFactor = 6.5 * snap.drive + 1.0;
    c.tubeBiasPositive = (snap.tubeBias - 0.5) * 0.35 + 1.0;
    c.tubeBiasNegative = (0.5 - snap.tubeBias) * 0.35 + 1.0;
    c.w = tubeRateConstant(fs);
    c.wOverSix = c.w / 6.0;
    c.wCubedTerm = 0.01 * std::pow(c.w, 3.0);
    c.momentumK = formula::momentumDrive(snap.momentum);
    c.sieve = snap.sieve;
    c.glue = snap.glue;
    c.glueDrive = formula::glueDrive(snap.glue);
    c.mix = snap.mix;
    c.dryShare = 1.0 - snap.mix;
    c.outputGain = snap.outputGain;
    c.sieveActive = snap.sieve > stageThreshold;
    c.glueActive = snap.glue > stageThreshold;
    return c;
}
