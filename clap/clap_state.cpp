// The saved state: a tag, a format version, the parameter count and the normalized values,
// then (from version 2) the oversampling factor and (from version 3) the editor's zoom as a
// 32-bit float, little-endian 32-bit words. A version 1 state has no factor and loads as 1x;
// a state without a zoom opens the editor at 100 %. A state that is short, longer, foreign or holds a
// value outside 0..1 or an unknown factor is refused as a whole and changes nothing.
#include <cmath>
#include <cstring>

#include "clap/clap_instance.h"
#include "parameters/parameter_set.h"
#include "parameters/state_words.h"

namespace {

constexpr uint32_t stateTag = 0x4D4C5654;  // "TVLM" read as bytes
constexpr uint32_t stateVersion = 3;
constexpr size_t firstVersionBytes = (3 + parameterCount) * 4;
constexpr size_t secondVersionBytes = firstVersionBytes + 4;
constexpr size_t stateBytes = secondVersionBytes + 4;

constexpr size_t bytesOfVersion(uint32_t version) {
    return version == 1 ? firstVersionBytes : version == 2 ? secondVersionBytes : stateBytes;
}

bool save(const clap_plugin_t* plugin, const clap_ostream_t* stream) {
    if (!stream || !stream->write) return false;
    const ClapInstance& instance = instanceOf(plugin);
    unsigned char bytes[stateBytes];
    putWord(bytes, stateTag);
    putWord(bytes + 4, stateVersion);
    putWord(bytes + 8, parameterCount);
    for (int i = 0; i < parameterCount; ++i) {
        const float value = instance.parameters[i].load(std::memory_order_relaxed);
        uint32_t word;
        std::memcpy(&word, &value, 4);
        putWord(bytes + 12 + 4 * i, word);
    }
    const int choice = instance.oversamplingChoice.load(std::memory_order_relaxed);
    putWord(bytes + firstVersionBytes, static_cast<uint32_t>(oversamplingFactors[choice]));
    const float zoom = static_cast<float>(instance.editor.sizing.zoom);
    uint32_t zoomWord;
    std::memcpy(&zoomWord, &zoom, 4);
    putWord(bytes + secondVersionBytes, zoomWord);
    size_t sent = 0;
    while (sent < stateBytes) {
        const int64_t n = stream->write(stream, bytes + sent, stateBytes - sent);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

bool load(const clap_plugin_t* plugin, const clap_istream_t* stream) {
    if (!stream || !stream->read) return false;
    // One byte more than a state holds, to tell a longer stream from an exact one.
    unsigned char bytes[stateBytes + 1] = {};
    size_t received = 0;
    while (received < sizeof bytes) {
        const int64_t n = stream->read(stream, bytes + received, sizeof bytes - received);
        if (n < 0) return false;
        if (n == 0) break;
        received += static_cast<size_t>(n);
    }
    const uint32_t version = getWord(bytes + 4);
    if (received != bytesOfVersion(version) || getWord(bytes) != stateTag ||
        version < 1 || version > stateVersion || getWord(bytes + 8) != static_cast<uint32_t>(parameterCount))
        return false;
    const uint32_t factor = version == 1 ? 1 : getWord(bytes + firstVersionBytes);
    const int choice = factor <= 8 ? oversamplingChoiceOf(static_cast<int>(factor)) : -1;
    if (choice < 0) return false;
    float values[parameterCount];
    for (int i = 0; i < parameterCount; ++i) {
        const uint32_t word = getWord(bytes + 12 + 4 * i);
        std::memcpy(&values[i], &word, 4);
        if (!(values[i] >= 0.0f && values[i] <= 1.0f)) return false;
    }
    ClapInstance& instance = instanceOf(plugin);
    for (int i = 0; i < parameterCount; ++i)
        instance.parameters[i].store(values[i], std::memory_order_relaxed);
    chooseOversampling(instance, choice);
    float zoom = 1.0f;
    if (version >= 3) {
        const uint32_t zoomWord = getWord(bytes + secondVersionBytes);
        std::memcpy(&zoom, &zoomWord, 4);
    }
    instance.editor.sizing.zoom = savedZoomOrDefault(zoom);
    resizeClapWindow(instance, editorSizeOf(instance.editor.sizing));
    return true;
}

}  // namespace

const clap_plugin_state_t clapState = {save, load};
