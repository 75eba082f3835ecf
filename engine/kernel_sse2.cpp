// The kernel in two-double registers: SSE2 on x86-64, the baseline every processor runs.
#include "engine/kernel_body.h"

extern constinit const BlockKernel sse2BlockKernel =
    kernel::makeBlockKernel<Double2, Double2>("SSE2", InstructionSet::sse2);
