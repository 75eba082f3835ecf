// Writes the plug-in's LV2 description (Tolvan_Velmora.ttl) from the parameter table, at
// build time: velmora-lv2-description URI MINOR MICRO OUTPUT.
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/oversampling.h"
#include "lv2/port_values.h"
#include "parameters/parameter_set.h"
#include "parameters/plugin_version.h"

namespace {

// Turtle reads "40" as an integer and "40.0" as a decimal: the range is written as decimals,
// as "%.9g" prints them in the "C" locale whatever the build machine's.
std::string decimal(float value) {
    char text[32];
    const std::to_chars_result end = std::to_chars(text, text + sizeof text, static_cast<double>(value),
                                                   std::chars_format::general, 9);
    std::string result(text, end.ptr);
    if (result.find_first_of(".e") == std::string::npos) result += ".0";
    return result;
}

// A label the units ontology has no unit for (Tube Bias's "Asym"): the description defines
// one, so that LV2 hosts show what VST 2.4 hosts show.
bool hasOwnUnit(const ParameterSpec& spec) {
    return spec.unit[0] != '\0' && std::strcmp(spec.unit, "%") != 0 && std::strcmp(spec.unit, "dB") != 0;
}

void writeControlPort(FILE* out, int index) {
    const ParameterSpec& spec = parameterTable[index];
    std::fprintf(out, "        a lv2:InputPort , lv2:ControlPort ;\n        lv2:index %d ;\n", index);
    if (spec.isBypass) {
        // LV2 hosts know the switch as the enable port, 1 while processing, and show its name
        // beside a tick: "Enabled", not the VST 2.4 parameter's "Bypass".
        std::fprintf(out,
                     "        lv2:symbol \"enabled\" ;\n        lv2:name \"Enabled\" ;\n"
                     "        lv2:designation lv2:enabled ;\n"
                     "        lv2:portProperty lv2:toggled ;\n"
                     "        lv2:default %d ;\n        lv2:minimum 0 ;\n        lv2:maximum 1\n",
                     defaultNormalized(spec) > 0.5f ? 0 : 1);
        return;
    }
    std::fprintf(out,
                 "        lv2:symbol \"%s\" ;\n        lv2:name \"%s\" ;\n"
                 "        lv2:default %s ;\n        lv2:minimum %s ;\n        lv2:maximum %s",
                 spec.symbol, spec.name, decimal(spec.defaultShown).c_str(),
                 decimal(spec.minimum).c_str(), decimal(spec.maximum).c_str());
    if (spec.steps > 0) std::fprintf(out, " ;\n        lv2:portProperty lv2:integer");
    if (std::strcmp(spec.unit, "%") == 0) std::fprintf(out, " ;\n        units:unit units:pc");
    if (std::strcmp(spec.unit, "dB") == 0) std::fprintf(out, " ;\n        units:unit units:db");
    if (hasOwnUnit(spec)) std::fprintf(out, " ;\n        units:unit <#%s_unit>", spec.symbol);
    std::fprintf(out, "\n");
}

void writeAudioPort(FILE* out, int index, bool input, const char* symbol, const char* name) {
    std::fprintf(out,
                 "        a lv2:%s , lv2:AudioPort ;\n        lv2:index %d ;\n"
                 "        lv2:symbol \"%s\" ;\n        lv2:name \"%s\"\n",
                 input ? "InputPort" : "OutputPort", index, symbol, name);
}

// The oversampling factor, an integer with the factors as its scale points, and the latency
// it brings, which hosts read to compensate. Both came after the first twelve ports, and the
// plug-in runs without them. A new factor prepares the engine anew and changes the latency:
// expensive, heard, and not for automation.
void writeOversamplingPorts(FILE* out) {
    std::fprintf(out,
                 "        a lv2:InputPort , lv2:ControlPort ;\n        lv2:index %d ;\n"
                 "        lv2:symbol \"%s\" ;\n        lv2:name \"%s\" ;\n"
                 "        lv2:portProperty lv2:integer , lv2:enumeration , lv2:connectionOptional ,\n"
                 "            pprops:expensive , pprops:causesArtifacts , pprops:notAutomatic ;\n"
                 "        lv2:default %d ;\n        lv2:minimum %d ;\n        lv2:maximum %d ;\n"
                 "        lv2:scalePoint ",
                 lv2PortOversampling, oversamplingSymbol, oversamplingName, oversamplingFactors[0],
                 oversamplingFactors[0], oversamplingFactors[oversamplingChoiceCount - 1]);
    for (int i = 0; i < oversamplingChoiceCount; ++i)
        std::fprintf(out, "%s[ rdfs:label \"%d\u00d7\" ; rdf:value %d ]", i ? " , " : "",
                     oversamplingFactors[i], oversamplingFactors[i]);
    std::fprintf(out,
                 "\n    ] , [\n"
                 "        a lv2:OutputPort , lv2:ControlPort ;\n        lv2:index %d ;\n"
                 "        lv2:symbol \"latency\" ;\n        lv2:name \"Latency\" ;\n"
                 "        lv2:designation lv2:latency ;\n"
                 "        lv2:portProperty lv2:integer , lv2:connectionOptional ;\n"
                 "        lv2:minimum 0 ;\n        lv2:maximum %d ;\n        units:unit units:frame\n",
                 lv2PortLatency, dryDelayFrames - 1);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s URI MINOR MICRO OUTPUT\n", argv[0]);
        return 2;
    }
    FILE* out = std::fopen(argv[4], "w");
    if (!out) {
        std::perror(argv[4]);
        return 1;
    }
    std::fprintf(out,
                 "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
                 "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
                 "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                 "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
                 "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                 "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                 "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n\n"
                 "<%s>\n"
                 "    a lv2:Plugin , lv2:DistortionPlugin , doap:Project ;\n"
                 "    doap:name \"%s\" ;\n"
                 "    doap:license <LICENSE.txt> ;\n"
                 "    doap:maintainer [\n        a foaf:Organization ;\n"
                 "        foaf:name \"%s\"\n    ] ;\n"
                 "    lv2:minorVersion %d ;\n    lv2:microVersion %d ;\n"
                 "    rdfs:comment \"Stereo tube and tape saturation: three bands, a tube stage, "
                 "low-band momentum, high-band sieve and a final glue stage.\" ;\n"
                 "    lv2:optionalFeature lv2:hardRTCapable ;\n    lv2:port [\n",
                 argv[1], velmoraPluginName, velmoraVendorName, std::atoi(argv[2]), std::atoi(argv[3]));
    for (int i = 0; i < parameterCount; ++i) {
        writeControlPort(out, i);
        std::fprintf(out, "    ] , [\n");
    }
    writeAudioPort(out, lv2PortInputLeft, true, "in_left", "In Left");
    std::fprintf(out, "    ] , [\n");
    writeAudioPort(out, lv2PortInputRight, true, "in_right", "In Right");
    std::fprintf(out, "    ] , [\n");
    writeAudioPort(out, lv2PortOutputLeft, false, "out_left", "Out Left");
    std::fprintf(out, "    ] , [\n");
    writeAudioPort(out, lv2PortOutputRight, false, "out_right", "Out Right");
    std::fprintf(out, "    ] , [\n");
    writeOversamplingPorts(out);
    std::fprintf(out, "    ] .\n");
    for (const ParameterSpec& spec : parameterTable)
        if (hasOwnUnit(spec))
            std::fprintf(out,
                         "\n<#%s_unit>\n    a units:Unit ;\n    rdfs:label \"%s\" ;\n"
                         "    units:symbol \"%s\" ;\n    units:render \"%%.%df %s\" .\n",
                         spec.symbol, spec.unit, spec.unit, spec.decimals, spec.unit);
    return std::fclose(out) == 0 ? 0 : 1;
}
