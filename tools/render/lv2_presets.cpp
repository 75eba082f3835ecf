#include "tools/render/lv2_presets.h"

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/presets/presets.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cstring>
#include <strings.h>

#include "tools/render/errors.h"

namespace {

// lilv needs a URID map to read a state; nothing here outlives the call.
struct UridMap {
    std::vector<std::string> uris;
    LV2_URID_Map map{this, mapUri};
    static LV2_URID mapUri(LV2_URID_Map_Handle handle, const char* uri) {
        auto& uris = static_cast<UridMap*>(handle)->uris;
        auto found = std::find(uris.begin(), uris.end(), uri);
        if (found == uris.end()) found = uris.insert(uris.end(), uri);
        return static_cast<LV2_URID>(found - uris.begin() + 1);
    }
};

struct PortCollector {
    const Lv2Plugin& plugin;
    LV2_URID floatType, doubleType, intType;
    Lv2Preset& preset;
    std::string problem;
};

void collectPortValue(const char* symbol, void* data, const void* value, uint32_t size, uint32_t type) {
    auto& collector = *static_cast<PortCollector*>(data);
    auto port = std::find_if(collector.plugin.ports.begin(), collector.plugin.ports.end(),
                             [&](const Lv2Port& p) { return p.symbol == symbol; });
    // A preset's values arrive as the atom types of their literals: floats, doubles, integers.
    float number = 0.0f;
    bool known = true;
    if (type == collector.floatType && size == sizeof(float)) {
        std::memcpy(&number, value, sizeof number);
    } else if (type == collector.doubleType && size == sizeof(double)) {
        double wide;
        std::memcpy(&wide, value, sizeof wide);
        number = static_cast<float>(wide);
    } else if (type == collector.intType && size == sizeof(int32_t)) {
        int32_t whole;
        std::memcpy(&whole, value, sizeof whole);
        number = static_cast<float>(whole);
    } else {
        known = false;
    }
    if (port == collector.plugin.ports.end() || port->kind != Lv2PortKind::controlInput || !known) {
        collector.problem = std::string("port ") + inQuotes(symbol);
        return;
    }
    collector.preset.ports.push_back({static_cast<int>(port->index), number});
}

std::string stringOf(LilvWorld* world, const LilvNode* subject, const char* predicateUri) {
    LilvNode* predicate = lilv_new_uri(world, predicateUri);
    LilvNode* found = lilv_world_get(world, subject, predicate, nullptr);
    std::string text = found ? lilv_node_as_string(found) : "";
    lilv_node_free(found);
    lilv_node_free(predicate);
    return text;
}

}  // namespace

std::vector<Lv2Preset> loadLv2Presets(const Lv2Plugin& plugin) {
    UridMap map;
    LilvWorld* world = plugin.world;
    LilvNode* presetClass = lilv_new_uri(world, LV2_PRESETS__Preset);
    LilvNodes* related = lilv_plugin_get_related(plugin.plugin, presetClass);
    lilv_node_free(presetClass);
    std::vector<Lv2Preset> presets;
    std::string problem;
    LILV_FOREACH (nodes, i, related) {
        const LilvNode* node = lilv_nodes_get(related, i);
        lilv_world_load_resource(world, node);
        Lv2Preset preset;
        preset.uri = lilv_node_as_uri(node);
        preset.label = stringOf(world, node, LILV_NS_RDFS "label");
        preset.comment = stringOf(world, node, LILV_NS_RDFS "comment");
        LilvState* state = lilv_state_new_from_world(world, &map.map, node);
        if (!state) {
            problem = "preset " + inQuotes(preset.uri) + " does not load";
            break;
        }
        PortCollector collector{plugin, map.map.map(&map, LV2_ATOM__Float),
                                map.map.map(&map, LV2_ATOM__Double), map.map.map(&map, LV2_ATOM__Int),
                                preset, {}};
        lilv_state_emit_port_values(state, collectPortValue, &collector);
        lilv_state_free(state);
        if (!collector.problem.empty()) {
            problem = "preset " + inQuotes(preset.uri) + " sets " + collector.problem +
                      ", not a number for a control input of the plug-in";
            break;
        }
        if (preset.label.empty()) preset.label = preset.uri;
        presets.push_back(std::move(preset));
    }
    lilv_nodes_free(related);
    if (!problem.empty()) throw ProcessingError(problem);
    std::sort(presets.begin(), presets.end(),
              [](const Lv2Preset& a, const Lv2Preset& b) { return a.label < b.label; });
    return presets;
}

Lv2Preset findLv2Preset(const PluginModule& module, const std::string& name) {
    if (!module.lv2) throw UsageError("--preset: " + inQuotes(module.path) + " is no LV2 plug-in; presets are read from LV2 plug-ins only");
    std::vector<Lv2Preset> presets = loadLv2Presets(*module.lv2);
    auto match = std::find_if(presets.begin(), presets.end(), [&](const Lv2Preset& p) { return p.label == name; });
    if (match == presets.end())
        match = std::find_if(presets.begin(), presets.end(),
                             [&](const Lv2Preset& p) { return strcasecmp(p.label.c_str(), name.c_str()) == 0; });
    if (match != presets.end()) return *match;
    std::string labels;
    for (const Lv2Preset& p : presets) labels += (labels.empty() ? "" : ", ") + inQuotes(p.label);
    throw UsageError("unknown preset " + inQuotes(name) + "; presets: " +
                     (labels.empty() ? "(the plug-in has none)" : labels));
}
