// The factory presets through velmora-render, which reads them from the LV2 bundle with
// lilv: each renders the demo exactly as its table row set by hand does, within the levels
// its Output was chosen for; names are matched as the plug-in lists them.
#include <cmath>

#include "parameters/factory_presets.h"
#include "render/render_test_support.h"

using namespace render_test;

namespace {

// The row as a user types it: "Drive=90%", "Tube Bias=0.7", "Output=-12dB", "Oversampling=2x".
std::vector<std::string> settingsByHand(const FactoryPreset& preset) {
    std::vector<std::string> args;
    for (int i = 0; i < parameterCount; ++i) {
        const std::string unit = parameterTable[i].unit;  // Tube Bias's "Asym" is no LV2 unit
        char text[64];
        std::snprintf(text, sizeof text, "%s=%.9g%s", parameterTable[i].name,
                      static_cast<double>(preset.shown[i]), unit == "%" || unit == "dB" ? unit.c_str() : "");
        args.insert(args.end(), {"--set", parameterTable[i].isBypass ? std::string("Bypass=0") : text});
    }
    args.insert(args.end(), {"--set", "Oversampling=" + std::to_string(preset.oversampling) + "x"});
    return args;
}

struct Levels {
    double peakDb, rmsDb;
};
Levels levelsOf(const std::vector<float>& samples) {
    double peak = 0.0, sum = 0.0;
    for (float s : samples) peak = std::max(peak, std::fabs(double{s})), sum += double{s} * s;
    return {20.0 * std::log10(peak), 10.0 * std::log10(sum / static_cast<double>(samples.size()))};
}

TEST(RenderPresets, EachRendersAsItsRowSetByHandWithinItsLevels) {
    ScratchFolder scratch;
    const std::vector<std::string> floatOutput = {"--sample-format", "float", "--quiet", "--force"};
    for (int p = 0; p < factoryPresetCount; ++p) {
        const FactoryPreset& preset = factoryPresets[p];
        SCOPED_TRACE(preset.name);
        std::vector<std::string> byName = {"--demo", scratch / "preset.wav", "--preset", preset.name};
        std::vector<std::string> byHand = settingsByHand(preset);
        byHand.insert(byHand.begin(), {"--demo", scratch / "hand.wav"});
        for (auto* args : {&byName, &byHand}) {
            args->insert(args->end(), floatOutput.begin(), floatOutput.end());
            RunResult run = runRenderer(*args, scratch);
            ASSERT_EQ(run.exitCode, 0) << run.err;
        }
        const Audio rendered = readAudio(scratch / "preset.wav");
        EXPECT_EQ(firstDifference(rendered.samples, readAudio(scratch / "hand.wav").samples), -1);

        const Levels wet = levelsOf(rendered.samples);
        const Levels dry = levelsOf(readAudio(scratch / "preset-dry.wav").samples);
        EXPECT_LT(wet.peakDb, -0.5);
        if (!preset.raisesLevel) EXPECT_NEAR(wet.rmsDb, dry.rmsDb, 1.0);
        else EXPECT_GT(wet.rmsDb, dry.rmsDb + 1.0);
    }
}

TEST(RenderPresets, ListedByNameAndRefusedWhenUnknown) {
    ScratchFolder scratch;
    RunResult list = runRenderer({"--list-presets"}, scratch);
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(lineCount(list.out), factoryPresetCount + 1);  // and the heading
    for (const FactoryPreset& preset : factoryPresets)
        EXPECT_NE(list.out.find(std::string(preset.name) + " "), std::string::npos) << preset.name;

    // Any letter case; --set then changes single values of the preset.
    RunResult mixed = runRenderer({"--list-params", "--preset", "drum CRUSH", "--set", "Drive=10%"}, scratch);
    ASSERT_EQ(mixed.exitCode, 0) << mixed.err;
    EXPECT_NE(mixed.out.find("  Drive               10  10 %"), std::string::npos) << mixed.out;
    EXPECT_NE(mixed.out.find("  Output             -12  -12 dB"), std::string::npos) << mixed.out;

    RunResult unknown = runRenderer({"--demo", scratch / "out.wav", "--preset", "Drum Crushed"}, scratch);
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("unknown preset \"Drum Crushed\"; presets: \"Bass Growl\""), std::string::npos)
        << unknown.err;
    for (const FactoryPreset& preset : factoryPresets)
        EXPECT_NE(unknown.err.find("\"" + std::string(preset.name) + "\""), std::string::npos) << preset.name;
    EXPECT_TRUE(scratch.entries().empty());  // nothing written

    // The VST 2.4 library has its one program and no presets to choose.
    for (auto args : {std::vector<std::string>{"--list-presets"}, {"--list-params", "--preset", "Default"}}) {
        args.insert(args.end(), {"--plugin", VELMORA_PLUGIN_PATH});
        RunResult vst = runRenderer(args, scratch);
        EXPECT_EQ(vst.exitCode, 2);
        EXPECT_NE(vst.err.find("presets are read from LV2 plug-ins only"), std::string::npos) << vst.err;
    }
}

}  // namespace
