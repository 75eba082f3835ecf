// Who the VST 3 class is, as the factory answers and the bundle's module information says it:
// its ID, category texts and SDK version.
#pragma once

#include <cstdint>

#include "parameters/plugin_version.h"

namespace vst3identity {

constexpr const char* sdkVersionText = "VST 3.7.9";
constexpr const char* subCategories = "Fx|Distortion";

struct ClassWords {
    uint32_t words[4];
};

// The published rule by which a VST 3 host finds the replacement of a VST 2 plug-in: the
// 32 hexadecimal digits "565354" ('VST'), the unique ID in eight digits and the first nine
// characters of the name in lower case (zeros past its end), read as an identifier string.
constexpr ClassWords classIdFromVst2(uint32_t uniqueId, const char* name) {
    unsigned char bytes[16] = {'V', 'S', 'T'};
    for (int b = 0; b < 4; ++b) bytes[3 + b] = static_cast<unsigned char>(uniqueId >> (24 - 8 * b));
    bool ended = false;
    for (int i = 0; i < 9; ++i) {
        ended = ended || name[i] == '\0';
        const char c = ended ? '\0' : name[i];
        bytes[7 + i] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    ClassWords id{};
    for (int i = 0; i < 16; ++i) id.words[i / 4] = (id.words[i / 4] << 8) | bytes[i];
    return id;
}

constexpr ClassWords classWords = classIdFromVst2(static_cast<uint32_t>(velmoraVst2UniqueId), velmoraPluginName);

}  // namespace vst3identity
