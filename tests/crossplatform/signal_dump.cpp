// Renders the deterministic test signal through the built plug-in at a few settings and
// rates and writes the interleaved 32-bit float output to a file, for comparing the Linux
// and Windows builds sample by sample.
#include <cstdio>
#include <vector>

#include "support/plugin_library.h"
#include "support/test_signal.h"

namespace {

struct Setting {
    float rate;
    float parameters[8];
};

const Setting settings[] = {
    {44100.0f, {0.4f, 0.5f, 0.7f, 0.85f, 0.75f, 0.5f, 1.0f, 0.0f}},  // defaults
    {44100.0f, {1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.9f, 1.0f, 0.0f}},    // every stage at full
    {48000.0f, {0.0f, 0.0f, 0.005f, 0.0f, 0.01f, 0.3f, 0.6f, 0.0f}}, // stages at their edges
    {96000.0f, {0.7f, 0.2f, 0.4f, 0.5f, 0.3f, 0.6f, 0.8f, 0.0f}},
};

constexpr size_t secondsPerSetting = 4;
constexpr int blockSize = 512;

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: velmora-signal-dump OUTPUT\n");
        return 2;
    }
    PluginLibrary library;
    if (!library.loaded()) {
        std::fprintf(stderr, "cannot load %s\n", VELMORA_PLUGIN_PATH);
        return 1;
    }
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    for (const Setting& setting : settings) {
        AEffect* effect = library.create();
        dispatch(effect, effSetSampleRate, 0, 0, nullptr, setting.rate);
        for (int i = 0; i < 8; ++i) effect->setParameter(effect, i, setting.parameters[i]);
        const size_t frames = secondsPerSetting * static_cast<size_t>(setting.rate);
        std::vector<float> inL(frames), inR(frames), outL(frames), outR(frames);
        fillTestSignal(inL.data(), inR.data(), frames, setting.rate, 17);
        for (size_t start = 0; start < frames; start += blockSize) {
            const size_t n = frames - start < blockSize ? frames - start : blockSize;
            float* in[2] = {&inL[start], &inR[start]};
            float* outs[2] = {&outL[start], &outR[start]};
            effect->processReplacing(effect, in, outs, static_cast<int32_t>(n));
        }
        closeEffect(effect);
        std::vector<float> interleaved(2 * frames);
        for (size_t i = 0; i < frames; ++i) {
            interleaved[2 * i] = outL[i];
            interleaved[2 * i + 1] = outR[i];
        }
        std::fwrite(interleaved.data(), sizeof(float), interleaved.size(), out);
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
