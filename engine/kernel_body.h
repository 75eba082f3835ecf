// The block kernel, once for every width: included by one unit per instruction set, each
// built with its own flags (see CMakeLists.txt). Wide is the lane type of the stages that
// work on every sample alike; Split is that of the band split, whose states run through the
// frames (two lanes: left and right of one cascade; four: of the two cascades that share
// an input). The formulas are stage_formulas.h's, with the Folded rounding; tanh and sin are
// block_math.h's, on a chunk of frames at a time.
#pragma once

#include <cstdint>

#include "engine/block_kernels.h"
#include "engine/block_math.h"
#include "engine/control_signals.h"
#include "engine/engine_state.h"
#include "engine/stage_formulas.h"

namespace kernel {
namespace {

// Frames a block is cut into; the working arrays live on the stack. The stages below are
// kept out of line: a call per chunk costs nothing, and a profile shows each.
constexpr int32_t chunkFrames = 64;

// Working arrays of one chunk: per frame values, and per channel values as (left, right).
struct Chunk {
    double level[chunkFrames], slowLevel[chunkFrames], levelCubic[chunkFrames], levelSquare[chunkFrames];
    double lfo[chunkFrames], lfoDepth[chunkFrames], drive[chunkFrames];
    double width[chunkFrames];
    double dry[2 * chunkFrames];
    double driveLanes[2 * chunkFrames], levelCubicLanes[2 * chunkFrames], levelSquareLanes[2 * chunkFrames];
    double low[2 * chunkFrames], upper[2 * chunkFrames], mid[2 * chunkFrames], high[2 * chunkFrames];
    double lowPeak[2 * chunkFrames], shaped[2 * chunkFrames], wet[2 * chunkFrames];
};

// Control signals: the state frame by frame, inside the band split's first frame loop (both
// are chains through the frames, and side by side the processor overlaps them) ...
struct ControlStateStep {
    EngineState& engine;
    Chunk& k;

    void operator()(int32_t i) const {
        advanceControlState(engine, k.dry[2 * i], k.dry[2 * i + 1]);
        k.level[i] = engine.level;
        k.slowLevel[i] = engine.slowLevel;
        k.lfo[i] = engine.lfoPhase + lfoPhaseOffset;
    }
};

// ... then the modulator's sine, everything derived from the levels, the modulator's depth,
// the tube's drive and the side width on the whole chunk.
template <class Wide>
[[gnu::noinline]] void runControlSignals(EngineState& engine, const BlockConstants& c, Chunk& k, int32_t frames) {
    blockmath::sinBlock<Wide>(k.lfo, frames);
    overLanes<Wide>(frames, [&]<class V>(int i) {
        const LevelShapes<V> shapes = shapeLevels(load<V>(k.level + i), load<V>(k.slowLevel + i));
        store(k.levelCubic + i, shapes.levelCubic);
        store(k.levelSquare + i, shapes.levelSquare);
        const V lfo = load<V>(k.lfo + i);
        const V depth = formula::modulatorDepth(lfo, shapes.crest);
        store(k.lfoDepth + i, depth);
        store(k.drive + i, formula::tubeDrive(shapes.crestSoftener, depth, c.driveFactor));
        store(k.width + i, formula::widthArgument(lfo));
    });
    // The engine keeps the last frame's values, as the literal path leaves them.
    storeLevelShapes(engine, shapeLevels(engine.level, engine.slowLevel));
    engine.lfoValue = k.lfo[frames - 1];
    engine.lfoDepth = k.lfoDepth[frames - 1];
    blockmath::tanhBlock<Wide>(k.width, frames);
    overLanes<Wide>(frames, [&]<class V>(int i) {
        store(k.width + i, formula::widthResult(load<V>(k.levelCubic + i), load<V>(k.width + i)));
    });
    for (int32_t i = 0; i < frames; ++i)
        for (int ch = 0; ch < 2; ++ch) {
            k.driveLanes[2 * i + ch] = k.drive[i];
            k.levelCubicLanes[2 * i + ch] = k.levelCubic[i];
            k.levelSquareLanes[2 * i + ch] = k.levelSquare[i];
        }
}

// The four sections of one crossover input for one channel: first's two, then second's two.
using CascadeSections = FilterSection* [4];

// Two cascades of two sections each, fed the same input, for left and right: `first` and
// `second`, held in lanes of Split as laneCount/2 cascades side by side.
template <class Split>
struct TwinCascades {
    static constexpr int across = laneCount<Split> / 2;  // cascades side by side
    static constexpr int holders = 4 / across;
    SectionLanes<Split> s[holders];

    // Lane j of holder n: channel j % 2, cascade (n / 2)·across + j / 2, stage n % 2; the
    // sections of each channel ordered first's two, then second's two.
    static constexpr int sectionOf(int n, int j) { return ((n / 2) * across + j / 2) * 2 + n % 2; }

    void load(const CascadeSections (&channels)[2]) {
        for (int n = 0; n < holders; ++n)
            for (int j = 0; j < laneCount<Split>; ++j) {
                const FilterSection& f = *channels[j % 2][sectionOf(n, j)];
                s[n].b0[j] = f.b0;
                s[n].b1[j] = f.b1;
                s[n].b2[j] = f.b2;
                s[n].a1[j] = f.a1;
                s[n].a2[j] = f.a2;
                s[n].z1[j] = f.z1;
                s[n].z2[j] = f.z2;
            }
    }

    void storeState(const CascadeSections (&channels)[2]) const {
        for (int n = 0; n < holders; ++n)
            for (int j = 0; j < laneCount<Split>; ++j) {
                FilterSection& f = *channels[j % 2][sectionOf(n, j)];
                f.z1 = s[n].z1[j];
                f.z2 = s[n].z2[j];
            }
    }
};

// A section step without the guard and the flush, for the common case where neither acts.
// `smallest` follows the least state magnitude; with the states at the end that tells
// whether the guard or the flush would have acted anywhere: a state word that stops being
// finite stays so from then on (a2 is never 0 in these designs), and the flush acts only
// below stateFlushThreshold.
template <class Section, class V>
inline V stepUnguarded(Section& s, V x, V& smallest) {
    const V y = s.b0 * x + s.z1;
    const V newZ2 = s.b2 * x - s.a2 * y;
    const V newZ1 = s.z2 + (s.b1 * x - s.a1 * y);
    s.z1 = newZ1;
    s.z2 = newZ2;
    const V z1Magnitude = absolute(newZ1), z2Magnitude = absolute(newZ2);
    const V stepSmallest = select(z1Magnitude < z2Magnitude, z1Magnitude, z2Magnitude);
    smallest = select(stepSmallest < smallest, stepSmallest, smallest);
    return y;
}

template <class Section, class V>
inline V stepGuarded(Section& s, V x, V&) {
    return stepSection(s, x);
}

// After an unguarded stretch: neither the guard nor the flush would have acted.
template <class Section, class V>
inline bool stayedOrdinary(const Section& s, V smallest) {
    return allLanes(both(both(smallest >= stateFlushThreshold, withinFiniteRange(s.z1)),
                         withinFiniteRange(s.z2)));
}

template <class Split, Split (*stepFunction)(SectionLanes<Split>&, Split, Split&), class PerFrame>
[[gnu::always_inline]] inline void twinLoop(TwinCascades<Split>& t, Split* smallest, const double* input,
                                            double* first, double* second, int32_t frames,
                                            PerFrame& perFrame) {
    constexpr int lanes = laneCount<Split>;
    for (int32_t i = 0; i < frames; ++i) {
        perFrame(i);
        // The frame's left and right in every pair of lanes.
        double repeated[lanes];
        for (int j = 0; j < lanes; j += 2) {
            repeated[j] = input[2 * i];
            repeated[j + 1] = input[2 * i + 1];
        }
        const Split x = load<Split>(repeated);
        double outputs[4];  // first's left and right, then second's
        for (int h = 0; h < TwinCascades<Split>::holders / 2; ++h)
            store(outputs + h * lanes, stepFunction(t.s[2 * h + 1], stepFunction(t.s[2 * h], x, smallest[2 * h]),
                                                    smallest[2 * h + 1]));
        first[2 * i] = outputs[0];
        first[2 * i + 1] = outputs[1];
        second[2 * i] = outputs[2];
        second[2 * i + 1] = outputs[3];
    }
}

// Unguarded first; if the guard or the flush would have acted anywhere in the chunk, the
// chunk again from the saved states with both, so the result is always the guarded one.
// The outputs must not overlap the input. perFrame(i) runs once for every frame, with the
// first run only.
template <class Split, class PerFrame>
[[gnu::noinline]] void runTwinCascades(const CascadeSections (&channels)[2], const double* input,
                                       double* first, double* second, int32_t frames, PerFrame& perFrame) {
    using Twin = TwinCascades<Split>;
    Twin t;
    t.load(channels);
    const Twin saved = t;
    Split smallest[Twin::holders];
    for (Split& s : smallest) s = broadcast<Split>(INFINITY);
    twinLoop<Split, stepUnguarded<SectionLanes<Split>, Split>>(t, smallest, input, first, second, frames, perFrame);
    bool ordinary = true;
    for (int n = 0; n < Twin::holders; ++n)
        ordinary = ordinary && stayedOrdinary(t.s[n], smallest[n]);
    if (!ordinary) {
        t = saved;
        auto nothing = [](int32_t) {};
        twinLoop<Split, stepGuarded<SectionLanes<Split>, Split>>(t, smallest, input, first, second, frames, nothing);
    }
    t.storeState(channels);
}

inline void lowAndHighSections(BandSplit& b, CascadeSections& sections) {
    sections[0] = &b.lowSplit[0];
    sections[1] = &b.lowSplit[1];
    sections[2] = &b.highSplit[0];
    sections[3] = &b.highSplit[1];
}

inline void midAndTopSections(BandSplit& b, CascadeSections& sections) {
    sections[0] = &b.midSplit[0];
    sections[1] = &b.midSplit[1];
    sections[2] = &b.topSplit[0];
    sections[3] = &b.topSplit[1];
}

// The crossovers in two passes, so that the states stay in registers: low and high on the
// input, then mid and top on the high one; each pass with a chain of its own through the
// frames beside it.
template <class Split, class FirstPerFrame, class SecondPerFrame, class BetweenPasses>
void runBandSplit(EngineState& engine, Chunk& k, int32_t frames, FirstPerFrame& first,
                  BetweenPasses between, SecondPerFrame& second) {
    CascadeSections input[2], upper[2];
    for (int ch = 0; ch < 2; ++ch) {
        lowAndHighSections(engine.bands[ch], input[ch]);
        midAndTopSections(engine.bands[ch], upper[ch]);
    }
    runTwinCascades<Split>(input, k.dry, k.low, k.upper, frames, first);
    between();
    runTwinCascades<Split>(upper, k.upper, k.mid, k.high, frames, second);
}

// Momentum: the boost and the limiter on whole chunks; only the peak follower runs through
// the frames, left and right as a pair, inside the band split's second frame loop.
template <class Wide>
[[gnu::noinline]] void runMomentumBoost(const BlockConstants& c, Chunk& k, int32_t frames) {
    overLanes<Wide>(2 * frames, [&]<class V>(int i) {
        store(k.low + i, formula::momentumBoost<Folded>(load<V>(k.low + i), c.momentumK));
    });
}

struct PeakFollowerStep {
    Chunk& k;
    Double2 lowPeak, release;

    PeakFollowerStep(const EngineState& engine, Chunk& chunk)
        : k(chunk),
          lowPeak{engine.lowPeakFollowers[0].lowPeak, engine.lowPeakFollowers[1].lowPeak},
          release{engine.lowPeakFollowers[0].lowPeakRelease, engine.lowPeakFollowers[1].lowPeakRelease} {}

    void operator()(int32_t i) {
        lowPeak = formula::followLowPeak(load<Double2>(k.low + 2 * i), lowPeak, release);
        store(k.lowPeak + 2 * i, lowPeak);
    }

    void storeState(EngineState& engine) const {
        engine.lowPeakFollowers[0].lowPeak = lowPeak[0];
        engine.lowPeakFollowers[1].lowPeak = lowPeak[1];
    }
};

template <class Wide>
[[gnu::noinline]] void runMomentumLimit(Chunk& k, int32_t frames) {
    overLanes<Wide>(2 * frames, [&]<class V>(int i) {
        store(k.low + i, formula::momentumLimit(load<V>(k.low + i), load<V>(k.lowPeak + i)));
    });
}

template <class Wide>
[[gnu::noinline]] void runTube(const BlockConstants& c, Chunk& k, int32_t frames) {
    overLanes<Wide>(2 * frames, [&]<class V>(int i) {
        store(k.shaped + i, formula::tubeArgument<Folded>(c, load<V>(k.mid + i), load<V>(k.driveLanes + i),
                                                          load<V>(k.levelCubicLanes + i),
                                                          load<V>(k.levelSquareLanes + i)));
    });
    blockmath::tanhBlock<Wide>(k.shaped, 2 * frames);
    overLanes<Wide>(2 * frames, [&]<class V>(int i) {
        store(k.mid + i, formula::tubeResult(load<V>(k.mid + i), load<V>(k.shaped + i)));
    });
}

template <class Wide>
[[gnu::noinline]] void runSieve(const BlockConstants& c, Chunk& k, int32_t frames) {
    overLanes<Wide>(2 * frames, [&]<class V>(int i) {
        store(k.shaped + i, formula::sieveArgument(load<V>(k.high + i)));
    });
    blockmath::sinBlock<Wide>(k.shaped, 2 * frames);
    overLanes<Wide>(2 * frames, [&]<class V>(int i) {
        store(k.high + i, formula::sieveResult(load<V>(k.high + i), load<V>(k.shaped + i), c.sieve));
    });
}

template <double (*stepFunction)(FilterSection&, double, double&)>
[[gnu::always_inline]] inline void recombinationLoop(FilterSection* sideSections, double* smallest, Chunk& k,
                                                     int32_t frames) {
    for (int32_t i = 0; i < frames; ++i) {
        const Double2 sum = formula::bandSum(load<Double2>(k.mid + 2 * i), load<Double2>(k.low + 2 * i),
                                             load<Double2>(k.high + 2 * i));
        const formula::WetPair wet = formula::recombine(sum[0], sum[1], k.width[i], [&](double side) {
            return stepFunction(sideSections[1], stepFunction(sideSections[0], side, smallest[0]), smallest[1]);
        });
        k.wet[2 * i] = wet.left;
        k.wet[2 * i + 1] = wet.right;
    }
}

// The side filters run through the frames: one frame at a time, unguarded first and again
// guarded when the guard or the flush would have acted, like the band split.
[[gnu::noinline]] void runRecombination(EngineState& engine, Chunk& k, int32_t frames) {
    FilterSection sections[2] = {engine.sideHighPass, engine.sidePresence};
    double smallest[2] = {INFINITY, INFINITY};
    recombinationLoop<stepUnguarded<FilterSection, double>>(sections, smallest, k, frames);
    if (!stayedOrdinary(sections[0], smallest[0]) || !stayedOrdinary(sections[1], smallest[1])) {
        sections[0] = engine.sideHighPass;
        sections[1] = engine.sidePresence;
        recombinationLoop<stepGuarded<FilterSection, double>>(sections, smallest, k, frames);
    }
    engine.sideHighPass = sections[0];
    engine.sidePresence = sections[1];
}

template <class Wide>
[[gnu::noinline]] void runGlue(const BlockConstants& c, Chunk& k, int32_t frames) {
    overLanes<Wide>(2 * frames, [&]<class V>(int i) {
        store(k.shaped + i, formula::glueArgument(load<V>(k.wet + i), c.glueDrive));
    });
    blockmath::tanhBlock<Wide>(k.shaped, 2 * frames);
    overLanes<Wide>(2 * frames, [&]<class V>(int i) {
        store(k.wet + i, formula::glueResult<Folded>(load<V>(k.wet + i), load<V>(k.shaped + i), c.glue));
    });
}

template <class Wide, class Sample>
[[gnu::noinline]] void writeOutput(const BlockConstants& c, Chunk& k, Sample* const* outputs, int32_t start, int32_t frames) {
    overLanes<Wide>(2 * frames, [&]<class V>(int i) {
        store(k.wet + i, formula::clampOutput(formula::mixOutput(c, load<V>(k.wet + i), load<V>(k.dry + i))));
    });
    for (int32_t i = 0; i < frames; ++i) {
        outputs[0][start + i] = static_cast<Sample>(k.wet[2 * i]);
        outputs[1][start + i] = static_cast<Sample>(k.wet[2 * i + 1]);
    }
}

// Exact silence in and every filter at rest: every band, the side and the wet signal are
// exactly 0 for the whole chunk, and only the control signals and the low-band peak
// followers move.
bool chunkIsSilent(EngineState& engine, const Chunk& k, int32_t frames) {
    for (int32_t i = 0; i < 2 * frames; ++i)
        if (k.dry[i] != 0.0) return false;
    const auto atRest = [](const FilterSection& s) { return s.z1 == 0.0 && s.z2 == 0.0; };
    for (BandSplit& band : engine.bands) {
        CascadeSections sections[2];
        lowAndHighSections(band, sections[0]);
        midAndTopSections(band, sections[1]);
        for (const CascadeSections& four : sections)
            for (const FilterSection* section : four)
                if (!atRest(*section)) return false;
    }
    return atRest(engine.sideHighPass) && atRest(engine.sidePresence);
}

template <class Wide, class Split, class Sample>
void processChunks(EngineState& engine, const BlockConstants& c, const Sample* const* inputs,
                   Sample* const* outputs, int32_t sampleFrames) {
    Chunk k;
    for (int32_t start = 0; start < sampleFrames; start += chunkFrames) {
        const int32_t frames = sampleFrames - start < chunkFrames ? sampleFrames - start : chunkFrames;
        // The whole chunk is read before any of it is written: in place and crossed buffers.
        for (int32_t i = 0; i < frames; ++i) {
            k.dry[2 * i] = inputs[0][start + i];
            k.dry[2 * i + 1] = inputs[1][start + i];
        }
        ControlStateStep controlState{engine, k};
        PeakFollowerStep peakFollower(engine, k);
        if (chunkIsSilent(engine, k, frames)) {
            for (int32_t i = 0; i < frames; ++i) controlState(i);
            runControlSignals<Wide>(engine, c, k, frames);
            for (int32_t i = 0; i < 2 * frames; ++i) k.low[i] = 0.0;
            runMomentumBoost<Wide>(c, k, frames);
            for (int32_t i = 0; i < frames; ++i) peakFollower(i);
            peakFollower.storeState(engine);
            for (int32_t i = 0; i < frames; ++i) outputs[0][start + i] = outputs[1][start + i] = Sample{0};
            continue;
        }
        runBandSplit<Split>(engine, k, frames, controlState, [&] { runMomentumBoost<Wide>(c, k, frames); },
                            peakFollower);
        peakFollower.storeState(engine);
        runMomentumLimit<Wide>(k, frames);
        runControlSignals<Wide>(engine, c, k, frames);
        runTube<Wide>(c, k, frames);
        if (c.sieveActive) runSieve<Wide>(c, k, frames);
        runRecombination(engine, k, frames);
        if (c.glueActive) runGlue<Wide>(c, k, frames);
        writeOutput<Wide>(c, k, outputs, start, frames);
    }
}

// The resampler's FIR (resampler.h) for the outputs one register holds, `vectors` registers
// side by side: each lane is one channel of one output and adds its products in the
// reference's order, and the registers give the additions' latency work to hide.
template <class Wide, int vectors>
[[gnu::always_inline]] inline void stereoFirOutputs(const double* taps, int length, const double* line, double* out) {
    constexpr int width = laneCount<Wide>;
    Wide sums[vectors];
#pragma GCC unroll 8
    for (int v = 0; v < vectors; ++v) sums[v] = load<Wide>(out + v * width);
    for (int k = 0; k < length; ++k) {
        const Wide tap = broadcast<Wide>(taps[k]);
#pragma GCC unroll 8
        for (int v = 0; v < vectors; ++v) sums[v] += tap * load<Wide>(line + 2 * k + v * width);
    }
#pragma GCC unroll 8
    for (int v = 0; v < vectors; ++v) store(out + v * width, sums[v]);
}

// Eight registers of outputs at a time, then one, then a pair in two-double registers.
template <class Wide>
void stereoFirRun(const double* taps, int length, const double* line, int outputs, double* out) {
    constexpr int pairs = laneCount<Wide> / 2;
    constexpr int together = 8;
    int n = 0;
    for (; n + together * pairs <= outputs; n += together * pairs)
        stereoFirOutputs<Wide, together>(taps, length, line + 2 * n, out + 2 * n);
    for (; n + pairs <= outputs; n += pairs) stereoFirOutputs<Wide, 1>(taps, length, line + 2 * n, out + 2 * n);
    for (; n < outputs; ++n) stereoFirOutputs<Double2, 1>(taps, length, line + 2 * n, out + 2 * n);
}

// The kernel of one width, for the unit that builds it.
template <class Wide, class Split>
constexpr BlockKernel makeBlockKernel(const char* name, InstructionSet instructionSet) {
    return BlockKernel{name, instructionSet, processChunks<Wide, Split, float>,
                       processChunks<Wide, Split, double>, blockmath::tanhBlock<Wide>,
                       blockmath::sinBlock<Wide>, stereoFirRun<Wide>};
}

}  // namespace
}  // namespace kernel
