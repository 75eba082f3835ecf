// Several inputs rendered in parallel, and the built-in demo.
#include "render/render_test_support.h"

using namespace render_test;

namespace {

TEST(RenderBatch, EachFileComesOutAsItsOwnRenderWould) {
    ScratchFolder scratch;
    fs::create_directory(scratch.path() / "out");
    fs::create_directory(scratch.path() / "single");
    const std::vector<std::string> inputs = {scratch / "a.wav", scratch / "b.wav", scratch / "c.flac",
                                             scratch / "d.wav"};
    writeAudio(inputs[0], testSignal(30000, 2, 48000), 2, 48000);
    writeAudio(inputs[1], testSignal(12345, 1, 44100, 0.5f), 1, 44100);
    writeAudio(inputs[2], testSignal(9000, 2, 96000), 2, 96000, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    writeAudio(inputs[3], testSignal(700, 2, 22050, 1.0f), 2, 22050);

    std::vector<std::string> args = {"--out-dir", scratch / "out", "-j", "3", "--set", "Drive=0.9"};
    args.insert(args.end(), inputs.begin(), inputs.end());
    RunResult batch = runRenderer(args, scratch);
    ASSERT_EQ(batch.exitCode, 0) << batch.err;
    EXPECT_NE(batch.out.find("4 file(s) rendered, 0 failed"), std::string::npos) << batch.out;

    for (const std::string& input : inputs) {
        SCOPED_TRACE(input);
        std::string name = fs::path(input).filename();
        RunResult single = runRenderer({input, scratch / ("single/" + name), "--set", "Drive=0.9"}, scratch);
        ASSERT_EQ(single.exitCode, 0) << single.err;
        Audio fromBatch = readAudio(scratch / ("out/" + name));
        Audio alone = readAudio(scratch / ("single/" + name));
        EXPECT_EQ(fromBatch.info.format, alone.info.format);
        EXPECT_EQ(fromBatch.info.channels, readAudio(input).info.channels);
        EXPECT_EQ(fromBatch.info.frames, readAudio(input).info.frames);
        EXPECT_EQ(firstDifference(fromBatch.samples, alone.samples), -1);
    }
}

TEST(RenderBatch, ABadFileFailsAloneAndCollisionsAreRefused) {
    ScratchFolder scratch;
    fs::create_directories(scratch.path() / "out");
    fs::create_directories(scratch.path() / "other");
    writeAudio(scratch / "good.wav", testSignal(2000, 2, 44100), 2, 44100);
    writeAudio(scratch / "other/good.wav", testSignal(2000, 2, 44100), 2, 44100);
    std::ofstream(scratch / "bad.wav") << "garbage";

    RunResult run = runRenderer({"-o", scratch / "out", "-j", "2", scratch / "bad.wav", scratch / "good.wav"}, scratch);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(lineCount(run.err), 1) << run.err;
    EXPECT_NE(run.err.find("bad.wav"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("1 file(s) rendered, 1 failed"), std::string::npos) << run.out;
    EXPECT_TRUE(fs::exists(scratch / "out/good.wav"));
    EXPECT_FALSE(fs::exists(scratch / "out/bad.wav"));
    EXPECT_EQ(std::distance(fs::directory_iterator(scratch.path() / "out"), fs::directory_iterator{}), 1);

    fs::remove(scratch / "out/good.wav");
    run = runRenderer({"-o", scratch / "out", scratch / "good.wav", scratch / "other/good.wav"}, scratch);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("good.wav"), std::string::npos) << run.err;
    EXPECT_TRUE(fs::is_empty(scratch.path() / "out"));

    // Writing into the inputs' own folder would overwrite them.
    run = runRenderer({"-o", scratch.path().string(), "--force", scratch / "good.wav"}, scratch);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("is the input"), std::string::npos) << run.err;
}

TEST(RenderDemo, WritesTheEffectAndTheDrySignal) {
    ScratchFolder scratch;
    RunResult run = runRenderer({"--demo", scratch / "demo.wav"}, scratch);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(scratch.entries(), (std::set<std::string>{"demo.wav", "demo-dry.wav"}));
    for (const char* text : {"dry copy", "demo-dry.wav", "effect    Tolvan Velmora", "9.00 s, 48000 Hz, stereo",
                             "peak      in -3.0 dBFS", "real time"})
        EXPECT_NE(run.out.find(text), std::string::npos) << text << "\n" << run.out;

    Audio wet = readAudio(scratch / "demo.wav");
    Audio dry = readAudio(scratch / "demo-dry.wav");
    EXPECT_EQ(wet.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    EXPECT_EQ(wet.info.samplerate, 48000);
    EXPECT_EQ(wet.info.channels, 2);
    EXPECT_EQ(wet.info.frames, 9 * 48000);
    EXPECT_EQ(dry.info.frames, wet.info.frames);
    float peak = 0.0f;
    for (float s : dry.samples) peak = std::max(peak, std::abs(s));
    EXPECT_NEAR(peak, 0.70795f, 1e-5f);  // -3 dBFS, within 24-bit steps
    // Not silent at the start nor at the end of the bars, and different on the two sides.
    auto rmsOf = [&](const Audio& a, int64_t from, int64_t to, int channel) {
        double sum = 0.0;
        for (int64_t f = from; f < to; ++f) sum += a.at(f, channel) * a.at(f, channel);
        return std::sqrt(sum / static_cast<double>(to - from));
    };
    EXPECT_GT(rmsOf(dry, 0, 24000, 0), 0.01);
    EXPECT_GT(rmsOf(dry, 7 * 48000, 8 * 48000, 1), 0.01);
    EXPECT_NE(firstDifference(wet.samples, dry.samples), -1);
    EXPECT_GT(rmsOf(wet, 0, 8 * 48000, 0), rmsOf(dry, 0, 8 * 48000, 0));

    // Made by the program, the same on every run; an existing demo is kept without --force.
    RunResult again = runRenderer({"--demo", scratch / "demo.wav"}, scratch);
    EXPECT_EQ(again.exitCode, 2);
    again = runRenderer({"--demo", scratch / "demo.wav", "--force", "-q"}, scratch);
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(firstDifference(readAudio(scratch / "demo.wav").samples, wet.samples), -1);
    EXPECT_EQ(firstDifference(readAudio(scratch / "demo-dry.wav").samples, dry.samples), -1);
}

}  // namespace
