// The saved state: a tag, a format version, the parameter count and the normalized values
// in parameter id order, then (from version 2) the oversampling factor and (from version 3)
// the editor's zoom as a 32-bit float, little-endian 32-bit words. A version 1 state has no
// factor and loads as 1x; a state without a zoom opens the editor at 100 %. A later
// version's state with more parameters loads the ones this version has. A state that is
// short, longer, foreign, holds fewer parameters, a value outside 0..1 or an unknown factor
// is refused as a whole and changes nothing. A load tells the host that the values changed.
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
constexpr uint32_t maxStoredParameters = 4096;  // far beyond any later version's count
static_assert(stateBytes == clapStateBytes);

bool save(const clap_plugin_t* plugin, const clap_ostream_t* stream) {
    if (!stream || !stream->write) return false;
    const ClapInstance& instance = instanceOf(plugin);
    float values[parameterCount];
    for (int i = 0; i < parameterCount; ++i) values[i] = instance.parameters[i].load(std::memory_order_relaxed);
    unsigned char bytes[stateBytes];
    writeClapState(values, instance.oversamplingChoice.load(std::memory_order_relaxed),
                   static_cast<float>(instance.editor.sizing.zoom), bytes);
    size_t sent = 0;
    while (sent < stateBytes) {
        const int64_t n = stream->write(stream, bytes + sent, stateBytes - sent);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

// Reads exactly size bytes, through any number of short reads.
bool readAll(const clap_istream_t* stream, unsigned char* bytes, size_t size) {
    for (size_t received = 0; received < size;) {
        const int64_t n = stream->read(stream, bytes + received, size - received);
        if (n <= 0 || static_cast<uint64_t>(n) > size - received) return false;
        received += static_cast<size_t>(n);
    }
    return true;
}

bool atEnd(const clap_istream_t* stream) {
    unsigned char extra;
    return stream->read(stream, &extra, 1) == 0;
}

bool readWord(const clap_istream_t* stream, uint32_t& word) {
    unsigned char bytes[4];
    if (!readAll(stream, bytes, 4)) return false;
    word = getWord(bytes);
    return true;
}

// The values are read one at a time, so a later version's longer list costs no buffer:
// the values of parameters this version does not have are read and skipped.
bool load(const clap_plugin_t* plugin, const clap_istream_t* stream) {
    if (!stream || !stream->read) return false;
    uint32_t tag, version, count;
    if (!readWord(stream, tag) || !readWord(stream, version) || !readWord(stream, count) ||
        tag != stateTag || version < 1 || version > stateVersion || count < parameterCount ||
        count > maxStoredParameters)
        return false;
    float values[parameterCount];
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t word;
        if (!readWord(stream, word)) return false;
        if (i >= parameterCount) continue;
        std::memcpy(&values[i], &word, 4);
        if (!(values[i] >= 0.0f && values[i] <= 1.0f)) return false;
    }
    uint32_t factor = 1, zoomWord = 0;
    if (version >= 2 && !readWord(stream, factor)) return false;
    if (version >= 3 && !readWord(stream, zoomWord)) return false;
    const int choice = factor <= 8 ? oversamplingChoiceOf(static_cast<int>(factor)) : -1;
    if (choice < 0 || !atEnd(stream)) return false;
    ClapInstance& instance = instanceOf(plugin);
    for (int i = 0; i < parameterCount; ++i)
        instance.parameters[i].store(values[i], std::memory_order_relaxed);
    chooseOversampling(instance, choice);
    float zoom = 1.0f;
    if (version >= 3) std::memcpy(&zoom, &zoomWord, 4);
    instance.editor.sizing.zoom = savedZoomOrDefault(zoom);
    resizeClapWindow(instance, editorSizeOf(instance.editor.sizing));
    if (instance.hostParams && instance.hostParams->rescan)
        instance.hostParams->rescan(instance.host, CLAP_PARAM_RESCAN_VALUES);
    return true;
}

}  // namespace

void writeClapState(const float* values, int oversamplingChoice, float zoom, unsigned char* bytes) {
    putWord(bytes, stateTag);
    putWord(bytes + 4, stateVersion);
    putWord(bytes + 8, parameterCount);
    for (int i = 0; i < parameterCount; ++i) {
        uint32_t word;
        std::memcpy(&word, &values[i], 4);
        putWord(bytes + 12 + 4 * i, word);
    }
    putWord(bytes + firstVersionBytes, static_cast<uint32_t>(oversamplingFactors[oversamplingChoice]));
    uint32_t zoomWord;
    std::memcpy(&zoomWord, &zoom, 4);
    putWord(bytes + secondVersionBytes, zoomWord);
}

const clap_plugin_state_t clapState = {save, load};
