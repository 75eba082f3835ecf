// libFuzzer entry: every input is a sequence of host calls; a broken promise aborts, so
// libFuzzer keeps the input that broke it.
#include <cstdio>
#include <cstdlib>

#include "fuzz/host_call_sequence.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string failure = runHostCallSequence(data, size);
    if (!failure.empty()) {
        std::fprintf(stderr, "broken promise: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
