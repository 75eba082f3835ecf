// The arguments shared by velmora-snapshot (Windows) and velmora-panel-picture (Linux):
//
//   OUTPUT.png [INDEX=VALUE ...] [--idle N] [--plugin PATH] [--scale S]
//
// INDEX is a parameter number 0..7, VALUE its normalised value, N the number of editor
// idle steps before the picture is taken, S the scaling editors' scale (0.75 to 3; Linux).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "parameters/parameter_index.h"
#include "host/vst2_abi.h"

struct PanelPictureOptions {
    std::string output;
    std::string plugin;
    std::vector<std::pair<int, float>> values;
    int idleCalls = 0;
    double scale = 1.0;
};

// False for anything else, a malformed number or index included.
inline bool parsePanelPictureOptions(int argc, char** argv, PanelPictureOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--idle" && i + 1 < argc) {
            char* end = nullptr;
            const long count = std::strtol(argv[++i], &end, 10);
            if (*end != 0 || count < 0 || count > 1000000) return false;
            options.idleCalls = static_cast<int>(count);
        } else if (argument == "--scale" && i + 1 < argc) {
            char* end = nullptr;
            options.scale = std::strtod(argv[++i], &end);
            if (*end != 0 || !(options.scale >= 0.75 && options.scale <= 3.0)) return false;
        } else if (argument == "--plugin" && i + 1 < argc) {
            options.plugin = argv[++i];
        } else if (argument.find('=') != std::string::npos && argument[0] != '-') {
            char* end = nullptr;
            const long index = std::strtol(argument.c_str(), &end, 10);
            if (end == argument.c_str() || *end != '=' || index < 0 || index >= parameterCount)
                return false;
            char* valueEnd = nullptr;
            const float value = std::strtof(end + 1, &valueEnd);
            if (valueEnd == end + 1 || *valueEnd != 0) return false;
            options.values.emplace_back(static_cast<int>(index), value);
        } else if (options.output.empty() && !argument.empty() && argument[0] != '-') {
            options.output = argument;
        } else {
            return false;
        }
    }
    return !options.output.empty();
}

// A host that answers only the version question.
inline intptr_t quietHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}
