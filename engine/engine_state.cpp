#include "engine/engine_state.h"

#include <cmath>

namespace {

// Share of the old value kept by a one-pole follower with time constant T seconds.
double keptShare(double timeConstant, double fs) {
    const double samples = timeConstant * fs;
    return std::exp(-1.0 / samples);
}

}  // namespace

double prepareEngine(EngineState& engine, double rate) {
    const double fs = rate > lowestPreparedRate ? rate : lowestPreparedRate;

    engine.peakNormDecay = keptShare(1.5, fs);
    engine.levelAttack = keptShare(0.001, fs);
    engine.levelRelease = keptShare(0.06, fs);
    engine.slowCoef = 1.0 - keptShare(0.08, fs);
    engine.lfoIncrement = 36.4424747816416 / fs;

    for (BandSplit& band : engine.bands) {
        designCrossover(band.lowSplit, band.highSplit, 95.0, fs);
        designCrossover(band.midSplit, band.topSplit, 5000.0, fs);
    }
    for (LowPeakFollower& follower : engine.lowPeakFollowers)
        follower.lowPeakRelease = keptShare(0.12, fs);

    designHighPass(engine.sideHighPass, 120.0, fs);
    designPeaking(engine.sidePresence, 2600.0, fs);
    return fs;
}
