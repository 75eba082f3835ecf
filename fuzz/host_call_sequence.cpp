#include "fuzz/host_call_sequence.h"
#include "fuzz/fuzz_bytes.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "host/vst2_parameters.h"
#include "host/plugin_instance.h"
#include "robustness/block_helpers.h"
#include "robustness/engine_inspection.h"

namespace {

constexpr size_t maxLiveInstances = 4;
constexpr int32_t maxBlockFrames = 8192;
constexpr char untouched = 0x5a;  // fill of buffers the plug-in must not write

const int32_t specialIndexes[] = {0, 1, 2, 3, 4, 5, 6, 7, -1, 8, 9, 255, -8, INT32_MIN, INT32_MAX};

int32_t pickIndex(ByteReader& r) {
    const uint8_t choice = r.u8();
    if (choice < 224) return specialIndexes[choice % std::size(specialIndexes)];
    return static_cast<int32_t>(r.u32());
}

const intptr_t specialValues[] = {0, 1, 2, -1, INTPTR_MIN, INTPTR_MAX, intptr_t{1} << 32, 0xbeef0000};

const int32_t outOfRangeOpcodes[] = {-1, -2, -51, 52, 58, 61, 62, 64, 100, 255, 1000, 0x10000,
                                     INT32_MAX, INT32_MIN};

// Mostly the 61 opcodes 0..60, sometimes far outside.
int32_t pickOpcode(ByteReader& r) {
    const uint8_t choice = r.u8();
    if (choice < 244) return choice % 61;
    return r.pick(outOfRangeOpcodes);
}

const float specialRates[] = {1.0f, 100.0f, 7999.0f, 8000.0f, 8000.001f, 11025.0f, 22050.0f,
                              44100.0f, 48000.0f, 88200.0f, 96000.0f, 192000.0f, 384000.0f,
                              768000.0f, 1e6f, 1e9f, FLT_MAX, 0.0f, -0.0f, -1.0f, -44100.0f,
                              fuzzNan, fuzzInf, -fuzzInf, FLT_MIN, std::numeric_limits<float>::denorm_min()};

float pickRate(ByteReader& r) {
    const uint8_t choice = r.u8();
    if (choice < 200) return specialRates[choice % std::size(specialRates)];
    return bitsToFloat(r.u32());
}

const int32_t specialFrames[] = {0, 1, 2, 3, 7, 8, 15, 16, 63, 64, 128, 255, 256, 511, 512,
                                 1024, 4096, 8191, 8192, -1, -8192, INT32_MIN};

int32_t pickFrames(ByteReader& r) {
    const uint8_t choice = r.u8();
    if (choice < 128) return specialFrames[choice % std::size(specialFrames)];
    return r.u16() % (maxBlockFrames + 1);
}

uint32_t xorshift(uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

void fillChannel(ByteReader& r, float* samples, int32_t frames) {
    const uint8_t mode = r.u8() % 7;
    const float amplitude = pickFloat(r);
    uint32_t seed = r.u32() | 1u;
    const int spacing = 1 + r.u8();
    float raw[64];
    int rawCount = 0;
    if (mode == 3) {
        rawCount = 1 + r.u8() % 64;
        for (int i = 0; i < rawCount; ++i) raw[i] = bitsToFloat(r.u32());
    }
    for (int32_t i = 0; i < frames; ++i) {
        const float noise = static_cast<float>(xorshift(seed)) / 2147483648.0f - 1.0f;
        switch (mode) {
        case 0: samples[i] = 0.0f; break;
        case 1: samples[i] = amplitude; break;
        case 2: samples[i] = amplitude * std::sin(0.0013f * spacing * static_cast<float>(i)); break;
        case 3: samples[i] = raw[i % rawCount]; break;
        case 4: samples[i] = i % spacing == 0 ? amplitude : 0.0f; break;
        case 5: samples[i] = amplitude * noise; break;
        default: samples[i] = i % spacing == 0 ? amplitude : noise; break;
        }
    }
}

bool sameBits(const float* a, const float* b, int32_t frames) {
    return std::memcmp(a, b, sizeof(float) * static_cast<size_t>(frames)) == 0;
}

bool sameEngine(const EngineState& a, const EngineState& b) {
    return std::memcmp(&a, &b, sizeof(EngineState)) == 0;
}

bool bypassedNow(const PluginInstance& instance) {
    return instance.bypassed.load(std::memory_order_relaxed) ||
           loadParameter(instance, parameterBypass) > 0.5f;
}

intptr_t quietHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

// A fixed-size text block: zero-terminated and, where asked, zero after the text too.
bool fixedTextSound(const char* text, size_t size, bool zeroFilled) {
    const size_t length = strnlen(text, size);
    if (length == size) return false;
    if (!zeroFilled) return true;
    for (size_t i = length; i < size; ++i)
        if (text[i] != 0) return false;
    return true;
}

struct Sequence {
    ByteReader reader;
    std::vector<AEffect*> live;
    std::string failure;

    bool failed() const { return !failure.empty(); }
    void fail(const std::string& what, int32_t detail = 0) {
        if (!failed()) failure = what + " (" + std::to_string(detail) + ")";
    }

    AEffect* create() {
        AEffect* effect = VSTPluginMain(quietHost);
        if (!effect || effect->magic != kEffectMagic || effect->object != effect) {
            fail("VSTPluginMain gave no sound instance");
            return nullptr;
        }
        live.push_back(effect);
        return effect;
    }

    size_t pickInstance() {
        if (live.empty()) create();
        return live.empty() ? 0 : reader.u8() % live.size();
    }

    void close(size_t at) {
        AEffect* effect = live[at];
        live.erase(live.begin() + static_cast<std::ptrdiff_t>(at));
        if (effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f) != 0)
            fail("effClose did not return 0");
    }

    void checkInstance(AEffect* effect, const char* after) {
        const PluginInstance& instance = *static_cast<PluginInstance*>(effect->object);
        if (!hostFieldsSound(instance)) fail(std::string("host fields unsound after ") + after);
        if (!engineStateFinite(instance.engine))
            fail(std::string("engine state not finite after ") + after);
        if (instance.editorWindow.load(std::memory_order_relaxed) != nullptr)
            fail(std::string("an editor window appeared without a window system after ") + after);
    }

    void dispatchAny(AEffect* effect) {
        const int32_t opcode = pickOpcode(reader);
        const int32_t index = pickIndex(reader);
        const intptr_t value = reader.pick(specialValues);
        const float opt = pickFloat(reader);
        const bool nullPointer = (reader.u8() & 7) == 0;
        auto call = [&](void* ptr) { return effect->dispatcher(effect, opcode, index, value, ptr, opt); };

        if (opcode == effClose) {
            for (size_t i = 0; i < live.size(); ++i)
                if (live[i] == effect) close(i);
            return;
        }
        if (nullPointer) {
            call(nullptr);
            return;
        }
        switch (opcode) {
        case effGetParamLabel:
        case effGetParamName:
        case effGetParamDisplay: {
            const size_t size = opcode == effGetParamLabel ? parameterLabelBytes : parameterTextBytes;
            std::unique_ptr<char[]> text(new char[size]);
            std::memset(text.get(), untouched, size);
            const intptr_t result = call(text.get());
            if (index >= 0 && index < parameterCount) {
                if (result != 1 || !fixedTextSound(text.get(), size, opcode != effGetParamDisplay))
                    fail("parameter text not a sound fixed block", opcode);
            } else {
                for (size_t i = 0; i < size; ++i)
                    if (text[i] != untouched) fail("text written for a bad index", opcode);
                if (result != 0) fail("bad parameter index answered", opcode);
            }
            return;
        }
        case effGetEffectName:
        case effGetVendorString:
        case effGetProductString: {
            constexpr size_t size = 31;
            std::unique_ptr<char[]> text(new char[size]);
            std::memset(text.get(), untouched, size);
            if (call(text.get()) != 1 || !fixedTextSound(text.get(), size, true))
                fail("name string not a sound 31-byte block", opcode);
            return;
        }
        case effCanDo: {
            static const char* const known[] = {"hasCockosExtensions", "1in2out", "2in2out", "",
                                                "2in2ou", "2IN2OUT", "receiveVstEvents"};
            std::string query = known[reader.u8() % std::size(known)];
            if (reader.u8() & 1) {
                query.clear();
                for (int n = reader.u8() % 48; n > 0; --n) query.push_back(static_cast<char>(reader.u8() | 1));
            }
            std::unique_ptr<char[]> text(new char[query.size() + 1]);
            std::memcpy(text.get(), query.c_str(), query.size() + 1);
            const intptr_t result = call(text.get());
            if (result != 0 && result != 1 && result != 0xbeef0000) fail("effCanDo answer out of set");
            return;
        }
        case effEditGetRect: {
            std::unique_ptr<ERect*> slot(new ERect*(nullptr));
            const intptr_t result = call(slot.get());
            const ERect* rect = *slot;
            if (result != 1 || !rect || rect->top != 0 || rect->left != 0 || rect->bottom != 520 ||
                rect->right != 840)
                fail("effEditGetRect gave no sound rectangle");
            return;
        }
        default: {
            // No other opcode writes through its pointer; out-of-range ones answer 0.
            std::vector<char> buffer(512, untouched);
            const intptr_t result = call(buffer.data());
            for (char c : buffer)
                if (c != untouched) {
                    fail("opcode wrote into a buffer it does not use", opcode);
                    break;
                }
            if ((opcode < 0 || opcode > effCanDo) && result != 0) fail("out-of-range opcode answered", opcode);
            return;
        }
        }
    }

    void writeParameter(AEffect* effect, int32_t index, float value) {
        float before[parameterCount];
        for (int i = 0; i < parameterCount; ++i) before[i] = effect->getParameter(effect, i);
        effect->setParameter(effect, index, value);
        const float expected = !(value < 1.0f) ? 1.0f : !(value > 0.0f) ? 0.0f : value;
        for (int i = 0; i < parameterCount; ++i) {
            const float now = effect->getParameter(effect, i);
            const float wanted = i == index ? expected : before[i];
            if (std::memcmp(&now, &wanted, sizeof now) != 0) fail("parameter write not clamped or leaked", i);
        }
    }

    void readParameter(AEffect* effect) {
        const int32_t index = pickIndex(reader);
        const float value = effect->getParameter(effect, index);
        if (!(value >= 0.0f && value <= 1.0f)) fail("getParameter out of 0..1", index);
        if ((index < 0 || index >= parameterCount) && value != 0.0f) fail("bad index read non-zero", index);
    }

    void processOne(AEffect* effect) {
        const int32_t frames = pickFrames(reader);
        const uint8_t layout = reader.u8() % 4;  // separate, in place, crossed, one shared input
        const bool deprecatedSlot = reader.u8() % 8 == 0;
        const size_t count = frames > 0 ? static_cast<size_t>(frames) : 0;

        // Exactly sized, so the sanitizer sees any access past the block.
        std::unique_ptr<float[]> a(new float[count]), b(new float[count]);
        std::unique_ptr<float[]> c(new float[count]), d(new float[count]);
        fillChannel(reader, a.get(), frames);
        fillChannel(reader, b.get(), frames);
        std::vector<float> dryLeft(a.get(), a.get() + count);
        std::vector<float> dryRight(b.get(), b.get() + count);
        std::memset(c.get(), untouched, count * sizeof(float));
        std::memset(d.get(), untouched, count * sizeof(float));
        if (layout == 3) dryRight = dryLeft;

        float* inputs[2] = {a.get(), layout == 3 ? a.get() : b.get()};
        float* outputs[2] = {c.get(), d.get()};
        if (layout == 1) outputs[0] = a.get(), outputs[1] = b.get();
        if (layout == 2) outputs[0] = b.get(), outputs[1] = a.get();

        PluginInstance& instance = *static_cast<PluginInstance*>(effect->object);
        const bool bypassed = bypassedNow(instance);
        const EngineState engineBefore = instance.engine;
        (deprecatedSlot ? effect->process : effect->processReplacing)(effect, inputs, outputs, frames);

        if (frames < 1 || bypassed) {
            if (!sameEngine(engineBefore, instance.engine))
                fail("engine state moved in an empty or bypassed block", frames);
        }
        if (frames < 1) return;
        if (bypassed) {
            if (!sameBits(outputs[0], dryLeft.data(), frames) || !sameBits(outputs[1], dryRight.data(), frames))
                fail("bypassed block not a bit-exact copy", layout);
            return;
        }
        if (!bounded(outputs, frames)) fail("output sample not finite or beyond 0.98", frames);
    }

    void step() {
        const uint8_t op = reader.u8() % 10;
        if (op == 0) {
            if (live.size() < maxLiveInstances) create();
            return;
        }
        if (op == 1) {
            if (!live.empty()) close(reader.u8() % live.size());
            return;
        }
        const size_t at = pickInstance();
        if (live.empty()) return;
        AEffect* effect = live[at];
        const char* what = "";
        switch (op) {
        case 2: dispatchAny(effect); what = "a dispatcher call"; break;
        case 3: {
            const int32_t index = pickIndex(reader);
            writeParameter(effect, index, pickFloat(reader));
            what = "setParameter";
            break;
        }
        case 4: readParameter(effect); what = "getParameter"; break;
        case 5: effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, pickRate(reader)); what = "effSetSampleRate"; break;
        case 6:
        case 7: processOne(effect); what = "a block"; break;
        case 8: effect->dispatcher(effect, effSetBypass, 0, reader.pick(specialValues), nullptr, 0.0f); what = "effSetBypass"; break;
        default:
            for (int i = 0; i < parameterCount; ++i) writeParameter(effect, i, pickFloat(reader));
            what = "a parameter storm";
            break;
        }
        // The instance may have been closed by an effClose among the dispatcher calls.
        for (AEffect* open : live)
            if (open == effect) checkInstance(effect, what);
    }
};

}  // namespace

std::string runHostCallSequence(const uint8_t* data, size_t size) {
    Sequence s{ByteReader{data, size}, {}, {}};
    const int32_t countBefore = moduleState.instanceCount;
    while (!s.reader.done() && !s.failed()) {
        s.step();
        if (moduleState.instanceCount != countBefore + static_cast<int32_t>(s.live.size()))
            s.fail("instance count out of step", moduleState.instanceCount);
    }
    while (!s.live.empty()) s.close(s.live.size() - 1);
    if (moduleState.instanceCount != countBefore) s.fail("instances left counted", moduleState.instanceCount);
    return s.failure;
}
