// Looks inside a live instance: is every value the engine carries from one frame to the
// next still a finite number, and are the host-side fields within their ranges?
#pragma once

#include <cmath>
#include <initializer_list>

#include "host/plugin_instance.h"

inline bool allFinite(std::initializer_list<double> values) {
    for (double v : values)
        if (!std::isfinite(v)) return false;
    return true;
}

inline bool sectionFinite(const FilterSection& s) {
    return allFinite({s.b0, s.b1, s.b2, s.a1, s.a2, s.z1, s.z2});
}

inline bool engineStateFinite(const EngineState& e) {
    for (const BandSplit& band : e.bands)
        for (const FilterSection* pair : {band.lowSplit, band.highSplit, band.midSplit, band.topSplit})
            if (!sectionFinite(pair[0]) || !sectionFinite(pair[1])) return false;
    for (const LowPeakFollower& f : e.lowPeakFollowers)
        if (!allFinite({f.lowPeak, f.lowPeakRelease}) || f.lowPeak < 0.0) return false;
    return sectionFinite(e.sideHighPass) && sectionFinite(e.sidePresence) &&
           allFinite({e.level, e.levelCubic, e.levelSquare, e.crest, e.crestNorm, e.crestSoftener,
                      e.lfoValue, e.lfoDepth, e.peakNorm, e.slowLevel, e.lfoPhase,
                      e.peakNormDecay, e.levelAttack, e.levelRelease, e.slowCoef,
                      e.lfoIncrement});
}

// The prepared rate is a finite number of at least 8000 Hz and every parameter lies in 0..1.
inline bool hostFieldsSound(const PluginInstance& instance) {
    if (!(std::isfinite(instance.sampleRate) && instance.sampleRate >= lowestPreparedRate))
        return false;
    for (int i = 0; i < parameterCount; ++i) {
        const float p = loadParameter(instance, i);
        if (!(p >= 0.0f && p <= 1.0f)) return false;
    }
    return true;
}

inline bool instanceSound(const PluginInstance& instance) {
    return hostFieldsSound(instance) && engineStateFinite(instance.engine);
}

inline bool instanceSound(AEffect* effect) {
    return instanceSound(*static_cast<const PluginInstance*>(effect->object));
}
