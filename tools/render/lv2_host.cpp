#include "tools/render/lv2_host.h"

#include <lv2/core/lv2.h>
#include <lv2/units/units.h>

#include <algorithm>
#include <filesystem>
#include <mutex>

#include "tools/render/errors.h"

namespace {

// Plug-ins are instantiated and freed one at a time, as the VST 2.4 side does.
std::mutex lifecycleLock;

struct Node {
    LilvNode* node;
    Node(LilvWorld* world, const char* uri) : node(lilv_new_uri(world, uri)) {}
    ~Node() { lilv_node_free(node); }
    operator const LilvNode*() const { return node; }
};

// The symbol the units ontology gives a unit: from the plug-in's own description when it
// defines the unit there, else the ontology's for the units LV2 defines.
std::string unitSymbol(LilvWorld* world, const LilvNode* unit) {
    Node symbol(world, LV2_UNITS__symbol);
    if (LilvNode* found = lilv_world_get(world, unit, symbol, nullptr)) {
        std::string text = lilv_node_as_string(found);
        lilv_node_free(found);
        return text;
    }
    static const std::pair<const char*, const char*> known[] = {
        {LV2_UNITS__pc, "%"},      {LV2_UNITS__db, "dB"},     {LV2_UNITS__hz, "Hz"},
        {LV2_UNITS__khz, "kHz"},   {LV2_UNITS__mhz, "MHz"},   {LV2_UNITS__ms, "ms"},
        {LV2_UNITS__s, "s"},       {LV2_UNITS__frame, "frames"}, {LV2_UNITS__bpm, "BPM"},
        {LV2_UNITS__cent, "ct"},   {LV2_UNITS__semitone12TET, "semi"}, {LV2_UNITS__degree, "deg"},
        {LV2_UNITS__oct, "oct"},   {LV2_UNITS__coef, "coef"},
    };
    const std::string uri = lilv_node_as_uri(unit);
    for (const auto& [known_uri, text] : known)
        if (uri == known_uri) return text;
    return {};
}

Lv2Port describePort(LilvWorld* world, const LilvPlugin* plugin, uint32_t index) {
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin, index);
    Node input(world, LV2_CORE__InputPort), output(world, LV2_CORE__OutputPort);
    Node audio(world, LV2_CORE__AudioPort), control(world, LV2_CORE__ControlPort);
    Node optional(world, LV2_CORE__connectionOptional), integer(world, LV2_CORE__integer);
    Node toggled(world, LV2_CORE__toggled), enabled(world, LV2_CORE__enabled);
    Node unitPredicate(world, LV2_UNITS__unit);
    Lv2Port info;
    info.index = index;
    const bool isInput = lilv_port_is_a(plugin, port, input);
    if (lilv_port_is_a(plugin, port, audio))
        info.kind = isInput ? Lv2PortKind::audioInput : Lv2PortKind::audioOutput;
    else if (lilv_port_is_a(plugin, port, control))
        info.kind = isInput ? Lv2PortKind::controlInput : Lv2PortKind::controlOutput;
    info.optional = lilv_port_has_property(plugin, port, optional);
    info.symbol = lilv_node_as_string(lilv_port_get_symbol(plugin, port));
    LilvNode* name = lilv_port_get_name(plugin, port);
    info.name = name ? lilv_node_as_string(name) : info.symbol;
    lilv_node_free(name);
    LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
    lilv_port_get_range(plugin, port, &def, &min, &max);
    if (min) info.minimum = lilv_node_as_float(min);
    if (max) info.maximum = lilv_node_as_float(max);
    info.defaultValue = def ? lilv_node_as_float(def) : info.minimum;
    lilv_node_free(def), lilv_node_free(min), lilv_node_free(max);
    info.integer = lilv_port_has_property(plugin, port, integer) || lilv_port_has_property(plugin, port, toggled);
    LilvNodes* designations = lilv_port_get_value(plugin, port, Node(world, LV2_CORE__designation));
    info.enabledSwitch = designations && lilv_nodes_contains(designations, enabled);
    lilv_nodes_free(designations);
    if (LilvNodes* units = lilv_port_get_value(plugin, port, unitPredicate)) {
        if (lilv_nodes_size(units) > 0) info.unit = unitSymbol(world, lilv_nodes_get_first(units));
        lilv_nodes_free(units);
    }
    if (LilvScalePoints* points = lilv_port_get_scale_points(plugin, port)) {
        LILV_FOREACH (scale_points, i, points) {
            const LilvScalePoint* point = lilv_scale_points_get(points, i);
            info.scalePoints.push_back({lilv_node_as_float(lilv_scale_point_get_value(point)),
                                        lilv_node_as_string(lilv_scale_point_get_label(point))});
        }
        lilv_scale_points_free(points);
        std::sort(info.scalePoints.begin(), info.scalePoints.end(),
                  [](const ScalePoint& a, const ScalePoint& b) { return a.value < b.value; });
    }
    return info;
}

const LilvPlugin* findInBundle(LilvWorld* world, const std::string& folder) {
    const std::string path = std::filesystem::absolute(folder).lexically_normal().string();
    LilvNode* bundle = lilv_new_file_uri(world, nullptr, (path + "/").c_str());
    lilv_world_load_bundle(world, bundle);
    const LilvPlugin* found = nullptr;
    const LilvPlugins* plugins = lilv_world_get_all_plugins(world);
    LILV_FOREACH (plugins, i, plugins) {
        const LilvPlugin* plugin = lilv_plugins_get(plugins, i);
        if (lilv_node_equals(lilv_plugin_get_bundle_uri(plugin), bundle)) {
            found = plugin;
            break;
        }
    }
    lilv_node_free(bundle);
    return found;
}

}  // namespace

Lv2Plugin::~Lv2Plugin() {
    if (world) lilv_world_free(world);
}

bool isLv2Reference(const std::string& reference) {
    std::error_code error;
    if (std::filesystem::is_directory(reference, error)) return true;
    const size_t colon = reference.find(':');
    return colon != std::string::npos && colon > 1 && reference.find('/') > colon &&
           !std::filesystem::exists(reference, error);
}

std::shared_ptr<const Lv2Plugin> loadLv2Plugin(const std::string& reference) {
    auto plugin = std::make_shared<Lv2Plugin>();
    plugin->world = lilv_world_new();
    std::error_code error;
    if (std::filesystem::is_directory(reference, error)) {
        if (!std::filesystem::exists(std::filesystem::path(reference) / "manifest.ttl", error))
            throw ProcessingError("LV2 bundle " + inQuotes(reference) + " holds no plug-in (no manifest.ttl)");
        plugin->plugin = findInBundle(plugin->world, reference);
        if (!plugin->plugin)
            throw ProcessingError("LV2 bundle " + inQuotes(reference) + " holds no plug-in");
    } else {
        lilv_world_load_all(plugin->world);  // LV2_PATH, as hosts read it
        LilvNode* uri = lilv_new_uri(plugin->world, reference.c_str());
        plugin->plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(plugin->world), uri);
        lilv_node_free(uri);
        if (!plugin->plugin)
            throw ProcessingError("no LV2 plug-in " + inQuotes(reference) + " on LV2_PATH");
    }
    const LilvPlugin* p = plugin->plugin;
    plugin->uri = lilv_node_as_uri(lilv_plugin_get_uri(p));
    LilvNode* name = lilv_plugin_get_name(p);
    plugin->name = name ? lilv_node_as_string(name) : plugin->uri;
    lilv_node_free(name);
    if (LilvNode* vendor = lilv_plugin_get_author_name(p)) {
        plugin->vendor = lilv_node_as_string(vendor);
        lilv_node_free(vendor);
    }
    for (uint32_t i = 0; i < lilv_plugin_get_num_ports(p); ++i) {
        plugin->ports.push_back(describePort(plugin->world, p, i));
        if (plugin->ports.back().kind == Lv2PortKind::other && !plugin->ports.back().optional)
            throw ProcessingError("LV2 plug-in " + inQuotes(plugin->uri) + " has port " +
                                  inQuotes(plugin->ports.back().symbol) +
                                  ", neither audio nor control; it cannot be rendered here");
    }
    if (lilv_plugin_has_latency(p)) plugin->latencyPort = static_cast<int>(lilv_plugin_get_latency_port_index(p));
    return plugin;
}

Lv2Instance instantiateLv2(const std::shared_ptr<const Lv2Plugin>& plugin, double sampleRate) {
    Lv2Instance instance;
    instance.plugin = plugin;
    {
        std::lock_guard<std::mutex> guard(lifecycleLock);
        instance.instance = lilv_plugin_instantiate(plugin->plugin, sampleRate, nullptr);
    }
    if (!instance.instance)
        throw ProcessingError("LV2 plug-in " + inQuotes(plugin->uri) +
                              " did not instantiate (it may need host features this renderer lacks)");
    instance.portValues.assign(plugin->ports.size(), 0.0f);
    for (const Lv2Port& port : plugin->ports) {
        if (port.kind == Lv2PortKind::controlInput) instance.portValues[port.index] = port.defaultValue;
        const bool control = port.kind == Lv2PortKind::controlInput || port.kind == Lv2PortKind::controlOutput;
        lilv_instance_connect_port(instance.instance, port.index, control ? &instance.portValues[port.index] : nullptr);
    }
    return instance;
}

void runLv2(Lv2Instance& instance, float** inputs, float** outputs, int32_t frames) {
    int input = 0, output = 0;
    for (const Lv2Port& port : instance.plugin->ports) {
        if (port.kind == Lv2PortKind::audioInput)
            lilv_instance_connect_port(instance.instance, port.index, inputs[input++]);
        else if (port.kind == Lv2PortKind::audioOutput)
            lilv_instance_connect_port(instance.instance, port.index, outputs[output++]);
    }
    lilv_instance_run(instance.instance, static_cast<uint32_t>(frames));
}

void freeLv2(Lv2Instance& instance) {
    if (!instance.instance) return;
    if (instance.active) lilv_instance_deactivate(instance.instance);
    instance.active = false;
    std::lock_guard<std::mutex> guard(lifecycleLock);
    lilv_instance_free(instance.instance);
    instance.instance = nullptr;
}

int countLv2Ports(const Lv2Plugin& plugin, Lv2PortKind kind) {
    int count = 0;
    for (const Lv2Port& port : plugin.ports) count += port.kind == kind;
    return count;
}
