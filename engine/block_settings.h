// What the engine reads of the host side once per block, and what it makes of it: the
// bypass decision, the parameter snapshot widened to double and the constants every frame
// of the block shares.
#pragma once

#include <cstdint>

#include "parameters/parameter_index.h"

struct BlockSettings {
    float parameters[parameterCount];
    bool hostBypass;
};

// The parameter snapshot of one processed block, widened to double.
struct BlockSnapshot {
    double drive;
    double tubeBias;
    double glue;
    double momentum;
    double sieve;
    double mix;
    double outputGain;
};

bool isBlockBypassed(const BlockSettings& settings);
double outputGainFor(float outputParameter);
BlockSnapshot takeSnapshot(const BlockSettings& settings);

// Copies input to output for a bypassed block; safe for in-place and crossed buffers.
void copyBypassedBlock(const float* const* inputs, float* const* outputs, int32_t sampleFrames);
void copyBypassedBlock(const double* const* inputs, double* const* outputs, int32_t sampleFrames);

constexpr double stageThreshold = 0.01;  // 172 Sieve and 580 Glue act only above this

// Everything of one block that depends only on the parameters and the rate, each computed
// by the expression the per-frame formulas would use, so folding it out of the frame loop
// changes no bit.
struct BlockConstants {
    double driveFactor;        // 6.5·drive + 1
    double tubeBiasPositive;   // (tubeBias − 0.5)·0.35 + 1
    double tubeBiasNegative;   // (0.5 − tubeBias)·0.35 + 1
    double w, wOverSix, wCubedTerm;  // 2π·1000/fs, w/6, 0.01·w³
    double momentumK;          // 26.67·momentum·81
    double sieve, glue, glueDrive, mix, dryShare, outputGain;
    bool sieveActive, glueActive;
};

BlockConstants cookBlockConstants(const BlockSnapshot& snap, double fs);

// The tube stage's rate-dependent constant w = 2π·1000/fs.
double tubeRateConstant(double fs);

struct EngineState;

// One way of processing a block that is not bypassed: the literal path or a block kernel.
// Samples in and out as the host passes them: 32-bit, or 64-bit with the engine's output
// unrounded.
template <class Sample>
using BlockPathOf = void (*)(EngineState& engine, const BlockConstants& constants,
                             const Sample* const* inputs, Sample* const* outputs,
                             int32_t sampleFrames);
using BlockPath = BlockPathOf<float>;
using BlockPath64 = BlockPathOf<double>;
