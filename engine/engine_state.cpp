#include "engine/engine_state.h"

#include <algorithm>
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

// The frames until the slowest pole's r^n falls below floor (poles of z² + a1·z + a2); a
// section that does not decay counts as a second at 192 kHz.
int64_t sectionDecayFrames(const FilterSection& s, double floor) {
    constexpr int64_t undecaying = 192000;
    const double discriminant = s.a1 * s.a1 - 4.0 * s.a2;
    const double radius = discriminant < 0.0
                              ? std::sqrt(s.a2)
                              : (std::fabs(s.a1) + std::sqrt(discriminant)) / 2.0;
    if (!(radius < 1.0)) return undecaying;
    if (radius <= 0.0) return 2;
    return std::min(undecaying, static_cast<int64_t>(std::ceil(std::log(floor) / std::log(radius))) + 2);
}

int64_t chainDecayFrames(const FilterSection (&first)[2], const FilterSection (&second)[2], double floor) {
    return sectionDecayFrames(first[0], floor) + sectionDecayFrames(first[1], floor) +
           sectionDecayFrames(second[0], floor) + sectionDecayFrames(second[1], floor);
}

}  // namespace

int64_t engineDecayFrames(const EngineState& engine, double floor) {
    int64_t longest = 0;
    for (const BandSplit& band : engine.bands) {
        const int64_t low = sectionDecayFrames(band.lowSplit[0], floor) + sectionDecayFrames(band.lowSplit[1], floor);
        longest = std::max({longest, low, chainDecayFrames(band.highSplit, band.midSplit, floor),
                            chainDecayFrames(band.highSplit, band.topSplit, floor)});
    }
    return longest + sectionDecayFrames(engine.sideHighPass, floor) +
           sectionDecayFrames(engine.sidePresence, floor);
}

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
