// The installed bundle as a Linux user runs it: cmake --install into a fresh prefix, then
// lv2apply renders a float WAV with port values on its command line, and velmora-render
// renders the same file through the installed VST 2.4 library with the same settings.
#include <gtest/gtest.h>

#include <cstdlib>

#include "render/render_test_support.h"

namespace {

using namespace render_test;

std::vector<std::string> lv2apply(const std::string& in, const std::string& out,
                                  std::vector<std::string> controls) {
    std::vector<std::string> argv{"lv2apply", "-i", in, "-o", out};
    for (size_t i = 0; i + 1 < controls.size(); i += 2) {
        argv.insert(argv.end(), {"-c", controls[i], controls[i + 1]});
    }
    argv.push_back(VELMORA_LV2_URI);
    return argv;
}

TEST(Lv2Apply, InstalledBundleRendersWhatVelmoraRenderRenders) {
    ScratchFolder scratch;
    const std::string prefix = scratch / "prefix";
    const RunResult install = runProgram(
        {CMAKE_COMMAND_PATH, "--install", VELMORA_BUILD_DIR, "--prefix", prefix}, scratch);
    ASSERT_EQ(install.exitCode, 0) << install.out << install.err;
    const std::string bundle = prefix + "/lib/lv2/Tolvan_Velmora.lv2/";
    for (const std::string& file : {bundle + "manifest.ttl", bundle + "Tolvan_Velmora.ttl",
                                    bundle + "Tolvan_Velmora.so", prefix + "/lib/vst/Tolvan_Velmora.so"})
        EXPECT_TRUE(fs::is_regular_file(file)) << file;
    setenv("LV2_PATH", (prefix + "/lib/lv2").c_str(), 1);

    const std::string input = scratch / "in.wav";
    writeAudio(input, testSignal(96000, 2, 48000), 2, 48000);

    const RunResult lv2 = runProgram(
        lv2apply(input, scratch / "lv2.wav",
                 {"drive", "60", "tube_bias", "0.3", "glue_580", "25", "momentum", "50",
                  "sieve_172", "80", "output", "9", "mix", "75"}),
        scratch);
    ASSERT_EQ(lv2.exitCode, 0) << lv2.err;
    const RunResult vst = runRenderer(
        {input, scratch / "vst.wav", "-q", "--sample-format", "float", "--plugin",
         prefix + "/lib/vst/Tolvan_Velmora.so", "--set", "Drive=0.6", "--set", "Tube Bias=0.3",
         "--set", "580 Glue=0.25", "--set", "Momentum=0.5", "--set", "172 Sieve=0.8", "--set",
         "Output=0.75", "--set", "Mix=0.75"},
        scratch);
    ASSERT_EQ(vst.exitCode, 0) << vst.err;

    const Audio lv2Audio = readAudio(scratch / "lv2.wav");
    const Audio vstAudio = readAudio(scratch / "vst.wav");
    EXPECT_EQ(lv2Audio.info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    ASSERT_EQ(lv2Audio.samples.size(), 192000u);
    EXPECT_EQ(firstDifference(lv2Audio.samples, vstAudio.samples), -1);
    EXPECT_EQ(firstDifference(lv2Audio.samples, readAudio(input).samples), 0) << "not processed";

    // The host's enable switch off: a bit-exact copy.
    ASSERT_EQ(runProgram(lv2apply(input, scratch / "off.wav", {"enabled", "0", "drive", "100"}),
                         scratch).exitCode, 0);
    EXPECT_EQ(firstDifference(readAudio(scratch / "off.wav").samples, readAudio(input).samples), -1);
}

}  // namespace
