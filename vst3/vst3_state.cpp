#include "vst3/vst3_state.h"

#include <cstring>

namespace {

constexpr char componentTag[4] = {'T', 'V', 'L', 'M'};
constexpr char controllerTag[4] = {'T', 'V', 'L', 'C'};
constexpr uint32_t stateVersion = 1;
constexpr int headerBytes = 8;
constexpr int componentStateBytes = headerBytes + 4 * parameterCount;

void putWord(unsigned char* at, uint32_t word) {
    for (int b = 0; b < 4; ++b) at[b] = static_cast<unsigned char>(word >> (8 * b));
}

uint32_t getWord(const unsigned char* at) {
    uint32_t word = 0;
    for (int b = 0; b < 4; ++b) word |= static_cast<uint32_t>(at[b]) << (8 * b);
    return word;
}

void putHeader(unsigned char* at, const char (&tag)[4]) {
    std::memcpy(at, tag, 4);
    putWord(at + 4, stateVersion);
}

bool headerMatches(const unsigned char* at, const char (&tag)[4]) {
    return std::memcmp(at, tag, 4) == 0 && getWord(at + 4) == stateVersion;
}

bool writeAll(vst3::IBStream* stream, unsigned char* bytes, int32_t count) {
    if (!stream) return false;
    int32_t written = 0;
    return stream->vtbl->write(stream, bytes, count, &written) == vst3::kResultOk &&
           written == count;
}

// Streams may deliver less than asked per call; reads until the count or the end.
bool readAll(vst3::IBStream* stream, unsigned char* bytes, int32_t count) {
    if (!stream) return false;
    int32_t done = 0;
    while (done < count) {
        int32_t got = 0;
        if (stream->vtbl->read(stream, bytes + done, count - done, &got) != vst3::kResultOk ||
            got <= 0 || got > count - done)
            return false;
        done += got;
    }
    return true;
}

}  // namespace

bool writeComponentState(vst3::IBStream* stream, const float (&values)[parameterCount]) {
    unsigned char bytes[componentStateBytes];
    putHeader(bytes, componentTag);
    for (int i = 0; i < parameterCount; ++i) {
        uint32_t word;
        std::memcpy(&word, &values[i], 4);
        putWord(bytes + headerBytes + 4 * i, word);
    }
    return writeAll(stream, bytes, componentStateBytes);
}

bool readComponentState(vst3::IBStream* stream, float (&values)[parameterCount]) {
    unsigned char bytes[componentStateBytes];
    if (!readAll(stream, bytes, componentStateBytes) || !headerMatches(bytes, componentTag))
        return false;
    float read[parameterCount];
    for (int i = 0; i < parameterCount; ++i) {
        const uint32_t word = getWord(bytes + headerBytes + 4 * i);
        std::memcpy(&read[i], &word, 4);
        // Every value this plug-in saves is a clamped parameter.
        if (!(read[i] >= 0.0f && read[i] <= 1.0f)) return false;
    }
    std::memcpy(values, read, sizeof read);
    return true;
}

bool writeControllerState(vst3::IBStream* stream) {
    unsigned char bytes[headerBytes];
    putHeader(bytes, controllerTag);
    return writeAll(stream, bytes, headerBytes);
}

bool readControllerState(vst3::IBStream* stream) {
    unsigned char bytes[headerBytes];
    return readAll(stream, bytes, headerBytes) && headerMatches(bytes, controllerTag);
}
