// libFuzzer target: velmora-render's own code where user data comes in, linked from its
// objects (it is a program, with no interface to load): the --set texts, parsed and
// resolved against the parameters of the LV2 plug-in and the VST 2.4 library as the renderer
// hosts them, and input files with any header read through libsndfile, their samples run
// through a fresh LV2 instance. Checks: a malformed setting is a UsageError and a bad file a
// ProcessingError (no other failure), resolved values are within their ranges, and the
// output is finite and within the clamp (or, bypassed, a sample it was fed).
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "fuzz/fuzz_bytes.h"
#include "tools/render/audio_file.h"
#include "tools/render/errors.h"
#include "tools/render/parameter_settings.h"
#include "tools/render/plugin_host.h"

namespace {

struct Hosted {
    PluginModule module;
    std::vector<ParameterInfo> parameters;
    explicit Hosted(const std::string& path) : module(loadPluginModule(path)) {
        HostedEffect probe = createEffect(module, HostContext{});
        parameters = describeParameters(probe);
        closeEffect(probe);
    }
};

Hosted& lv2() {
    static Hosted hosted(VELMORA_LV2_BUNDLE_PATH);
    return hosted;
}
Hosted& vst2() {
    static Hosted hosted(VELMORA_PLUGIN_PATH);
    return hosted;
}

// Runs interleaved frames of any channel count through a fresh LV2 instance, the first two
// channels (or the one twice) as the renderer's stereo plug-in takes them.
void render(const std::vector<ResolvedSetting>& settings, const float* interleaved, int64_t frames,
            int channels, double rate) {
    HostedEffect hosted = createEffect(lv2().module, HostContext{rate, 256});
    EffectGuard guard{hosted};
    for (const ResolvedSetting& s : settings) setEffectParameter(hosted, s.index, s.value);
    startEffect(hosted);
    WildSamples fed;
    fed.note(interleaved, static_cast<size_t>(frames * channels));
    std::vector<float> in[2], out[2];
    for (int64_t start = 0; start < frames; start += 256) {
        const int32_t n = static_cast<int32_t>(std::min<int64_t>(256, frames - start));
        for (int c = 0; c < 2; ++c) {
            in[c].resize(static_cast<size_t>(n)), out[c].assign(static_cast<size_t>(n), 7.0f);
            for (int32_t i = 0; i < n; ++i)
                in[c][static_cast<size_t>(i)] = interleaved[(start + i) * channels + std::min(c, channels - 1)];
        }
        float* ins[2] = {in[0].data(), in[1].data()};
        float* outs[2] = {out[0].data(), out[1].data()};
        processEffectBlock(hosted, ins, outs, n);
        for (auto& channel : out) checkOutput(channel.data(), channel.size(), "render", fed);
    }
}

std::vector<ResolvedSetting> resolve(const std::vector<ParameterSetting>& settings, const Hosted& hosted) {
    try {
        std::vector<ResolvedSetting> resolved = resolveParameterSettings(settings, hosted.parameters);
        for (const ResolvedSetting& s : resolved) {
            auto match = std::find_if(hosted.parameters.begin(), hosted.parameters.end(),
                                      [&](const ParameterInfo& p) { return p.index == s.index; });
            promise(match != hosted.parameters.end(), "a setting resolved to no parameter");
            const ParameterInfo& p = *match;
            const float low = p.normalizedOnly ? 0.0f : p.minimum, high = p.normalizedOnly ? 1.0f : p.maximum;
            if (!(s.value >= low && s.value <= high))
                brokenPromise("setting resolved outside " + p.name + "'s range: " + std::to_string(s.value));
        }
        return resolved;
    } catch (const UsageError&) {
        return {};
    }
}

void settingsFrom(ByteReader& r) {
    std::vector<ParameterSetting> settings;
    for (int k = r.u8() % 5; k > 0 && !r.done(); --k) {
        try {
            settings.push_back(parseParameterSetting(r.bytes(48)));
        } catch (const UsageError&) {
        }
    }
    resolve(settings, vst2());
    const std::vector<ResolvedSetting> resolved = resolve(settings, lv2());
    const float silence[64] = {};
    const float signal[2 * 64] = {0.9f, -0.9f, 0.5f, 0.25f, -1.0f, 1.0f};
    if (!resolved.empty()) render(resolved, r.u8() & 1 ? signal : silence, 32, 2, 48000.0);
}

void fileFrom(ByteReader& r) {
    const char* extensions[] = {".wav", ".aiff", ".flac", ".ogg", ".au", ".caf", ".w64", ".raw"};
    static const std::string base = "/tmp/velmora-fuzz-render-" + std::to_string(getpid());
    const std::string path = base + r.pick(extensions);
    const std::string bytes(reinterpret_cast<const char*>(r.data + std::min(r.at, r.size)),
                            r.size - std::min(r.at, r.size));
    FILE* file = std::fopen(path.c_str(), "wb");
    promise(file != nullptr, "temporary file");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    try {
        AudioSource source = openAudioFile(path);
        promise(source.format.channels > 0 && source.format.sampleRate > 0, "an opened file without audio");
        const int64_t block = 128;
        const size_t channels = static_cast<size_t>(source.format.channels);
        std::vector<float> interleaved(8 * block * channels);
        int64_t frames = 0;
        for (int blocks = 0; blocks < 8; ++blocks) {
            const int64_t got = source.read(interleaved.data() + static_cast<size_t>(frames) * channels, block);
            promise(got >= 0 && got <= block, "a read beyond its block");
            if (got == 0) break;
            frames += got;
        }
        render({}, interleaved.data(), frames, source.format.channels, source.format.sampleRate);
    } catch (const ProcessingError&) {
    }
    std::remove(path.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteReader r{data, size};
    if (r.u8() & 1) settingsFrom(r);
    else fileFrom(r);
    return 0;
}
