// velmora-render through its command line, on real files, against the built plug-in.
#include "render/render_test_support.h"

using namespace render_test;

namespace {

constexpr int rate = 48000;
constexpr int64_t oddLength = 20000 + 123;  // not a whole number of blocks

// A finished render leaves exactly the expected files: no temporaries beside them.
void expectOnlyFiles(const ScratchFolder& scratch, std::set<std::string> names) {
    EXPECT_EQ(scratch.entries(), names);
}

TEST(RenderExactness, FloatWavMatchesProcessReplacingCalledInProcess) {
    ScratchFolder scratch;
    auto input = testSignal(oddLength, 2, rate);
    writeAudio(scratch / "in.wav", input, 2, rate);
    const std::vector<ParameterValue> parameters = {{0, 0.8f}, {1, 0.7f}, {4, 0.3f}};

    struct Case {
        std::vector<std::string> blockArgs;
        int blockSize;
    };
    for (const Case& c : {Case{{}, 512}, Case{{"--block-size", "1"}, 1},
                          Case{{"-b", "100"}, 100}, Case{{"--block-size", "4096"}, 4096}}) {
        SCOPED_TRACE(c.blockSize);
        std::vector<std::string> args = {scratch / "in.wav", scratch / "out.wav", "--force",
                                         "--set", "Drive=0.8", "--set", "Tube Bias=70%",
                                         "-s", "172 sieve = 30 %"};
        args.insert(args.end(), c.blockArgs.begin(), c.blockArgs.end());
        RunResult run = runRenderer(args, scratch);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");  // no progress bar on a pipe

        Audio out = readAudio(scratch / "out.wav");
        EXPECT_EQ(out.info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
        EXPECT_EQ(out.info.channels, 2);
        EXPECT_EQ(out.info.samplerate, rate);
        auto expected = processInProcess(VELMORA_PLUGIN_PATH, input, 2, rate, c.blockSize, parameters);
        EXPECT_EQ(firstDifference(out.samples, expected), -1);
        EXPECT_NE(firstDifference(out.samples, input), -1);
    }
    expectOnlyFiles(scratch, {"in.wav", "out.wav"});
}

TEST(RenderExactness, MonoIsProcessedAsDualMonoAndWrittenAsMono) {
    ScratchFolder scratch;
    auto input = testSignal(oddLength, 1, 44100);
    writeAudio(scratch / "mono.wav", input, 1, 44100);
    RunResult run = runRenderer({scratch / "mono.wav", scratch / "out.wav", "--set", "Drive=1"}, scratch);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    Audio out = readAudio(scratch / "out.wav");
    EXPECT_EQ(out.info.channels, 1);
    EXPECT_EQ(out.info.frames, oddLength);
    EXPECT_EQ(firstDifference(out.samples,
                              processInProcess(VELMORA_PLUGIN_PATH, input, 1, 44100, 512, {{0, 1.0f}})),
              -1);
}

TEST(RenderFormats, OutputKeepsTheInputsFormatAndSampleFormat) {
    ScratchFolder scratch;
    const int formats[] = {SF_FORMAT_WAV | SF_FORMAT_PCM_16, SF_FORMAT_WAV | SF_FORMAT_PCM_24,
                           SF_FORMAT_WAV | SF_FORMAT_DOUBLE, SF_FORMAT_AIFF | SF_FORMAT_PCM_16,
                           SF_FORMAT_FLAC | SF_FORMAT_PCM_24, SF_FORMAT_OGG | SF_FORMAT_VORBIS};
    int n = 0;
    for (int format : formats) {
        SCOPED_TRACE(format);
        // The extension does not matter: the input's own format is kept.
        std::string in = scratch / ("in" + std::to_string(n) + ".snd");
        std::string out = scratch / ("out" + std::to_string(n++) + ".snd");
        writeAudio(in, testSignal(5000, 2, 44100), 2, 44100, format);
        RunResult run = runRenderer({in, out}, scratch);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        Audio rendered = readAudio(out);
        EXPECT_EQ(rendered.info.format & ~SF_FORMAT_ENDMASK, format);
        EXPECT_EQ(rendered.info.frames, 5000);
        EXPECT_EQ(rendered.info.samplerate, 44100);
    }
}

TEST(RenderFormats, ExtensionAndOptionsChooseAnotherFormat) {
    ScratchFolder scratch;
    writeAudio(scratch / "in.wav", testSignal(3000, 2, rate), 2, rate);  // float WAV
    struct Case {
        std::vector<std::string> args;
        int expected;
    };
    const Case cases[] = {
        {{scratch / "a.flac"}, SF_FORMAT_FLAC | SF_FORMAT_PCM_24},  // float does not fit FLAC
        {{scratch / "b.aiff"}, SF_FORMAT_AIFF | SF_FORMAT_FLOAT},
        {{scratch / "c.wav", "--sample-format", "pcm16"}, SF_FORMAT_WAV | SF_FORMAT_PCM_16},
        {{scratch / "d.out", "--format", "flac", "--sample-format", "pcm16"}, SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
        {{scratch / "e.ogg"}, SF_FORMAT_OGG | SF_FORMAT_VORBIS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front());
        std::vector<std::string> args = {scratch / "in.wav"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        RunResult run = runRenderer(args, scratch);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(readAudio(c.args.front()).info.format & ~SF_FORMAT_ENDMASK, c.expected);
    }
    RunResult impossible = runRenderer({scratch / "in.wav", scratch / "f.flac", "--sample-format", "float"}, scratch);
    EXPECT_EQ(impossible.exitCode, 2);
    EXPECT_NE(impossible.err.find("f.flac"), std::string::npos) << impossible.err;
    EXPECT_FALSE(fs::exists(scratch / "f.flac"));
}

TEST(RenderSummary, ReportsLevelsOfInputAndOutput) {
    ScratchFolder scratch;
    // A full-cycle sine of amplitude 0.5: peak -6.0 dBFS, RMS -9.0 dBFS.
    std::vector<float> sine(48000 * 2);
    for (size_t f = 0; f < 48000; ++f)
        sine[2 * f] = sine[2 * f + 1] = static_cast<float>(0.5 * std::sin(2 * 3.14159265358979 * 100.0 * f / 48000.0));
    writeAudio(scratch / "sine.wav", sine, 2, rate);

    // Bypassed, the output is the input.
    RunResult run = runRenderer({scratch / "sine.wav", scratch / "out.wav", "--set", "Bypass=1"}, scratch);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("1.00 s, 48000 Hz, stereo, WAV, 32-bit float"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("peak      in -6.0 dBFS   out -6.0 dBFS"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("RMS       in -9.0 dBFS   out -9.0 dBFS"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("x real time"), std::string::npos) << run.out;
    EXPECT_EQ(firstDifference(readAudio(scratch / "out.wav").samples, sine), -1);

    std::fill(sine.begin(), sine.end(), 0.0f);
    writeAudio(scratch / "silence.wav", sine, 2, rate);
    run = runRenderer({scratch / "silence.wav", scratch / "quiet.wav"}, scratch);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("peak      in -inf dBFS   out -inf dBFS"), std::string::npos) << run.out;

    run = runRenderer({scratch / "silence.wav", scratch / "q.wav", "-q"}, scratch);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(fs::exists(scratch / "q.wav"));
}

TEST(RenderSummary, DrawsAProgressBarOnlyOnATerminal) {
    ScratchFolder scratch;
    writeAudio(scratch / "in.wav", testSignal(48000, 2, rate), 2, rate);
    // script(1) gives the renderer a terminal; its output is the terminal's.
    const std::string command = std::string(VELMORA_RENDER_PATH) + " " + (scratch / "in.wav") + " ";
    RunResult run = runProgram({"script", "-qec", command + (scratch / "a.wav"), "/dev/null"}, scratch);
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("\r[################################] 100%"), std::string::npos) << run.out;
    // The bar is wiped before the summary is printed.
    EXPECT_NE(run.out.find("100%\r" + std::string(40, ' ') + "\r" + (scratch / "a.wav")), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("peak      in"), std::string::npos) << run.out;

    run = runProgram({"script", "-qec", command + (scratch / "b.wav") + " -q", "/dev/null"}, scratch);
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(run.out.find('%'), std::string::npos) << run.out;
    EXPECT_TRUE(fs::exists(scratch / "b.wav"));
}

TEST(RenderListParams, PrintsWhatThePluginReportsWithUnitsAndRanges) {
    ScratchFolder scratch;
    // The default: the LV2 bundle, its controls in their units.
    RunResult run = runRenderer({"--list-params"}, scratch);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Tolvan Velmora by Tolvan Audio Technologies: 9 parameter(s), 2 in, 2 out"),
              std::string::npos) << run.out;
    for (const char* line : {"    0  Drive               40  40 %      %      0..100\n",
                             "    5  Output               0  0 dB      dB     -18..18\n",
                             "    1  Tube Bias          0.5  0.5 Asym  Asym   0..1\n",
                             "    7  Bypass               0  off              0..1\n",
                             "   12  Oversampling         1  1×               1..8 (1×, 2×, 4×, 8×)\n"})
        EXPECT_NE(run.out.find(line), std::string::npos) << line << run.out;
    EXPECT_EQ(lineCount(run.out), 11);
    run = runRenderer({"--list-params", "--set", "Output=-3dB", "--set", "oversampling=4×", "--set", "drive=0.25",
                       "--set", "Mix=60%", "--set", "Bypass=1"}, scratch);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const char* line : {"Drive               25  25 %", "Output              -3  -3 dB", "Mix                 60  60 %",
                             "Bypass               1  on ", "Oversampling         4  4× "})
        EXPECT_NE(run.out.find(line), std::string::npos) << line << run.out;

    // The VST 2.4 library: normalized values, as it reports them.
    run = runRenderer({"--list-params", "--plugin", VELMORA_PLUGIN_PATH, "--set", "Output=100%", "--set", "drive=0.25"}, scratch);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("8 parameter(s), 2 in, 2 out"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("    0  Drive      0.250000  25       %      0..1"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("    5  Output     1.000000  18.0     dB     0..1"), std::string::npos) << run.out;
}

// Oversampled, the output still lines up with the input: bypassed, it is the input exactly.
TEST(RenderLv2, OversamplingLatencyIsCompensated) {
    ScratchFolder scratch;
    auto input = testSignal(oddLength, 2, rate);
    writeAudio(scratch / "in.wav", input, 2, rate);
    RunResult run = runRenderer({scratch / "in.wav", scratch / "out.wav", "--set", "Oversampling=4x",
                                 "--set", "Bypass=1", "-b", "100"}, scratch);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("latency   75 frames (compensated), oversampling 4×"), std::string::npos) << run.out;
    EXPECT_EQ(firstDifference(readAudio(scratch / "out.wav").samples, input), -1);
    run = runRenderer({scratch / "in.wav", scratch / "os.wav", "--set", "Oversampling=8x", "--set", "Output=-3dB"}, scratch);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(readAudio(scratch / "os.wav").info.frames, oddLength);
}

TEST(RenderHelp, ShowsTheUsage) {
    ScratchFolder scratch;
    RunResult run = runRenderer({"--help"}, scratch);
    EXPECT_EQ(run.exitCode, 0);
    for (const char* text : {"INPUT OUTPUT", "--set NAME=VALUE", "--out-dir", "--demo", "--list-params",
                             "--block-size", "--plugin", "--force", "Exit status"})
        EXPECT_NE(run.out.find(text), std::string::npos) << text;
}

}  // namespace
