// Cost of one stereo frame through the literal block path and every block kernel this
// processor runs, at three rates, three block sizes and two settings, with each kernel's
// ratio to the literal path printed at the end; then 1, 16 and 64 instances processed in
// turn (cost per frame per instance: what the caches do to many instances) and the bytes
// each instance's engine holds; then every kernel oversampled at 1x, 2x, 4x and 8x on white
// noise in 512-frame blocks, with each factor's cost over the same kernel's at 1x; then the
// cost of a bypassed instance of the LV2, CLAP and VST 3 engine at each factor, over the
// processed instance's.
//
//   velmora-bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//   velmora-bench --benchmark_filter=oversampling --benchmark_repetitions=9
//       --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/circle.h"
#include "engine/engine_state.h"
#include "engine/block_kernels.h"
#include "engine/oversampling.h"
#include "engine/literal_path.h"
#include "engine/process_block.h"
#include "support/noise.h"

namespace {

constexpr int32_t signalFrames = 1 << 16;

// A few seconds of something like a mix: a bass line, chords, a bright part and noise under
// an envelope that pumps at 2 Hz, the channels slightly different.
struct ProgramSignal {
    std::vector<float> left, right;
};

ProgramSignal makeProgramSignal(double fs) {
    ProgramSignal s;
    s.left.resize(signalFrames);
    s.right.resize(signalFrames);
    NoiseSource noise{12345u};
    const double twoPi = circle::twoPi;
    for (int32_t i = 0; i < signalFrames; ++i) {
        const double t = i / fs;
        const double white = noise.centred();
        const double envelope = 0.55 + 0.45 * std::sin(twoPi * 2.0 * t);
        const double bass = 0.45 * std::sin(twoPi * 55.0 * t);
        const double chord = 0.2 * std::sin(twoPi * 440.0 * t) + 0.15 * std::sin(twoPi * 659.3 * t);
        const double bright = 0.08 * std::sin(twoPi * 7300.0 * t);
        const double common = envelope * (bass + chord + bright);
        s.left[i] = static_cast<float>(common + 0.06 * white);
        s.right[i] = static_cast<float>(0.9 * common + 0.1 * std::sin(twoPi * 523.3 * t) -
                                        0.05 * white);
    }
    return s;
}

// The defaults, and a setting that moves every stage away from its neutral point.
BlockSettings settingsFor(bool everyStage) {
    BlockSettings settings{{0.4f, 0.5f, 0.7f, 0.85f, 0.75f, 0.5f, 1.0f, 0.0f}, false};
    if (everyStage) {
        const float active[parameterCount] = {0.9f, 0.3f, 1.0f, 1.0f, 1.0f, 0.6f, 0.8f, 0.0f};
        for (int i = 0; i < parameterCount; ++i) settings.parameters[i] = active[i];
    }
    return settings;
}

// Each instance's engine on its own allocation, as a host's instances are; a block of
// every instance in turn per iteration.
void runBlocks(benchmark::State& state, BlockPath path, double rate, int32_t block,
               bool everyStage, int instances = 1) {
    const ProgramSignal signal = makeProgramSignal(rate);
    std::vector<float> outLeft(block), outRight(block);
    std::vector<std::unique_ptr<EngineState>> engines;
    double fs = rate;
    for (int n = 0; n < instances; ++n) {
        engines.push_back(std::make_unique<EngineState>());
        fs = prepareEngine(*engines.back(), rate);
    }
    const BlockSettings settings = settingsFor(everyStage);
    float* outputs[2] = {outLeft.data(), outRight.data()};
    int32_t position = 0;
    for (auto _ : state) {
        const float* inputs[2] = {signal.left.data() + position, signal.right.data() + position};
        for (const std::unique_ptr<EngineState>& engine : engines) {
            processBlockWith(path, *engine, fs, settings, inputs, outputs, block);
            benchmark::DoNotOptimize(outLeft.data());
            benchmark::ClobberMemory();
        }
        position += block;
        if (position + block > signalFrames) position = 0;
    }
    const double frames = static_cast<double>(state.iterations()) * block * instances;
    state.counters["ns_per_frame"] =
        benchmark::Counter(frames * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["realtime_x"] = benchmark::Counter(frames / rate, benchmark::Counter::kIsRate);
}

// A kernel, its filter runs included, at an oversampling factor, on white noise at -6 dBFS
// peak, 44.1 kHz, blocks of 512 frames; processed or, after its fade, bypassed.
void runOversampled(benchmark::State& state, const BlockKernel& kernel, int factor, bool bypassed = false) {
    constexpr double rate = 44100.0;
    constexpr int32_t block = 512;
    std::vector<float> left(signalFrames), right(signalFrames), outLeft(block), outRight(block);
    NoiseSource noise{777u};
    for (int32_t i = 0; i < signalFrames; ++i) {
        left[i] = static_cast<float>(noise.centred());
        right[i] = static_cast<float>(noise.centred());
    }
    const auto oversampler = std::make_unique<Oversampler>();
    const auto engine = std::make_unique<EngineState>();
    oversamplerSetup(*oversampler);
    setOversamplingFactor(*oversampler, *engine, factor, rate);
    oversampler->firRun = kernel.stereoFirRun;
    BlockSettings settings = settingsFor(false);
    settings.parameters[parameterBypass] = bypassed ? 1.0f : 0.0f;
    float* outputs[2] = {outLeft.data(), outRight.data()};
    int32_t position = 0;
    for (auto _ : state) {
        const float* inputs[2] = {left.data() + position, right.data() + position};
        processOversampledBlockWith(kernel.process, *oversampler, *engine, rate, settings, inputs, outputs, block);
        benchmark::DoNotOptimize(outLeft.data());
        benchmark::ClobberMemory();
        position += block;
        if (position + block > signalFrames) position = 0;
    }
    const double frames = static_cast<double>(state.iterations()) * block;
    state.counters["ns_per_frame"] =
        benchmark::Counter(frames * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["realtime_x"] = benchmark::Counter(frames / rate, benchmark::Counter::kIsRate);
}

struct Case {
    double rate;
    int32_t block;
    bool everyStage;
};

std::string caseName(const Case& c) {
    char text[64];
    std::snprintf(text, sizeof text, "%.0fHz/block%d/%s", c.rate, c.block,
                  c.everyStage ? "every_stage" : "defaults");
    return text;
}

// Prints the usual table, then one line per case with both paths and their ratio, from the
// median when repetitions were asked for. Times are CPU time per frame, which the other
// programs on a shared machine disturb less than wall-clock time.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Aggregate && !median) continue;
            if (run.error_occurred) continue;
            const std::string name = run.run_name.function_name;
            if (results_.find(name) == results_.end()) order_.push_back(name);
            Figures& figures = results_[name];
            if (figures.fromMedian && !median) continue;
            figures.fromMedian = median;
            figures.nsPerFrame = run.counters.at("ns_per_frame").value;
            figures.realtime = run.counters.at("realtime_x").value;
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nns per stereo frame; in brackets the literal path's time over the kernel's\n");
        std::printf("%-34s %10s", "case", "literal");
        printKernelNames();
        for (const std::string& name : order_) {
            if (name.rfind("literal/", 0) != 0) continue;
            const Figures& literal = results_[name];
            const std::string rest = name.substr(8);
            std::printf("%-34s %10.1f", rest.c_str(), literal.nsPerFrame);
            for (const std::string& kernel : kernels_) {
                const auto found = results_.find(kernel + "/" + rest);
                if (found == results_.end()) continue;
                printCell(found->second.nsPerFrame, literal.nsPerFrame / found->second.nsPerFrame);
            }
            std::printf("\n");
        }
        std::printf("\nbytes per instance (EngineState): %zu, oversampler: %zu\n",
                    sizeof(EngineState), sizeof(Oversampler));
        std::printf("\noversampled, white noise, 44.1 kHz, block 512: ns per frame, in brackets the\n"
                    "times the same kernel's 1x (the plug-in runs the %s kernel here)\n%-8s",
                    chosenBlockKernel().name, "factor");
        printKernelNames();
        for (const char* factor : {"1x", "2x", "4x", "8x"}) {
            std::printf("%-8s", factor);
            for (const std::string& kernel : kernels_) {
                const auto one = results_.find("oversampling/" + kernel + "/1x");
                const auto found = results_.find("oversampling/" + kernel + "/" + factor);
                if (one == results_.end() || found == results_.end()) continue;
                printCell(found->second.nsPerFrame, found->second.nsPerFrame / one->second.nsPerFrame);
            }
            std::printf("\n");
        }
        std::printf("\nbypassed (LV2, CLAP, VST 3), %s kernel: ns per frame, in brackets the times\n"
                    "the processed instance's\n", chosenBlockKernel().name);
        for (const char* factor : {"1x", "2x", "4x", "8x"}) {
            const auto processed = results_.find("oversampling/" + std::string(chosenBlockKernel().name) + "/" + factor);
            const auto bypassed = results_.find(std::string("bypassed/") + factor);
            if (processed == results_.end() || bypassed == results_.end()) continue;
            std::printf("%-8s", factor);
            printCell(bypassed->second.nsPerFrame, bypassed->second.nsPerFrame / processed->second.nsPerFrame);
            std::printf("\n");
        }
    }

    std::vector<std::string> kernels_;

private:
    // A column per kernel: its name, then "ns (ratio)" cells beneath.
    void printKernelNames() const {
        for (const std::string& kernel : kernels_) std::printf(" %18s", kernel.c_str());
        std::printf("\n");
    }
    static void printCell(double nsPerFrame, double ratio) {
        char cell[32];
        std::snprintf(cell, sizeof cell, "%.1f (%.2f)", nsPerFrame, ratio);
        std::printf(" %18s", cell);
    }

    struct Figures {
        double nsPerFrame = 0.0;
        double realtime = 0.0;
        bool fromMedian = false;
    };
    std::map<std::string, Figures> results_;
    std::vector<std::string> order_;
};

}  // namespace

int main(int argc, char** argv) {
    struct Path {
        std::string name;
        BlockPath path;
    };
    std::vector<Path> paths{{"literal", processFramesLiterally}};
    RatioReporter reporter;
    for (const BlockKernel* kernel : builtBlockKernels())
        if (runsHere(kernel->instructionSet)) {
            paths.push_back({kernel->name, kernel->process});
            reporter.kernels_.push_back(kernel->name);
        }
    const double rates[] = {44100.0, 48000.0, 96000.0};
    const int32_t blocks[] = {32, 512, 4096};
    for (const bool everyStage : {false, true})
        for (const double rate : rates)
            for (const int32_t block : blocks) {
                const Case c{rate, block, everyStage};
                // Every path next to the others, so all see the same machine load.
                for (const Path& p : paths)
                    benchmark::RegisterBenchmark((p.name + "/" + caseName(c)).c_str(),
                                                 [c, p](benchmark::State& state) {
                                                     runBlocks(state, p.path, c.rate, c.block,
                                                               c.everyStage);
                                                 });
            }
    // Scaling: 48 kHz, block 512, every stage active, n instances in turn.
    for (const int instances : {1, 16, 64})
        for (const Path& p : paths) {
            char name[64];
            std::snprintf(name, sizeof name, "%s/scaling/%02d_instances", p.name.c_str(), instances);
            benchmark::RegisterBenchmark(name, [instances, p](benchmark::State& state) {
                runBlocks(state, p.path, 48000.0, 512, true, instances);
            });
        }
    for (const BlockKernel* kernel : builtBlockKernels())
        if (runsHere(kernel->instructionSet))
            for (const int factor : {1, 2, 4, 8})
                benchmark::RegisterBenchmark(
                    ("oversampling/" + std::string(kernel->name) + "/" + std::to_string(factor) + "x").c_str(),
                    [kernel, factor](benchmark::State& state) { runOversampled(state, *kernel, factor); });
    for (const int factor : {1, 2, 4, 8})
        benchmark::RegisterBenchmark(("bypassed/" + std::to_string(factor) + "x").c_str(), [factor](benchmark::State& state) {
            runOversampled(state, chosenBlockKernel(), factor, true);
        });
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
