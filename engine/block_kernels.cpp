#include "engine/block_kernels.h"

#include <cstdint>

#if defined(__x86_64__)
#include <cpuid.h>
#endif

extern const BlockKernel sse2BlockKernel;
extern const BlockKernel avx2BlockKernel;
extern const BlockKernel avx512BlockKernel;

namespace {

constexpr const BlockKernel* builtKernels[] = {
    &sse2BlockKernel,
#if VELMORA_AVX2_KERNEL
    &avx2BlockKernel,
#endif
#if VELMORA_AVX512_KERNEL
    &avx512BlockKernel,
#endif
};

#if defined(__x86_64__)
// The register state the operating system saves on a switch (XCR0).
uint64_t savedRegisterState() {
    uint32_t low, high;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (static_cast<uint64_t>(high) << 32) | low;
}

bool supports(InstructionSet instructionSet) {
    if (instructionSet == InstructionSet::sse2) return true;
    unsigned eax, ebx, ecx, edx;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    const bool osSavesState = (ecx & bit_OSXSAVE) != 0;
    if (!osSavesState || (ecx & bit_AVX) == 0) return false;
    const uint64_t saved = savedRegisterState();
    constexpr uint64_t sseAndAvx = 0x6;           // XMM and the upper halves of YMM
    constexpr uint64_t avx512State = 0xe0;        // opmask, upper ZMM0-15, ZMM16-31
    if ((saved & sseAndAvx) != sseAndAvx) return false;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
    const bool avx2 = (ebx & bit_AVX2) != 0;
    if (instructionSet == InstructionSet::avx2) return avx2;
    const bool avx512 = (ebx & bit_AVX512F) && (ebx & bit_AVX512DQ) && (ebx & bit_AVX512VL);
    return avx2 && avx512 && (saved & avx512State) == avx512State;
}
#else
bool supports(InstructionSet instructionSet) { return instructionSet == InstructionSet::sse2; }
#endif

// The widest kernel that runs here.
const BlockKernel& chooseKernel() {
    const BlockKernel* chosen = builtKernels[0];
    for (const BlockKernel* k : builtKernels)
        if (supports(k->instructionSet)) chosen = k;
    return *chosen;
}

// Chosen when the library is loaded, before any block: the audio thread only reads it.
const BlockKernel& chosenKernel = chooseKernel();

}  // namespace

std::span<const BlockKernel* const> builtBlockKernels() { return builtKernels; }

bool runsHere(InstructionSet instructionSet) { return supports(instructionSet); }

const BlockKernel& chosenBlockKernel() { return chosenKernel; }
