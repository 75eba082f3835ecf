// Writes the LV2 factory presets (presets.ttl) from the preset table and the bundle's
// manifest, which lists each preset so hosts find them while discovering plug-ins, at build
// time: velmora-lv2-presets URI MANIFEST_BASE MANIFEST PRESETS.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "lv2/port_values.h"
#include "parameters/factory_presets.h"

namespace {

std::string presetUri(const char* pluginUri, int index) {
    char key[presetNameLimit + 1];
    formatPresetKey(index, key, sizeof key);
    return std::string(pluginUri) + ":preset:" + key;
}

// Written as decimals ("40.0", not the integer "40"), which lilv hands hosts as floats.
void writePortValue(FILE* out, const char* symbol, float value, bool last) {
    const double number = value;
    std::fprintf(out, number == std::floor(number) ? "        [ lv2:symbol \"%s\" ; pset:value %.1f ]%s\n"
                                                   : "        [ lv2:symbol \"%s\" ; pset:value %.9g ]%s\n",
                 symbol, number, last ? " ." : " ,");
}

void writePreset(FILE* out, const char* pluginUri, int index) {
    const FactoryPreset& preset = factoryPresets[index];
    const PresetValues values = presetValues(preset);
    std::fprintf(out,
                 "<%s>\n    a pset:Preset ;\n    lv2:appliesTo <%s> ;\n"
                 "    rdfs:label \"%s\" ;\n    rdfs:comment \"%s\" ;\n    lv2:port\n",
                 presetUri(pluginUri, index).c_str(), pluginUri, preset.name, preset.category);
    // The table's shown values are the port values (read back into exactly the normalized
    // values), except the bypass, which LV2 hosts see as the enable switch.
    for (int i = 0; i < parameterCount; ++i) {
        const bool bypass = parameterTable[i].isBypass;
        writePortValue(out, bypass ? "enabled" : parameterTable[i].symbol,
                       bypass ? portValueFromParameter(i, values.parameters[i]) : preset.shown[i], false);
    }
    writePortValue(out, oversamplingSymbol, static_cast<float>(preset.oversampling), true);
    std::fprintf(out, "\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s URI MANIFEST_BASE MANIFEST PRESETS\n", argv[0]);
        return 2;
    }
    const char* uri = argv[1];
    std::ifstream base(argv[2]);
    std::stringstream manifest;
    manifest << base.rdbuf();
    FILE* out = std::fopen(argv[3], "w");
    FILE* presets = std::fopen(argv[4], "w");
    if (!base || !out || !presets) {
        std::perror("velmora-lv2-presets");
        return 1;
    }
    std::fprintf(out, "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n%s",
                 manifest.str().c_str());
    std::fprintf(presets,
                 "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                 "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                 "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n\n");
    for (int p = 0; p < factoryPresetCount; ++p) {
        std::fprintf(out, "\n<%s>\n    a pset:Preset ;\n    lv2:appliesTo <%s> ;\n"
                          "    rdfs:seeAlso <presets.ttl> .\n",
                     presetUri(uri, p).c_str(), uri);
        writePreset(presets, uri, p);
    }
    const bool written = std::fclose(presets) == 0;
    return std::fclose(out) == 0 && written ? 0 : 1;
}
