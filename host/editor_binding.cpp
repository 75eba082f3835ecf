// The editor's view of an instance: what the editor may read and change, and nothing else.
#include <atomic>

#include "host/plugin_instance.h"

namespace {

PluginInstance& instanceIn(void* context) { return *static_cast<PluginInstance*>(context); }

float readParameter(void* context, int32_t index) {
    return loadParameter(instanceIn(context), index);
}

// The value comes clamped from the drag; it is stored and reported for automation.
void changeParameter(void* context, int32_t index, float value) {
    PluginInstance& instance = instanceIn(context);
    instance.parameters[index].store(value, std::memory_order_relaxed);
    if (instance.hostCallback)
        instance.hostCallback(&instance.effect, audioMasterAutomate, index, 0, nullptr, value);
}

// Only while the instance still shows this window: a replaced window's destruction must not
// forget the new one (or end the new one's drag).
void windowGone(void* context, void* window) {
    PluginInstance& instance = instanceIn(context);
    void* expected = window;
    if (instance.editorWindow.compare_exchange_strong(expected, nullptr, std::memory_order_relaxed))
        endDrag(instance.editorView);
}

}  // namespace

EditorView editorViewOf(PluginInstance& instance) {
    return {&instance, readParameter, changeParameter, &instance.drag, &instance.animationPhase,
            windowGone};
}
