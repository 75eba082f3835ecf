// Stand-in until the shared editor view of an instance lands.
#include "host/editor_view_of.h"

#include "host/plugin_instance.h"

namespace {

float readParameter(void* context, int32_t index) {
    return loadParameter(*static_cast<PluginInstance*>(context), index);
}

void changeParameter(void* context, int32_t index, float value) {
    auto& instance = *static_cast<PluginInstance*>(context);
    instance.parameters[index].store(value, std::memory_order_relaxed);
    if (instance.hostCallback)
        instance.hostCallback(&instance.effect, audioMasterAutomate, index, 0, nullptr, value);
    invalidateEditor(instance);
}

}  // namespace

EditorView editorViewOf(PluginInstance& instance) {
    return EditorView{&instance, readParameter, changeParameter, &instance.editorDrag,
                      &instance.animationPhase};
}
