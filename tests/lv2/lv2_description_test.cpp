// What the LV2 description tells hosts beyond the ports' ranges, read back through lilv: the
// optional ports, the Oversampling port's properties, the licence, the units against the
// VST 2.4 library's labels, and what the UI declares.
#include <gtest/gtest.h>
#include <lilv/lilv.h>

#include <filesystem>
#include <string>

#include "support/plugin_library.h"

namespace {

struct World {
    LilvWorld* world = lilv_world_new();
    const LilvPlugin* plugin;
    World() {
        lilv_world_load_all(world);
        LilvNode* uri = lilv_new_uri(world, VELMORA_LV2_URI);
        plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
        lilv_node_free(uri);
    }
    ~World() { lilv_world_free(world); }
    bool ask(const LilvNode* subject, const char* predicate, const char* object) const {
        LilvNode* p = lilv_new_uri(world, predicate);
        LilvNode* o = lilv_new_uri(world, object);
        const bool found = lilv_world_ask(world, subject, p, o);
        lilv_node_free(p), lilv_node_free(o);
        return found;
    }
    bool portHas(uint32_t index, const char* property) const {
        LilvNode* p = lilv_new_uri(world, property);
        const bool found = lilv_port_has_property(plugin, lilv_plugin_get_port_by_index(plugin, index), p);
        lilv_node_free(p);
        return found;
    }
    LilvNode* get(const LilvNode* subject, const char* predicate) const {
        LilvNode* p = lilv_new_uri(world, predicate);
        LilvNode* value = lilv_world_get(world, subject, p, nullptr);
        lilv_node_free(p);
        return value;
    }
} lv2;

constexpr const char* lv2Core = "http://lv2plug.in/ns/lv2core#";
constexpr const char* pprops = "http://lv2plug.in/ns/ext/port-props#";
constexpr const char* units = "http://lv2plug.in/ns/extensions/units#";

std::string in(const char* space, const char* name) { return std::string(space) + name; }

TEST(Lv2Description, PortsAddedLaterAreOptionalAndOversamplingIsExpensive) {
    ASSERT_NE(lv2.plugin, nullptr);
    for (uint32_t i = 0; i < 14; ++i)
        EXPECT_EQ(lv2.portHas(i, in(lv2Core, "connectionOptional").c_str()), i >= 12) << i;
    for (const char* property : {"expensive", "causesArtifacts", "notAutomatic"}) {
        EXPECT_TRUE(lv2.portHas(12, in(pprops, property).c_str())) << property;
        EXPECT_FALSE(lv2.portHas(0, in(pprops, property).c_str())) << property;
    }
}

TEST(Lv2Description, LicenceIsInTheBundleAndUnitsAreTheVstLabels) {
    ASSERT_NE(lv2.plugin, nullptr);
    LilvNode* licence = lv2.get(lilv_plugin_get_uri(lv2.plugin), "http://usefulinc.com/ns/doap#license");
    ASSERT_NE(licence, nullptr);
    char* path = lilv_file_uri_parse(lilv_node_as_uri(licence), nullptr);
    EXPECT_TRUE(std::filesystem::is_regular_file(path)) << path;
    lilv_free(path);
    lilv_node_free(licence);

    PluginLibrary library;
    AEffect* effect = library.create();
    for (int32_t i = 0; i < 8; ++i) {
        char label[16] = {};
        dispatch(effect, effGetParamLabel, i, 0, label);
        LilvNode* predicate = lilv_new_uri(lv2.world, in(units, "unit").c_str());
        LilvNodes* found = lilv_port_get_value(lv2.plugin, lilv_plugin_get_port_by_index(lv2.plugin, i), predicate);
        lilv_node_free(predicate);
        const LilvNode* unit = found && lilv_nodes_size(found) ? lilv_nodes_get_first(found) : nullptr;
        const std::string expected = label;
        if (expected.empty()) {
            EXPECT_EQ(unit, nullptr) << i;
        } else if (expected == "%" || expected == "dB") {
            ASSERT_NE(unit, nullptr) << i;
            EXPECT_EQ(lilv_node_as_uri(unit), in(units, expected == "%" ? "pc" : "db")) << i;
        } else {
            ASSERT_NE(unit, nullptr) << i;
            LilvNode* symbol = lv2.get(unit, in(units, "symbol").c_str());
            EXPECT_EQ(symbol ? lilv_node_as_string(symbol) : "", expected) << i;
            lilv_node_free(symbol);
        }
        lilv_nodes_free(found);
    }
    closeEffect(effect);
}

TEST(Lv2Description, UiIsFixedInSizeAndOffersTouch) {
    ASSERT_NE(lv2.plugin, nullptr);
    LilvUIs* uis = lilv_plugin_get_uis(lv2.plugin);
    ASSERT_EQ(lilv_uis_size(uis), 1u);
    const LilvNode* ui = lilv_ui_get_uri(lilv_uis_get(uis, lilv_uis_begin(uis)));
    const std::string optional = in(lv2Core, "optionalFeature"), required = in(lv2Core, "requiredFeature");
    for (const char* feature : {"fixedSize", "touch", "resize"}) {
        const std::string uri = in("http://lv2plug.in/ns/extensions/ui#", feature);
        EXPECT_TRUE(lv2.ask(ui, optional.c_str(), uri.c_str())) << feature;
        EXPECT_FALSE(lv2.ask(ui, required.c_str(), uri.c_str())) << feature;
    }
    lilv_uis_free(uis);
}

}  // namespace
