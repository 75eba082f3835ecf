// The kernel in four-double registers, built with -mavx2 -mno-fma.
#include "engine/kernel_body.h"

extern constinit const BlockKernel avx2BlockKernel =
    kernel::makeBlockKernel<Double4, Double4>("AVX2", InstructionSet::avx2);
