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

// What the editor has for the host about one parameter, written by the editor (main thread)
// and read by process or flush (which the host never runs at the same time): counts of the
// gestures begun and ended and of the values, and the latest value. The reader keeps what
// the host has been told, so nothing is lost when events come faster than the host collects
// them or the host's list refuses one: only values in between are skipped.
struct PendingEdit {
    std::atomic<uint32_t> begins{0}, ends{0}, values{0};
    std::atomic<float> value{0.0f};  // normalized
    // The reader's side.
    uint32_t sentBegins = 0, sentEnds = 0, sentValues = 0;
    bool hostInGesture = false;
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
    bool windowGone = false;  // Windows: destroyed with the host's window, before destroy()
    EditorSizing sizing;  // the host's scale and the user's zoom, which the state keeps
};

// The mono layout runs the stereo engine on the one channel twice, a piece at a time.
constexpr uint32_t monoPieceFrames = 256;
template <class Sample>
struct MonoScratch {
    Sample input[2][monoPieceFrames];
    Sample output[2][monoPieceFrames];
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
    bool mono;  // the mono port configuration, chosen while inactive
    EngineState engine;
    Oversampler oversampler;
    MonoScratch<float> mono32;
    MonoScratch<double> mono64;
    PendingEdit editorEdits[parameterCount];
    ClapEditor editor;
};

inline ClapInstance& instanceOf(const clap_plugin_t* plugin) {
    return *static_cast<ClapInstance*>(plugin->plugin_data);
}

// The ids hosts keep in their projects and automation: fixed for good. The table's
// parameters have these, in the table's order; Oversampling has 8 (not automatable, as it
// changes the latency); a parameter added later takes a new id after them.
constexpr clap_id tableParameterIds[parameterCount] = {0, 1, 2, 3, 4, 5, 6, 7};
constexpr clap_id oversamplingParameterId = 8;

// The table index of a parameter id; -1 for Oversampling and unknown ids.
int tableIndexOf(clap_id id);

// Takes a new Oversampling position; while active, asks the host for the restart that
// applies it. [any thread]
void chooseOversampling(ClapInstance& instance, int choice);

// Parameter values as the host sees them: the shown units of the parameter table, and the
// position (0, 1, ...) of a stepped parameter. Both ways clamped to the parameter's range.
float normalizedFromHostValue(int index, double value);
double hostValueFromNormalized(int index, float value);

// Applies the parameter events of a list (others are skipped); for flush and process.
void applyParameterEvent(ClapInstance& instance, const clap_event_header_t& event);
// Hands what the editor has for the host to its output list, as far as the list takes it.
void sendEditorEvents(ClapInstance& instance, const clap_output_events_t* out);

// The editor's view of the instance: a drag becomes gesture begin, values and gesture end.
EditorView clapEditorView(ClapInstance& instance);
// Ends the host's gesture once the editor's drag has ended; call after every editor pump.
void finishEditorGesture(ClapInstance& instance);

// A saved state of these normalized values, Oversampling position and editor zoom, as the state
// extension writes it: what a preset load hands to the state's load.
constexpr size_t clapStateBytes = (5 + parameterCount) * 4;
void writeClapState(const float* values, int oversamplingChoice, float zoom, unsigned char* bytes);

// The factory presets: their discovery factory, and loading one by its key.
constexpr const char* clapPluginId = "com.tolvan-audio.velmora";
extern const void* const clapPresetDiscoveryFactory;
extern const void* const clapPresetLoad;

extern const clap_plugin_params_t clapParams;
extern const clap_plugin_state_t clapState;
extern const clap_plugin_gui_t clapGui;
extern const clap_plugin_timer_support_t clapTimerSupport;
extern const void* const clapPosixFdSupport;  // null where there is none

// The platform's editor window: the window API's name, and opening (as a child of the
// host's window, once the host's timer runs for it), driving and closing the editor.
extern const char* const clapWindowApi;
// The view's window-gone hook (null where the window system has none to call).
extern void (*const clapWindowGone)(void* context, void* window);
bool openClapWindow(ClapInstance& instance, const clap_window_t& parent);
void closeClapWindow(ClapInstance& instance);
void showClapWindow(ClapInstance& instance, bool shown);
void driveClapWindow(ClapInstance& instance, bool animate);
// The open window takes the size and repaints at it.
void resizeClapWindow(ClapInstance& instance, PanelSize size);
