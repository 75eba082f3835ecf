#include "engine/engine_state.h"

#include <cmath>

namespace {

// Share of the old value kept by a one-pole follower with time constant T seconds.
double keptShare(double timeConstant, double fs) {
    const double samples = timeConstant * fs;
    return std::exp(-1.0 / samples);
}

// Takes the design of `prepared` into `section`, whose state words stay as they are.
void keepDesign(FilterSection& section, const FilterSection& prepared) {
    section.b0 = prepared.b0;
    section.b1 = prepared.b1;
    section.b2 = prepared.b2;
    section.a1 = prepared.a1;
    section.a2 = prepared.a2;
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

// Starts from a state as construction leaves it and takes over only what prepareEngine wrote:
// whatever else the record holds, now or later, is history and goes back with it.
void resetEngineHistory(EngineState& engine) {
    EngineState fresh;
    for (int c = 0; c < 2; ++c) {
        BandSplit& band = fresh.bands[c];
        const BandSplit& prepared = engine.bands[c];
        for (int i = 0; i < 2; ++i) {
            keepDesign(band.lowSplit[i], prepared.lowSplit[i]);
            keepDesign(band.highSplit[i], prepared.highSplit[i]);
            keepDesign(band.midSplit[i], prepared.midSplit[i]);
            keepDesign(band.topSplit[i], prepared.topSplit[i]);
        }
        fresh.lowPeakFollowers[c].lowPeakRelease = engine.lowPeakFollowers[c].lowPeakRelease;
    }
    keepDesign(fresh.sideHighPass, engine.sideHighPass);
    keepDesign(fresh.sidePresence, engine.sidePresence);
    fresh.peakNormDecay = engine.peakNormDecay;
    fresh.levelAttack = engine.levelAttack;
    fresh.levelRelease = engine.levelRelease;
    fresh.slowCoef = engine.slowCoef;
    fresh.lfoIncrement = engine.lfoIncrement;
    engine = fresh;
}
