// The CLAP entry: the factory and descriptor, the instance's life (activation for the host's
// rate, reset), the audio ports (stereo or mono, 32 or 64-bit samples) and the block entry,
// which splits the block at each parameter event so that a value takes effect at its frame.
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

// The main ports' channels of one block: 32-bit or, where the host gives both ports
// data64, 64-bit samples; as many channels as the chosen configuration has, all set.
struct BlockAudio {
    const float* const* inputs32 = nullptr;
    float* const* outputs32 = nullptr;
    const double* const* inputs64 = nullptr;
    double* const* outputs64 = nullptr;
};

template <class Sample>
bool channelsSet(Sample* const* channels, uint32_t count) {
    if (!channels) return false;
    for (uint32_t c = 0; c < count; ++c)
        if (!channels[c]) return false;
    return true;
}

BlockAudio blockAudio(const ClapInstance& instance, const clap_process_t& block) {
    BlockAudio audio;
    const uint32_t channels = instance.mono ? 1 : 2;
    if (block.audio_inputs_count < 1 || block.audio_outputs_count < 1 || !block.audio_inputs ||
        !block.audio_outputs)
        return audio;
    const clap_audio_buffer_t& in = block.audio_inputs[0];
    const clap_audio_buffer_t& out = block.audio_outputs[0];
    if (in.channel_count < channels || out.channel_count < channels) return audio;
    if (channelsSet(in.data64, channels) && channelsSet(out.data64, channels)) {
        audio.inputs64 = in.data64;
        audio.outputs64 = out.data64;
    } else if (channelsSet(in.data32, channels) && channelsSet(out.data32, channels)) {
        audio.inputs32 = in.data32;
        audio.outputs32 = out.data32;
    }
    return audio;
}

bool hasAudio(const BlockAudio& audio) { return audio.outputs32 || audio.outputs64; }

MonoScratch<float>& monoScratch(ClapInstance& instance, float) { return instance.mono32; }
MonoScratch<double>& monoScratch(ClapInstance& instance, double) { return instance.mono64; }

// Mono: the one channel goes in as both, and the left comes out, as the stereo engine
// treats identical channels.
template <class Sample>
void processSamples(ClapInstance& instance, const BlockSettings& settings,
                    const Sample* const* inputs, Sample* const* outputs, uint32_t from, uint32_t to) {
    if (!instance.mono) {
        const Sample* in[2] = {inputs[0] + from, inputs[1] + from};
        Sample* out[2] = {outputs[0] + from, outputs[1] + from};
        processOversampledFrames(instance.oversampler, instance.engine, instance.sampleRate,
                                 settings, in, out, to - from);
        return;
    }
    MonoScratch<Sample>& scratch = monoScratch(instance, Sample{});
    const Sample* in[2] = {scratch.input[0], scratch.input[1]};
    Sample* out[2] = {scratch.output[0], scratch.output[1]};
    for (uint32_t at = from; at < to;) {
        const uint32_t n = to - at < monoPieceFrames ? to - at : monoPieceFrames;
        for (uint32_t i = 0; i < n; ++i) scratch.input[0][i] = scratch.input[1][i] = inputs[0][at + i];
        processOversampledFrames(instance.oversampler, instance.engine, instance.sampleRate,
                                 settings, in, out, n);
        for (uint32_t i = 0; i < n; ++i) outputs[0][at + i] = scratch.output[0][i];
        at += n;
    }
}

void processFrames(ClapInstance& instance, const BlockSettings& settings, const BlockAudio& audio,
                   uint32_t from, uint32_t to) {
    if (audio.outputs64)
        processSamples(instance, settings, audio.inputs64, audio.outputs64, from, to);
    else
        processSamples(instance, settings, audio.inputs32, audio.outputs32, from, to);
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
    const BlockAudio audioChannels = blockAudio(instance, *block);
    const bool audio = hasAudio(audioChannels);

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
            processFrames(instance, settings, audioChannels, done, at);
            done = at;
        }
        applyParameterEvent(instance, *event);
        loadSettings(instance, settings);
    }
    if (!audio) return frames == 0 ? CLAP_PROCESS_CONTINUE : CLAP_PROCESS_ERROR;
    processFrames(instance, settings, audioChannels, done, frames);
    block->audio_outputs[0].constant_mask = 0;  // no channel is left constant on purpose
    return CLAP_PROCESS_CONTINUE;
}

uint32_t audioPortCount(const clap_plugin_t*, bool) { return 1; }

bool audioPortInfo(const clap_plugin_t* plugin, uint32_t index, bool isInput,
                   clap_audio_port_info_t* info) {
    if (index != 0 || !info) return false;
    const bool mono = instanceOf(plugin).mono;
    std::memset(info, 0, sizeof *info);
    info->id = 0;
    std::strcpy(info->name, isInput ? "Main In" : "Main Out");
    info->flags = CLAP_AUDIO_PORT_IS_MAIN | CLAP_AUDIO_PORT_SUPPORTS_64BITS |
                  CLAP_AUDIO_PORT_REQUIRES_COMMON_SAMPLE_SIZE;
    info->channel_count = mono ? 1 : 2;
    info->port_type = mono ? CLAP_PORT_MONO : CLAP_PORT_STEREO;
    info->in_place_pair = 0;  // the output of the same id
    return true;
}

const clap_plugin_audio_ports_t audioPorts = {audioPortCount, audioPortInfo};

// The port configurations: stereo (id 0, the default) and mono (id 1).
uint32_t portConfigCount(const clap_plugin_t*) { return 2; }

bool portConfig(const clap_plugin_t*, uint32_t index, clap_audio_ports_config_t* config) {
    if (index > 1 || !config) return false;
    const bool mono = index == 1;
    std::memset(config, 0, sizeof *config);
    config->id = index;
    std::strcpy(config->name, mono ? "Mono" : "Stereo");
    config->input_port_count = config->output_port_count = 1;
    config->has_main_input = config->has_main_output = true;
    config->main_input_channel_count = config->main_output_channel_count = mono ? 1 : 2;
    config->main_input_port_type = config->main_output_port_type = mono ? CLAP_PORT_MONO : CLAP_PORT_STEREO;
    return true;
}

bool selectPortConfig(const clap_plugin_t* plugin, clap_id id) {
    ClapInstance& instance = instanceOf(plugin);
    if (id > 1 || instance.active) return false;
    instance.mono = id == 1;
    return true;
}

const clap_plugin_audio_ports_config_t audioPortsConfig = {portConfigCount, portConfig, selectPortConfig};

uint32_t latency(const clap_plugin_t* plugin) {
    return static_cast<uint32_t>(instanceOf(plugin).oversampler.latency);
}
const clap_plugin_latency_t latencyExtension = {latency};

const void* getExtension(const clap_plugin_t*, const char* id) {
    if (!id) return nullptr;
    if (std::strcmp(id, CLAP_EXT_AUDIO_PORTS) == 0) return &audioPorts;
    if (std::strcmp(id, CLAP_EXT_AUDIO_PORTS_CONFIG) == 0) return &audioPortsConfig;
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
