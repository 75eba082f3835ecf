// The per-instance record handed to the host, and the module-wide state shared by all
// instances of one loaded library.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <type_traits>

#include "engine/engine_state.h"
#include "parameters/parameter_index.h"
#include "editor/editor_view.h"
#include "host/vst2_abi.h"

struct PluginInstance {
    AEffect effect;  // first, so the instance and its AEffect share one address
    audioMasterCallback hostCallback;
    // Written by the host and the editor, read once per block by the audio thread:
    // relaxed atomics, which compile to plain loads and stores.
    std::atomic<float> parameters[parameterCount];
    double sampleRate;
    std::atomic<bool> bypassed;
    std::atomic<void*> editorWindow;
    ERect editorRect;
    EditorDrag drag;
    float animationPhase;
    EditorView editorView;  // the editor's view of this instance, made at construction
    EngineState engine;
};

static_assert(std::is_standard_layout_v<PluginInstance>);
static_assert(offsetof(PluginInstance, effect) == 0);
static_assert(std::atomic<float>::is_always_lock_free && sizeof(std::atomic<float>) == 4);
static_assert(std::atomic<bool>::is_always_lock_free && sizeof(std::atomic<bool>) == 1);

struct ModuleState {
    void* moduleHandle = nullptr;
    int32_t instanceCount = 0;
    uintptr_t gdiplusToken = 0;
    bool editorClassRegistered = false;
    // Scanners create and close instances on several threads at once; the audio path
    // never takes this.
    std::mutex lock;
};

extern ModuleState moduleState;

inline PluginInstance* instanceOf(AEffect* effect) {
    return effect ? static_cast<PluginInstance*>(effect->object) : nullptr;
}

inline float loadParameter(const PluginInstance& instance, int index) {
    return instance.parameters[index].load(std::memory_order_relaxed);
}

extern "C" AEffect* VSTPluginMain(audioMasterCallback hostCallback);

// The close sequence of effClose: destroys an open editor, counts the instance out, shuts
// GDI+ down after the last one and frees the record.
void closeInstance(PluginInstance* instance);

// The library's attach and detach handling, called by DllMain on Windows.
void moduleAttach(void* moduleHandle);
void moduleDetach();

// Prepares the engine and records the rate it used.
void prepareInstance(PluginInstance& instance, double rate);

// The editor window while it is open and still alive, otherwise null.
void* liveEditorWindow(const PluginInstance& instance);

// Repaints an open editor window, if any.
void invalidateEditor(PluginInstance& instance);

// The editor's share of the dispatcher: open it as a child of the host's window (1 if the
// window was made), close it, and advance and repaint it on the host's idle call.
intptr_t openEditor(PluginInstance& instance, void* parent);
intptr_t closeEditor(PluginInstance& instance);
intptr_t idleEditor(PluginInstance& instance);

// The editor's view of the instance: its parameters, the host's automation, the drag
// state and the animation phase.
EditorView editorViewOf(PluginInstance& instance);
