// The block kernels built into this program, one per instruction set, and the choice among
// them, made once per process from what the processor and the operating system support.
#pragma once

#include <span>

#include "engine/block_settings.h"
#include "engine/resampler.h"

enum class InstructionSet {
    sse2,    // every x86-64 processor; plain vector code elsewhere
    avx2,    // four doubles a register
    avx512,  // eight doubles a register (F, DQ and VL)
};

struct BlockKernel {
    const char* name;
    InstructionSet instructionSet;
    BlockPath process;
    BlockPath64 process64;  // the same arithmetic with 64-bit samples in and out
    // The kernel's own tanh and sin, in place over count values.
    void (*tanhBlock)(double* values, int count);
    void (*sinBlock)(double* values, int count);
    // The resampler's filter runs in this kernel's registers (the same bits as the reference).
    StereoFirRun stereoFirRun;
};

// Every kernel built in, narrowest first, whether this processor runs it or not.
std::span<const BlockKernel* const> builtBlockKernels();

// The processor has the instructions and the operating system saves their registers.
bool runsHere(InstructionSet instructionSet);

// The kernel processBlock uses.
const BlockKernel& chosenBlockKernel();
