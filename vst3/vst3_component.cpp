// The instance's life (creation, interfaces, references), the component (buses, activation,
// state) and the audio processor (setup and the block with its parameter changes).
#include <algorithm>
#include <cstring>
#include <new>
#include <type_traits>

#include "parameters/parameter_set.h"
#include "vst3/vst3_plugin.h"
#include "vst3/vst3_state.h"
#include "vst3/vst3_units.h"

using namespace vst3;

namespace {

constexpr double constructionRate = 44100.0;
constexpr double tailFloor = 1e-6;  // -120 dB

bool validIndex(int32_t index) { return index == 0; }

// Interface records inside the instance, found by identifier.
void* interfaceFor(Vst3Plugin* plugin, const char* iid) {
    if (sameUid(iid, FUnknown_iid) || sameUid(iid, IPluginBase_iid) ||
        sameUid(iid, IComponent_iid))
        return &plugin->component;
    if (sameUid(iid, IAudioProcessor_iid)) return &plugin->processor;
    if (sameUid(iid, IEditController_iid)) return &plugin->controller;
    if (sameUid(iid, IUnitInfo_iid)) return &plugin->unitInfo;
    if (sameUid(iid, IProcessContextRequirements_iid)) return &plugin->contextRequirements;
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

void dropHostObjects(Vst3Plugin& plugin) {
    holdReference(plugin.componentHandler, static_cast<IComponentHandler*>(nullptr));
    plugin.hostCanRestart.store(false, std::memory_order_relaxed);
    holdReference(plugin.hostContext, static_cast<FUnknown*>(nullptr));
}

void destroyPlugin(Vst3Plugin* plugin) {
    dropHostObjects(*plugin);
    delete plugin;
}

// One object is component and controller: a host may initialize and terminate it through
// either interface, or both. The host's context is kept for the editor's run loop;
// terminating lets go of it and of the host's handler.
tresult VELMORA_VST3_CALL componentInitialize(IComponent* self, FUnknown* context) {
    Vst3Plugin& plugin = *pluginOf(self);
    if (context) holdReference(plugin.hostContext, context);
    return kResultOk;
}
tresult VELMORA_VST3_CALL componentTerminate(IComponent* self) {
    dropHostObjects(*pluginOf(self));
    return kResultOk;
}

// The controller is this same object (reached by queryInterface), not a class of its own.
tresult VELMORA_VST3_CALL getControllerClassId(IComponent*, TUID) { return kResultFalse; }
tresult VELMORA_VST3_CALL setIoMode(IComponent*, int32_t) { return kNotImplemented; }

int32_t VELMORA_VST3_CALL getBusCount(IComponent*, int32_t type, int32_t dir) {
    return type == kAudio && (dir == kInput || dir == kOutput) ? 1 : 0;
}

tresult VELMORA_VST3_CALL getBusInfo(IComponent* self, int32_t type, int32_t dir, int32_t index,
                                     BusInfo* bus) {
    if (!bus || type != kAudio || (dir != kInput && dir != kOutput) || !validIndex(index))
        return kInvalidArgument;
    std::memset(bus, 0, sizeof *bus);
    bus->mediaType = kAudio;
    bus->direction = dir;
    bus->channelCount = pluginOf(self)->channelCount;
    const bool mono = bus->channelCount == 1;
    const char* name = dir == kInput ? (mono ? "Mono In" : "Stereo In") : (mono ? "Mono Out" : "Stereo Out");
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

// Runs the chosen factor: a new one clears the history, as an activation does.
void runChosenFactor(Vst3Plugin& plugin) {
    const int factor = oversamplingFactors[plugin.oversamplingChoice.load(std::memory_order_relaxed)];
    setOversamplingFactor(plugin.oversampler, plugin.engine, factor, plugin.sampleRate);
    plugin.runningFactor.store(plugin.oversampler.factor, std::memory_order_relaxed);
    plugin.framesSinceChoice = 0;
}

// The new factor takes effect here, where the host expects the latency to change; the history
// is cleared once either way.
tresult VELMORA_VST3_CALL setActive(IComponent* self, TBool state) {
    Vst3Plugin& plugin = *pluginOf(self);
    if (state && !plugin.active) {
        const int running = plugin.oversampler.factor;
        runChosenFactor(plugin);
        if (plugin.oversampler.factor == running) resetOversampledHistory(plugin.oversampler, plugin.engine);
    }
    plugin.active = state != 0;
    plugin.processorRunning.store(false, std::memory_order_relaxed);
    return kResultOk;
}

tresult VELMORA_VST3_CALL componentSetState(IComponent* self, IBStream* stream) {
    Vst3Plugin& plugin = *pluginOf(self);
    float values[parameterCount];
    int choice = 0;
    if (!readComponentState(stream, values, &choice)) return kResultFalse;
    loadParameterValues(plugin, values);
    chooseOversampling(plugin, choice);
    reportLatencyChange(plugin);
    return kResultOk;
}

tresult VELMORA_VST3_CALL componentGetState(IComponent* self, IBStream* stream) {
    const Vst3Plugin& plugin = *pluginOf(self);
    float values[parameterCount];
    processorParameterValues(plugin, values);
    return writeComponentState(stream, values, plugin.oversamplingChoice.load(std::memory_order_relaxed))
               ? kResultOk
               : kResultFalse;
}

uint32_t VELMORA_VST3_CALL contextRequirementsAddRef(IProcessContextRequirements* self) {
    return addPluginReference(pluginOf(self));
}
uint32_t VELMORA_VST3_CALL contextRequirementsRelease(IProcessContextRequirements* self) {
    return releasePlugin(pluginOf(self));
}
tresult VELMORA_VST3_CALL contextRequirementsQuery(IProcessContextRequirements* self, const TUID iid,
                                                   void** object) {
    return queryPlugin(pluginOf(self), iid, object);
}
// The engine reads nothing of the host's transport, tempo or clock.
uint32_t VELMORA_VST3_CALL getProcessContextRequirements(IProcessContextRequirements*) { return 0; }

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

// One input and one output, both stereo or both mono; a mono signal is processed as the
// stereo plug-in processes the same signal on both channels. Anything else is refused and
// the buses stay as they were.
tresult VELMORA_VST3_CALL setBusArrangements(IAudioProcessor* self, SpeakerArrangement* inputs,
                                             int32_t numIns, SpeakerArrangement* outputs,
                                             int32_t numOuts) {
    if (numIns != 1 || numOuts != 1 || !inputs || !outputs || inputs[0] != outputs[0] ||
        (inputs[0] != kSpeakerStereo && inputs[0] != kSpeakerMono))
        return kResultFalse;
    pluginOf(self)->channelCount = inputs[0] == kSpeakerMono ? 1 : 2;
    return kResultOk;
}

tresult VELMORA_VST3_CALL getBusArrangement(IAudioProcessor* self, int32_t dir, int32_t index,
                                            SpeakerArrangement* arrangement) {
    if (!arrangement || (dir != kInput && dir != kOutput) || !validIndex(index))
        return kInvalidArgument;
    *arrangement = pluginOf(self)->channelCount == 1 ? kSpeakerMono : kSpeakerStereo;
    return kResultOk;
}

// 32-bit samples, or 64-bit ones that take the engine's double output unrounded.
bool knownSampleSize(int32_t size) { return size == kSample32 || size == kSample64; }

tresult VELMORA_VST3_CALL canProcessSampleSize(IAudioProcessor*, int32_t size) {
    return knownSampleSize(size) ? kResultOk : kResultFalse;
}

// What the host reads is recorded, so a later change it has not seen is reported to it.
uint32_t VELMORA_VST3_CALL getLatencySamples(IAudioProcessor* self) {
    Vst3Plugin& plugin = *pluginOf(self);
    const int32_t latency = currentLatency(plugin);
    plugin.reportedLatency.store(latency, std::memory_order_relaxed);
    return static_cast<uint32_t>(latency);
}

// The latency, then as long as the filters of the running rate take to ring down below
// -120 dB.
uint32_t VELMORA_VST3_CALL getTailSamples(IAudioProcessor* self) {
    const Vst3Plugin& plugin = *pluginOf(self);
    const int factor = plugin.runningFactor.load(std::memory_order_relaxed);
    const int64_t ringing = (engineDecayFrames(plugin.engine, tailFloor) + factor - 1) / factor;
    return static_cast<uint32_t>(currentLatency(plugin) + ringing);
}

// A new rate redesigns the filters and keeps their state, as in the other formats; the
// engine runs at the running factor times that rate (a new factor waits for the activation
// that follows, so its change clears the history once).
tresult VELMORA_VST3_CALL setupProcessing(IAudioProcessor* self, ProcessSetup* setup) {
    if (!setup || !knownSampleSize(setup->symbolicSampleSize)) return kResultFalse;
    Vst3Plugin& plugin = *pluginOf(self);
    const double rate = setup->sampleRate > 0.0 ? setup->sampleRate : constructionRate;
    plugin.sampleRate = prepareEngine(plugin.engine, rate);
    setOversamplingFactor(plugin.oversampler, plugin.engine, plugin.oversampler.factor, plugin.sampleRate);
    return kResultOk;
}

tresult VELMORA_VST3_CALL setProcessing(IAudioProcessor* self, TBool) {
    pluginOf(self)->processorRunning.store(false, std::memory_order_relaxed);
    return kResultOk;
}

// The block's parameter changes: for each parameter the host's queue and the next point to
// apply. A point takes effect at its sample offset; points out of order take effect when
// reached, points at or past the block's end after it.
struct QueueCursor {
    IParamValueQueue* queue;
    int32_t count;
    int32_t next;
};

// The Oversampling queue's last point: the choice for the next activation.
void takeOversamplingChoice(Vst3Plugin& plugin, IParamValueQueue* queue) {
    const int32_t points = queue->vtbl->getPointCount(queue);
    int32_t offset = 0;
    ParamValue value = 0.0;
    if (points > 0 && queue->vtbl->getPoint(queue, points - 1, &offset, &value) == kResultOk)
        chooseOversampling(plugin, oversamplingChoiceFromNormalized(value));
}

// A host that never restarts after being asked (or cannot be asked) gets the new factor at a
// block's start, once it has waited this long.
constexpr double restartWaitSeconds = 0.5;

void runChosenFactorIfHostWillNot(Vst3Plugin& plugin, int32_t frames) {
    const int chosen = oversamplingFactors[plugin.oversamplingChoice.load(std::memory_order_relaxed)];
    if (chosen == plugin.oversampler.factor) {
        plugin.framesSinceChoice = 0;
        return;
    }
    if (!plugin.hostCanRestart.load(std::memory_order_relaxed) ||
        plugin.framesSinceChoice >= static_cast<int64_t>(restartWaitSeconds * plugin.sampleRate))
        runChosenFactor(plugin);
    else
        plugin.framesSinceChoice += frames;
}

// A state loaded since the last block.
void takeHandedOverState(Vst3Plugin& plugin) {
    if (!plugin.handOverPending.exchange(false, std::memory_order_acquire)) return;
    for (int i = 0; i < parameterCount; ++i)
        plugin.processorValues[i] = plugin.handedOverValues[i].load(std::memory_order_relaxed);
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
            values[i] = parameterFromHost(i, value);
            ++cursor.next;
        }
    }
    return next;
}

template <class Sample>
Sample** channelsOf(const AudioBusBuffers& bus) {
    if constexpr (std::is_same_v<Sample, float>)
        return bus.channelBuffers32;
    else
        return bus.channelBuffers64;
}

// The main buses' channels (left and right, or the mono channel twice); a missing input is
// silence, processed in place in the cleared output. False when there is no output to write.
template <class Sample>
bool resolveBuses(const ProcessData& data, int32_t channels, int32_t frames,
                  const Sample* (&inputs)[2], Sample* (&outputs)[2]) {
    auto usable = [channels](const AudioBusBuffers* bus, int32_t count) {
        if (count <= 0 || !bus || bus->numChannels < channels || !channelsOf<Sample>(*bus)) return false;
        for (int32_t c = 0; c < channels; ++c)
            if (!channelsOf<Sample>(*bus)[c]) return false;
        return true;
    };
    if (!usable(data.outputs, data.numOutputs)) return false;
    data.outputs[0].silenceFlags = 0;
    outputs[0] = channelsOf<Sample>(data.outputs[0])[0];
    outputs[1] = channelsOf<Sample>(data.outputs[0])[channels - 1];
    if (usable(data.inputs, data.numInputs)) {
        inputs[0] = channelsOf<Sample>(data.inputs[0])[0];
        inputs[1] = channelsOf<Sample>(data.inputs[0])[channels - 1];
    } else {
        for (int32_t c = 0; c < channels; ++c) std::fill(outputs[c], outputs[c] + frames, Sample{0});
        inputs[0] = outputs[0];
        inputs[1] = outputs[1];
    }
    return true;
}

// The instance's mono buffers in the block's samples: the input, and the right channel that
// is not written out.
template <class Sample>
auto& monoBuffers(Vst3Plugin& plugin) {
    if constexpr (std::is_same_v<Sample, float>)
        return plugin.monoBuffers32;
    else
        return plugin.monoBuffers64;
}

// A stretch of frames with one set of parameters. Mono runs through the instance's buffers:
// the input on both channels, the left channel written out.
template <class Sample>
void processStretch(Vst3Plugin& plugin, const BlockSettings& settings, const Sample* const (&inputs)[2],
                    Sample* const (&outputs)[2], int32_t from, int32_t to) {
    if (plugin.channelCount == 2) {
        const Sample* in[2] = {inputs[0] + from, inputs[1] + from};
        Sample* out[2] = {outputs[0] + from, outputs[1] + from};
        processOversampledFrames(plugin.oversampler, plugin.engine, plugin.sampleRate, settings, in, out,
                                 static_cast<uint32_t>(to - from));
        return;
    }
    auto& buffers = monoBuffers<Sample>(plugin);
    for (int32_t at = from; at < to; at += monoChunkFrames) {
        const int32_t frames = std::min(monoChunkFrames, to - at);
        std::copy(inputs[0] + at, inputs[0] + at + frames, buffers[0]);
        const Sample* in[2] = {buffers[0], buffers[0]};
        Sample* out[2] = {outputs[0] + at, buffers[1]};
        processOversampledFrames(plugin.oversampler, plugin.engine, plugin.sampleRate, settings, in, out,
                                 static_cast<uint32_t>(frames));
    }
}

template <class Sample>
void processAudio(Vst3Plugin& plugin, const ProcessData& data, int32_t frames) {
    BlockSettings settings{};
    std::copy(plugin.processorValues, plugin.processorValues + parameterCount, settings.parameters);
    settings.hostBypass = false;  // the Bypass parameter is the host's bypass
    QueueCursor cursors[parameterCount] = {};
    collectQueues(plugin, data.inputParameterChanges, cursors);

    const Sample* inputs[2] = {};
    Sample* outputs[2] = {};
    const bool audio = resolveBuses(data, plugin.channelCount, frames, inputs, outputs);
    int32_t position = 0;
    while (true) {
        const int32_t next = applyPointsUpTo(cursors, settings.parameters, position, frames);
        if (audio && next > position) processStretch(plugin, settings, inputs, outputs, position, next);
        position = next;
        if (position >= frames) break;
    }
    applyPointsUpTo(cursors, settings.parameters, INT32_MAX, INT32_MAX);
    for (int i = 0; i < parameterCount; ++i) {
        plugin.processorValues[i] = settings.parameters[i];
        plugin.publishedValues[i].store(settings.parameters[i], std::memory_order_relaxed);
    }
}

tresult VELMORA_VST3_CALL process(IAudioProcessor* self, ProcessData* data) {
    if (!data || !knownSampleSize(data->symbolicSampleSize)) return kInvalidArgument;
    Vst3Plugin& plugin = *pluginOf(self);
    const int32_t frames = std::max(data->numSamples, 0);
    runChosenFactorIfHostWillNot(plugin, frames);
    if (!plugin.processorRunning.load(std::memory_order_relaxed))
        plugin.processorRunning.store(true, std::memory_order_relaxed);
    takeHandedOverState(plugin);
    if (data->symbolicSampleSize == kSample64)
        processAudio<double>(plugin, *data, frames);
    else
        processAudio<float>(plugin, *data, frames);
    return kResultOk;
}

}  // namespace

const IComponentVtbl componentTable = {
    componentQuery,  componentAddRef,   componentRelease, componentInitialize,
    componentTerminate, getControllerClassId, setIoMode, getBusCount,
    getBusInfo,      getRoutingInfo,    activateBus,      setActive,
    componentSetState, componentGetState,
};

const IProcessContextRequirementsVtbl contextRequirementsTable = {
    contextRequirementsQuery, contextRequirementsAddRef, contextRequirementsRelease,
    getProcessContextRequirements,
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
    plugin->contextRequirements.vtbl = &contextRequirementsTable;
    plugin->references.store(1);
    plugin->hostContext = nullptr;
    loadParameterValues(*plugin, parameterDefaults.values);
    takeHandedOverState(*plugin);
    for (int i = 0; i < parameterCount; ++i) plugin->publishedValues[i].store(parameterDefaults[i]);
    plugin->oversamplingChoice.store(0);
    plugin->runningFactor.store(1);
    plugin->hostCanRestart.store(false);
    plugin->processorRunning.store(false);
    plugin->framesSinceChoice = 0;
    plugin->reportedLatency.store(0);
    plugin->restartAskedFor[0] = plugin->restartAskedFor[1] = 0;
    plugin->sampleRate = prepareEngine(plugin->engine, constructionRate);
    oversamplerSetup(plugin->oversampler);
    plugin->active = false;
    plugin->channelCount = 2;
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
