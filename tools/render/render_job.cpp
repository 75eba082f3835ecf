#include "tools/render/render_job.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "tools/render/errors.h"

std::atomic<bool> renderInterrupted{false};

namespace {

// One instance and the file channels it processes.
struct Lane {
    HostedEffect hosted;
    std::vector<int> channels;
    std::vector<std::vector<float>> inputs;
    std::vector<std::vector<float>> outputs;
    std::vector<float*> inputPointers;
    std::vector<float*> outputPointers;

    Lane() = default;
    Lane(const Lane&) = delete;
    Lane& operator=(const Lane&) = delete;
    ~Lane() { closeEffect(hosted); }
};

std::unique_ptr<Lane> startLane(const PluginModule& module, const RenderSettings& settings,
                                double sampleRate, std::vector<int> channels) {
    auto lane = std::make_unique<Lane>();
    lane->hosted = createEffect(module, HostContext{sampleRate, settings.blockSize});
    lane->channels = std::move(channels);
    const int inputs = effectInputCount(lane->hosted), outputs = effectOutputCount(lane->hosted);
    if (outputs < 1)
        throw ProcessingError("plug-in " + inQuotes(module.path) + " has no audio outputs");
    lane->inputs.assign(std::max(0, inputs), std::vector<float>(settings.blockSize));
    lane->outputs.assign(outputs, std::vector<float>(settings.blockSize));
    for (auto& buffer : lane->inputs) lane->inputPointers.push_back(buffer.data());
    for (auto& buffer : lane->outputs) lane->outputPointers.push_back(buffer.data());
    for (const ResolvedSetting& setting : settings.parameters)
        setEffectParameter(lane->hosted, setting.index, setting.value);
    startEffect(lane->hosted);
    return lane;
}

// The file channel feeding effect input `input`: a mono lane feeds its channel to the
// first two inputs; inputs beyond the lane's channels get silence (-1).
int sourceChannelFor(const Lane& lane, size_t input) {
    if (input < lane.channels.size()) return lane.channels[input];
    if (lane.channels.size() == 1 && input == 1) return lane.channels[0];
    return -1;
}

void processLane(Lane& lane, const float* interleavedIn, float* interleavedOut, int channels,
                 int32_t frames) {
    for (size_t i = 0; i < lane.inputs.size(); ++i) {
        float* buffer = lane.inputs[i].data();
        int channel = sourceChannelFor(lane, i);
        for (int32_t f = 0; f < frames; ++f)
            buffer[f] = channel < 0 ? 0.0f : interleavedIn[f * channels + channel];
    }
    processEffectBlock(lane.hosted, lane.inputPointers.data(), lane.outputPointers.data(), frames);

    const bool monoLane = lane.channels.size() == 1;
    const bool stereoOutput = lane.outputs.size() >= 2;
    for (size_t j = 0; j < lane.channels.size(); ++j) {
        const float* first = lane.outputs[monoLane ? 0 : j].data();
        const float* second = stereoOutput ? lane.outputs[1].data() : first;
        for (int32_t f = 0; f < frames; ++f) {
            // A mono lane is written as the mean of the two outputs (exactly the output
            // when both are equal).
            float value = monoLane && stereoOutput ? (first[f] + second[f]) * 0.5f : first[f];
            interleavedOut[f * channels + lane.channels[j]] = value;
        }
    }
}

// The display of a control named Oversampling, when the plug-in has one.
std::string oversamplingIn(const HostedEffect& hosted) {
    for (const ParameterInfo& parameter : describeParameters(hosted))
        if (parameter.name == "Oversampling") return parameter.display;
    return {};
}

std::vector<std::unique_ptr<Lane>> startLanes(const PluginModule& module,
                                              const RenderSettings& settings,
                                              const AudioFormat& format) {
    std::vector<std::unique_ptr<Lane>> lanes;
    lanes.push_back(startLane(module, settings, format.sampleRate,
                              format.channels == 1 ? std::vector<int>{0} : std::vector<int>{0, 1}));
    const HostedEffect& first = lanes.front()->hosted;
    if (format.channels == 2 && (effectInputCount(first) < 2 || effectOutputCount(first) < 2)) {
        lanes.front()->channels = {0};
        lanes.push_back(startLane(module, settings, format.sampleRate, {1}));
    }
    return lanes;
}

}  // namespace

void checkChannelCount(const AudioSource& source) {
    if (source.format.channels > maxChannels)
        throw ProcessingError("input " + inQuotes(source.label) + " has " +
                              std::to_string(source.format.channels) +
                              " channels; only mono and stereo files are rendered");
}

RenderSummary renderThroughEffect(const PluginModule& module, const RenderSettings& settings,
                                  AudioSource& source, AudioFileWriter& writer,
                                  ProgressMeter& progress) {
    using Clock = std::chrono::steady_clock;
    const auto started = Clock::now();
    checkChannelCount(source);
    const int channels = source.format.channels;

    RenderSummary summary;
    summary.output = writer.finalPath;
    summary.input = source.label;
    summary.effectName = settings.effectName;
    summary.format = source.format;

    auto lanes = startLanes(module, settings, source.format);
    std::vector<float> blockIn(static_cast<size_t>(settings.blockSize) * channels);
    std::vector<float> blockOut(blockIn.size());
    // The plug-in's latency, known after its first block, is compensated: that many frames
    // are dropped from the start of the output and as many frames of silence fed at the
    // end, so that the output lines up with the input and is as long.
    bool latencyKnown = false;
    int64_t toDrop = 0, written = 0, inputFrames = 0;
    for (;;) {
        if (renderInterrupted)
            throw ProcessingError("interrupted; " + inQuotes(writer.finalPath) + " not written");
        int64_t frames = source.read(blockIn.data(), settings.blockSize);
        if (frames > 0) {
            inputFrames += frames;
            measureLevels(summary.in, blockIn.data(), frames * channels);
            advanceProgress(progress, frames);
        } else {
            if (!latencyKnown || written >= inputFrames) break;
            frames = std::min<int64_t>(settings.blockSize, inputFrames - written + toDrop);
            std::fill(blockIn.begin(), blockIn.end(), 0.0f);
        }
        for (auto& lane : lanes)
            processLane(*lane, blockIn.data(), blockOut.data(), channels,
                        static_cast<int32_t>(frames));
        if (!latencyKnown) {
            summary.latency = toDrop = effectLatency(lanes.front()->hosted);
            latencyKnown = true;
        }
        const int64_t dropped = std::min(toDrop, frames);
        toDrop -= dropped;
        const int64_t kept = std::min(frames - dropped, inputFrames - written);
        measureLevels(summary.out, blockOut.data() + dropped * channels, kept * channels);
        writeFrames(writer, blockOut.data() + dropped * channels, kept);
        written += kept;
    }
    summary.frames = written;
    summary.oversampling = oversamplingIn(lanes.front()->hosted);
    lanes.clear();  // suspend and close before the file is committed
    if (summary.frames == 0) throw ProcessingError("input " + inQuotes(source.label) + " holds no audio");
    summary.wallSeconds = std::chrono::duration<double>(Clock::now() - started).count();
    return summary;
}

RenderSummary renderFile(const PluginModule& module, const RenderSettings& settings,
                         const std::string& inputPath, const std::string& outputPath,
                         ProgressMeter& progress) {
    AudioSource source = openAudioFile(inputPath);
    checkChannelCount(source);
    AudioFormat format = source.format;
    format.sndfileFormat = chooseOutputFormat(source.format.sndfileFormat, outputPath,
                                              settings.format, format.channels, format.sampleRate);
    auto writer = beginAudioFile(outputPath, format);
    RenderSummary summary = renderThroughEffect(module, settings, source, *writer, progress);
    commitAudioFile(*writer);
    summary.format = format;
    return summary;
}
