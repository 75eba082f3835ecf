// The engine's whole state: eighteen filter sections, the low-band peak followers, the
// control signals and the constants that depend on the sample rate.
#pragma once

#include <cstdint>

#include "engine/filter_section.h"

struct BandSplit {
    FilterSection lowSplit[2];   // 95 Hz low-pass pair: the low band
    FilterSection highSplit[2];  // 95 Hz high-pass pair: the upper signal
    FilterSection midSplit[2];   // 5 kHz low-pass pair on the upper signal: the mid band
    FilterSection topSplit[2];   // 5 kHz high-pass pair on the upper signal: the high band
};

struct LowPeakFollower {
    double lowPeak = 0.0;
    double lowPeakRelease = 0.0;
};

struct EngineState {
    BandSplit bands[2];  // left, right
    LowPeakFollower lowPeakFollowers[2];
    FilterSection sideHighPass;
    FilterSection sidePresence;

    // Control signals: level, peakNorm, slowLevel and lfoPhase carry state; the rest
    // hold the values of the current frame.
    double level = 0.0;
    double levelCubic = 0.0;
    double levelSquare = 0.0;
    double crest = 0.0;
    double crestNorm = 0.0;
    double crestSoftener = 1.0;
    double lfoValue = 0.0;
    double lfoDepth = 0.0;
    double peakNorm = 0.001;
    double slowLevel = 0.0;
    double lfoPhase = 0.0;

    // Written by prepareEngine.
    double peakNormDecay = 0.0;
    double levelAttack = 0.0;
    double levelRelease = 0.0;
    double slowCoef = 0.0;
    double lfoIncrement = 0.0;
};

constexpr double lowestPreparedRate = 8000.0;

// Designs every section and computes every constant for the rate (raised to 8000 Hz when
// lower or not a number); returns the rate used. Filter and control state are kept.
double prepareEngine(EngineState& engine, double rate);

// Forgets the audio history: every filter state, both low-band peaks, the control signals and
// the modulator phase return to their construction values. The prepared coefficients and
// constants stay, so the engine runs on as a fresh one prepared for the same rate.
void resetEngineHistory(EngineState& engine);

// Frames (at the prepared rate) the filters need after the input falls silent until what they
// still hold has decayed below `floor` times its level: per section the frames its slowest
// pole takes, summed along the longest chain a signal passes (a band of the split, then the
// side's two sections), from the prepared coefficients.
int64_t engineDecayFrames(const EngineState& engine, double floor);
