// Writes the bundle's Contents/Resources/moduleinfo.json: the module information hosts read
// to list the class without loading the module, in the SDK's module-info format, from the
// same identity the factory answers with.
#include <cstdio>
#include <string>

#include "vst3/vst3_abi.h"
#include "vst3/vst3_identity.h"

namespace {

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

// "Fx|Distortion" as ["Fx", "Distortion"].
std::string categoryList(const std::string& categories) {
    std::string list, current;
    for (char c : categories + "|") {
        if (c != '|') {
            current += c;
            continue;
        }
        list += (list.empty() ? "" : ", ") + quoted(current);
        current.clear();
    }
    return "[" + list + "]";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s MODULE-NAME OUTPUT\n", argv[0]);
        return 2;
    }
    using namespace vst3identity;
    char cid[33];
    std::snprintf(cid, sizeof cid, "%08X%08X%08X%08X", classWords.words[0], classWords.words[1],
                  classWords.words[2], classWords.words[3]);
    const std::string vendor = quoted(velmoraVendorName), version = quoted(VELMORA_VERSION_TEXT);
    const std::string text =
        "{\n"
        "  \"Name\": " + quoted(argv[1]) + ",\n"
        "  \"Version\": " + version + ",\n"
        "  \"Factory Info\": {\n"
        "    \"Vendor\": " + vendor + ",\n"
        "    \"URL\": \"\",\n"
        "    \"E-Mail\": \"\",\n"
        "    \"Flags\": {\"Unicode\": true, \"Classes Discardable\": false, \"Component Non Discardable\": false}\n"
        "  },\n"
        "  \"Classes\": [\n"
        "    {\n"
        "      \"CID\": " + quoted(cid) + ",\n"
        "      \"Category\": " + quoted(vst3::kVstAudioEffectClass) + ",\n"
        "      \"Name\": " + quoted(velmoraPluginName) + ",\n"
        "      \"Vendor\": " + vendor + ",\n"
        "      \"Version\": " + version + ",\n"
        "      \"SDKVersion\": " + quoted(sdkVersionText) + ",\n"
        "      \"Sub Categories\": " + categoryList(subCategories) + ",\n"
        "      \"Class Flags\": 0,\n"
        "      \"Cardinality\": " + std::to_string(vst3::kManyInstances) + ",\n"
        "      \"Snapshots\": []\n"
        "    }\n"
        "  ]\n"
        "}\n";
    FILE* file = std::fopen(argv[2], "wb");
    const bool written = file && std::fputs(text.c_str(), file) >= 0;
    if (file && std::fclose(file) != 0) return 1;
    return written ? 0 : 1;
}
