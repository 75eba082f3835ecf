// The renderer as a host of VST 2.4 effects nobody here wrote: Debian's DPF and LSP builds.
#include "render/render_test_support.h"

using namespace render_test;

namespace {

const std::string threeBandEq = "/usr/lib/vst/3BandEQ-vst.so";      // 2 in, 2 out
const std::string bitcrusher = "/usr/lib/vst/MaBitcrush-vst.so";     // 1 in, 2 out
const std::string monoCompressor = "/usr/lib/vst/lsp-plugins/compressor-mono.so";  // 1 in, 1 out

void requirePlugin(const std::string& path) {
    ASSERT_TRUE(fs::exists(path)) << path << " is missing; scripts/install-deps.sh installs it";
}

TEST(RenderInterop, ListsTheParametersOfDistrhoThreeBandEq) {
    requirePlugin(threeBandEq);
    ScratchFolder scratch;
    RunResult run = runRenderer({"--list-params", "--plugin", threeBandEq}, scratch);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("3 Band EQ by DISTRHO: 6 parameter(s), 2 in, 2 out"), std::string::npos) << run.out;
    for (const char* name : {"  Low ", "  Mid ", "  High ", "  Master ", "  Low-Mid Freq ", "  Mid-High Freq "})
        EXPECT_NE(run.out.find(name), std::string::npos) << name << "\n" << run.out;
    EXPECT_NE(run.out.find(" dB"), std::string::npos);
    EXPECT_NE(run.out.find(" Hz"), std::string::npos);

    run = runRenderer({"--list-params", "--plugin", threeBandEq, "--set", "Drive=0.5"}, scratch);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("valid names: Low, Mid, High, Master, Low-Mid Freq, Mid-High Freq"),
              std::string::npos) << run.err;
}

TEST(RenderInterop, RendersThroughThreeBandEqAsItsOwnProcessReplacingDoes) {
    requirePlugin(threeBandEq);
    ScratchFolder scratch;
    auto input = testSignal(15000 + 7, 2, 44100, 0.3f);
    writeAudio(scratch / "in.wav", input, 2, 44100);
    RunResult run = runRenderer({"--plugin", threeBandEq, scratch / "in.wav", scratch / "out.wav",
                                 "--set", "Low=1", "--set", "High=0%", "-b", "256"}, scratch);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("effect    3 Band EQ"), std::string::npos) << run.out;
    Audio out = readAudio(scratch / "out.wav");
    auto expected = processInProcess(threeBandEq, input, 2, 44100, 256, {{0, 1.0f}, {2, 0.0f}});
    EXPECT_EQ(firstDifference(out.samples, expected), -1);
    EXPECT_NE(firstDifference(out.samples, input), -1);
}

TEST(RenderInterop, StereoFilesGoThroughMonoEffectsOneInstancePerChannel) {
    requirePlugin(bitcrusher);
    requirePlugin(monoCompressor);
    ScratchFolder scratch;
    // Left and right differ, so a renderer that fed one channel to both would show.
    auto stereo = testSignal(6000, 2, 48000, 0.7f);
    for (size_t f = 0; f < 6000; ++f) stereo[2 * f + 1] *= 0.25f;
    writeAudio(scratch / "in.wav", stereo, 2, 48000);

    for (const std::string& plugin : {bitcrusher, monoCompressor}) {
        SCOPED_TRACE(plugin);
        fs::remove(scratch / "out.wav");
        RunResult run = runRenderer({"--plugin", plugin, scratch / "in.wav", scratch / "out.wav"}, scratch);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        Audio out = readAudio(scratch / "out.wav");
        ASSERT_EQ(out.info.channels, 2);
        ASSERT_EQ(out.info.frames, 6000);
        double left = 0.0, right = 0.0;
        for (int64_t f = 0; f < 6000; ++f) {
            ASSERT_TRUE(std::isfinite(out.at(f, 0)) && std::isfinite(out.at(f, 1)));
            left += std::abs(out.at(f, 0));
            right += std::abs(out.at(f, 1));
        }
        EXPECT_GT(left, 0.0);
        EXPECT_GT(right, 0.0);
        EXPECT_GT(left, 2.0 * right);  // the quiet right channel stays the quieter one
    }
}

}  // namespace
