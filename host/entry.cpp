// The entry point, the instance's construction and teardown, and the attach and detach
// handling of the library.
#include <cstring>
#include <new>

#include "host/dispatcher.h"
#include "parameters/plugin_version.h"
#include "host/vst2_parameters.h"
#include "host/platform.h"
#include "host/plugin_instance.h"
#include "host/process_entry.h"

#ifdef _WIN32
#define VELMORA_EXPORT
#else
#define VELMORA_EXPORT __attribute__((visibility("default")))
#endif

ModuleState moduleState;

namespace {

constexpr int32_t velmoraUniqueId = 0x56454C4D;  // 'VELM'
constexpr double constructionRate = 44100.0;

void fillEffect(PluginInstance& instance) {
    AEffect& e = instance.effect;
    std::memset(&e, 0, sizeof e);
    e.magic = kEffectMagic;
    e.dispatcher = dispatcher;
    e.process = processReplacing;  // replaces, never accumulates
    e.setParameter = setParameter;
    e.getParameter = getParameter;
    e.numPrograms = 1;
    e.numParams = parameterCount;
    e.numInputs = 2;
    e.numOutputs = 2;
    e.flags = effFlagsCanReplacing | (platform->hasEditor ? effFlagsHasEditor : 0);
    e.object = &instance;
    e.uniqueID = velmoraUniqueId;
    e.version = velmoraVst2Version;
    e.processReplacing = processReplacing;
}

}  // namespace

void prepareInstance(PluginInstance& instance, double rate) {
    instance.sampleRate = prepareEngine(instance.engine, rate);
}

void* liveEditorWindow(const PluginInstance& instance) {
    void* window = instance.editorWindow.load(std::memory_order_relaxed);
    return window && platform->isWindow(window) ? window : nullptr;
}

void invalidateEditor(PluginInstance& instance) {
    if (void* window = liveEditorWindow(instance)) platform->invalidateWindow(window);
}

extern "C" VELMORA_EXPORT AEffect* VSTPluginMain(
    audioMasterCallback hostCallback) {
    if (!hostCallback) return nullptr;
    PluginInstance* instance = new (std::nothrow) PluginInstance{};
    if (!instance) return nullptr;

    instance->hostCallback = hostCallback;
    instance->bypassed.store(false, std::memory_order_relaxed);
    instance->sampleRate = constructionRate;
    instance->editorWindow.store(nullptr, std::memory_order_relaxed);
    instance->editorRect = ERect{0, 0, static_cast<int16_t>(panelHeight),
                                 static_cast<int16_t>(panelWidth)};
    instance->drag = EditorDrag{};
    instance->animationPhase = 0.0f;
    instance->editorView = editorViewOf(*instance);
    instance->engine = EngineState{};

    {
        std::lock_guard<std::mutex> guard(moduleState.lock);
        if (moduleState.instanceCount++ == 0) platform->startGdiplus(&moduleState.gdiplusToken);
    }

    prepareInstance(*instance, constructionRate);
    for (int i = 0; i < parameterCount; ++i)
        instance->parameters[i].store(parameterDefaults[i], std::memory_order_relaxed);
    fillEffect(*instance);
    return &instance->effect;
}

void closeInstance(PluginInstance* instance) {
    closeEditor(*instance);
    {
        std::lock_guard<std::mutex> guard(moduleState.lock);
        if (--moduleState.instanceCount == 0 && moduleState.gdiplusToken != 0) {
            platform->shutdownGdiplus(moduleState.gdiplusToken);
            moduleState.gdiplusToken = 0;
        }
    }
    delete instance;
}

void moduleAttach(void* moduleHandle) {
    moduleState.moduleHandle = moduleHandle;
    platform->disableThreadLibraryCalls(moduleHandle);
}

// GDI+ is not shut down here: its shutdown waits on its own thread, which cannot run
// under the loader lock that the detach handler holds. A process that unloads the library
// with instances still open leaves GDI+ to the process.
void moduleDetach() {
    if (moduleState.editorClassRegistered && moduleState.moduleHandle) {
        platform->unregisterEditorClass(moduleState.moduleHandle);
        moduleState.editorClassRegistered = false;
    }
}
