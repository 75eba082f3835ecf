// One VST 3 instance: component, audio processor and edit controller in one object, each
// interface a record inside it that queryInterface hands out. The parameters are the same
// normalized 32-bit values as the VST 2.4 instance's, under parameter IDs 0..7, and the
// Oversampling choice under ID 8.
#pragma once

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "editor/editor_view.h"
#include "editor/panel_size.h"
#include "engine/engine_state.h"
#include "engine/oversampling.h"
#include "parameters/parameter_index.h"
#include "parameters/parameter_set.h"
#include "parameters/plugin_version.h"
#include "vst3/vst3_abi.h"

struct Vst3Plugin {
    vst3::IComponent component;  // also FUnknown and IPluginBase
    vst3::IAudioProcessor processor;
    vst3::IEditController controller;
    std::atomic<uint32_t> references;

    // Written by the host's controller calls, the editor and the processor's queues, read
    // once per block: relaxed atomics, plain loads and stores.
    std::atomic<float> parameters[parameterCount];
    // The Oversampling position (0..3) as last set; the oversampler takes it while inactive
    // or at the start of a block.
    std::atomic<int> oversamplingChoice;
    double sampleRate;
    bool active;
    vst3::IComponentHandler* componentHandler;  // held while set

    // The editor's share: the view the panel reads and drives, the drag and the glow's phase,
    // and the parameter of the edit reported with beginEdit (-1 for none).
    EditorView editorView;
    EditorDrag drag;
    float animationPhase;
    int32_t editedParameter;
    EditorSizing editorSizing;  // the host's content scale and the user's zoom (controller state)

    EngineState engine;
    Oversampler oversampler;
};

// Not automatable: a new factor changes the latency.
constexpr vst3::ParamID oversamplingParameterId = parameterCount;

inline int oversamplingChoiceFromNormalized(double value) {
    constexpr int last = oversamplingChoiceCount - 1;
    return value > 0.0 ? static_cast<int>(std::nearbyint((value < 1.0 ? value : 1.0) * last)) : 0;
}

// Takes a new Oversampling position; `tellHost` (on the host's UI thread only) asks the host
// to read the latency again when the position changed.
void chooseOversampling(Vst3Plugin& plugin, int choice, bool tellHost);

static_assert(std::is_standard_layout_v<Vst3Plugin>);

// The class this library makes: its ID, derived from the VST 2.4 identity.
const vst3::Uid& velmoraClassId();

// A new instance holding one reference; null when out of memory.
Vst3Plugin* createVst3Plugin();

inline Vst3Plugin* pluginOf(vst3::IComponent* self) {
    return reinterpret_cast<Vst3Plugin*>(reinterpret_cast<char*>(self) -
                                         offsetof(Vst3Plugin, component));
}
inline Vst3Plugin* pluginOf(vst3::IAudioProcessor* self) {
    return reinterpret_cast<Vst3Plugin*>(reinterpret_cast<char*>(self) -
                                         offsetof(Vst3Plugin, processor));
}
inline Vst3Plugin* pluginOf(vst3::IEditController* self) {
    return reinterpret_cast<Vst3Plugin*>(reinterpret_cast<char*>(self) -
                                         offsetof(Vst3Plugin, controller));
}

// FUnknown on the whole object, whichever interface it is reached through.
vst3::tresult queryPlugin(Vst3Plugin* plugin, const char* iid, void** object);
uint32_t addPluginReference(Vst3Plugin* plugin);
uint32_t releasePlugin(Vst3Plugin* plugin);

inline float loadParameter(const Vst3Plugin& plugin, int index) {
    return plugin.parameters[index].load(std::memory_order_relaxed);
}
inline void storeParameter(Vst3Plugin& plugin, int index, float value) {
    plugin.parameters[index].store(clampParameter(value), std::memory_order_relaxed);
}

// The interface tables, one per file.
extern const vst3::IComponentVtbl componentTable;
extern const vst3::IAudioProcessorVtbl processorTable;
extern const vst3::IEditControllerVtbl controllerTable;

// The editor view over the instance (vst3_view_*.cpp); null when the platform has none.
vst3::IPlugView* createVst3View(Vst3Plugin* plugin);
// The editor's view of the instance: changes go to the host as edits (vst3_controller.cpp).
EditorView vst3EditorViewOf(Vst3Plugin& plugin);
// Sends endEdit for a drag the editor has finished.
void finishEditorEdit(Vst3Plugin& plugin);
