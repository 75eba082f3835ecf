// One VST 3 instance: component, audio processor and edit controller in one object, each
// interface a record inside it that queryInterface hands out. The parameters are the same
// normalized 32-bit values as the VST 2.4 instance's, under parameter IDs 0..7, and the
// Oversampling choice under ID 8. The controller and the processor keep values of their own,
// as if they were two objects: the host carries changes from one to the other.
#pragma once

#include <algorithm>
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
#include "vst3/vst3_unit_abi.h"

// The most frames a mono block is processed in at once, through the instance's own stereo
// buffers.
constexpr int32_t monoChunkFrames = 256;

struct Vst3Plugin {
    vst3::IComponent component;  // also FUnknown and IPluginBase
    vst3::IAudioProcessor processor;
    vst3::IEditController controller;
    vst3::IUnitInfo unitInfo;  // the factory presets' program list
    vst3::IProcessContextRequirements contextRequirements;
    std::atomic<uint32_t> references;
    vst3::FUnknown* hostContext;  // given to initialize, held until terminate

    // The controller's values: what the host set with setParamNormalized, the editor's edits
    // and the last state loaded. The editor shows them; the audio never reads them.
    std::atomic<float> parameters[parameterCount];

    // The processor's own values, fed only by the host's parameter queues (audio thread);
    // published at every block's end for getState.
    float processorValues[parameterCount];
    std::atomic<float> publishedValues[parameterCount];
    // A loaded state for the processor, taken at the start of its next block. Until a block
    // has run since the last activation or setProcessing(true), no queue can reach the
    // processor: the controller's changes are handed over the same way then.
    std::atomic<float> handedOverValues[parameterCount];
    std::atomic<bool> handOverPending;
    std::atomic<bool> processorRunning;

    // Oversampling, not automatable: a new factor changes the latency. The position (0..3)
    // chosen last, by the host's setParamNormalized, a state or a queue; it runs from the
    // next activation, or from a block once a host that was asked to restart never did.
    std::atomic<int> oversamplingChoice;
    std::atomic<int> program;  // the factory preset last chosen, kept in the controller's state
    std::atomic<int> runningFactor;       // the oversampler's, for the host's threads
    std::atomic<bool> hostCanRestart;     // a component handler is set
    int64_t framesSinceChoice;            // audio thread: frames run while the two differ
    // The host's side of the latency (UI thread): what getLatencySamples last answered and
    // the (chosen, running) latencies the last restart was asked for.
    std::atomic<int32_t> reportedLatency;
    int32_t restartAskedFor[2];

    double sampleRate;
    bool active;
    int32_t channelCount;  // 2, or 1 after a mono arrangement
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
    float monoBuffers32[2][monoChunkFrames];  // the input; the right channel left unwritten
    double monoBuffers64[2][monoChunkFrames];
};

// Fixed for good: hosts store automation and presets under these.
constexpr vst3::ParamID oversamplingParameterId = 8;
static_assert(oversamplingParameterId >= static_cast<vst3::ParamID>(parameterCount));

// A list's or a stepped parameter's position as the SDK maps it: the normalized range cut
// into steps + 1 equal parts, 1 in the last; and the normalized value of a position.
inline int stepOfNormalized(double value, int steps) {
    if (!(value > 0.0)) return 0;
    return value >= 1.0 ? steps : std::min(steps, static_cast<int>(value * (steps + 1)));
}
inline double normalizedOfStep(int step, int steps) { return static_cast<double>(step) / steps; }

inline int oversamplingChoiceFromNormalized(double value) {
    return stepOfNormalized(value, oversamplingChoiceCount - 1);
}

// A host's normalized value as this plug-in keeps it: clamped, a stepped one on its step.
float parameterFromHost(int index, double value);

// Takes a new Oversampling position (any thread; the host hears of it from the UI thread).
void chooseOversampling(Vst3Plugin& plugin, int choice);
// The latency the host would read now: the running factor's while active, else the chosen's.
int32_t currentLatency(const Vst3Plugin& plugin);
// On the UI thread: asks the host to read the latency again when what it last read is not
// what runs or will run after a restart, once for each new situation.
void reportLatencyChange(Vst3Plugin& plugin);

static_assert(std::is_standard_layout_v<Vst3Plugin>);

// The class this library makes: its ID, derived from the VST 2.4 identity.
const vst3::Uid& velmoraClassId();

// The context the host gave the factory (IPluginFactory3), or null.
vst3::FUnknown* factoryHostContext();

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
inline Vst3Plugin* pluginOf(vst3::IProcessContextRequirements* self) {
    return reinterpret_cast<Vst3Plugin*>(reinterpret_cast<char*>(self) -
                                         offsetof(Vst3Plugin, contextRequirements));
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
// A loaded state: the controller's values now, the processor's at its next block.
void loadParameterValues(Vst3Plugin& plugin, const float (&values)[parameterCount]);
// A controller value the host or the editor set: the processor's too while it runs no blocks.
void setControllerParameter(Vst3Plugin& plugin, int index, float value);
// The processor's values, as getState saves them.
void processorParameterValues(const Vst3Plugin& plugin, float (&values)[parameterCount]);

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
