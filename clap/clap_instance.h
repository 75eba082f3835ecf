// One CLAP instance: the record handed to the host, the parameters, the engine, and the
// editor with the queue that carries its gestures to the host's event lists.
#pragma once

#include <atomic>
#include <cstdint>

#include "clap/clap_abi.h"
#include "editor/editor_view.h"
#include "editor/panel_size.h"
#include "engine/engine_state.h"
#include "engine/oversampling.h"
#include "parameters/parameter_index.h"

// What the editor tells the host, in order: gesture begin, values, gesture end.
struct EditorEvent {
    uint16_t type;  // CLAP_EVENT_PARAM_VALUE or a gesture event
    int32_t parameter;
    float value;    // normalized, for value events
};

// One writer (the editor, on the main thread) and one reader (process or flush, which the
// host never runs at the same time): lock-free, nothing allocated.
struct EditorEventQueue {
    static constexpr uint32_t capacity = 256;
    EditorEvent events[capacity];
    std::atomic<uint32_t> written{0};
    std::atomic<uint32_t> read{0};
};

struct ClapEditor {
    bool created = false;
    void* window = nullptr;  // the platform's editor record while it is open
    EditorDrag drag;
    float animationPhase = 0.0f;
    EditorView view{};
    int32_t gestureParameter = -1;  // the parameter whose gesture the host was told of
    clap_id timer = CLAP_INVALID_ID;
    int fd = -1;  // the editor's display connection, watched by the host
    EditorSizing sizing;  // the host's scale and the user's zoom, which the state keeps
};

struct ClapInstance {
    clap_plugin_t plugin;  // plugin_data points back here
    const clap_host_t* host;
    const clap_host_params_t* hostParams;
    const clap_host_timer_support_t* hostTimers;
    const void* hostFds;  // clap_host_posix_fd_support_t, Linux only
    const clap_host_latency_t* hostLatency;
    std::atomic<float> parameters[parameterCount];  // normalized, read once per block
    // The Oversampling position the host chose; the oversampler takes it at activation, as
    // the latency may change only then.
    std::atomic<int> oversamplingChoice;
    double sampleRate;
    bool active;
    EngineState engine;
    Oversampler oversampler;
    EditorEventQueue editorEvents;
    ClapEditor editor;
};

inline ClapInstance& instanceOf(const clap_plugin_t* plugin) {
    return *static_cast<ClapInstance*>(plugin->plugin_data);
}

// The parameter after the table's eight; not automatable, as it changes the latency.
constexpr clap_id oversamplingParameterId = parameterCount;

// Takes a new Oversampling position; while active, asks the host for the restart that
// applies it. [any thread]
void chooseOversampling(ClapInstance& instance, int choice);

// Parameter values as the host sees them: the shown units of the parameter table, and the
// position (0, 1, ...) of a stepped parameter. Both ways clamped to the parameter's range.
float normalizedFromHostValue(int index, double value);
double hostValueFromNormalized(int index, float value);

// Applies the parameter events of a list (others are skipped); for flush and process.
void applyParameterEvent(ClapInstance& instance, const clap_event_header_t& event);
// Hands everything the editor queued to the host's output list.
void sendEditorEvents(ClapInstance& instance, const clap_output_events_t* out);

// The editor's view of the instance: a drag becomes gesture begin, values and gesture end.
EditorView clapEditorView(ClapInstance& instance);
// Ends the host's gesture once the editor's drag has ended; call after every editor pump.
void finishEditorGesture(ClapInstance& instance);

extern const clap_plugin_params_t clapParams;
extern const clap_plugin_state_t clapState;
extern const clap_plugin_gui_t clapGui;
extern const clap_plugin_timer_support_t clapTimerSupport;
extern const void* const clapPosixFdSupport;  // null where there is none

// The platform's editor window: the window API's name, and opening (as a child of the
// host's window, once the host's timer runs for it), driving and closing the editor.
extern const char* const clapWindowApi;
bool openClapWindow(ClapInstance& instance, const clap_window_t& parent);
void closeClapWindow(ClapInstance& instance);
void driveClapWindow(ClapInstance& instance, bool animate);
// The open window takes the size and repaints at it.
void resizeClapWindow(ClapInstance& instance, PanelSize size);
