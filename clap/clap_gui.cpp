// The editor extension: one embedded window per instance, created and destroyed as often as
// the host likes, driven by the host's timer, scaled by the host's factor and resized with
// the panel's aspect; a knob drag, double-click or wheel turn reaches the host as gesture
// begin, the values and gesture end, through the instance's pending edits.
#include <cstring>

#include "clap/clap_instance.h"

namespace {

void requestFlush(const ClapInstance& instance) {
    if (instance.hostParams && instance.hostParams->request_flush)
        instance.hostParams->request_flush(instance.host);
}

void endGesture(ClapInstance& instance) {
    ClapEditor& editor = instance.editor;
    if (editor.gestureParameter < 0) return;
    PendingEdit& edit = instance.editorEdits[editor.gestureParameter];
    edit.ends.store(edit.ends.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    editor.gestureParameter = -1;
    requestFlush(instance);
}

float readParameter(void* context, int32_t index) {
    return static_cast<ClapInstance*>(context)->parameters[index].load(std::memory_order_relaxed);
}

void changeParameter(void* context, int32_t index, float value) {
    ClapInstance& instance = *static_cast<ClapInstance*>(context);
    ClapEditor& editor = instance.editor;
    if (editor.gestureParameter != index) {
        endGesture(instance);
        PendingEdit& edit = instance.editorEdits[index];
        edit.begins.store(edit.begins.load(std::memory_order_relaxed) + 1, std::memory_order_release);
        editor.gestureParameter = index;
    }
    instance.parameters[index].store(value, std::memory_order_relaxed);
    PendingEdit& edit = instance.editorEdits[index];
    edit.value.store(value, std::memory_order_relaxed);
    edit.values.store(edit.values.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    requestFlush(instance);
}

constexpr uint32_t framePeriodMs = 30;

// The host's timer drives the editor while it is shown; with hostTimers set (create).
bool startEditorTimer(ClapInstance& instance) {
    ClapEditor& editor = instance.editor;
    if (editor.timer != CLAP_INVALID_ID) return true;
    const clap_host_timer_support_t& timers = *instance.hostTimers;
    if (timers.register_timer && timers.register_timer(instance.host, framePeriodMs, &editor.timer))
        return true;
    editor.timer = CLAP_INVALID_ID;
    return false;
}

void stopEditorTimer(ClapInstance& instance) {
    ClapEditor& editor = instance.editor;
    if (editor.timer != CLAP_INVALID_ID && instance.hostTimers->unregister_timer)
        instance.hostTimers->unregister_timer(instance.host, editor.timer);
    editor.timer = CLAP_INVALID_ID;
}

bool isApiSupported(const clap_plugin_t*, const char* api, bool floating) {
    return !floating && api && std::strcmp(api, clapWindowApi) == 0;
}

bool preferredApi(const clap_plugin_t*, const char** api, bool* floating) {
    if (!api || !floating) return false;
    *api = clapWindowApi;
    *floating = false;
    return true;
}

// The editor is only ever driven by the host's timer: without one there is no editor.
bool create(const clap_plugin_t* plugin, const char* api, bool floating) {
    ClapInstance& instance = instanceOf(plugin);
    if (!isApiSupported(plugin, api, floating) || instance.editor.created || !instance.hostTimers)
        return false;
    instance.editor.created = true;
    return true;
}

void destroy(const clap_plugin_t* plugin) {
    ClapInstance& instance = instanceOf(plugin);
    if (!instance.editor.created) return;
    stopEditorTimer(instance);
    closeClapWindow(instance);
    instance.editor.drag = EditorDrag{};
    endGesture(instance);
    instance.editor.created = false;
}

// Win32 and X11 are physical-pixel APIs: the host's factor multiplies the panel.
bool setScale(const clap_plugin_t* plugin, double scale) {
    if (!(scale > 0.0 && scale <= 16.0)) return false;
    ClapInstance& instance = instanceOf(plugin);
    instance.editor.sizing.hostScale = scale;
    resizeClapWindow(instance, editorSizeOf(instance.editor.sizing));
    return true;
}

bool getSize(const clap_plugin_t* plugin, uint32_t* width, uint32_t* height) {
    if (!width || !height) return false;
    const PanelSize size = editorSizeOf(instanceOf(plugin).editor.sizing);
    *width = size.width;
    *height = size.height;
    return true;
}

bool canResize(const clap_plugin_t*) { return true; }

bool resizeHints(const clap_plugin_t*, clap_gui_resize_hints_t* hints) {
    if (!hints) return false;
    *hints = clap_gui_resize_hints_t{true, true, true, panelWidth, panelHeight};
    return true;
}

bool adjustSize(const clap_plugin_t*, uint32_t* width, uint32_t* height) {
    if (!width || !height) return false;
    const PanelSize size = nearestPanelSize(*width, *height);
    *width = size.width;
    *height = size.height;
    return true;
}

// A size off the aspect or the range gets the nearest one that is on them.
bool setSize(const clap_plugin_t* plugin, uint32_t width, uint32_t height) {
    ClapInstance& instance = instanceOf(plugin);
    const PanelSize size = nearestPanelSize(width, height);
    chooseEditorSize(instance.editor.sizing, size);
    resizeClapWindow(instance, size);
    return true;
}

bool setParent(const clap_plugin_t* plugin, const clap_window_t* window) {
    ClapInstance& instance = instanceOf(plugin);
    ClapEditor& editor = instance.editor;
    // Only a created editor has the host's timers to read.
    if (!editor.created || editor.window || !window || !window->api ||
        std::strcmp(window->api, clapWindowApi) != 0 || !startEditorTimer(instance))
        return false;
    if (openClapWindow(instance, *window)) return true;
    stopEditorTimer(instance);
    return false;
}

bool setTransient(const clap_plugin_t*, const clap_window_t*) { return false; }
void suggestTitle(const clap_plugin_t*, const char*) {}
// Hidden, the window is unmapped and nothing paints it until it is shown again.
bool show(const clap_plugin_t* plugin) {
    ClapInstance& instance = instanceOf(plugin);
    if (!instance.editor.window || !startEditorTimer(instance)) return false;
    showClapWindow(instance, true);
    return true;
}

bool hide(const clap_plugin_t* plugin) {
    ClapInstance& instance = instanceOf(plugin);
    if (!instance.editor.window) return false;
    showClapWindow(instance, false);
    stopEditorTimer(instance);
    return true;
}

void onTimer(const clap_plugin_t* plugin, clap_id timer) {
    ClapInstance& instance = instanceOf(plugin);
    if (instance.editor.window && timer == instance.editor.timer) driveClapWindow(instance, true);
}

}  // namespace

EditorView clapEditorView(ClapInstance& instance) {
    return EditorView{&instance,          readParameter,
                      changeParameter,    &instance.editor.drag,
                      &instance.editor.animationPhase, clapWindowGone,
                      true};
}

void finishEditorGesture(ClapInstance& instance) {
    if (instance.editor.gestureParameter >= 0 && instance.editor.drag.index != instance.editor.gestureParameter)
        endGesture(instance);
}

const clap_plugin_gui_t clapGui = {isApiSupported, preferredApi, create,     destroy,
                                   setScale,       getSize,      canResize,  resizeHints,
                                   adjustSize,     setSize,      setParent,  setTransient,
                                   suggestTitle,   show,         hide};

const clap_plugin_timer_support_t clapTimerSupport = {onTimer};
