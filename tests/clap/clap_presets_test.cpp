// The factory presets as CLAP hosts find and load them: the discovery factory's one provider
// lists every row of the preset table inside the plug-in, and preset-load sets exactly the
// row's values, renders as the row set by hand does, refuses what it does not know without
// changing anything, and may run while the audio thread processes.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "clap/clap_test_host.h"
#include "parameters/factory_presets.h"
#include "support/test_signal.h"

namespace {

// What an indexer and a metadata receiver were told.
struct Index {
    std::vector<clap_preset_discovery_location_t> locations;
    std::vector<std::string> names, keys, features, pluginIds;
    size_t stopAfter = SIZE_MAX;
    clap_preset_discovery_indexer_t indexer{CLAP_VERSION, "test indexer", "", "", "1", this, nullptr,
        [](const clap_preset_discovery_indexer_t* i, const clap_preset_discovery_location_t* l) {
            return of(i->indexer_data).locations.push_back(*l), true;
        },
        nullptr, nullptr};
    clap_preset_discovery_metadata_receiver_t receiver{this, nullptr,
        [](const clap_preset_discovery_metadata_receiver_t* r, const char* name, const char* key) {
            Index& index = of(r->receiver_data);
            if (index.names.size() == index.stopAfter) return false;
            return index.names.push_back(name), index.keys.push_back(key), true;
        },
        [](const clap_preset_discovery_metadata_receiver_t* r, const clap_universal_plugin_id_t* id) {
            of(r->receiver_data).pluginIds.push_back(std::string(id->abi) + ":" + id->id);
        },
        nullptr, nullptr, nullptr, nullptr, nullptr,
        [](const clap_preset_discovery_metadata_receiver_t* r, const char* feature) {
            of(r->receiver_data).features.push_back(feature);
        },
        nullptr};
    static Index& of(void* data) { return *static_cast<Index*>(data); }
};

struct PresetLibrary : ClapLibrary {
    const clap_preset_discovery_factory_t* discovery() {
        return static_cast<const clap_preset_discovery_factory_t*>(
            entry()->get_factory(CLAP_PRESET_DISCOVERY_FACTORY_ID));
    }
};

const clap_plugin_preset_load_t* presetLoad(ClapPlugin& p) {
    return pluginExtension<clap_plugin_preset_load_t>(p.plugin, CLAP_EXT_PRESET_LOAD);
}
bool load(ClapPlugin& p, const char* key, uint32_t kind = CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN,
          const char* location = nullptr) {
    return presetLoad(p)->from_location(p.plugin, kind, location, key);
}

std::vector<unsigned char> savedState(ClapPlugin& p) {
    ByteStream saved;
    EXPECT_TRUE(p.state->save(p.plugin, &saved.out));
    return saved.bytes;
}
float savedValue(const std::vector<unsigned char>& state, int index) {
    float value;
    std::memcpy(&value, state.data() + 12 + 4 * index, 4);  // little-endian hosts
    return value;
}

std::string keyOf(int preset) {
    char key[presetNameLimit + 1];
    formatPresetKey(preset, key, sizeof key);
    return key;
}

TEST(ClapPresets, OneProviderListsEveryPresetInsideThePlugin) {
    PresetLibrary library;
    const clap_preset_discovery_factory_t* factory = library.discovery();
    ASSERT_NE(factory, nullptr);
    ASSERT_EQ(factory->count(factory), 1u);
    const auto* descriptor = factory->get_descriptor(factory, 0);
    EXPECT_EQ(factory->get_descriptor(factory, 1), nullptr);
    Index index;
    EXPECT_EQ(factory->create(factory, &index.indexer, "com.other.presets"), nullptr);
    EXPECT_EQ(factory->create(factory, nullptr, descriptor->id), nullptr);

    const clap_preset_discovery_provider_t* provider = factory->create(factory, &index.indexer, descriptor->id);
    ASSERT_NE(provider, nullptr);
    ASSERT_TRUE(provider->init(provider));
    ASSERT_EQ(index.locations.size(), 1u);
    EXPECT_EQ(index.locations[0].kind, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN);
    EXPECT_EQ(index.locations[0].location, nullptr);
    EXPECT_EQ(index.locations[0].flags, CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT);

    EXPECT_FALSE(provider->get_metadata(provider, CLAP_PRESET_DISCOVERY_LOCATION_FILE, "/tmp", &index.receiver));
    EXPECT_TRUE(index.names.empty());
    ASSERT_TRUE(provider->get_metadata(provider, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, &index.receiver));
    ASSERT_EQ(index.names.size(), static_cast<size_t>(factoryPresetCount));
    for (int p = 0; p < factoryPresetCount; ++p) {
        EXPECT_EQ(index.names[p], factoryPresets[p].name);
        EXPECT_EQ(index.keys[p], keyOf(p));
        EXPECT_EQ(index.features[p], factoryPresets[p].category);
        EXPECT_EQ(index.pluginIds[p], std::string("clap:") + velmoraClapId);
    }
    EXPECT_EQ(index.keys[14], "lo-fi-tape");

    Index stopping;  // a receiver that answers false is called no more
    stopping.stopAfter = 3;
    EXPECT_TRUE(provider->get_metadata(provider, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, &stopping.receiver));
    EXPECT_EQ(stopping.names.size(), 3u);
    provider->destroy(provider);
}

TEST(ClapPresets, EachLoadsItsRowExactlyAndRendersAsTheRowSetByHand) {
    PresetLibrary library;
    constexpr uint32_t frames = 3000;
    for (int p = 0; p < factoryPresetCount; ++p) {
        const FactoryPreset& preset = factoryPresets[p];
        SCOPED_TRACE(preset.name);
        ClapPlugin loaded(library), byHand(library);
        ASSERT_TRUE(load(loaded, keyOf(p).c_str()));
        EXPECT_EQ(loaded.host.loadedPresets, std::vector<std::string>{keyOf(p)});
        EXPECT_EQ(loaded.host.rescans, std::vector<uint32_t>{CLAP_PARAM_RESCAN_VALUES});
        const std::vector<unsigned char> state = savedState(loaded);
        const PresetValues values = presetValues(preset);
        for (int i = 0; i < parameterCount; ++i) EXPECT_EQ(savedValue(state, i), values.parameters[i]) << i;
        EXPECT_EQ(state[44], preset.oversampling);

        // The host's values: the shown units, a stepped parameter's position.
        for (clap_id i = 0; i < parameterCount; ++i) byHand.set(i, parameterTable[i].isBypass ? 0.0 : preset.shown[i]);
        byHand.set(parameterCount, values.oversamplingChoice);  // Oversampling's id
        EXPECT_EQ(savedState(byHand), state);

        Stereo in(frames), outLoaded(frames), outByHand(frames);
        fillTestSignal(in.left.data(), in.right.data(), frames, 48000.0, 3);
        for (ClapPlugin* instance : {&loaded, &byHand}) ASSERT_TRUE(instance->activate(48000.0));
        loaded.process(in.data(), outLoaded.data(), frames);
        byHand.process(in.data(), outByHand.data(), frames);
        EXPECT_TRUE(outLoaded == outByHand);
    }
}

TEST(ClapPresets, UnknownKeysAndLocationsChangeNothing) {
    PresetLibrary library;
    ClapPlugin p(library);
    ASSERT_NE(presetLoad(p), nullptr);
    EXPECT_EQ(pluginExtension<clap_plugin_preset_load_t>(p.plugin, CLAP_EXT_PRESET_LOAD_COMPAT), presetLoad(p));
    p.set(0, 12.0);
    const std::vector<unsigned char> before = savedState(p);
    EXPECT_FALSE(load(p, "drum-crushed"));
    EXPECT_FALSE(load(p, "Drum Crush"));  // the name is no key
    EXPECT_FALSE(load(p, ""));
    EXPECT_FALSE(load(p, nullptr));
    EXPECT_FALSE(load(p, "drum-crush", CLAP_PRESET_DISCOVERY_LOCATION_FILE, "/presets/drum-crush"));
    EXPECT_FALSE(load(p, "drum-crush", CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, "elsewhere"));
    EXPECT_EQ(savedState(p), before);
    EXPECT_EQ(p.host.presetErrors.size(), 6u);
    EXPECT_TRUE(p.host.loadedPresets.empty());
    EXPECT_TRUE(p.host.rescans.empty());
}

// The host's main thread loads presets while its audio thread processes; a new Oversampling
// factor waits for the restart asked for.
TEST(ClapPresets, LoadedWhileProcessing) {
    PresetLibrary library;
    ClapPlugin p(library);
    ASSERT_TRUE(p.activate(48000.0));
    std::atomic<bool> running{true};
    std::atomic<int> blocks{0};
    std::thread audio([&] {
        Stereo in(64), out(64);
        fillTestSignal(in.left.data(), in.right.data(), 64, 48000.0, 5);
        while (running) p.process(in.data(), out.data(), 64), ++blocks;
    });
    for (int round = 0; round < 20; ++round)
        for (int preset = 0; preset < factoryPresetCount; ++preset) EXPECT_TRUE(load(p, keyOf(preset).c_str()));
    const int drumCrush = findFactoryPreset("Drum Crush");
    ASSERT_TRUE(load(p, keyOf(drumCrush).c_str()));
    for (int seen = blocks; blocks < seen + 2;) std::this_thread::yield();
    running = false;
    audio.join();
    EXPECT_GT(p.host.restartRequests, 0);
    EXPECT_EQ(savedValue(savedState(p), parameterDrive), 0.9f);
    ASSERT_TRUE(p.reactivate(48000.0));
    EXPECT_GT(p.latency(), 0u);  // Drum Crush's 2x, applied at the restart
}

}  // namespace
