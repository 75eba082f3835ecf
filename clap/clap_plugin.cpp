// The CLAP entry: the factory and descriptor, the instance's life (activation for the host's
// rate, reset), the audio ports and the block entry, which splits the block at each
// parameter event so that a value takes effect at its frame.
#include <cmath>
#include <cstring>
#include <new>

#include "clap/clap_instance.h"
#include "clap/clap_preset_abi.h"
#include "parameters/parameter_set.h"
#include "parameters/plugin_version.h"

namespace {

constexpr const char* pluginId = clapPluginId;
constexpr double constructionRate = 44100.0;
constexpr const char* pluginFeatures[] = {"audio-effect", "distortion", "stereo", nullptr};

const clap_plugin_descriptor_t descriptor = {
    CLAP_VERSION,
    pluginId,
    velmoraPluginName,
    velmoraVendorName,
    "",
    "",
    "",
    VELMORA_VERSION_TEXT,
    "Stereo tube and tape saturation",
    pluginFeatures,
};

// Activation prepares for the host's rate and the chosen factor and, like a resume, starts
// from silence. True when the factor, and with it the latency, changed.
bool restartEngine(ClapInstance& instance, double rate) {
    const int previous = instance.oversampler.factor;
    instance.sampleRate = prepareEngine(instance.engine, rate);
    const int choice = instance.oversamplingChoice.load(std::memory_order_relaxed);
    setOversamplingFactor(instance.oversampler, instance.engine, oversamplingFactors[choice],
                          instance.sampleRate);
    resetOversampledHistory(instance.oversampler, instance.engine);
    return instance.oversampler.factor != previous;
}

template <typename Extension>
const Extension* hostExtension(const clap_host_t* host, const char* id) {
    return host->get_extension ? static_cast<const Extension*>(host->get_extension(host, id))
                               : nullptr;
}

bool init(const clap_plugin_t* plugin) {
    ClapInstance& instance = instanceOf(plugin);
    instance.hostParams = hostExtension<clap_host_params_t>(instance.host, CLAP_EXT_HOST_PARAMS);
    instance.hostTimers =
        hostExtension<clap_host_timer_support_t>(instance.host, CLAP_EXT_TIMER_SUPPORT);
    instance.hostFds = hostExtension<void>(instance.host, CLAP_EXT_POSIX_FD_SUPPORT);
    instance.hostLatency = hostExtension<clap_host_latency_t>(instance.host, CLAP_EXT_LATENCY);
    return true;
}

void destroy(const clap_plugin_t* plugin) {
    ClapInstance* instance = &instanceOf(plugin);
    clapGui.destroy(plugin);
    delete instance;
}

bool activate(const clap_plugin_t* plugin, double rate, uint32_t, uint32_t) {
    if (!(rate > 0.0 && std::isfinite(rate))) return false;
    ClapInstance& instance = instanceOf(plugin);
    if (restartEngine(instance, rate) && instance.hostLatency && instance.hostLatency->changed)
        instance.hostLatency->changed(instance.host);
    instance.active = true;
    return true;
}

void deactivate(const clap_plugin_t* plugin) { instanceOf(plugin).active = false; }
bool startProcessing(const clap_plugin_t*) { return true; }
void stopProcessing(const clap_plugin_t*) {}

void reset(const clap_plugin_t* plugin) {
    ClapInstance& instance = instanceOf(plugin);
    resetOversampledHistory(instance.oversampler, instance.engine);
}

// Two channels of 32-bit samples, both pointers set.
const float* const* stereoChannels(const clap_audio_buffer_t* buffers, uint32_t count) {
    if (count < 1 || !buffers || buffers[0].channel_count < 2 || !buffers[0].data32) return nullptr;
    float* const* channels = buffers[0].data32;
    return channels[0] && channels[1] ? channels : nullptr;
}

void processFrames(ClapInstance& instance, const BlockSettings& settings,
                   const float* const* inputs, float* const* outputs, uint32_t from, uint32_t to) {
    const float* in[2] = {inputs[0] + from, inputs[1] + from};
    float* out[2] = {outputs[0] + from, outputs[1] + from};
    processOversampledFrames(instance.oversampler, instance.engine, instance.sampleRate, settings,
                             in, out, to - from);
}

void loadSettings(const ClapInstance& instance, BlockSettings& settings) {
    for (int i = 0; i < parameterCount; ++i)
        settings.parameters[i] = instance.parameters[i].load(std::memory_order_relaxed);
    settings.hostBypass = false;
}

clap_process_status process(const clap_plugin_t* plugin, const clap_process_t* block) {
    ClapInstance& instance = instanceOf(plugin);
    if (!block || !instance.active) return CLAP_PROCESS_ERROR;
    sendEditorEvents(instance, block->out_events);

    const uint32_t frames = block->frames_count;
    const float* const* inputs = stereoChannels(block->audio_inputs, block->audio_inputs_count);
    float* const* outputs = const_cast<float* const*>(
        stereoChannels(block->audio_outputs, block->audio_outputs_count));
    const bool audio = inputs && outputs;

    BlockSettings settings;
    loadSettings(instance, settings);
    uint32_t done = 0;
    const clap_input_events_t* events = block->in_events;
    const uint32_t eventCount = events && events->size && events->get ? events->size(events) : 0;
    for (uint32_t k = 0; k < eventCount; ++k) {
        const clap_event_header_t* event = events->get(events, k);
        if (!event) continue;
        const uint32_t at = event->time < frames ? event->time : frames;
        if (audio && at > done) {
            processFrames(instance, settings, inputs, outputs, done, at);
            done = at;
        }
        applyParameterEvent(instance, *event);
        loadSettings(instance, settings);
    }
    if (!audio) return frames == 0 ? CLAP_PROCESS_CONTINUE : CLAP_PROCESS_ERROR;
    processFrames(instance, settings, inputs, outputs, done, frames);
    return CLAP_PROCESS_CONTINUE;
}

uint32_t audioPortCount(const clap_plugin_t*, bool) { return 1; }

bool audioPortInfo(const clap_plugin_t*, uint32_t index, bool isInput,
                   clap_audio_port_info_t* info) {
    if (index != 0 || !info) return false;
    std::memset(info, 0, sizeof *info);
    info->id = 0;
    std::strcpy(info->name, isInput ? "Main In" : "Main Out");
    info->flags = CLAP_AUDIO_PORT_IS_MAIN;
    info->channel_count = 2;
    info->port_type = CLAP_PORT_STEREO;
    info->in_place_pair = 0;  // the output of the same id
    return true;
}

const clap_plugin_audio_ports_t audioPorts = {audioPortCount, audioPortInfo};

uint32_t latency(const clap_plugin_t* plugin) {
    return static_cast<uint32_t>(instanceOf(plugin).oversampler.latency);
}
const clap_plugin_latency_t latencyExtension = {latency};

const void* getExtension(const clap_plugin_t*, const char* id) {
    if (!id) return nullptr;
    if (std::strcmp(id, CLAP_EXT_AUDIO_PORTS) == 0) return &audioPorts;
    if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &clapParams;
    if (std::strcmp(id, CLAP_EXT_STATE) == 0) return &clapState;
    if (std::strcmp(id, CLAP_EXT_LATENCY) == 0) return &latencyExtension;
    if (std::strcmp(id, CLAP_EXT_GUI) == 0) return &clapGui;
    if (std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0) return &clapTimerSupport;
    if (std::strcmp(id, CLAP_EXT_POSIX_FD_SUPPORT) == 0) return clapPosixFdSupport;
    if (std::strcmp(id, CLAP_EXT_PRESET_LOAD) == 0 || std::strcmp(id, CLAP_EXT_PRESET_LOAD_COMPAT) == 0)
        return clapPresetLoad;
    return nullptr;
}

void onMainThread(const clap_plugin_t*) {}

uint32_t pluginCount(const clap_plugin_factory_t*) { return 1; }

const clap_plugin_descriptor_t* pluginDescriptor(const clap_plugin_factory_t*, uint32_t index) {
    return index == 0 ? &descriptor : nullptr;
}

const clap_plugin_t* createPlugin(const clap_plugin_factory_t*, const clap_host_t* host,
                                  const char* id) {
    if (!host || host->clap_version.major < 1 || !id || std::strcmp(id, pluginId) != 0)
        return nullptr;
    ClapInstance* instance = new (std::nothrow) ClapInstance{};
    if (!instance) return nullptr;
    instance->plugin = clap_plugin_t{&descriptor, instance, init, destroy, activate,
                                     deactivate, startProcessing, stopProcessing, reset,
                                     process, getExtension, onMainThread};
    instance->host = host;
    for (int i = 0; i < parameterCount; ++i)
        instance->parameters[i].store(parameterDefaults[i], std::memory_order_relaxed);
    oversamplerSetup(instance->oversampler);
    restartEngine(*instance, constructionRate);
    instance->editor.view = clapEditorView(*instance);
    return &instance->plugin;
}

const clap_plugin_factory_t factory = {pluginCount, pluginDescriptor, createPlugin};

bool entryInit(const char*) { return true; }
void entryDeinit() {}

const void* getFactory(const char* id) {
    if (id && std::strcmp(id, CLAP_PRESET_DISCOVERY_FACTORY_ID) == 0) return clapPresetDiscoveryFactory;
    return id && std::strcmp(id, CLAP_PLUGIN_FACTORY_ID) == 0 ? &factory : nullptr;
}

}  // namespace

void chooseOversampling(ClapInstance& instance, int choice) {
    const int previous = instance.oversamplingChoice.exchange(choice, std::memory_order_relaxed);
    if (instance.active && choice != previous &&
        oversamplingFactors[choice] != instance.oversampler.factor && instance.host->request_restart)
        instance.host->request_restart(instance.host);
}

extern "C" VELMORA_EXPORT const clap_plugin_entry_t clap_entry = {CLAP_VERSION, entryInit,
                                                                  entryDeinit, getFactory};
