// A small VST 3 host for the tests: loads the built module as hosts do (dlopen or
// LoadLibrary, the module's entry call, GetPluginFactory), makes instances, and provides
// the host's side of the interfaces: a memory stream, parameter change queues and a
// component handler that records edits.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "vst3/vst3_abi.h"

#ifdef _WIN32
#include <windows.h>
using ModuleHandle = HMODULE;
#else
#include <dlfcn.h>
using ModuleHandle = void*;
#endif

using namespace vst3;

class Vst3Module {
public:
    explicit Vst3Module(const std::string& path = VELMORA_VST3_MODULE_PATH) {
#ifdef _WIN32
        handle_ = LoadLibraryA(path.c_str());
        auto entry = reinterpret_cast<bool (*)()>(symbol("InitDll"));
#else
        handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        auto entry = reinterpret_cast<bool (*)(void*)>(symbol("ModuleEntry"));
#endif
        auto getFactory = reinterpret_cast<IPluginFactory* (*)()>(symbol("GetPluginFactory"));
#ifdef _WIN32
        entered_ = entry && entry();
#else
        entered_ = entry && entry(handle_);
#endif
        if (entered_ && getFactory) factory_ = getFactory();
    }
    ~Vst3Module() {
        if (factory_) factory_->vtbl->release(factory_);
#ifdef _WIN32
        if (auto exit = reinterpret_cast<bool (*)()>(symbol("ExitDll"))) exit();
        if (handle_) FreeLibrary(handle_);
#else
        if (auto exit = reinterpret_cast<bool (*)()>(symbol("ModuleExit"))) exit();
        if (handle_) dlclose(handle_);
#endif
    }
    Vst3Module(const Vst3Module&) = delete;
    Vst3Module& operator=(const Vst3Module&) = delete;

    IPluginFactory* factory() const { return factory_; }
    void* symbol(const char* name) const {
#ifdef _WIN32
        return handle_ ? reinterpret_cast<void*>(GetProcAddress(handle_, name)) : nullptr;
#else
        return handle_ ? dlsym(handle_, name) : nullptr;
#endif
    }

    // The factory's first class, as the given interface; null on failure.
    template <typename Interface>
    Interface* create(const Uid& iid) const {
        PClassInfo info{};
        void* object = nullptr;
        if (!factory_ || factory_->vtbl->getClassInfo(factory_, 0, &info) != kResultOk ||
            factory_->vtbl->createInstance(factory_, info.cid, iid.bytes, &object) != kResultOk)
            return nullptr;
        return static_cast<Interface*>(object);
    }

private:
    ModuleHandle handle_ = nullptr;
    bool entered_ = false;
    IPluginFactory* factory_ = nullptr;
};

template <typename Interface>
Interface* queryAs(FUnknown* object, const Uid& iid) {
    void* result = nullptr;
    return object->vtbl->queryInterface(object, iid.bytes, &result) == kResultOk
               ? static_cast<Interface*>(result)
               : nullptr;
}

template <typename Interface>
FUnknown* unknown(Interface* object) {
    return reinterpret_cast<FUnknown*>(object);
}

template <typename Interface>
uint32_t release(Interface* object) {
    return object->vtbl->release(object);
}

// Host objects live on the test's stack: their counts are not kept.
#define TEST_HOST_UNKNOWN(Type)                                                      \
    +[](Type*, const TUID, void** object) -> tresult {                               \
        *object = nullptr;                                                           \
        return kNoInterface;                                                         \
    },                                                                               \
        +[](Type*) -> uint32_t { return 1; }, +[](Type*) -> uint32_t { return 1; }

struct MemoryStream {
    IBStream stream{&table};
    std::vector<unsigned char> bytes;
    size_t position = 0;
    int32_t largestRead = 1 << 30;  // a smaller value makes reads come in pieces
    int32_t largestWrite = 1 << 30;  // and writes

    static MemoryStream& of(IBStream* s) { return *reinterpret_cast<MemoryStream*>(s); }
    static inline const IBStreamVtbl table = {
        TEST_HOST_UNKNOWN(IBStream),
        [](IBStream* s, void* buffer, int32_t count, int32_t* done) -> tresult {
            MemoryStream& m = of(s);
            const size_t n = std::min<size_t>({static_cast<size_t>(std::max(count, 0)),
                                               m.bytes.size() - m.position,
                                               static_cast<size_t>(m.largestRead)});
            if (n) std::memcpy(buffer, m.bytes.data() + m.position, n);
            m.position += n;
            if (done) *done = static_cast<int32_t>(n);
            return kResultOk;
        },
        [](IBStream* s, void* buffer, int32_t count, int32_t* done) -> tresult {
            MemoryStream& m = of(s);
            const int32_t n = std::min(std::max(count, 0), m.largestWrite);
            const auto* from = static_cast<const unsigned char*>(buffer);
            m.bytes.insert(m.bytes.begin() + static_cast<ptrdiff_t>(m.position), from, from + n);
            m.position += static_cast<size_t>(n);
            if (done) *done = n;
            return kResultOk;
        },
        [](IBStream* s, int64_t pos, int32_t, int64_t* result) -> tresult {
            of(s).position = static_cast<size_t>(pos);
            if (result) *result = pos;
            return kResultOk;
        },
        [](IBStream* s, int64_t* pos) -> tresult {
            *pos = static_cast<int64_t>(of(s).position);
            return kResultOk;
        },
    };
};

struct ParameterQueue {
    IParamValueQueue queue{&table};
    ParamID id;
    std::vector<std::pair<int32_t, double>> points;

    static ParameterQueue& of(IParamValueQueue* q) { return *reinterpret_cast<ParameterQueue*>(q); }
    static inline const IParamValueQueueVtbl table = {
        TEST_HOST_UNKNOWN(IParamValueQueue),
        [](IParamValueQueue* q) -> ParamID { return of(q).id; },
        [](IParamValueQueue* q) -> int32_t { return static_cast<int32_t>(of(q).points.size()); },
        [](IParamValueQueue* q, int32_t index, int32_t* offset, ParamValue* value) -> tresult {
            const auto& points = of(q).points;
            if (index < 0 || static_cast<size_t>(index) >= points.size()) return kInvalidArgument;
            *offset = points[static_cast<size_t>(index)].first;
            *value = points[static_cast<size_t>(index)].second;
            return kResultOk;
        },
        [](IParamValueQueue*, int32_t, ParamValue, int32_t*) -> tresult { return kResultFalse; },
    };
};

struct ParameterChanges {
    IParameterChanges changes{&table};
    std::vector<ParameterQueue> queues;

    ParameterChanges(std::initializer_list<std::pair<ParamID, std::vector<std::pair<int32_t, double>>>> list) {
        for (const auto& [id, points] : list) queues.push_back(ParameterQueue{{&ParameterQueue::table}, id, points});
    }
    static ParameterChanges& of(IParameterChanges* c) { return *reinterpret_cast<ParameterChanges*>(c); }
    static inline const IParameterChangesVtbl table = {
        TEST_HOST_UNKNOWN(IParameterChanges),
        [](IParameterChanges* c) -> int32_t { return static_cast<int32_t>(of(c).queues.size()); },
        [](IParameterChanges* c, int32_t index) -> IParamValueQueue* {
            return &of(c).queues.at(static_cast<size_t>(index)).queue;
        },
        [](IParameterChanges*, const ParamID*, int32_t*) -> IParamValueQueue* { return nullptr; },
    };
};

// Records every edit as "begin 0", "perform 0 0.6", "end 0", and restarts as "restart 8".
struct RecordingHandler {
    IComponentHandler handler{&table};
    std::vector<std::string> calls;
    int references = 0;

    static RecordingHandler& of(IComponentHandler* h) { return *reinterpret_cast<RecordingHandler*>(h); }
    static inline const IComponentHandlerVtbl table = {
        [](IComponentHandler*, const TUID, void** object) -> tresult {
            *object = nullptr;
            return kNoInterface;
        },
        [](IComponentHandler* h) -> uint32_t { return static_cast<uint32_t>(++of(h).references); },
        [](IComponentHandler* h) -> uint32_t { return static_cast<uint32_t>(--of(h).references); },
        [](IComponentHandler* h, ParamID id) -> tresult {
            of(h).calls.push_back("begin " + std::to_string(id));
            return kResultOk;
        },
        [](IComponentHandler* h, ParamID id, ParamValue value) -> tresult {
            char text[64];
            std::snprintf(text, sizeof text, "perform %u %.6g", id, value);
            of(h).calls.push_back(text);
            return kResultOk;
        },
        [](IComponentHandler* h, ParamID id) -> tresult {
            of(h).calls.push_back("end " + std::to_string(id));
            return kResultOk;
        },
        [](IComponentHandler* h, int32_t flags) -> tresult {
            of(h).calls.push_back("restart " + std::to_string(flags));
            return kResultOk;
        },
    };
};

// One instance driven as a host drives it: component, processor and controller interfaces,
// set up for a rate and activated.
struct Vst3Instance {
    IComponent* component = nullptr;
    IAudioProcessor* processor = nullptr;
    IEditController* controller = nullptr;

    Vst3Instance(const Vst3Module& module, double rate, int32_t sampleSize = kSample32) {
        component = module.create<IComponent>(IComponent_iid);
        if (!component) return;
        component->vtbl->initialize(component, nullptr);
        processor = queryAs<IAudioProcessor>(unknown(component), IAudioProcessor_iid);
        controller = queryAs<IEditController>(unknown(component), IEditController_iid);
        ProcessSetup setup{kRealtime, sampleSize, 4096, rate};
        processor->vtbl->setupProcessing(processor, &setup);
        component->vtbl->setActive(component, 1);
        processor->vtbl->setProcessing(processor, 1);
    }
    ~Vst3Instance() {
        if (!component) return;
        processor->vtbl->setProcessing(processor, 0);
        component->vtbl->setActive(component, 0);
        component->vtbl->terminate(component);
        release(controller);
        release(processor);
        release(component);
    }
    Vst3Instance(const Vst3Instance&) = delete;
    Vst3Instance& operator=(const Vst3Instance&) = delete;

    // Processes the frames in place in left and right, 32-bit or 64-bit samples.
    tresult process(float* left, float* right, int32_t frames, ParameterChanges* changes = nullptr,
                    int32_t sampleSize = kSample32) {
        float* channels[2] = {left, right};
        AudioBusBuffers bus{2, 0, {channels}};
        return processBuses(bus, frames, changes, sampleSize);
    }
    tresult process64(double* left, double* right, int32_t frames, ParameterChanges* changes = nullptr) {
        AudioBusBuffers bus{2, 0, {}};
        double* channels[2] = {left, right};
        bus.channelBuffers64 = channels;
        return processBuses(bus, frames, changes, kSample64);
    }
    tresult processBuses(AudioBusBuffers& bus, int32_t frames, ParameterChanges* changes, int32_t sampleSize) {
        ProcessData data{kRealtime, sampleSize, frames, 1, 1, &bus, &bus,
                         changes ? &changes->changes : nullptr, nullptr, nullptr, nullptr, nullptr};
        return processor->vtbl->process(processor, &data);
    }
    // The controller's value, as the host's setParamNormalized sets it.
    void setParameter(ParamID id, double value) {
        controller->vtbl->setParamNormalized(controller, id, value);
    }
    double parameter(ParamID id) { return controller->vtbl->getParamNormalized(controller, id); }
    // A change as a host makes it: the controller's value and a point for the processor in an
    // empty block.
    void send(ParamID id, double value) {
        setParameter(id, value);
        ParameterChanges change{{id, {{0, value}}}};
        process(nullptr, nullptr, 0, &change);
    }
    // The processor's values, as the component's state saves them.
    std::vector<float> processorValues() {
        MemoryStream saved;
        component->vtbl->getState(component, &saved.stream);
        std::vector<float> values(8);
        for (size_t i = 0; i < values.size() && saved.bytes.size() >= 40; ++i) {
            uint32_t word = 0;
            for (int b = 3; b >= 0; --b) word = word << 8 | saved.bytes[8 + 4 * i + static_cast<size_t>(b)];
            std::memcpy(&values[i], &word, 4);
        }
        return values;
    }
};
