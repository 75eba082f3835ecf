// The instance's life (creation, interfaces, references), the component (buses, activation,
// state) and the audio processor (setup and the block with its parameter changes).
#include <algorithm>
#include <cstring>
#include <new>

#include "parameters/parameter_set.h"
#include "vst3/vst3_plugin.h"
#include "vst3/vst3_state.h"
#include "vst3/vst3_units.h"

using namespace vst3;

namespace {

constexpr double constructionRate = 44100.0;

bool validIndex(int32_t index) { return index == 0; }

// Interface records inside the instance, found by identifier.
void* interfaceFor(Vst3Plugin* plugin, const char* iid) {
    if (sameUid(iid, FUnknown_iid) || sameUid(iid, IPluginBase_iid) ||
        sameUid(iid, IComponent_iid))
        return &plugin->component;
    if (sameUid(iid, IAudioProcessor_iid)) return &plugin->processor;
    if (sameUid(iid, IEditController_iid)) return &plugin->controller;
    if (sameUid(iid, IUnitInfo_iid)) return &plugin->unitInfo;
    return nullptr;
}

// IComponent.

tresult VELMORA_VST3_CALL componentQuery(IComponent* self, const TUID iid, void** object) {
    return queryPlugin(pluginOf(self), iid, object);
}
uint32_t VELMORA_VST3_CALL componentAddRef(IComponent* self) {
    return addPluginReference(pluginOf(self));
}
uint32_t VELMORA_VST3_CALL componentRelease(IComponent* self) { return releasePlugin(pluginOf(self)); }

void dropComponentHandler(Vst3Plugin& plugin) {
    holdReference(plugin.componentHandler, static_cast<IComponentHandler*>(nullptr));
}

void destroyPlugin(Vst3Plugin* plugin) {
    dropComponentHandler(*plugin);
    delete plugin;
}

// One object is component and controller: a host may initialize and terminate it through
// either interface, or both; nothing here needs the host's context. Terminating lets go of
// the host's handler.
tresult VELMORA_VST3_CALL componentInitialize(IComponent*, FUnknown*) { return kResultOk; }
tresult VELMORA_VST3_CALL componentTerminate(IComponent* self) {
    dropComponentHandler(*pluginOf(self));
    return kResultOk;
}

// The controller is this same object (reached by queryInterface), not a class of its own.
tresult VELMORA_VST3_CALL getControllerClassId(IComponent*, TUID) { return kResultFalse; }
tresult VELMORA_VST3_CALL setIoMode(IComponent*, int32_t) { return kNotImplemented; }

int32_t VELMORA_VST3_CALL getBusCount(IComponent*, int32_t type, int32_t dir) {
    return type == kAudio && (dir == kInput || dir == kOutput) ? 1 : 0;
}

tresult VELMORA_VST3_CALL getBusInfo(IComponent*, int32_t type, int32_t dir, int32_t index,
                                     BusInfo* bus) {
    if (!bus || type != kAudio || (dir != kInput && dir != kOutput) || !validIndex(index))
        return kInvalidArgument;
    std::memset(bus, 0, sizeof *bus);
    bus->mediaType = kAudio;
    bus->direction = dir;
    bus->channelCount = 2;
    const char* name = dir == kInput ? "Stereo In" : "Stereo Out";
    for (int i = 0; name[i]; ++i) bus->name[i] = static_cast<char16_t>(name[i]);
    bus->busType = kMain;
    bus->flags = kBusDefaultActive;
    return kResultOk;
}

tresult VELMORA_VST3_CALL getRoutingInfo(IComponent*, RoutingInfo*, RoutingInfo*) {
    return kNotImplemented;
}

tresult VELMORA_VST3_CALL activateBus(IComponent*, int32_t type, int32_t dir, int32_t index, TBool) {
    return type == kAudio && (dir == kInput || dir == kOutput) && validIndex(index)
               ? kResultOk
               : kInvalidArgument;
}

// Prepares the oversampler for the chosen factor; nothing allocated, so also safe at the
// start of a block.
int chosenFactor(const Vst3Plugin& plugin) {
    return oversamplingFactors[plugin.oversamplingChoice.load(std::memory_order_relaxed)];
}

void applyOversampling(Vst3Plugin& plugin) {
    const int factor = chosenFactor(plugin);
    if (factor != plugin.oversampler.factor)
        setOversamplingFactor(plugin.oversampler, plugin.engine, factor, plugin.sampleRate);
}

tresult VELMORA_VST3_CALL setActive(IComponent* self, TBool state) {
    Vst3Plugin& plugin = *pluginOf(self);
    if (state && !plugin.active) {
        applyOversampling(plugin);
        resetOversampledHistory(plugin.oversampler, plugin.engine);
    }
    plugin.active = state != 0;
    return kResultOk;
}

tresult VELMORA_VST3_CALL componentSetState(IComponent* self, IBStream* stream) {
    Vst3Plugin& plugin = *pluginOf(self);
    float values[parameterCount];
    int choice = 0;
    if (!readComponentState(stream, values, &choice)) return kResultFalse;
    for (int i = 0; i < parameterCount; ++i) storeParameter(plugin, i, values[i]);
    chooseOversampling(plugin, choice, true);
    return kResultOk;
}

tresult VELMORA_VST3_CALL componentGetState(IComponent* self, IBStream* stream) {
    const Vst3Plugin& plugin = *pluginOf(self);
    float values[parameterCount];
    for (int i = 0; i < parameterCount; ++i) values[i] = loadParameter(plugin, i);
    return writeComponentState(stream, values, plugin.oversamplingChoice.load(std::memory_order_relaxed))
               ? kResultOk
               : kResultFalse;
}

// IAudioProcessor.

tresult VELMORA_VST3_CALL processorQuery(IAudioProcessor* self, const TUID iid, void** object) {
    return queryPlugin(pluginOf(self), iid, object);
}
uint32_t VELMORA_VST3_CALL processorAddRef(IAudioProcessor* self) {
    return addPluginReference(pluginOf(self));
}
uint32_t VELMORA_VST3_CALL processorRelease(IAudioProcessor* self) {
    return releasePlugin(pluginOf(self));
}

// One stereo input and one stereo output, nothing else.
tresult VELMORA_VST3_CALL setBusArrangements(IAudioProcessor*, SpeakerArrangement* inputs,
                                             int32_t numIns, SpeakerArrangement* outputs,
                                             int32_t numOuts) {
    const bool stereo = numIns == 1 && numOuts == 1 && inputs && outputs &&
                        inputs[0] == kSpeakerStereo && outputs[0] == kSpeakerStereo;
    return stereo ? kResultOk : kResultFalse;
}

tresult VELMORA_VST3_CALL getBusArrangement(IAudioProcessor*, int32_t dir, int32_t index,
                                            SpeakerArrangement* arrangement) {
    if (!arrangement || (dir != kInput && dir != kOutput) || !validIndex(index))
        return kInvalidArgument;
    *arrangement = kSpeakerStereo;
    return kResultOk;
}

tresult VELMORA_VST3_CALL canProcessSampleSize(IAudioProcessor*, int32_t size) {
    return size == kSample32 ? kResultOk : kResultFalse;
}

// The chosen factor's: what the host reads after the restart it was asked for, whichever
// thread the engine takes the factor on.
uint32_t VELMORA_VST3_CALL getLatencySamples(IAudioProcessor* self) {
    return static_cast<uint32_t>(oversamplingLatency(chosenFactor(*pluginOf(self))));
}
uint32_t VELMORA_VST3_CALL getTailSamples(IAudioProcessor*) { return 0; }

// A new rate redesigns the filters and keeps their state, as in the other formats; the
// engine runs at the factor times that rate.
tresult VELMORA_VST3_CALL setupProcessing(IAudioProcessor* self, ProcessSetup* setup) {
    if (!setup || setup->symbolicSampleSize != kSample32) return kResultFalse;
    Vst3Plugin& plugin = *pluginOf(self);
    const double rate = setup->sampleRate > 0.0 ? setup->sampleRate : constructionRate;
    plugin.sampleRate = prepareEngine(plugin.engine, rate);
    setOversamplingFactor(plugin.oversampler, plugin.engine, chosenFactor(plugin), plugin.sampleRate);
    return kResultOk;
}

tresult VELMORA_VST3_CALL setProcessing(IAudioProcessor*, TBool) { return kResultOk; }

// The block's parameter changes: for each parameter the host's queue and the next point to
// apply. A point takes effect at its sample offset; points out of order take effect when
// reached, points at or past the block's end after it.
struct QueueCursor {
    IParamValueQueue* queue;
    int32_t count;
    int32_t next;
};

// The Oversampling queue's last point: the choice for the next block.
void takeOversamplingChoice(Vst3Plugin& plugin, IParamValueQueue* queue) {
    const int32_t points = queue->vtbl->getPointCount(queue);
    int32_t offset = 0;
    ParamValue value = 0.0;
    if (points > 0 && queue->vtbl->getPoint(queue, points - 1, &offset, &value) == kResultOk)
        chooseOversampling(plugin, oversamplingChoiceFromNormalized(value), false);
}

void collectQueues(Vst3Plugin& plugin, IParameterChanges* changes,
                   QueueCursor (&cursors)[parameterCount]) {
    if (!changes) return;
    const int32_t queueCount = changes->vtbl->getParameterCount(changes);
    for (int32_t q = 0; q < queueCount; ++q) {
        IParamValueQueue* queue = changes->vtbl->getParameterData(changes, q);
        if (!queue) continue;
        const ParamID id = queue->vtbl->getParameterId(queue);
        if (id < static_cast<ParamID>(parameterCount))
            cursors[id] = {queue, queue->vtbl->getPointCount(queue), 0};
        else if (id == oversamplingParameterId)
            takeOversamplingChoice(plugin, queue);
    }
}

// Applies every pending point at or before position; returns the earliest offset still
// pending, at most end.
int32_t applyPointsUpTo(QueueCursor (&cursors)[parameterCount], float (&values)[parameterCount],
                        int32_t position, int32_t end) {
    int32_t next = end;
    for (int i = 0; i < parameterCount; ++i) {
        QueueCursor& cursor = cursors[i];
        while (cursor.queue && cursor.next < cursor.count) {
            int32_t offset = 0;
            ParamValue value = 0.0;
            if (cursor.queue->vtbl->getPoint(cursor.queue, cursor.next, &offset, &value) !=
                kResultOk) {
                cursor.next = cursor.count;
                break;
            }
            if (offset > position) {
                next = std::min(next, offset);
                break;
            }
            values[i] = clampParameter(static_cast<float>(value));
            ++cursor.next;
        }
    }
    return next;
}

// The main buses' first two channels; a missing input is silence, processed in place in
// the cleared output. False when there is no output to write.
bool resolveBuses(const ProcessData& data, int32_t frames, const float* (&inputs)[2],
                  float* (&outputs)[2]) {
    auto usable = [](const AudioBusBuffers* bus, int32_t count) {
        return count > 0 && bus && bus->numChannels >= 2 && bus->channelBuffers32 &&
               bus->channelBuffers32[0] && bus->channelBuffers32[1];
    };
    if (!usable(data.outputs, data.numOutputs)) return false;
    data.outputs[0].silenceFlags = 0;
    outputs[0] = data.outputs[0].channelBuffers32[0];
    outputs[1] = data.outputs[0].channelBuffers32[1];
    if (usable(data.inputs, data.numInputs)) {
        inputs[0] = data.inputs[0].channelBuffers32[0];
        inputs[1] = data.inputs[0].channelBuffers32[1];
    } else {
        for (float* channel : outputs) std::fill(channel, channel + frames, 0.0f);
        inputs[0] = outputs[0];
        inputs[1] = outputs[1];
    }
    return true;
}

tresult VELMORA_VST3_CALL process(IAudioProcessor* self, ProcessData* data) {
    if (!data || data->symbolicSampleSize != kSample32) return kInvalidArgument;
    Vst3Plugin& plugin = *pluginOf(self);
    const int32_t frames = std::max(data->numSamples, 0);
    applyOversampling(plugin);

    BlockSettings settings{};
    for (int i = 0; i < parameterCount; ++i) settings.parameters[i] = loadParameter(plugin, i);
    settings.hostBypass = false;  // the Bypass parameter is the host's bypass
    QueueCursor cursors[parameterCount] = {};
    collectQueues(plugin, data->inputParameterChanges, cursors);

    const float* inputs[2] = {};
    float* outputs[2] = {};
    const bool audio = resolveBuses(*data, frames, inputs, outputs);
    int32_t position = 0;
    while (true) {
        const int32_t next = applyPointsUpTo(cursors, settings.parameters, position, frames);
        if (audio && next > position) {
            const float* segmentIn[2] = {inputs[0] + position, inputs[1] + position};
            float* segmentOut[2] = {outputs[0] + position, outputs[1] + position};
            processOversampledBlock(plugin.oversampler, plugin.engine, plugin.sampleRate,
                                    settings, segmentIn, segmentOut, next - position);
        }
        position = next;
        if (position >= frames) break;
    }
    applyPointsUpTo(cursors, settings.parameters, INT32_MAX, INT32_MAX);
    for (int i = 0; i < parameterCount; ++i)
        if (cursors[i].queue) storeParameter(plugin, i, settings.parameters[i]);
    return kResultOk;
}

}  // namespace

const IComponentVtbl componentTable = {
    componentQuery,  componentAddRef,   componentRelease, componentInitialize,
    componentTerminate, getControllerClassId, setIoMode, getBusCount,
    getBusInfo,      getRoutingInfo,    activateBus,      setActive,
    componentSetState, componentGetState,
};

const IAudioProcessorVtbl processorTable = {
    processorQuery,     processorAddRef,   processorRelease,  setBusArrangements,
    getBusArrangement,  canProcessSampleSize, getLatencySamples, setupProcessing,
    setProcessing,      process,           getTailSamples,
};

Vst3Plugin* createVst3Plugin() {
    Vst3Plugin* plugin = new (std::nothrow) Vst3Plugin{};
    if (!plugin) return nullptr;
    plugin->component.vtbl = &componentTable;
    plugin->processor.vtbl = &processorTable;
    plugin->controller.vtbl = &controllerTable;
    plugin->unitInfo.vtbl = &unitInfoTable;
    plugin->references.store(1);
    for (int i = 0; i < parameterCount; ++i) storeParameter(*plugin, i, parameterDefaults[i]);
    plugin->sampleRate = prepareEngine(plugin->engine, constructionRate);
    oversamplerSetup(plugin->oversampler);
    plugin->active = false;
    plugin->componentHandler = nullptr;
    plugin->drag = EditorDrag{};
    plugin->animationPhase = 0.0f;
    plugin->editedParameter = -1;
    plugin->editorView = vst3EditorViewOf(*plugin);
    return plugin;
}

tresult queryPlugin(Vst3Plugin* plugin, const char* iid, void** object) {
    if (!object) return kInvalidArgument;
    void* found = iid ? interfaceFor(plugin, iid) : nullptr;
    *object = found;
    if (!found) return kNoInterface;
    addPluginReference(plugin);
    return kResultOk;
}

uint32_t addPluginReference(Vst3Plugin* plugin) {
    return plugin->references.fetch_add(1, std::memory_order_relaxed) + 1;
}

uint32_t releasePlugin(Vst3Plugin* plugin) {
    const uint32_t left = plugin->references.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) destroyPlugin(plugin);
    return left;
}
