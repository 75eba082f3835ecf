// The entry point: a new instance with its construction values, prepared for 44100 Hz and
// counted in the module, its AEffect filled for the host.
#include <cstring>
#include <new>

#include "host/dispatcher.h"
#include "parameters/plugin_version.h"
#include "host/vst2_parameters.h"
#include "host/platform.h"
#include "host/plugin_instance.h"
#include "host/process_entry.h"

namespace {

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
    e.uniqueID = velmoraVst2UniqueId;
    e.version = velmoraVst2Version;
    e.processReplacing = processReplacing;
}

}  // namespace

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
