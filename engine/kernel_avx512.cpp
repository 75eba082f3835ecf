// The kernel in eight-double registers, built with -mavx512f -mavx512dq -mavx512vl -mno-fma;
// the band split stays at four lanes, as many as its cascades fill.
#include "engine/kernel_body.h"

extern constinit const BlockKernel avx512BlockKernel =
    kernel::makeBlockKernel<Double8, Double4>("AVX-512", InstructionSet::avx512);
