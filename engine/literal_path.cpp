#include "engine/literal_path.h"

#include <cmath>

#include "engine/control_signals.h"
#include "engine/stage_formulas.h"

void processFramesLiterally(EngineState& engine, const BlockConstants& c,
                            const float* const* inputs, float* const* outputs,
                            int32_t sampleFrames) {
    using namespace formula;
    for (int32_t i = 0; i < sampleFrames; ++i) {
        const double x[2] = {inputs[0][i], inputs[1][i]};
        updateControlSignals(engine, x[0], x[1]);

        double lowBand[2], midBand[2], highBand[2];
        for (int ch = 0; ch < 2; ++ch) {
            BandSplit& band = engine.bands[ch];
            lowBand[ch] = step(band.lowSplit[1], step(band.lowSplit[0], x[ch]));
            const double upperBand = step(band.highSplit[1], step(band.highSplit[0], x[ch]));
            midBand[ch] = step(band.midSplit[1], step(band.midSplit[0], upperBand));
            highBand[ch] = step(band.topSplit[1], step(band.topSplit[0], upperBand));
        }
        for (int ch = 0; ch < 2; ++ch) {
            LowPeakFollower& follower = engine.lowPeakFollowers[ch];
            const double boosted = momentumBoost<AsWritten>(lowBand[ch], c.momentumK);
            follower.lowPeak = followLowPeak(boosted, follower.lowPeak, follower.lowPeakRelease);
            lowBand[ch] = momentumLimit(boosted, follower.lowPeak);
        }
        const double K = tubeDrive(engine.crestSoftener, engine.lfoDepth, c.driveFactor);
        for (int ch = 0; ch < 2; ++ch) {
            const double m = midBand[ch];
            if (std::fabs(m) < tubeSilenceThreshold) continue;
            const double argument = tubeArgument<AsWritten>(c, m, K, engine.levelCubic, engine.levelSquare);
            midBand[ch] = tubeResult(m, std::tanh(argument));
        }
        if (c.sieveActive)
            for (int ch = 0; ch < 2; ++ch)
                highBand[ch] = sieveResult(highBand[ch], std::sin(sieveArgument(highBand[ch])), c.sieve);

        const double width = widthResult(engine.levelCubic, std::tanh(widthArgument(engine.lfoValue)));
        const WetPair wet = recombine(bandSum(midBand[0], lowBand[0], highBand[0]),
                                      bandSum(midBand[1], lowBand[1], highBand[1]), width,
                                      [&engine](double side) {
                                          return step(engine.sidePresence, step(engine.sideHighPass, side));
                                      });
        double wetBoth[2] = {wet.left, wet.right};
        if (c.glueActive)
            for (double& v : wetBoth)
                v = glueResult<AsWritten>(v, std::tanh(glueArgument(v, c.glueDrive)), c.glue);
        for (int ch = 0; ch < 2; ++ch)
            outputs[ch][i] = static_cast<float>(clampOutput(mixOutput(c, wetBoth[ch], x[ch])));
    }
}

void processBlockReference(EngineState& engine, double sampleRate, const BlockSettings& settings,
                           const float* const* inputs, float* const* outputs,
                           int32_t sampleFrames) {
    processBlockWith(processFramesLiterally, engine, sampleRate, settings, inputs, outputs,
                     sampleFrames);
}
