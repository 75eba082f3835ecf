// The bundle's presets as lilv loads them for a host: one per row of the preset table, each
// with its name and category, and port values that the plug-in reads back into exactly the
// row's normalized values.
#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/presets/presets.h>
#include <lv2/urid/urid.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "lv2/port_values.h"
#include "parameters/factory_presets.h"

namespace {

std::vector<std::string> uris;
LV2_URID mapUri(LV2_URID_Map_Handle, const char* uri) {
    for (size_t i = 0; i < uris.size(); ++i)
        if (uris[i] == uri) return static_cast<LV2_URID>(i + 1);
    uris.push_back(uri);
    return static_cast<LV2_URID>(uris.size());
}
LV2_URID_Map map{nullptr, mapUri};

using PortValues = std::map<std::string, float>;
void collect(const char* symbol, void* data, const void* value, uint32_t size, uint32_t type) {
    ASSERT_EQ(type, mapUri(nullptr, LV2_ATOM__Float)) << symbol;
    ASSERT_EQ(size, sizeof(float));
    std::memcpy(&(*static_cast<PortValues*>(data))[symbol], value, sizeof(float));
}

TEST(Lv2Presets, EachRowLoadsThroughLilvWithItsExactValues) {
    LilvWorld* world = lilv_world_new();
    lilv_world_load_all(world);
    LilvNode* pluginUri = lilv_new_uri(world, VELMORA_LV2_URI);
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), pluginUri);
    ASSERT_NE(plugin, nullptr);
    LilvNode* presetClass = lilv_new_uri(world, LV2_PRESETS__Preset);
    LilvNodes* related = lilv_plugin_get_related(plugin, presetClass);
    EXPECT_EQ(lilv_nodes_size(related), static_cast<unsigned>(factoryPresetCount));

    LilvNode* label = lilv_new_uri(world, LILV_NS_RDFS "label");
    LilvNode* comment = lilv_new_uri(world, LILV_NS_RDFS "comment");
    for (int p = 0; p < factoryPresetCount; ++p) {
        const FactoryPreset& preset = factoryPresets[p];
        SCOPED_TRACE(preset.name);
        char key[presetNameLimit + 1];
        formatPresetKey(p, key, sizeof key);
        LilvNode* uri = lilv_new_uri(world, (std::string(VELMORA_LV2_URI ":preset:") + key).c_str());
        EXPECT_TRUE(lilv_nodes_contains(related, uri));
        lilv_world_load_resource(world, uri);
        LilvNode* name = lilv_world_get(world, uri, label, nullptr);
        LilvNode* category = lilv_world_get(world, uri, comment, nullptr);
        EXPECT_STREQ(name ? lilv_node_as_string(name) : "", preset.name);
        EXPECT_STREQ(category ? lilv_node_as_string(category) : "", preset.category);
        LilvState* state = lilv_state_new_from_world(world, &map, uri);
        ASSERT_NE(state, nullptr);
        PortValues ports;
        lilv_state_emit_port_values(state, collect, &ports);
        EXPECT_EQ(ports.size(), static_cast<size_t>(parameterCount + 1));

        const PresetValues values = presetValues(preset);
        for (int i = 0; i < parameterCount; ++i) {
            const char* symbol = parameterTable[i].isBypass ? "enabled" : parameterTable[i].symbol;
            ASSERT_EQ(ports.count(symbol), 1u) << symbol;
            EXPECT_EQ(ports[symbol], parameterTable[i].isBypass ? 1.0f : preset.shown[i]) << symbol;
            EXPECT_EQ(parameterFromPortValue(i, ports[symbol]), values.parameters[i]) << symbol;
        }
        EXPECT_EQ(ports[oversamplingSymbol], static_cast<float>(preset.oversampling));
        lilv_state_free(state);
        lilv_node_free(category), lilv_node_free(name), lilv_node_free(uri);
    }
    lilv_node_free(comment), lilv_node_free(label);
    lilv_nodes_free(related);
    lilv_node_free(presetClass), lilv_node_free(pluginUri);
    lilv_world_free(world);
}

}  // namespace
