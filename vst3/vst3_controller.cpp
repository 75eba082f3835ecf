// The edit controller: parameter descriptions, texts and values for the host, its own state,
// the host's component handler, the editor view and the editor's edits.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "parameters/parameter_set.h"
#include "vst3/vst3_plugin.h"
#include "vst3/vst3_state.h"
#include "vst3/vst3_units.h"

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

// The component's state carries every parameter: the controller takes its values (the
// processor had its own from the component's setState).
tresult VELMORA_VST3_CALL setComponentState(IEditController* self, IBStream* stream) {
    Vst3Plugin& plugin = *pluginOf(self);
    float values[parameterCount];
    int choice = 0;
    if (!readComponentState(stream, values, &choice)) return kResultFalse;
    for (int i = 0; i < parameterCount; ++i) storeParameter(plugin, i, values[i]);
    chooseOversampling(plugin, choice);
    reportLatencyChange(plugin);
    return kResultOk;
}

// The controller's own state: the preset last chosen and the editor's zoom; an open editor
// is not resized by it (its next opening is), as only the host may resize the frame it sits in.
tresult VELMORA_VST3_CALL controllerSetState(IEditController* self, IBStream* stream) {
    ControllerSettings settings;
    if (!readControllerState(stream, &settings)) return kResultFalse;
    Vst3Plugin& plugin = *pluginOf(self);
    plugin.program.store(settings.program, std::memory_order_relaxed);
    plugin.editorSizing.zoom = savedZoomOrDefault(settings.editorZoom);
    return kResultOk;
}

tresult VELMORA_VST3_CALL controllerGetState(IEditController* self, IBStream* stream) {
    const Vst3Plugin& plugin = *pluginOf(self);
    const ControllerSettings settings{plugin.program.load(std::memory_order_relaxed),
                                      static_cast<float>(plugin.editorSizing.zoom)};
    return writeControllerState(stream, settings) ? kResultOk : kResultFalse;
}

// Oversampling, then the preset list's program-change parameter.
int32_t VELMORA_VST3_CALL getParameterCount(IEditController*) { return parameterCount + 2; }

tresult VELMORA_VST3_CALL getParameterInfo(IEditController*, int32_t index, ParameterInfo* info) {
    if (info && index == static_cast<int32_t>(programParameterId)) return describeProgramParameter(*info), kResultOk;
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
    if (string && id == programParameterId) return programText(value, string) ? kResultOk : kInvalidArgument;
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
    if (string && value && id == programParameterId) return programValueOfText(string, value) ? kResultOk : kResultFalse;
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
    if (id == programParameterId) return programFromNormalized(value);
    if (id == oversamplingParameterId) return oversamplingChoiceFromNormalized(value);
    return validId(id) ? shownFromNormalized(parameterTable[id], static_cast<float>(value)) : value;
}

ParamValue VELMORA_VST3_CALL plainParamToNormalized(IEditController*, ParamID id, ParamValue plain) {
    if (id == programParameterId) return normalizedFromProgramPlain(plain);
    constexpr int lastChoice = oversamplingChoiceCount - 1;
    if (id == oversamplingParameterId)
        return normalizedOfStep(std::clamp(static_cast<int>(std::lround(plain)), 0, lastChoice), lastChoice);
    if (!validId(id)) return plain;
    return parameterFromHost(static_cast<int>(id), normalizedFromShown(parameterTable[id], static_cast<float>(plain)));
}

ParamValue VELMORA_VST3_CALL getParamNormalized(IEditController* self, ParamID id) {
    Vst3Plugin& plugin = *pluginOf(self);
    if (id == programParameterId) return normalizedFromProgram(plugin.program.load(std::memory_order_relaxed));
    reportLatencyChange(plugin);
    if (id == oversamplingParameterId)
        return normalizedOfStep(plugin.oversamplingChoice.load(std::memory_order_relaxed),
                                oversamplingChoiceCount - 1);
    return validId(id) ? loadParameter(plugin, static_cast<int>(id)) : 0.0;
}

// The controller's value only; the processor hears of a change through its queues. The
// Oversampling choice is the one exception: it runs from the next activation, which the host
// is asked for here.
tresult VELMORA_VST3_CALL setParamNormalized(IEditController* self, ParamID id, ParamValue value) {
    Vst3Plugin& plugin = *pluginOf(self);
    if (id == programParameterId) return selectProgram(plugin, value);
    if (id == oversamplingParameterId)
        chooseOversampling(plugin, oversamplingChoiceFromNormalized(value));
    else if (validId(id))
        setControllerParameter(plugin, static_cast<int>(id), parameterFromHost(static_cast<int>(id), value));
    reportLatencyChange(plugin);
    return validId(id) || id == oversamplingParameterId ? kResultOk : kInvalidArgument;
}

tresult VELMORA_VST3_CALL setComponentHandler(IEditController* self, IComponentHandler* handler) {
    Vst3Plugin& plugin = *pluginOf(self);
    holdReference(plugin.componentHandler, handler);
    plugin.hostCanRestart.store(handler != nullptr, std::memory_order_relaxed);
    return kResultOk;
}

IPlugView* VELMORA_VST3_CALL createView(IEditController* self, FIDString name) {
    if (!name || std::strcmp(name, kEditorViewType) != 0) return nullptr;
    return createVst3View(pluginOf(self));
}

// The editor's view: a drag's changes reach the host as one edit per parameter.

Vst3Plugin& pluginIn(void* context) { return *static_cast<Vst3Plugin*>(context); }

float readParameter(void* context, int32_t index) { return loadParameter(pluginIn(context), index); }

void changeParameter(void* context, int32_t index, float edited) {
    Vst3Plugin& plugin = pluginIn(context);
    const float value = parameterFromHost(index, edited);
    setControllerParameter(plugin, index, value);
    IComponentHandler* handler = plugin.componentHandler;
    if (plugin.editedParameter != index) {
        finishEditorEdit(plugin);
        plugin.editedParameter = index;
        if (handler) handler->vtbl->beginEdit(handler, static_cast<ParamID>(index));
    }
    if (handler) handler->vtbl->performEdit(handler, static_cast<ParamID>(index), value);
}

}  // namespace

float parameterFromHost(int index, double value) {
    const int steps = parameterTable[index].steps;
    if (steps > 0) return static_cast<float>(normalizedOfStep(stepOfNormalized(value, steps), steps));
    return clampParameter(static_cast<float>(value));
}

void loadParameterValues(Vst3Plugin& plugin, const float (&values)[parameterCount]) {
    for (int i = 0; i < parameterCount; ++i) {
        storeParameter(plugin, i, values[i]);
        plugin.handedOverValues[i].store(loadParameter(plugin, i), std::memory_order_relaxed);
    }
    plugin.handOverPending.store(true, std::memory_order_release);
}

void setControllerParameter(Vst3Plugin& plugin, int index, float value) {
    storeParameter(plugin, index, value);
    if (plugin.processorRunning.load(std::memory_order_relaxed)) return;
    for (int i = 0; i < parameterCount; ++i)
        plugin.handedOverValues[i].store(loadParameter(plugin, i), std::memory_order_relaxed);
    plugin.handOverPending.store(true, std::memory_order_release);
}

void processorParameterValues(const Vst3Plugin& plugin, float (&values)[parameterCount]) {
    const bool handedOver = plugin.handOverPending.load(std::memory_order_acquire);
    for (int i = 0; i < parameterCount; ++i)
        values[i] = (handedOver ? plugin.handedOverValues[i] : plugin.publishedValues[i]).load(std::memory_order_relaxed);
}

void chooseOversampling(Vst3Plugin& plugin, int choice) {
    plugin.oversamplingChoice.store(std::clamp(choice, 0, oversamplingChoiceCount - 1), std::memory_order_relaxed);
}

int32_t currentLatency(const Vst3Plugin& plugin) {
    const int factor = plugin.active ? plugin.runningFactor.load(std::memory_order_relaxed)
                                     : oversamplingFactors[plugin.oversamplingChoice.load(std::memory_order_relaxed)];
    return oversamplingLatency(factor);
}

void reportLatencyChange(Vst3Plugin& plugin) {
    const int32_t chosen = oversamplingLatency(oversamplingFactors[plugin.oversamplingChoice.load(std::memory_order_relaxed)]);
    const int32_t running = currentLatency(plugin);
    const int32_t reported = plugin.reportedLatency.load(std::memory_order_relaxed);
    const bool unseen = chosen != reported || running != reported;
    const bool asked = plugin.restartAskedFor[0] == chosen && plugin.restartAskedFor[1] == running;
    IComponentHandler* handler = plugin.componentHandler;
    if (!unseen || asked || !handler) return;
    plugin.restartAskedFor[0] = chosen;
    plugin.restartAskedFor[1] = running;
    handler->vtbl->restartComponent(handler, kLatencyChanged);
}

void finishEditorEdit(Vst3Plugin& plugin) {
    if (plugin.editedParameter < 0) return;
    if (IComponentHandler* handler = plugin.componentHandler)
        handler->vtbl->endEdit(handler, static_cast<ParamID>(plugin.editedParameter));
    plugin.editedParameter = -1;
}

EditorView vst3EditorViewOf(Vst3Plugin& plugin) {
    return {&plugin,       readParameter,           changeParameter, &plugin.drag,
            &plugin.animationPhase, nullptr, true};
}

const IEditControllerVtbl controllerTable = {
    controllerQuery,        controllerAddRef,       controllerRelease,
    controllerInitialize,   controllerTerminate,    setComponentState,
    controllerSetState,     controllerGetState,     getParameterCount,
    getParameterInfo,       getParamStringByValue,  getParamValueByString,
    normalizedParamToPlain, plainParamToNormalized, getParamNormalized,
    setParamNormalized,     setComponentHandler,    createView,
};
