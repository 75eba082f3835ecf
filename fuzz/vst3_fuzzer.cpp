// libFuzzer target: the VST 3 module loaded with dlopen as a host loads it (its entry call
// and factory), one instance per input, driven through its interfaces by calls the bytes
// describe: setState and setComponentState with any bytes (the module's own format, VST 2.4
// fxb banks and fxp programs) from streams that deliver any piece sizes and fail mid-read,
// getParamValueByString with any text, process with any IParameterChanges (offsets outside
// the block, unsorted points, unknown ids, values outside 0..1) and setBusArrangements with
// any arrangement. After every call: the output is finite and within the clamp (or, bypassed, a sample it was fed), every value
// is normalized, and a refused state or text changes nothing.
#include <algorithm>
#include <bit>
#include <iterator>
#include <vector>

#include "fuzz/fuzz_bytes.h"
#include "vst3/vst3_abi.h"

#include <dlfcn.h>

using namespace vst3;

namespace {

constexpr int32_t maxFrames = 1024;
constexpr ParamID valueCount = 9;  // eight parameters and Oversampling
WildSamples fed;  // this input's

// The module loaded as hosts load it: its entry call and its factory.
struct Vst3Module {
    void* handle = dlopen(VELMORA_VST3_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    IPluginFactory* factory = nullptr;
    Vst3Module() {
        auto entry = handle ? reinterpret_cast<bool (*)(void*)>(dlsym(handle, "ModuleEntry")) : nullptr;
        auto getFactory = handle ? reinterpret_cast<IPluginFactory* (*)()>(dlsym(handle, "GetPluginFactory")) : nullptr;
        if (entry && entry(handle) && getFactory) factory = getFactory();
    }
    template <typename Interface>
    Interface* create(const Uid& iid) const {
        PClassInfo info{};
        void* object = nullptr;
        if (!factory || factory->vtbl->getClassInfo(factory, 0, &info) != kResultOk ||
            factory->vtbl->createInstance(factory, info.cid, iid.bytes, &object) != kResultOk)
            return nullptr;
        return static_cast<Interface*>(object);
    }
};

Vst3Module& module() {
    static Vst3Module loaded;
    return loaded;
}

template <typename Interface, typename From>
Interface* queryAs(From* object, const Uid& iid) {
    void* result = nullptr;
    return object->vtbl->queryInterface(object, iid.bytes, &result) == kResultOk ? static_cast<Interface*>(result)
                                                                                 : nullptr;
}

// Host objects live on the stack: no interfaces, no counts.
template <typename Type>
tresult noInterface(Type*, const TUID, void** object) {
    *object = nullptr;
    return kNoInterface;
}
template <typename Type>
uint32_t oneReference(Type*) {
    return 1;
}

// A stream over the bytes that hands out pieces of the sizes listed and fails one read;
// writes append.
struct ChunkedStream {
    IBStream stream;
    std::string bytes;
    std::vector<uint8_t> chunks;
    size_t failAt = SIZE_MAX;
    size_t position = 0, reads = 0;
    ChunkedStream();
};

ChunkedStream& streamOf(IBStream* s) { return *reinterpret_cast<ChunkedStream*>(s); }

const IBStreamVtbl chunkedStreamTable = {
    noInterface<IBStream>, oneReference<IBStream>, oneReference<IBStream>,
    [](IBStream* s, void* buffer, int32_t count, int32_t* done) -> tresult {
        ChunkedStream& m = streamOf(s);
        if (done) *done = 0;
        if (m.reads++ == m.failAt) return kResultFalse;
        size_t n = std::min<size_t>(static_cast<size_t>(std::max(count, 0)), m.bytes.size() - m.position);
        if (!m.chunks.empty()) n = std::min<size_t>(n, m.chunks[m.reads % m.chunks.size()]);
        if (n) std::memcpy(buffer, m.bytes.data() + m.position, n);
        m.position += n;
        if (done) *done = static_cast<int32_t>(n);
        return kResultOk;
    },
    [](IBStream* s, void* buffer, int32_t count, int32_t* done) -> tresult {
        ChunkedStream& m = streamOf(s);
        m.bytes.append(static_cast<const char*>(buffer), static_cast<size_t>(std::max(count, 0)));
        if (done) *done = count;
        return kResultOk;
    },
    [](IBStream* s, int64_t pos, int32_t mode, int64_t* result) -> tresult {
        ChunkedStream& m = streamOf(s);
        const int64_t base = mode == 1 ? static_cast<int64_t>(m.position) : mode == 2 ? static_cast<int64_t>(m.bytes.size()) : 0;
        if (base + pos < 0 || base + pos > static_cast<int64_t>(m.bytes.size())) return kResultFalse;
        m.position = static_cast<size_t>(base + pos);
        if (result) *result = base + pos;
        return kResultOk;
    },
    [](IBStream* s, int64_t* pos) -> tresult {
        *pos = static_cast<int64_t>(streamOf(s).position);
        return kResultOk;
    },
};
ChunkedStream::ChunkedStream() : stream{&chunkedStreamTable} {}

struct ParameterQueue {
    IParamValueQueue queue;
    ParamID id;
    std::vector<std::pair<int32_t, double>> points;
};
ParameterQueue& queueOf(IParamValueQueue* q) { return *reinterpret_cast<ParameterQueue*>(q); }
const IParamValueQueueVtbl queueTable = {
    noInterface<IParamValueQueue>, oneReference<IParamValueQueue>, oneReference<IParamValueQueue>,
    [](IParamValueQueue* q) -> ParamID { return queueOf(q).id; },
    [](IParamValueQueue* q) -> int32_t { return static_cast<int32_t>(queueOf(q).points.size()); },
    [](IParamValueQueue* q, int32_t index, int32_t* offset, ParamValue* value) -> tresult {
        const auto& points = queueOf(q).points;
        if (index < 0 || static_cast<size_t>(index) >= points.size()) return kInvalidArgument;
        *offset = points[static_cast<size_t>(index)].first;
        *value = points[static_cast<size_t>(index)].second;
        return kResultOk;
    },
    [](IParamValueQueue*, int32_t, ParamValue, int32_t*) -> tresult { return kResultFalse; },
};

struct ParameterChanges {
    IParameterChanges changes;
    std::vector<ParameterQueue> queues;
};
ParameterChanges& changesOf(IParameterChanges* c) { return *reinterpret_cast<ParameterChanges*>(c); }
const IParameterChangesVtbl changesTable = {
    noInterface<IParameterChanges>, oneReference<IParameterChanges>, oneReference<IParameterChanges>,
    [](IParameterChanges* c) -> int32_t { return static_cast<int32_t>(changesOf(c).queues.size()); },
    [](IParameterChanges* c, int32_t index) -> IParamValueQueue* {
        auto& queues = changesOf(c).queues;
        return index >= 0 && static_cast<size_t>(index) < queues.size() ? &queues[static_cast<size_t>(index)].queue : nullptr;
    },
    [](IParameterChanges*, const ParamID*, int32_t*) -> IParamValueQueue* { return nullptr; },
};

// One instance as a host sets one up: initialized, set up for the rate, active, processing.
struct Vst3Instance {
    IComponent* component = module().create<IComponent>(IComponent_iid);
    IAudioProcessor* processor = nullptr;
    IEditController* controller = nullptr;
    explicit Vst3Instance(double rate) {
        if (!component) return;
        component->vtbl->initialize(component, nullptr);
        processor = queryAs<IAudioProcessor>(component, IAudioProcessor_iid);
        controller = queryAs<IEditController>(component, IEditController_iid);
        if (!processor || !controller) return;
        ProcessSetup setup{kRealtime, kSample32, maxFrames, rate};
        processor->vtbl->setupProcessing(processor, &setup);
        component->vtbl->setActive(component, 1);
        processor->vtbl->setProcessing(processor, 1);
    }
    ~Vst3Instance() {
        if (!component) return;
        if (processor) processor->vtbl->setProcessing(processor, 0);
        component->vtbl->setActive(component, 0);
        component->vtbl->terminate(component);
        if (controller) controller->vtbl->release(controller);
        if (processor) processor->vtbl->release(processor);
        component->vtbl->release(component);
    }
    double parameter(ParamID id) { return controller->vtbl->getParamNormalized(controller, id); }
};

using Values = ValueSnapshot<ParamID, valueCount>;

Values valuesOf(Vst3Instance& p) {
    return Values([&](ParamID id) { return p.parameter(id); });
}

void checkValues(Vst3Instance& p, const char* after) {
    for (ParamID id = 0; id < valueCount; ++id) {
        const double value = p.parameter(id);
        if (!(value >= 0.0 && value <= 1.0))
            brokenPromise(std::string(after) + ": parameter " + std::to_string(id) + " at " + std::to_string(value));
    }
}

// The module's own state as it saves it, perhaps damaged; or any bytes.
ChunkedStream readStream(Vst3Instance& p, ByteReader& r) {
    ChunkedStream stream;
    if (r.u8() < 64) {
        promise(p.component->vtbl->getState(p.component, &stream.stream) == kResultOk, "getState");
        stream.position = 0;
        damageOrCut(stream.bytes, r);
    } else {
        stream.bytes = r.bytes(255);
    }
    stream.chunks = readChunkSizes(r);
    if (r.u8() < 48) stream.failAt = r.u8() % 48;
    return stream;
}

void loadState(Vst3Instance& p, ByteReader& r) {
    ChunkedStream stream = readStream(p, r);
    const Values before = valuesOf(p);
    tresult result = kResultFalse;
    switch (r.u8() % 3) {
    case 0: result = p.component->vtbl->setState(p.component, &stream.stream); break;
    case 1: result = p.controller->vtbl->setComponentState(p.controller, &stream.stream); break;
    default: result = p.controller->vtbl->setState(p.controller, &stream.stream); break;
    }
    if (result != kResultOk) promise(valuesOf(p) == before, "a refused state left a value changed");
    checkValues(p, "setState");
}

void texts(Vst3Instance& p, ByteReader& r) {
    const ParamID ids[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1000, 0xffffffffu};
    const ParamID id = r.pick(ids);
    const std::string bytes = r.bytes(60);
    String128 text{};
    for (size_t i = 0; i < bytes.size() / 2 && i < 127; ++i)
        text[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) | static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
    const Values before = valuesOf(p);
    ParamValue value = -7.0;
    const tresult parsed = p.controller->vtbl->getParamValueByString(p.controller, id, text, &value);
    if (parsed == kResultOk) promise(value >= 0.0 && value <= 1.0, "getParamValueByString outside 0..1");
    else promise(value == -7.0, "a refused text wrote a value");
    promise(valuesOf(p) == before, "getParamValueByString changed a parameter");

    String128 shown;
    std::fill(std::begin(shown), std::end(shown), u'z');
    const double normalized = pickDouble(r);
    if (p.controller->vtbl->getParamStringByValue(p.controller, id, normalized, shown) == kResultOk) {
        promise(std::find(std::begin(shown), std::end(shown), u'\0') != std::end(shown), "an unterminated text");
        if (normalized >= 0.0 && normalized <= 1.0)
            promise(p.controller->vtbl->getParamValueByString(p.controller, id, shown, &value) == kResultOk,
                    "a shown text did not read back");
    }
}

ParameterChanges readChanges(ByteReader& r, int32_t frames) {
    ParameterChanges changes{{&changesTable}, {}};
    const ParamID ids[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 77, 0xffffffffu};
    for (int q = r.u8() % 6; q > 0; --q) {
        ParameterQueue queue{{&queueTable}, r.pick(ids), {}};
        for (int k = r.u8() % 6; k > 0; --k) {
            const uint8_t timing = r.u8();
            const int32_t offset = timing < 160 ? timing % (frames + 1) : timing < 200 ? frames + timing
                                   : timing < 230 ? -static_cast<int32_t>(timing) : static_cast<int32_t>(r.u32());
            queue.points.emplace_back(offset, pickDouble(r));
        }
        changes.queues.push_back(std::move(queue));
    }
    return changes;
}

struct Buses {
    int32_t inputs = 2, outputs = 2;
};

void processBlock(Vst3Instance& p, const Buses& buses, ByteReader& r) {
    const int32_t frameChoices[] = {0, 1, 2, 3, 16, 31, 64, 100, 256, 512, 1023, maxFrames};
    const int32_t frames = r.pick(frameChoices);
    std::vector<float> in[2], out[2];
    for (auto& c : in) {
        c.resize(static_cast<size_t>(frames));
        for (float& s : c) s = r.done() ? 0.1f : pickFloat(r);
        fed.note(c.data(), c.size());
    }
    for (auto& c : out) c.assign(static_cast<size_t>(frames), 7.0f);
    const bool inPlace = r.u8() & 1;
    float* ins[2] = {in[0].data(), in[1].data()};
    float* outs[2] = {inPlace ? in[0].data() : out[0].data(), inPlace ? in[1].data() : out[1].data()};
    AudioBusBuffers input{buses.inputs, 0, {ins}}, output{buses.outputs, 0, {outs}};
    ParameterChanges changes = readChanges(r, frames);
    ProcessData data{kRealtime, kSample32, frames, 1, 1, &input, &output, &changes.changes,
                     nullptr, nullptr, nullptr, nullptr};
    if (p.processor->vtbl->process(p.processor, &data) == kResultOk)
        for (int32_t c = 0; c < buses.outputs; ++c) checkOutput(outs[c], static_cast<size_t>(frames), "process", fed);
    checkValues(p, "process");
}

void arrangeBuses(Vst3Instance& p, Buses& buses, ByteReader& r) {
    const SpeakerArrangement choices[] = {kSpeakerStereo, kSpeakerStereo, 0x1 /* mono */, 0, 0x7, 0x33,
                                          0xffffffffffffffffull, 0x2, 0x4};
    SpeakerArrangement ins[3], outs[3];
    for (auto& a : ins) a = r.u8() < 224 ? r.pick(choices) : r.u64();
    for (auto& a : outs) a = r.u8() < 224 ? r.pick(choices) : r.u64();
    const int32_t numIns = r.u8() % 4, numOuts = r.u8() % 4;
    p.processor->vtbl->setProcessing(p.processor, 0);
    p.component->vtbl->setActive(p.component, 0);
    p.processor->vtbl->setBusArrangements(p.processor, ins, numIns, outs, numOuts);
    SpeakerArrangement in = 0, out = 0;
    promise(p.processor->vtbl->getBusArrangement(p.processor, kInput, 0, &in) == kResultOk &&
            p.processor->vtbl->getBusArrangement(p.processor, kOutput, 0, &out) == kResultOk,
            "getBusArrangement of the main buses");
    buses.inputs = std::popcount(in), buses.outputs = std::popcount(out);
    promise(buses.inputs >= 1 && buses.inputs <= 2 && buses.outputs >= 1 && buses.outputs <= 2,
            "an arrangement of neither one nor two channels");
    p.component->vtbl->setActive(p.component, 1);
    p.processor->vtbl->setProcessing(p.processor, 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteReader r{data, size};
    fed = {};
    promise(module().factory != nullptr, "the VST 3 module did not load");
    const double rates[] = {44100.0, 48000.0, 96000.0, 8000.0, 192000.0, 22050.0};
    Vst3Instance p(r.pick(rates));
    promise(p.component && p.processor && p.controller, "no instance");
    Buses buses;
    for (int calls = 0; !r.done() && calls < 64; ++calls) {
        switch (r.u8() % 6) {
        case 0: loadState(p, r); break;
        case 1: texts(p, r); break;
        case 2: arrangeBuses(p, buses, r); break;
        default: processBlock(p, buses, r); break;
        }
    }
    return 0;
}
