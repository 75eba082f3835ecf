// The factory presets for CLAP hosts: a preset discovery factory with one provider, which
// declares them as a location inside the plug-in and lists each by name with its key, and
// the preset-load extension, which loads one by its key through the state's load (so a
// preset sets every parameter as a saved state does) and tells the host.
#include <cstring>
#include <new>

#include "clap/clap_instance.h"
#include "clap/clap_preset_abi.h"
#include "parameters/factory_presets.h"
#include "parameters/plugin_version.h"

namespace {

constexpr const char* locationName = "Factory presets";

const clap_preset_discovery_provider_descriptor_t providerDescriptor = {
    CLAP_VERSION, "com.tolvan-audio.velmora.factory-presets", "Tolvan Velmora factory presets",
    velmoraVendorName};

bool declareLocation(const clap_preset_discovery_provider_t* provider) {
    const auto* indexer = static_cast<const clap_preset_discovery_indexer_t*>(provider->provider_data);
    const clap_preset_discovery_location_t location = {
        CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT, locationName, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN,
        nullptr};
    return indexer->declare_location && indexer->declare_location(indexer, &location);
}

void destroyProvider(const clap_preset_discovery_provider_t* provider) { delete provider; }

bool isOurLocation(uint32_t kind, const char* location) {
    return kind == CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN && (!location || !*location);
}

bool listPresets(const clap_preset_discovery_provider_t*, uint32_t kind, const char* location,
                 const clap_preset_discovery_metadata_receiver_t* receiver) {
    if (!receiver || !receiver->begin_preset || !isOurLocation(kind, location)) return false;
    const clap_universal_plugin_id_t plugin = {"clap", clapPluginId};
    for (int p = 0; p < factoryPresetCount; ++p) {
        char key[presetNameLimit + 1];
        formatPresetKey(p, key, sizeof key);
        if (!receiver->begin_preset(receiver, factoryPresets[p].name, key)) break;
        if (receiver->add_plugin_id) receiver->add_plugin_id(receiver, &plugin);
        if (receiver->set_flags) receiver->set_flags(receiver, CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT);
        if (receiver->add_creator) receiver->add_creator(receiver, velmoraVendorName);
        if (receiver->add_feature) receiver->add_feature(receiver, factoryPresets[p].category);
    }
    return true;
}

const void* providerExtension(const clap_preset_discovery_provider_t*, const char*) { return nullptr; }

uint32_t providerCount(const clap_preset_discovery_factory_t*) { return 1; }

const clap_preset_discovery_provider_descriptor_t* providerInfo(const clap_preset_discovery_factory_t*,
                                                                uint32_t index) {
    return index == 0 ? &providerDescriptor : nullptr;
}

const clap_preset_discovery_provider_t* createProvider(const clap_preset_discovery_factory_t*,
                                                       const clap_preset_discovery_indexer_t* indexer,
                                                       const char* id) {
    if (!indexer || !id || std::strcmp(id, providerDescriptor.id) != 0) return nullptr;
    return new (std::nothrow) clap_preset_discovery_provider_t{
        &providerDescriptor, const_cast<clap_preset_discovery_indexer_t*>(indexer), declareLocation,
        destroyProvider, listPresets, providerExtension};
}

const clap_preset_discovery_factory_t discoveryFactory = {providerCount, providerInfo, createProvider};

// The state's bytes, read as the host's streams are.
struct StateBytes {
    unsigned char bytes[clapStateBytes];
    size_t position = 0;
};

int64_t readState(const clap_istream_t* stream, void* buffer, uint64_t size) {
    auto& state = *static_cast<StateBytes*>(stream->ctx);
    const size_t n = size < clapStateBytes - state.position ? static_cast<size_t>(size) : clapStateBytes - state.position;
    std::memcpy(buffer, state.bytes + state.position, n);
    state.position += n;
    return static_cast<int64_t>(n);
}

// [main-thread]
bool loadPreset(const clap_plugin_t* plugin, uint32_t kind, const char* location, const char* key) {
    const clap_host_t* host = instanceOf(plugin).host;
    const auto* hostPresets = host->get_extension ? static_cast<const clap_host_preset_load_t*>(
                                                        host->get_extension(host, CLAP_EXT_PRESET_LOAD))
                                                  : nullptr;
    const int index = isOurLocation(kind, location) ? findPresetByKey(key) : -1;
    if (index < 0) {
        if (hostPresets && hostPresets->on_error)
            hostPresets->on_error(host, kind, location, key, 0, "no such factory preset");
        return false;
    }
    const PresetValues values = presetValues(factoryPresets[index]);
    StateBytes state;
    // The editor keeps the size it has: a preset is sound, not a window.
    writeClapState(values.parameters, values.oversamplingChoice,
                   static_cast<float>(instanceOf(plugin).editor.sizing.zoom), state.bytes);
    const clap_istream_t stream = {&state, readState};
    if (!clapState.load(plugin, &stream)) return false;
    if (hostPresets && hostPresets->loaded) hostPresets->loaded(host, kind, location, key);
    return true;
}

const clap_plugin_preset_load_t presetLoad = {loadPreset};

}  // namespace

const void* const clapPresetDiscoveryFactory = &discoveryFactory;
const void* const clapPresetLoad = &presetLoad;
