#include "host/dispatcher.h"

#include <cmath>
#include <cstring>

#include "host/vst2_parameters.h"
#include "host/platform.h"
#include "host/plugin_instance.h"

namespace {

constexpr int nameStringBytes = 31;
constexpr int32_t highestOpcode = 51;
constexpr intptr_t cockosExtensionsAnswer = 0xbeef0000;

// Writes exactly `size` bytes: the text, cut to size - 1 characters, then zeros.
void writeFixedString(void* ptr, const char* text, size_t size) {
    char* out = static_cast<char*>(ptr);
    std::memset(out, 0, size);
    const size_t length = std::strlen(text);
    std::memcpy(out, text, length < size - 1 ? length : size - 1);
}

intptr_t canDo(const char* text) {
    if (std::strcmp(text, "hasCockosExtensions") == 0) return cockosExtensionsAnswer;
    if (std::strcmp(text, "1in2out") == 0 || std::strcmp(text, "2in2out") == 0) return 1;
    return 0;
}

// A rate that is not positive, not a number or infinite prepares for 44100 Hz.
double hostRateOrDefault(float opt) {
    const double rate = opt;
    return (rate > 0.0 && std::isfinite(rate)) ? rate : 44100.0;
}

}  // namespace

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

intptr_t dispatcher(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                    float opt) {
    PluginInstance* instance = instanceOf(effect);
    if (!instance || opcode < 0 || opcode > highestOpcode) return 0;

    switch (opcode) {
    case effClose:
        closeInstance(instance);
        return 0;
    case effGetParamLabel:
        if (!ptr || !validParameterIndex(index)) return 0;
        writeFixedString(ptr, parameterLabel(index), parameterLabelBytes);
        return 1;
    case effGetParamDisplay: {
        if (!ptr || !validParameterIndex(index)) return 0;
        char text[parameterTextBytes];
        formatParameterDisplay(index, loadParameter(*instance, index), text);
        writeFixedString(ptr, text, parameterTextBytes);
        return 1;
    }
    case effGetParamName:
        if (!ptr || !validParameterIndex(index)) return 0;
        writeFixedString(ptr, parameterName(index), parameterTextBytes);
        return 1;
    case effSetSampleRate:
        prepareInstance(*instance, hostRateOrDefault(opt));
        return 0;
    case effEditGetRect:
        if (ptr) *static_cast<ERect**>(ptr) = &instance->editorRect;
        return 1;
    case effEditOpen:
        return openEditor(*instance, ptr);
    case effEditClose:
        return closeEditor(*instance);
    case effEditIdle:
        return idleEditor(*instance);
    case effCanBeAutomated:
        return validParameterIndex(index) ? 1 : 0;
    case effGetPlugCategory:
        return kPlugCategEffect;
    case effSetBypass:
        instance->bypassed.store(value != 0, std::memory_order_relaxed);
        return 1;
    case effGetEffectName:
        if (!ptr) return 0;
        writeFixedString(ptr, "Tolvan Velmora", nameStringBytes);
        return 1;
    case effGetVendorString:
        if (!ptr) return 0;
        writeFixedString(ptr, "Tolvan Audio Technologies", nameStringBytes);
        return 1;
    case effGetProductString:
        if (!ptr) return 0;
        writeFixedString(ptr, "Tolvan Velmora Saturation", nameStringBytes);
        return 1;
    case effGetVendorVersion:
        return 1000;
    case effCanDo:
        return ptr ? canDo(static_cast<const char*>(ptr)) : 0;
    default:
        return 0;
    }
}
