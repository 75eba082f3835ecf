// The editor extension: one embedded window per instance, created and destroyed as often as
// the host likes, driven by the host's timer, scaled by the host's factor and resized with
// the panel's aspect; a knob drag, double-click or wheel turn reaches the host as gesture
// begin, the values and gesture end, through the instance's event queue.
#include <cstring>

#include "clap/clap_instance.h"

namespace {

void queueEditorEvent(ClapInstance& instance, uint16_t type, int32_t parameter, float value) {
    EditorEventQueue& queue = instance.editorEvents;
    const uint32_t written = queue.written.load(std::memory_order_relaxed);
    if (written - queue.read.load(std::memory_order_acquire) >= EditorEventQueue::capacity)
        return;  // the host has not collected for a long while: dropped
    queue.events[written % EditorEventQueue::capacity] = EditorEvent{type, parameter, value};
    queue.written.store(written + 1, std::memory_order_release);
}

void requestFlush(const ClapInstance& instance) {
    if (instance.hostParams && instance.hostParams->request_flush)
        instance.hostParams->request_flush(instance.host);
}

void endGesture(ClapInstance& instance) {
    ClapEditor& editor = instance.editor;
    if (editor.gestureParameter < 0) return;
    queueEditorEvent(instance, CLAP_EVENT_PARAM_GESTURE_END, editor.gestureParameter, 0.0f);
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
        queueEditorEvent(instance, CLAP_EVENT_PARAM_GESTURE_BEGIN, index, 0.0f);
        editor.gestureParameter = index;
    }
    instance.parameters[index].store(value, std::memory_order_relaxed);
    queueEditorEvent(instance, CLAP_EVENT_PARAM_VALUE, index, value);
    requestFlush(instance);
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
    ClapEditor& editor = instance.editor;
    if (editor.window && instance.hostTimers->unregister_timer)
        instance.hostTimers->unregister_timer(instance.host, editor.timer);
    editor.timer = CLAP_INVALID_ID;
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

constexpr uint32_t framePeriodMs = 30;

bool setParent(const clap_plugin_t* plugin, const clap_window_t* window) {
    ClapInstance& instance = instanceOf(plugin);
    ClapEditor& editor = instance.editor;
    const clap_host_timer_support_t& timers = *instance.hostTimers;
    if (!editor.created || editor.window || !window || !window->api ||
        std::strcmp(window->api, clapWindowApi) != 0 || !timers.register_timer ||
        !timers.register_timer(instance.host, framePeriodMs, &editor.timer))
        return false;
    if (openClapWindow(instance, *window)) return true;
    if (timers.unregister_timer) timers.unregister_timer(instance.host, editor.timer);
    editor.timer = CLAP_INVALID_ID;
    return false;
}

bool setTransient(const clap_plugin_t*, const clap_window_t*) { return false; }
void suggestTitle(const clap_plugin_t*, const char*) {}
// The window is shown while it exists.
bool show(const clap_plugin_t* plugin) { return instanceOf(plugin).editor.window != nullptr; }
bool hide(const clap_plugin_t* plugin) { return instanceOf(plugin).editor.window != nullptr; }

void onTimer(const clap_plugin_t* plugin, clap_id timer) {
    ClapInstance& instance = instanceOf(plugin);
    if (instance.editor.window && timer == instance.editor.timer) driveClapWindow(instance, true);
}

}  // namespace

EditorView clapEditorView(ClapInstance& instance) {
    return EditorView{&instance,          readParameter,
                      changeParameter,    &instance.editor.drag,
                      &instance.editor.animationPhase, nullptr,
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
