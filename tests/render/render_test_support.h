// Shared by the renderer's tests: running the built velmora-render, scratch folders, and
// audio files written and read with libsndfile.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sndfile.h>

#include "support/noise.h"
#include "support/plugin_library.h"

extern char** environ;

namespace render_test {

namespace fs = std::filesystem;

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline int lineCount(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// A fresh folder per test, removed afterwards.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "velmora-render-test-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~ScratchFolder() {
        std::error_code error;
        fs::remove_all(path_, error);
    }
    const fs::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    // Every entry, hidden ones included, so a left-over temporary file shows.
    std::set<std::string> entries() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(path_)) names.insert(entry.path().filename());
        return names;
    }

private:
    fs::path path_;
};

// Runs a program with stdout and stderr captured in files (so stderr is no terminal).
inline RunResult runProgram(std::vector<std::string> argvText, const ScratchFolder& scratch) {
    std::vector<char*> argv;
    for (auto& a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);

    const std::string outPath = (scratch.path().parent_path() / (scratch.path().filename().string() + ".out")).string();
    const std::string errPath = (scratch.path().parent_path() / (scratch.path().filename().string() + ".err")).string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    RunResult result;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = readText(outPath);
    result.err = readText(errPath);
    fs::remove(outPath);
    fs::remove(errPath);
    return result;
}

inline RunResult runRenderer(const std::vector<std::string>& args, const ScratchFolder& scratch) {
    std::vector<std::string> argv{VELMORA_RENDER_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProgram(argv, scratch);
}

struct Audio {
    SF_INFO info{};
    std::vector<float> samples;  // interleaved
    float at(int64_t frame, int channel) const { return samples[frame * info.channels + channel]; }
};

inline void writeAudio(const std::string& path, const std::vector<float>& interleaved, int channels,
                       int sampleRate, int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT) {
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(interleaved.size()) / channels);
    sf_close(file);
}

inline Audio readAudio(const std::string& path) {
    Audio audio;
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &audio.info);
    if (!file) {
        ADD_FAILURE() << "cannot read " << path << ": " << sf_strerror(nullptr);
        return audio;
    }
    audio.samples.resize(static_cast<size_t>(audio.info.frames * audio.info.channels));
    sf_readf_float(file, audio.samples.data(), audio.info.frames);
    sf_close(file);
    return audio;
}

// Music-like test material: two tones, a decaying burst and noise, louder in the middle so
// the saturation has work to do. Deterministic.
inline std::vector<float> testSignal(int64_t frames, int channels, int sampleRate, float level = 0.8f) {
    std::vector<float> samples(static_cast<size_t>(frames * channels));
    NoiseSource noise{12345u};
    for (int64_t f = 0; f < frames; ++f) {
        double t = static_cast<double>(f) / sampleRate;
        double swell = 0.3 + 0.7 * std::sin(3.14159265 * static_cast<double>(f) / frames);
        for (int c = 0; c < channels; ++c) {
            double white = noise.symmetric();
            double value = 0.5 * std::sin(2 * 3.14159265 * (70.0 + 40.0 * c) * t) +
                           0.3 * std::sin(2 * 3.14159265 * 880.0 * t) +
                           0.2 * white * std::exp(-std::fmod(t, 0.25) * 20.0);
            samples[static_cast<size_t>(f * channels + c)] = static_cast<float>(level * swell * value);
        }
    }
    return samples;
}

struct ParameterValue {
    int index;
    float value;
};

// What a host calling processReplacing itself gets: same opening sequence, same blocks.
// A mono signal goes in on both inputs and channel 0 comes back.
inline std::vector<float> processInProcess(const std::string& pluginPath, const std::vector<float>& interleaved,
                                           int channels, int sampleRate, int blockSize,
                                           const std::vector<ParameterValue>& parameters = {}) {
    PluginLibrary library(pluginPath);
    // Older builds (DPF's among them) export the entry point only as "main".
    VstPluginMainProc entry = library.entry() ? library.entry() : library.mainEntry();
    EXPECT_NE(entry, nullptr) << pluginPath;
    if (!entry) return {};
    AEffect* effect = entry(quietHostCallback);
    dispatch(effect, effOpen);
    for (const ParameterValue& p : parameters) effect->setParameter(effect, p.index, p.value);
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
    dispatch(effect, effSetBlockSize, 0, blockSize);
    dispatch(effect, effMainsChanged, 0, 1);

    const int64_t frames = static_cast<int64_t>(interleaved.size()) / channels;
    std::vector<float> in[2] = {std::vector<float>(blockSize), std::vector<float>(blockSize)};
    std::vector<float> out[2] = {std::vector<float>(blockSize), std::vector<float>(blockSize)};
    float* inputs[2] = {in[0].data(), in[1].data()};
    float* outputs[2] = {out[0].data(), out[1].data()};
    std::vector<float> result(interleaved.size());
    for (int64_t start = 0; start < frames; start += blockSize) {
        int32_t count = static_cast<int32_t>(std::min<int64_t>(blockSize, frames - start));
        for (int32_t f = 0; f < count; ++f)
            for (int c = 0; c < 2; ++c) in[c][f] = interleaved[(start + f) * channels + std::min(c, channels - 1)];
        effect->processReplacing(effect, inputs, outputs, count);
        for (int32_t f = 0; f < count; ++f)
            for (int c = 0; c < channels; ++c) result[(start + f) * channels + c] = out[c][f];
    }
    dispatch(effect, effMainsChanged, 0, 0);
    closeEffect(effect);
    return result;
}

// Index of the first differing sample, or -1.
inline int64_t firstDifference(const std::vector<float>& a, const std::vector<float>& b) {
    if (a.size() != b.size()) return 0;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0) return static_cast<int64_t>(i);
    return -1;
}

}  // namespace render_test
