// Every kind of bad input: one clear line on stderr naming the file or value, the right
// exit status, and no file written or changed.
#include "render/render_test_support.h"

using namespace render_test;

namespace {

class RenderBadInput : public ::testing::Test {
protected:
    void SetUp() override {
        writeAudio(scratch / "in.wav", testSignal(4000, 2, 44100), 2, 44100);
        before = scratch.entries();
        inputBytes = readText(scratch / "in.wav");
    }

    // The command is refused and leaves the folder exactly as it was.
    void expectRefused(const std::vector<std::string>& args, int exitCode, const std::string& named) {
        RunResult run = runRenderer(args, scratch);
        EXPECT_EQ(run.exitCode, exitCode) << run.err;
        EXPECT_EQ(lineCount(run.err), 1) << run.err;
        EXPECT_EQ(run.err.rfind("velmora-render: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(named), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(scratch.entries(), before);
        EXPECT_EQ(readText(scratch / "in.wav"), inputBytes);
    }

    ScratchFolder scratch;
    std::set<std::string> before;
    std::string inputBytes;
};

TEST_F(RenderBadInput, UnreadableInputsAreProcessingErrors) {
    std::ofstream(scratch / "text.wav") << "this is not a RIFF file, only some words\n";
    std::ofstream(scratch / "noise.xyz") << std::string(4096, '\x5a');
    std::ofstream(scratch / "empty.wav");
    writeAudio(scratch / "surround.wav", testSignal(1000, 3, 44100), 3, 44100);
    before = scratch.entries();

    expectRefused({scratch / "missing.wav", scratch / "out.wav"}, 1, "missing.wav");
    expectRefused({scratch / "text.wav", scratch / "out.wav"}, 1, "text.wav");
    expectRefused({scratch / "noise.xyz", scratch / "out.wav"}, 1, "noise.xyz");
    expectRefused({scratch / "empty.wav", scratch / "out.wav"}, 1, "empty.wav");
    expectRefused({scratch.path().string(), scratch / "out.wav"}, 1, scratch.path().string());
    expectRefused({scratch / "surround.wav", scratch / "out.wav"}, 1, "3 channels");
}

TEST_F(RenderBadInput, BadParameterSettingsAreUsageErrors) {
    const std::string out = scratch / "out.wav";
    expectRefused({scratch / "in.wav", out, "--set", "Driv=0.5"}, 2,
                  "unknown parameter \"Driv\"; valid names: Drive, Tube Bias, 580 Glue, Momentum, "
                  "172 Sieve, Output, Mix, Bypass");
    expectRefused({scratch / "in.wav", out, "--set", "Drive=abc"}, 2, "\"abc\" is not a number");
    expectRefused({scratch / "in.wav", out, "--set", "Drive=0.5x"}, 2, "\"0.5x\" is not a number");
    expectRefused({scratch / "in.wav", out, "--set", "Drive=nan"}, 2, "\"nan\" is not a number");
    expectRefused({scratch / "in.wav", out, "--set", "Drive="}, 2, "Drive=");
    expectRefused({scratch / "in.wav", out, "--set", "Drive=1.5"}, 2, "Drive=1.5");
    expectRefused({scratch / "in.wav", out, "--set", "Drive=-0.1"}, 2, "Drive=-0.1");
    expectRefused({scratch / "in.wav", out, "--set", "Drive=101%"}, 2, "Drive=101%");
    expectRefused({scratch / "in.wav", out, "--set", "Drive"}, 2, "NAME=VALUE");
    expectRefused({scratch / "in.wav", out, "--set", "=0.5"}, 2, "=0.5");
    // Values in the plug-in's units, checked against the range, which the message names.
    expectRefused({scratch / "in.wav", out, "--set", "Output=-30dB"}, 2, "Output takes 0..1 (normalized) or -18 dB..18 dB");
    expectRefused({scratch / "in.wav", out, "--set", "Output=-3Hz"}, 2, "\"-3Hz\" is not a number");
    expectRefused({scratch / "in.wav", out, "--set", "Oversampling=3x"}, 2, "1..8 (1×, 2×, 4×, 8×)");
    expectRefused({scratch / "in.wav", out, "--set", "Oversampling=16x"}, 2, "Oversampling takes");
    expectRefused({scratch / "in.wav", out, "--set", "Drive=120%"}, 2, "0 %..100 %");
}

TEST_F(RenderBadInput, PluginsThatCannotBeHostedAreProcessingErrors) {
    std::ofstream(scratch / "fake.so") << "not an ELF file";
    before = scratch.entries();
    const std::string out = scratch / "out.wav";
    expectRefused({scratch / "in.wav", out, "--plugin", scratch / "fake.so"}, 1, "fake.so");
    expectRefused({scratch / "in.wav", out, "--plugin", scratch / "none.so"}, 1, "none.so");
    expectRefused({scratch / "in.wav", out, "--plugin", VELMORA_NOT_A_PLUGIN_PATH}, 1,
                  "has no VSTPluginMain");
    fs::create_directory(scratch / "empty.lv2");
    before = scratch.entries();
    expectRefused({scratch / "in.wav", out, "--plugin", "urn:tolvan-audio:nothing"}, 1,
                  "no LV2 plug-in \"urn:tolvan-audio:nothing\" on LV2_PATH");
    expectRefused({scratch / "in.wav", out, "--plugin", scratch / "empty.lv2"}, 1, "holds no plug-in");
}

TEST_F(RenderBadInput, OutputPathsThatWouldLoseSomethingAreRefused) {
    std::ofstream(scratch / "taken.wav") << "keep me";
    before = scratch.entries();
    expectRefused({scratch / "in.wav", scratch / "in.wav"}, 2, "is the input");
    const std::string sameByAnotherName = (scratch.path() / "." / "in.wav").string();
    expectRefused({scratch / "in.wav", sameByAnotherName, "--force"}, 2, "is the input");
    expectRefused({scratch / "in.wav", scratch / "no-such-folder/out.wav"}, 2, "no-such-folder");
    expectRefused({scratch / "in.wav", scratch / "taken.wav"}, 2, "--force");
    expectRefused({scratch / "in.wav", scratch.path().string(), "--force"}, 2, "is a folder");
    EXPECT_EQ(readText(scratch / "taken.wav"), "keep me");

    RunResult forced = runRenderer({scratch / "in.wav", scratch / "taken.wav", "--force"}, scratch);
    EXPECT_EQ(forced.exitCode, 0) << forced.err;
    EXPECT_EQ(readAudio(scratch / "taken.wav").info.frames, 4000);
}

TEST_F(RenderBadInput, CommandLineMistakesAreUsageErrors) {
    const std::string in = scratch / "in.wav";
    const std::string out = scratch / "out.wav";
    expectRefused({}, 2, "INPUT and OUTPUT");
    expectRefused({in}, 2, "INPUT and OUTPUT");
    expectRefused({in, out, scratch / "third.wav"}, 2, "--out-dir");
    expectRefused({in, out, "--block-size", "0"}, 2, "--block-size");
    expectRefused({in, out, "--block-size", "many"}, 2, "many");
    expectRefused({in, out, "-j", "2"}, 2, "--out-dir");
    expectRefused({in, out, "--format", "mp4"}, 2, "mp4");
    expectRefused({in, out, "--frobnicate"}, 2, "--frobnicate");
    expectRefused({"--demo", out, in}, 2, in);
    expectRefused({"--out-dir", scratch.path().string()}, 2, "at least one INPUT");
    expectRefused({"--out-dir", scratch / "nowhere", in}, 2, "nowhere");
}

}  // namespace
