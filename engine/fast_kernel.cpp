#include "engine/fast_kernel.h"

#include <cmath>

#include "engine/band_stages.h"
#include "engine/control_signals.h"
#include "engine/output_stages.h"
#include "engine/vector_math.h"

namespace {

constexpr double halfSqrt2 = 0.7071067811865475;

// A left and a right section of the same role, run together.
struct SectionPair {
    Double2 b0, b1, b2, a1, a2, z1, z2;
};

SectionPair loadSections(const FilterSection& left, const FilterSection& right) {
    return {Double2{left.b0, right.b0}, Double2{left.b1, right.b1}, Double2{left.b2, right.b2},
            Double2{left.a1, right.a1}, Double2{left.a2, right.a2}, Double2{left.z1, right.z1},
            Double2{left.z2, right.z2}};
}

void storeState(const SectionPair& pair, FilterSection& left, FilterSection& right) {
    left.z1 = pair.z1[0];
    right.z1 = pair.z1[1];
    left.z2 = pair.z2[0];
    right.z2 = pair.z2[1];
}

// step() of both lanes: the guard resets a lane and passes its input, the flush zeroes tiny
// state words.
inline Double2 stepPair(SectionPair& s, Double2 x) {
    const Double2 y = s.b0 * x + s.z1;
    const Double2 newZ2 = s.b2 * x - s.a2 * y;
    const Double2 newZ1 = s.z2 + (s.b1 * x - s.a1 * y);
    const Mask2 finite = (absolute(y) <= largestFiniteDouble) &
                         (absolute(newZ1) <= largestFiniteDouble) &
                         (absolute(newZ2) <= largestFiniteDouble);
    s.z1 = keepWhere(finite & (absolute(newZ1) >= stateFlushThreshold), newZ1);
    s.z2 = keepWhere(finite & (absolute(newZ2) >= stateFlushThreshold), newZ2);
    return select(finite, y, x);
}

// step() of both lanes without the guard and the flush, for the common case where neither
// acts. `smallest` follows the least state magnitude; with the states at the end that tells
// the caller whether the guard or the flush would have acted anywhere: a state word that
// stops being finite stays so from then on (a2 is never 0 in these designs), and the flush
// acts only below stateFlushThreshold.
inline Double2 stepPairUnguarded(SectionPair& s, Double2 x, Double2& smallest) {
    const Double2 y = s.b0 * x + s.z1;
    const Double2 newZ2 = s.b2 * x - s.a2 * y;
    const Double2 newZ1 = s.z2 + (s.b1 * x - s.a1 * y);
    s.z1 = newZ1;
    s.z2 = newZ2;
    const Double2 z1Magnitude = absolute(newZ1), z2Magnitude = absolute(newZ2);
    const Double2 stepSmallest = z1Magnitude < z2Magnitude ? z1Magnitude : z2Magnitude;
    smallest = stepSmallest < smallest ? stepSmallest : smallest;
    return y;
}

inline Double2 stepPairGuarded(SectionPair& s, Double2 x, Double2&) { return stepPair(s, x); }

bool stayedOrdinary(const SectionPair& s, Double2 smallest) {
    const Mask2 ordinary = (smallest >= stateFlushThreshold) &
                           (absolute(s.z1) <= largestFiniteDouble) &
                           (absolute(s.z2) <= largestFiniteDouble);
    return (ordinary[0] & ordinary[1]) != 0;
}

// Two cascades of two sections each, fed the same input: sections 0 then 1 into `first`,
// 2 then 3 into `second`.
template <Double2 (*stepFunction)(SectionPair&, Double2, Double2&)>
void cascadeLoop(SectionPair* s, Double2* smallest, const double* input, double* first,
                 double* second, int32_t frames) {
    for (int32_t i = 0; i < frames; ++i) {
        const Double2 x = loadPair(input + 2 * i);
        const Double2 a = stepFunction(s[1], stepFunction(s[0], x, smallest[0]), smallest[1]);
        const Double2 b = stepFunction(s[3], stepFunction(s[2], x, smallest[2]), smallest[3]);
        storePair(first + 2 * i, a);
        storePair(second + 2 * i, b);
    }
}

// Unguarded first; if the guard or the flush would have acted anywhere in the chunk, the
// chunk again from the saved states with both, so the result is always the guarded one.
// The outputs must not overlap the input.
void runCascades(SectionPair* s, const double* input, double* first, double* second,
                 int32_t frames) {
    const SectionPair saved[4] = {s[0], s[1], s[2], s[3]};
    Double2 smallest[4] = {splat(INFINITY), splat(INFINITY), splat(INFINITY), splat(INFINITY)};
    cascadeLoop<stepPairUnguarded>(s, smallest, input, first, second, frames);
    bool ordinary = true;
    for (int n = 0; n < 4; ++n) ordinary = ordinary && stayedOrdinary(s[n], smallest[n]);
    if (ordinary) return;
    for (int n = 0; n < 4; ++n) s[n] = saved[n];
    cascadeLoop<stepPairGuarded>(s, smallest, input, first, second, frames);
}

enum SplitRole { lowFirst, lowSecond, highFirst, highSecond, midFirst, midSecond, topFirst, topSecond };

FilterSection* splitSections(BandSplit& band) {
    static_assert(sizeof(BandSplit) == 8 * sizeof(FilterSection));
    return band.lowSplit;
}

// Everything of one block that depends only on the parameters and the rate.
struct BlockConstants {
    double driveFactor, tubeBiasPositive, tubeBiasNegative, w, wOverSix, wCubedTerm;
    double momentumK, sieve, glue, glueDrive, mix, dryShare, outputGain;
    bool sieveActive, glueActive;
};

BlockConstants cookBlockConstants(const BlockSnapshot& snap, double fs) {
    BlockConstants c;
    c.driveFactor = 6.5 * snap.drive + 1.0;
    c.tubeBiasPositive = (snap.tubeBias - 0.5) * 0.35 + 1.0;
    c.tubeBiasNegative = (0.5 - snap.tubeBias) * 0.35 + 1.0;
    c.w = tubeRateConstant(fs);
    c.wOverSix = c.w / 6.0;
    c.wCubedTerm = 0.01 * std::pow(c.w, 3.0);
    c.momentumK = (26.666666666666668 * snap.momentum) * 81.0;
    c.sieve = snap.sieve;
    c.glue = snap.glue;
    c.glueDrive = 0.3 * snap.glue + 1.0;
    c.mix = snap.mix;
    c.dryShare = 1.0 - snap.mix;
    c.outputGain = snap.outputGain;
    c.sieveActive = snap.sieve > stageThreshold;
    c.glueActive = snap.glue > stageThreshold;
    return c;
}

// Working arrays of one chunk: per frame values, and per channel values as (left, right).
struct Chunk {
    double dry[2 * fastChunkFrames];
    double crestSoftener[fastChunkFrames], levelCubic[fastChunkFrames], levelSquare[fastChunkFrames];
    double lfoDepth[fastChunkFrames], lfo[fastChunkFrames], width[fastChunkFrames];
    double low[2 * fastChunkFrames], upper[2 * fastChunkFrames], mid[2 * fastChunkFrames], high[2 * fastChunkFrames];
    double shaped[2 * fastChunkFrames];
    double wet[2 * fastChunkFrames];
};

// Control signals frame by frame; the modulator's sine and the width's tanh afterwards on
// the whole chunk.
void runControlSignals(EngineState& engine, Chunk& k, int32_t frames) {
    for (int32_t i = 0; i < frames; ++i) {
        advanceControlSignals(engine, k.dry[2 * i], k.dry[2 * i + 1]);
        k.crestSoftener[i] = engine.crestSoftener;
        k.levelCubic[i] = engine.levelCubic;
        k.levelSquare[i] = engine.levelSquare;
        k.lfoDepth[i] = engine.crest;  // the crest until the sines are known
        k.lfo[i] = engine.lfoPhase + lfoPhaseOffset;
    }
    sinBlock(k.lfo, frames);
    // modulatorDepth two frames at a time: one division for both.
    int32_t i = 0;
    for (; i + 1 < frames; i += 2) {
        const Double2 crest = loadPair(k.lfoDepth + i);
        storePair(k.lfoDepth + i, (0.08 * loadPair(k.lfo + i)) / (absolute(crest) + 1.0));
    }
    if (i < frames) k.lfoDepth[i] = modulatorDepth(k.lfo[i], k.lfoDepth[i]);
    engine.lfoValue = k.lfo[frames - 1];
    engine.lfoDepth = k.lfoDepth[frames - 1];
    for (i = 0; i < frames; ++i) k.width[i] = std::fabs(k.lfo[i]);
    tanhBlock(k.width, frames);
    for (i = 0; i < frames; ++i)
        k.width[i] = (0.2 * k.levelCubic[i] + 1.0) * (k.width[i] * 0.25) + 1.0;
}

void runBandSplit(EngineState& engine, Chunk& k, int32_t frames) {
    FilterSection* left = splitSections(engine.bands[0]);
    FilterSection* right = splitSections(engine.bands[1]);
    SectionPair p[8];
    for (int s = 0; s < 8; ++s) p[s] = loadSections(left[s], right[s]);
    // In two passes of four sections each, so that the states stay in registers.
    runCascades(p + lowFirst, k.dry, k.low, k.upper, frames);
    runCascades(p + midFirst, k.upper, k.mid, k.high, frames);
    for (int s = 0; s < 8; ++s) storeState(p[s], left[s], right[s]);
}

void runMomentum(EngineState& engine, const BlockConstants& c, Chunk& k, int32_t frames) {
    LowPeakFollower* followers = engine.lowPeakFollowers;
    Double2 lowPeak{followers[0].lowPeak, followers[1].lowPeak};
    const Double2 release{followers[0].lowPeakRelease, followers[1].lowPeakRelease};
    const Double2 take = 1.0 - release;
    for (int32_t i = 0; i < frames; ++i) {
        const Double2 x = loadPair(k.low + 2 * i);
        const Double2 magnitude = absolute(x);
        const Double2 limited = select(magnitude < 1.0, magnitude, splat(1.0));
        const Double2 p = limited * Double2{std::sqrt(limited[0]), std::sqrt(limited[1])};
        const Double2 y = x * (((c.momentumK * p) * 81.0) * 3e-5 + 1.0);

        const Double2 peakIn = absolute(y);
        const Double2 followed = select(peakIn > lowPeak, peakIn, lowPeak * release + take * peakIn);
        lowPeak = select(absolute(y) <= largestFiniteDouble, followed, lowPeak);
        const Double2 limiterGain = 0.85 + (0.7 / lowPeak) * 0.15;
        storePair(k.low + 2 * i, select(lowPeak > 0.7, y * limiterGain, y));
    }
    followers[0].lowPeak = lowPeak[0];
    followers[1].lowPeak = lowPeak[1];
}

void runTube(const EngineState& engine, const BlockConstants& c, Chunk& k, int32_t frames) {
    for (int32_t i = 0; i < frames; ++i) {
        const double K = ((0.2 * k.crestSoftener[i] + 0.85) * (0.35 * k.lfoDepth[i] + 1.0)) * c.driveFactor;
        const Double2 u = K * loadPair(k.mid + 2 * i);
        const Double2 magnitude = absolute(u);
        // u/(|u| + 1) and 1/(|u|/4 + 1) from one division.
        const Double2 first = magnitude + 1.0, second = 0.25 * magnitude + 1.0;
        const Double2 inverse = 1.0 / (first * second);
        const Double2 s = u * (second * inverse);
        const Double2 a = ((s * s) * 162.51651148859455) * 0.01;
        const Double2 cube = (u * u) * u;
        const Double2 shapedPositive = (c.w * (first * inverse)) * cube + (a - cube * c.wOverSix);
        const Double2 argPositive = c.tubeBiasPositive * u + shapedPositive * 0.2 * (0.5 * k.levelCubic[i] + 1.0);
        const Double2 shapedNegative = (c.wCubedTerm - u * u) + (a - c.wOverSix * magnitude);
        const Double2 argNegative = c.tubeBiasNegative * magnitude + shapedNegative * 0.2 * (0.5 * k.levelSquare[i] + 1.0);
        storePair(k.shaped + 2 * i, select(u >= 0.0, argPositive, argNegative));
    }
    (void)engine;
    tanhBlock(k.shaped, 2 * frames);
    for (int32_t i = 0; i < frames; ++i) {
        const Double2 m = loadPair(k.mid + 2 * i);
        const Double2 t = loadPair(k.shaped + 2 * i);
        // The sign of u is the sign of m: K is positive.
        const Double2 y = select(m >= 0.0, t, -t);
        storePair(k.mid + 2 * i, select(absolute(m) < tubeSilenceThreshold, m, y));
    }
}

void runSieve(const BlockConstants& c, Chunk& k, int32_t frames) {
    constexpr double pi = 3.141592653589793;
    for (int32_t i = 0; i < 2 * frames; ++i) k.shaped[i] = ((std::fabs(k.high[i]) * 172.0) * pi) * 0.01;
    sinBlock(k.shaped, 2 * frames);
    for (int32_t i = 0; i < 2 * frames; ++i)
        k.high[i] = k.high[i] * (1.0 - (k.shaped[i] * 0.06) * c.sieve);
}

void runRecombination(EngineState& engine, Chunk& k, int32_t frames) {
    FilterSection highPass = engine.sideHighPass;
    FilterSection presence = engine.sidePresence;
    for (int32_t i = 0; i < frames; ++i) {
        const Double2 sum = (loadPair(k.mid + 2 * i) + loadPair(k.low + 2 * i)) + loadPair(k.high + 2 * i);
        const double midSignal = (sum[0] + sum[1]) * halfSqrt2;
        const double sideSignal = (sum[0] - sum[1]) * halfSqrt2;
        const double side = k.width[i] * step(presence, step(highPass, sideSignal));
        storePair(k.wet + 2 * i, Double2{midSignal + side, midSignal - side} * halfSqrt2);
    }
    engine.sideHighPass = highPass;
    engine.sidePresence = presence;
}

void runGlue(const BlockConstants& c, Chunk& k, int32_t frames) {
    for (int32_t i = 0; i < 2 * frames; ++i) k.shaped[i] = c.glueDrive * k.wet[i];
    tanhBlock(k.shaped, 2 * frames);
    for (int32_t i = 0; i < frames; ++i) {
        const Double2 x = loadPair(k.wet + 2 * i);
        // ·100/20/580 folded into one factor.
        Double2 a = (116.0 * x * x - 0.00375) * (5.0 / 580.0);
        const Mask2 saturated = ~(a < 4.0);
        a = select(saturated, splat(4.0), a);
        const Double2 gain = select(saturated | (a > 0.0), 1.0 / ((0.15 * a) * a + 1.0), splat(1.0));
        storePair(k.wet + 2 * i, x * (1.0 - c.glue) + (loadPair(k.shaped + 2 * i) * gain) * c.glue);
    }
}

void writeOutput(const BlockConstants& c, const Chunk& k, float* const* outputs, int32_t start,
                 int32_t frames) {
    for (int32_t i = 0; i < frames; ++i) {
        const Double2 out = (c.mix * loadPair(k.wet + 2 * i) + loadPair(k.dry + 2 * i) * c.dryShare) * c.outputGain;
        // clampAndNarrow on both lanes: not-a-number fails the first test and becomes +0.98.
        const Double2 upperClamped = select(out < outputLimit, out, splat(outputLimit));
        const Double2 clamped = select(upperClamped > -outputLimit, upperClamped, splat(-outputLimit));
        const Float2 narrowed = __builtin_convertvector(clamped, Float2);
        outputs[0][start + i] = narrowed[0];
        outputs[1][start + i] = narrowed[1];
    }
}

// Exact silence in and every filter at rest: every band, the side and the wet signal are
// exactly 0 for the whole chunk, and only the control signals and the low-band peak
// followers move.
bool chunkIsSilent(const EngineState& engine, const Chunk& k, int32_t frames) {
    for (int32_t i = 0; i < 2 * frames; ++i)
        if (k.dry[i] != 0.0) return false;
    const auto atRest = [](const FilterSection& s) { return s.z1 == 0.0 && s.z2 == 0.0; };
    for (BandSplit band : engine.bands) {
        const FilterSection* sections = splitSections(band);
        for (int s = 0; s < 8; ++s)
            if (!atRest(sections[s])) return false;
    }
    return atRest(engine.sideHighPass) && atRest(engine.sidePresence);
}

}  // namespace

void processBlockFast(EngineState& engine, double sampleRate, const BlockSettings& settings,
                      const float* const* inputs, float* const* outputs, int32_t sampleFrames) {
    if (isBlockBypassed(settings)) {
        copyBypassedBlock(inputs, outputs, sampleFrames);
        return;
    }
    const BlockConstants c = cookBlockConstants(takeSnapshot(settings), sampleRate);
    Chunk k;
    for (int32_t start = 0; start < sampleFrames; start += fastChunkFrames) {
        const int32_t frames =
            sampleFrames - start < fastChunkFrames ? sampleFrames - start : fastChunkFrames;
        // The whole chunk is read before any of it is written: in place and crossed buffers.
        for (int32_t i = 0; i < frames; ++i) {
            k.dry[2 * i] = inputs[0][start + i];
            k.dry[2 * i + 1] = inputs[1][start + i];
        }
        runControlSignals(engine, k, frames);
        if (chunkIsSilent(engine, k, frames)) {
            for (int32_t i = 0; i < 2 * frames; ++i) k.low[i] = 0.0;
            runMomentum(engine, c, k, frames);
            for (int32_t i = 0; i < frames; ++i) outputs[0][start + i] = outputs[1][start + i] = 0.0f;
            continue;
        }
        runBandSplit(engine, k, frames);
        runMomentum(engine, c, k, frames);
        runTube(engine, c, k, frames);
        if (c.sieveActive) runSieve(c, k, frames);
        runRecombination(engine, k, frames);
        if (c.glueActive) runGlue(c, k, frames);
        writeOutput(c, k, outputs, start, frames);
    }
}
