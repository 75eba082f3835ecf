// What the dispatcher, the entry point and the library's attach and detach handling share
// of an instance and of the module: preparation, the editor's open, close and idle, the close
// sequence and the module-wide state.
#include "host/plugin_instance.h"

#include "host/platform.h"

ModuleState moduleState;

void prepareInstance(PluginInstance& instance, double rate) {
    instance.sampleRate = prepareEngine(instance.engine, rate);
}

void* liveEditorWindow(const PluginInstance& instance) {
    void* window = instance.editorWindow.load(std::memory_order_relaxed);
    return window && platform->isWindow(window) ? window : nullptr;
}

void invalidateEditor(PluginInstance& instance) {
    if (void* window = liveEditorWindow(instance)) platform->invalidateWindow(window);
}

intptr_t openEditor(PluginInstance& instance, void* parent) {
    if (!platform->hasEditor) return 0;
    {
        std::lock_guard<std::mutex> guard(moduleState.lock);
        if (!moduleState.editorClassRegistered) {
            platform->registerEditorClass(moduleState.moduleHandle);
            moduleState.editorClassRegistered = true;
        }
    }
    // An editor still open is replaced: destroy it first so no child window is orphaned
    // and its WM_DESTROY cannot clear the new handle.
    closeEditor(instance);
    void* window =
        platform->createEditorWindow(&instance.editorView, parent, moduleState.moduleHandle);
    instance.editorWindow.store(window, std::memory_order_relaxed);
    return window ? 1 : 0;
}

intptr_t closeEditor(PluginInstance& instance) {
    if (void* window = liveEditorWindow(instance)) {
        platform->destroyWindow(window);
        instance.editorWindow.store(nullptr, std::memory_order_relaxed);
    }
    return 1;
}

intptr_t idleEditor(PluginInstance& instance) {
    if (void* window = liveEditorWindow(instance)) {
        advanceAnimation(instance.editorView);
        platform->invalidateWindow(window);
        platform->idleWindow(window);
    }
    return 0;
}

void closeInstance(PluginInstance* instance) {
    closeEditor(*instance);
    {
        std::lock_guard<std::mutex> guard(moduleState.lock);
        if (--moduleState.instanceCount == 0 && moduleState.gdiplusToken != 0) {
            platform->shutdownGdiplus(moduleState.gdiplusToken);
            moduleState.gdiplusToken = 0;
        }
    }
    delete instance;
}

void moduleAttach(void* moduleHandle) {
    moduleState.moduleHandle = moduleHandle;
    platform->disableThreadLibraryCalls(moduleHandle);
}

// GDI+ is not shut down here: its shutdown waits on its own thread, which cannot run
// under the loader lock that the detach handler holds. A process that unloads the library
// with instances still open leaves GDI+ to the process.
void moduleDetach() {
    if (moduleState.editorClassRegistered && moduleState.moduleHandle) {
        platform->unregisterEditorClass(moduleState.moduleHandle);
        moduleState.editorClassRegistered = false;
    }
}
