// The built .clap's own saved state, as a host gets it: the plug-in loaded, each ID=VALUE
// (a parameter id and its value in the host's units) sent through params.flush, read back,
// then state.save; the bytes go to standard output.
//   velmora-clap-state ID=VALUE...
#include <cstdio>
#include <cstdlib>

#include "clap/clap_test_host.h"

int main(int argc, char** argv) {
    ClapLibrary library;
    if (!library.factory()) return std::fprintf(stderr, "no CLAP factory in %s\n", VELMORA_CLAP_PATH), 1;
    ClapPlugin instance(library);
    if (!instance.state) return std::fprintf(stderr, "no state extension\n"), 1;
    for (int i = 1; i < argc; ++i) {
        char* end = nullptr;
        const unsigned long id = std::strtoul(argv[i], &end, 10);
        const double value = *end == '=' ? std::strtod(end + 1, &end) : 0.0;
        if (*end != '\0' || argv[i][0] == '=') return std::fprintf(stderr, "not ID=VALUE: %s\n", argv[i]), 2;
        instance.set(static_cast<clap_id>(id), value);
        if (instance.value(static_cast<clap_id>(id)) != value)
            return std::fprintf(stderr, "parameter %lu did not take %g\n", id, value), 1;
    }
    ByteStream stream;
    if (!instance.state->save(instance.plugin, &stream.out) || stream.bytes.empty())
        return std::fprintf(stderr, "state.save failed\n"), 1;
    return std::fwrite(stream.bytes.data(), 1, stream.bytes.size(), stdout) == stream.bytes.size() ? 0 : 1;
}
