// The edit controller: parameter descriptions, texts and values for the host, its own state,
// the host's component handler, the editor view and the editor's edits.
#include <cstring>

#include "parameters/parameter_set.h"
#include "vst3/vst3_plugin.h"
#include "vst3/vst3_state.h"

using namespace vst3;

namespace {

bool validId(ParamID id) { return id < static_cast<ParamID>(parameterCount); }

void copyText(String128 to, const char* from) {
    std::memset(to, 0, sizeof(String128));
    for (int i = 0; i < 127 && from[i]; ++i) to[i] = static_cast<unsigned char>(from[i]);
}

// A host's UTF-16 text as the ASCII the display texts are written in, the multiplication
// sign of "4×" read as x; false for anything longer or outside ASCII.
bool asciiText(const TChar* string, char (&text)[128]) {
    constexpr TChar multiplicationSign = 0xD7;
    for (int i = 0; i < 128; ++i) {
        if (string[i] > 0x7E && string[i] != multiplicationSign) return false;
        text[i] = string[i] == multiplicationSign ? 'x' : static_cast<char>(string[i]);
        if (!string[i]) return true;
    }
    return false;
}

// IEditController.

tresult VELMORA_VST3_CALL controllerQuery(IEditController* self, const TUID iid, void** object) {
    return queryPlugin(pluginOf(self), iid, object);
}
uint32_t VELMORA_VST3_CALL controllerAddRef(IEditController* self) {
    return addPluginReference(pluginOf(self));
}
uint32_t VELMORA_VST3_CALL controllerRelease(IEditController* self) {
    return releasePlugin(pluginOf(self));
}

tresult VELMORA_VST3_CALL controllerInitialize(IEditController* self, FUnknown* context) {
    return componentTable.initialize(&pluginOf(self)->component, context);
}
tresult VELMORA_VST3_CALL controllerTerminate(IEditController* self) {
    return componentTable.terminate(&pluginOf(self)->component);
}

// The component's state carries every parameter; the controller takes it as the component
// does (one object, one set of values).
tresult VELMORA_VST3_CALL setComponentState(IEditController* self, IBStream* stream) {
    return componentTable.setState(&pluginOf(self)->component, stream);
}

tresult VELMORA_VST3_CALL controllerSetState(IEditController*, IBStream* stream) {
    return readControllerState(stream) ? kResultOk : kResultFalse;
}

tresult VELMORA_VST3_CALL controllerGetState(IEditController*, IBStream* stream) {
    return writeControllerState(stream) ? kResultOk : kResultFalse;
}

int32_t VELMORA_VST3_CALL getParameterCount(IEditController*) { return parameterCount + 1; }

tresult VELMORA_VST3_CALL getParameterInfo(IEditController*, int32_t index, ParameterInfo* info) {
    if (info && index == static_cast<int32_t>(oversamplingParameterId)) {
        std::memset(info, 0, sizeof *info);
        info->id = oversamplingParameterId;
        copyText(info->title, oversamplingName);
        copyText(info->shortTitle, oversamplingName);
        info->stepCount = oversamplingChoiceCount - 1;
        info->unitId = kRootUnitId;
        info->flags = kParameterIsList;
        return kResultOk;
    }
    if (!info || !validParameterIndex(index)) return kInvalidArgument;
    std::memset(info, 0, sizeof *info);
    info->id = static_cast<ParamID>(index);
    const ParameterSpec& spec = parameterTable[index];
    copyText(info->title, spec.name);
    copyText(info->shortTitle, spec.name);
    copyText(info->units, spec.unit);
    info->stepCount = spec.steps;
    info->defaultNormalizedValue = parameterDefaults[index];
    info->unitId = kRootUnitId;
    info->flags = kParameterCanAutomate | (spec.isBypass ? kParameterIsBypass : 0);
    return kResultOk;
}

tresult VELMORA_VST3_CALL getParamStringByValue(IEditController*, ParamID id, ParamValue value,
                                                TChar* string) {
    if (string && id == oversamplingParameterId) {
        char text[parameterTextBytes];
        formatOversamplingChoice(oversamplingChoiceFromNormalized(value), text, sizeof text);
        copyText(string, text);
        return kResultOk;
    }
    if (!string || !validId(id)) return kInvalidArgument;
    char text[parameterTextBytes];
    formatParameterDisplay(static_cast<int>(id), clampParameter(static_cast<float>(value)), text,
                           TextConvention::newerFormats);
    copyText(string, text);
    return kResultOk;
}

tresult VELMORA_VST3_CALL getParamValueByString(IEditController*, ParamID id, TChar* string,
                                                ParamValue* value) {
    if (!string || !value || (!validId(id) && id != oversamplingParameterId)) return kInvalidArgument;
    char text[128];
    int choice = 0;
    if (id == oversamplingParameterId) {
        if (!asciiText(string, text) || !parseOversamplingText(text, &choice)) return kResultFalse;
        *value = static_cast<double>(choice) / (oversamplingChoiceCount - 1);
        return kResultOk;
    }
    float normalized = 0.0f;
    if (!asciiText(string, text) || !parseParameterText(parameterTable[id], text, &normalized,
                                                     TextConvention::newerFormats))
        return kResultFalse;
    *value = normalized;
    return kResultOk;
}

// Oversampling's plain value is its position, 0..3.
ParamValue VELMORA_VST3_CALL normalizedParamToPlain(IEditController*, ParamID id, ParamValue value) {
    if (id == oversamplingParameterId) return oversamplingChoiceFromNormalized(value);
    return validId(id) ? shownFromNormalized(parameterTable[id], static_cast<float>(value)) : value;
}

ParamValue VELMORA_VST3_CALL plainParamToNormalized(IEditController*, ParamID id, ParamValue plain) {
    if (id == oversamplingParameterId)
        return oversamplingChoiceFromNormalized(plain / (oversamplingChoiceCount - 1)) /
               static_cast<double>(oversamplingChoiceCount - 1);
    return validId(id) ? normalizedFromShown(parameterTable[id], static_cast<float>(plain)) : plain;
}

ParamValue VELMORA_VST3_CALL getParamNormalized(IEditController* self, ParamID id) {
    if (id == oversamplingParameterId)
        return pluginOf(self)->oversamplingChoice.load(std::memory_order_relaxed) /
               static_cast<double>(oversamplingChoiceCount - 1);
    return validId(id) ? loadParameter(*pluginOf(self), static_cast<int>(id)) : 0.0;
}

tresult VELMORA_VST3_CALL setParamNormalized(IEditController* self, ParamID id, ParamValue value) {
    if (id == oversamplingParameterId) {
        chooseOversampling(*pluginOf(self), oversamplingChoiceFromNormalized(value), true);
        return kResultOk;
    }
    if (!validId(id)) return kInvalidArgument;
    storeParameter(*pluginOf(self), static_cast<int>(id), static_cast<float>(value));
    return kResultOk;
}

tresult VELMORA_VST3_CALL setComponentHandler(IEditController* self, IComponentHandler* handler) {
    holdReference(pluginOf(self)->componentHandler, handler);
    return kResultOk;
}

IPlugView* VELMORA_VST3_CALL createView(IEditController* self, FIDString name) {
    if (!name || std::strcmp(name, kEditorViewType) != 0) return nullptr;
    return createVst3View(pluginOf(self));
}

// The editor's view: a drag's changes reach the host as one edit per parameter.

Vst3Plugin& pluginIn(void* context) { return *static_cast<Vst3Plugin*>(context); }

float readParameter(void* context, int32_t index) { return loadParameter(pluginIn(context), index); }

void changeParameter(void* context, int32_t index, float value) {
    Vst3Plugin& plugin = pluginIn(context);
    storeParameter(plugin, index, value);
    IComponentHandler* handler = plugin.componentHandler;
    if (plugin.editedParameter != index) {
        finishEditorEdit(plugin);
        plugin.editedParameter = index;
        if (handler) handler->vtbl->beginEdit(handler, static_cast<ParamID>(index));
    }
    if (handler) handler->vtbl->performEdit(handler, static_cast<ParamID>(index), value);
}

}  // namespace

void chooseOversampling(Vst3Plugin& plugin, int choice, bool tellHost) {
    const int previous = plugin.oversamplingChoice.exchange(choice, std::memory_order_relaxed);
    if (tellHost && choice != previous && plugin.componentHandler)
        plugin.componentHandler->vtbl->restartComponent(plugin.componentHandler, kLatencyChanged);
}

void finishEditorEdit(Vst3Plugin& plugin) {
    if (plugin.editedParameter < 0) return;
    if (IComponentHandler* handler = plugin.componentHandler)
        handler->vtbl->endEdit(handler, static_cast<ParamID>(plugin.editedParameter));
    plugin.editedParameter = -1;
}

EditorView vst3EditorViewOf(Vst3Plugin& plugin) {
    return {&plugin, readParameter, changeParameter, &plugin.drag, &plugin.animationPhase, nullptr};
}

const IEditControllerVtbl controllerTable = {
    controllerQuery,        controllerAddRef,       controllerRelease,
    controllerInitialize,   controllerTerminate,    setComponentState,
    controllerSetState,     controllerGetState,     getParameterCount,
    getParameterInfo,       getParamStringByValue,  getParamValueByString,
    normalizedParamToPlain, plainParamToNormalized, getParamNormalized,
    setParamNormalized,     setComponentHandler,    createView,
};
