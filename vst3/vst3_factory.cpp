// The module's entry points and its factory, which describes and makes the one class.
#include <atomic>
#include <cstring>

#include "vst3/vst3_identity.h"
#include "vst3/vst3_plugin.h"

#ifdef _WIN32
#define VELMORA_VST3_EXPORT extern "C"
#else
#define VELMORA_VST3_EXPORT extern "C" __attribute__((visibility("default")))
#endif

using namespace vst3;

namespace {

using namespace vst3identity;

constexpr Uid classId = makeUid(classWords.words[0], classWords.words[1], classWords.words[2], classWords.words[3]);

template <size_t N>
void copyText(char (&to)[N], const char* from) {
    std::memset(to, 0, N);
    std::strncpy(to, from, N - 1);
}

template <size_t N>
void copyText(char16_t (&to)[N], const char* from) {
    std::memset(to, 0, sizeof to);
    for (size_t i = 0; i + 1 < N && from[i]; ++i) to[i] = static_cast<unsigned char>(from[i]);
}

template <typename Info>
void fillClassInfo(Info& info) {
    std::memcpy(info.cid, classId.bytes, sizeof info.cid);
    info.cardinality = kManyInstances;
    copyText(info.category, kVstAudioEffectClass);
    copyText(info.name, velmoraPluginName);
}

template <typename Info>
void fillClassInfoDetails(Info& info) {
    fillClassInfo(info);
    info.classFlags = 0;
    copyText(info.subCategories, subCategories);
    copyText(info.vendor, velmoraVendorName);
    copyText(info.version, VELMORA_VERSION_TEXT);
    copyText(info.sdkVersion, sdkVersionText);
}

std::atomic<uint32_t> factoryReferences{0};
FUnknown* factoryContext = nullptr;  // IPluginFactory3's host context, held until the last release

tresult VELMORA_VST3_CALL factoryQueryInterface(IPluginFactory* self, const TUID iid, void** object) {
    if (!object) return kInvalidArgument;
    if (iid && (sameUid(iid, FUnknown_iid) || sameUid(iid, IPluginFactory_iid) ||
                sameUid(iid, IPluginFactory2_iid) || sameUid(iid, IPluginFactory3_iid))) {
        self->vtbl->addRef(self);
        *object = self;
        return kResultOk;
    }
    *object = nullptr;
    return kNoInterface;
}

// The factory is static: the count is kept for the host's sake and nothing is freed.
uint32_t VELMORA_VST3_CALL factoryAddRef(IPluginFactory*) { return ++factoryReferences; }
uint32_t VELMORA_VST3_CALL factoryRelease(IPluginFactory*) {
    uint32_t count = factoryReferences.load();
    while (count > 0 && !factoryReferences.compare_exchange_weak(count, count - 1)) {
    }
    if (count == 1) holdReference(factoryContext, static_cast<FUnknown*>(nullptr));
    return count > 0 ? count - 1 : 0;
}

tresult VELMORA_VST3_CALL getFactoryInfo(IPluginFactory*, PFactoryInfo* info) {
    if (!info) return kInvalidArgument;
    copyText(info->vendor, velmoraVendorName);
    copyText(info->url, "");
    copyText(info->email, "");
    info->flags = kFactoryUnicode;
    return kResultOk;
}

int32_t VELMORA_VST3_CALL countClasses(IPluginFactory*) { return 1; }

tresult VELMORA_VST3_CALL getClassInfo(IPluginFactory*, int32_t index, PClassInfo* info) {
    if (!info || index != 0) return kInvalidArgument;
    fillClassInfo(*info);
    return kResultOk;
}

tresult VELMORA_VST3_CALL getClassInfo2(IPluginFactory*, int32_t index, PClassInfo2* info) {
    if (!info || index != 0) return kInvalidArgument;
    fillClassInfoDetails(*info);
    return kResultOk;
}

tresult VELMORA_VST3_CALL getClassInfoUnicode(IPluginFactory*, int32_t index, PClassInfoW* info) {
    if (!info || index != 0) return kInvalidArgument;
    fillClassInfoDetails(*info);
    return kResultOk;
}

tresult VELMORA_VST3_CALL createInstance(IPluginFactory*, FIDString cid, FIDString iid,
                                         void** object) {
    if (!object) return kInvalidArgument;
    *object = nullptr;
    if (!cid || !iid) return kInvalidArgument;
    if (!sameUid(cid, classId)) return kNoInterface;
    Vst3Plugin* plugin = createVst3Plugin();
    if (!plugin) return kOutOfMemory;
    const tresult result = queryPlugin(plugin, iid, object);
    releasePlugin(plugin);  // the creation's own reference: frees the instance on failure
    return result;
}

// On the host's UI thread, before or between instances: the editors may take the run loop.
tresult VELMORA_VST3_CALL setHostContext(IPluginFactory*, FUnknown* context) {
    holdReference(factoryContext, context);
    return kResultOk;
}

const IPluginFactoryVtbl factoryTable = {
    factoryQueryInterface, factoryAddRef, factoryRelease,      getFactoryInfo, countClasses,
    getClassInfo,          createInstance, getClassInfo2, getClassInfoUnicode, setHostContext,
};

IPluginFactory factory{&factoryTable};

}  // namespace

const Uid& velmoraClassId() { return classId; }

FUnknown* factoryHostContext() { return factoryContext; }

VELMORA_VST3_EXPORT IPluginFactory* VELMORA_VST3_CALL GetPluginFactory() {
    factory.vtbl->addRef(&factory);
    return &factory;
}

// Nothing module-wide needs setting up or tearing down; the hosts call these all the same.
#ifdef _WIN32
VELMORA_VST3_EXPORT bool InitDll() { return true; }
VELMORA_VST3_EXPORT bool ExitDll() { return true; }
#else
VELMORA_VST3_EXPORT bool ModuleEntry(void*) { return true; }
VELMORA_VST3_EXPORT bool ModuleExit() { return true; }
#endif
