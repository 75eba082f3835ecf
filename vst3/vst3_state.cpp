#include "vst3/vst3_state.h"

#include <cstring>

#include "parameters/factory_presets.h"
#include "parameters/parameter_set.h"
#include "parameters/state_words.h"
#include "vst3/vst3_plugin.h"

namespace {

constexpr char componentTag[4] = {'T', 'V', 'L', 'M'};
constexpr char controllerTag[4] = {'T', 'V', 'L', 'C'};
constexpr uint32_t controllerStateVersion = 2;
constexpr uint32_t componentStateVersion = 2;
constexpr int headerBytes = 8;
constexpr int firstVersionBytes = headerBytes + 4 * parameterCount;
constexpr int componentStateBytes = firstVersionBytes + 4;

uint32_t getBigEndianWord(const unsigned char* at) {
    uint32_t word = 0;
    for (int b = 0; b < 4; ++b) word = word << 8 | at[b];
    return word;
}

void putHeader(unsigned char* at, const char (&tag)[4], uint32_t version) {
    std::memcpy(at, tag, 4);
    putWord(at + 4, version);
}

// Streams may take and deliver less than asked per call: reads or writes until the count is
// done, false when the stream fails or moves nothing (its end).
using Transfer = vst3::tresult(VELMORA_VST3_CALL*)(vst3::IBStream*, void*, int32_t, int32_t*);

bool transferAll(vst3::IBStream* stream, Transfer transfer, unsigned char* bytes, int32_t count) {
    int32_t done = 0;
    while (done < count) {
        int32_t moved = 0;
        if (transfer(stream, bytes + done, count - done, &moved) != vst3::kResultOk || moved <= 0 ||
            moved > count - done)
            return false;
        done += moved;
    }
    return true;
}

bool writeAll(vst3::IBStream* stream, unsigned char* bytes, int32_t count) {
    return stream && transferAll(stream, stream->vtbl->write, bytes, count);
}

bool readAll(vst3::IBStream* stream, unsigned char* bytes, int32_t count) {
    return stream && transferAll(stream, stream->vtbl->read, bytes, count);
}

}  // namespace

bool writeComponentState(vst3::IBStream* stream, const float (&values)[parameterCount],
                         int oversamplingChoice) {
    unsigned char bytes[componentStateBytes];
    putHeader(bytes, componentTag, componentStateVersion);
    for (int i = 0; i < parameterCount; ++i) {
        uint32_t word;
        std::memcpy(&word, &values[i], 4);
        putWord(bytes + headerBytes + 4 * i, word);
    }
    putWord(bytes + firstVersionBytes, static_cast<uint32_t>(oversamplingFactors[oversamplingChoice]));
    return writeAll(stream, bytes, componentStateBytes);
}

namespace {

float floatFromBits(uint32_t word) {
    float value;
    std::memcpy(&value, &word, 4);
    return value;
}

// Every value this plug-in saves is a clamped parameter.
bool validValues(const float (&values)[parameterCount]) {
    for (float value : values)
        if (!(value >= 0.0f && value <= 1.0f)) return false;
    return true;
}

// The VST 2.4 build's state as a VST 2 host saved it, which Steinberg's hosts hand over whole
// when the VST 3 version replaces it in a project: an fxb bank (big-endian), perhaps behind
// their 'VstW' record of the host's bypass switch, or a single fxp program.
constexpr uint32_t fourCharacters(const char (&code)[5]) {
    return static_cast<uint32_t>(code[0]) << 24 | static_cast<uint32_t>(code[1]) << 16 |
           static_cast<uint32_t>(code[2]) << 8 | static_cast<uint32_t>(code[3]);
}
constexpr int vst2ProgramNameBytes = 28;
constexpr int vst2BankReservedBytes = 124;

struct BigEndianReader {
    vst3::IBStream* stream;
    bool failed = false;

    uint32_t word() {
        unsigned char bytes[4] = {};
        failed = failed || !readAll(stream, bytes, 4);
        return getBigEndianWord(bytes);
    }
    void skip(int count) {
        for (int i = 0; i < count; i += 4) word();
    }
};

// A program after its 'CcnK', size and 'FxCk': version, ID, version, count, name, values.
bool readVst2Program(BigEndianReader& in, float (&values)[parameterCount]) {
    in.word();
    const bool ours = in.word() == static_cast<uint32_t>(velmoraVst2UniqueId);
    in.word();
    const bool complete = in.word() == static_cast<uint32_t>(parameterCount);
    in.skip(vst2ProgramNameBytes);
    for (float& value : values) value = floatFromBits(in.word());
    return ours && complete && !in.failed;
}

// After 'CcnK': the size, then a bank of programs (the current one counts) or one program.
bool readVst2Bank(BigEndianReader& in, float (&values)[parameterCount]) {
    in.word();
    const uint32_t kind = in.word();
    if (kind == fourCharacters("FxCk")) return readVst2Program(in, values);
    if (kind != fourCharacters("FxBk")) return false;  // chunk banks are not this plug-in's
    const uint32_t bankVersion = in.word();
    if (in.word() != static_cast<uint32_t>(velmoraVst2UniqueId)) return false;
    in.word();
    const uint32_t programs = in.word();
    uint32_t current = 0;
    if (bankVersion >= 1) {
        current = in.word();
        in.skip(vst2BankReservedBytes);
    }
    if (in.failed || programs < 1 || current >= programs) return false;
    for (uint32_t program = 0; program <= current; ++program) {
        if (in.word() != fourCharacters("CcnK")) return false;
        in.word();
        if (in.word() != fourCharacters("FxCk") || !readVst2Program(in, values)) return false;
    }
    return true;
}

// The host's bypass switch of the VST 2.4 instance becomes the Bypass parameter, which is the
// VST 3 host's switch.
bool readVst2State(BigEndianReader& in, uint32_t tag, float (&values)[parameterCount]) {
    bool hostBypassed = false;
    if (tag == fourCharacters("VstW")) {  // size, version, bypass
        in.skip(8);
        hostBypassed = in.word() != 0;
        tag = in.word();
    }
    if (tag != fourCharacters("CcnK")) return false;
    if (!readVst2Bank(in, values)) return false;
    if (hostBypassed) values[parameterBypass] = 1.0f;
    return true;
}

}  // namespace

bool readComponentState(vst3::IBStream* stream, float (&values)[parameterCount],
                        int* oversamplingChoice) {
    unsigned char bytes[componentStateBytes];
    float read[parameterCount];
    int choice = 0;
    if (!readAll(stream, bytes, 4)) return false;
    if (std::memcmp(bytes, componentTag, 4) == 0) {
        if (!readAll(stream, bytes + 4, firstVersionBytes - 4)) return false;
        const uint32_t version = getWord(bytes + 4);
        if (version < 1 || version > componentStateVersion) return false;
        for (int i = 0; i < parameterCount; ++i) read[i] = floatFromBits(getWord(bytes + headerBytes + 4 * i));
        if (version >= 2) {
            if (!readAll(stream, bytes + firstVersionBytes, 4)) return false;
            const uint32_t factor = getWord(bytes + firstVersionBytes);
            choice = factor <= 8 ? oversamplingChoiceOf(static_cast<int>(factor)) : -1;
            if (choice < 0) return false;
        }
    } else {
        BigEndianReader in{stream};
        if (!readVst2State(in, getBigEndianWord(bytes), read)) return false;
    }
    if (!validValues(read)) return false;
    std::memcpy(values, read, sizeof read);
    *oversamplingChoice = choice;
    return true;
}

bool writeControllerState(vst3::IBStream* stream, const ControllerSettings& settings) {
    unsigned char bytes[headerBytes + 8];
    putHeader(bytes, controllerTag, controllerStateVersion);
    putWord(bytes + headerBytes, static_cast<uint32_t>(settings.program));
    uint32_t word;
    std::memcpy(&word, &settings.editorZoom, 4);
    putWord(bytes + headerBytes + 4, word);
    return writeAll(stream, bytes, headerBytes + 8);
}

bool readControllerState(vst3::IBStream* stream, ControllerSettings* settings) {
    unsigned char bytes[headerBytes + 8];
    if (!readAll(stream, bytes, headerBytes) || std::memcmp(bytes, controllerTag, 4) != 0) return false;
    const uint32_t version = getWord(bytes + 4);
    if (version < 1 || version > controllerStateVersion) return false;
    ControllerSettings read;
    if (version >= 2) {
        if (!readAll(stream, bytes + headerBytes, 8)) return false;
        const uint32_t chosen = getWord(bytes + headerBytes);
        if (chosen >= static_cast<uint32_t>(factoryPresetCount)) return false;
        read.program = static_cast<int>(chosen);
        read.editorZoom = floatFromBits(getWord(bytes + headerBytes + 4));
    }
    *settings = read;
    return true;
}
