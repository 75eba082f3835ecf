// Cost of one stereo frame through the literal block path and the fast one, at three rates,
// three block sizes and two settings, with the fast-to-literal ratio printed at the end.
//
//   velmora-bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "engine/engine_state.h"
#include "engine/process_block.h"

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
    uint32_t noise = 12345u;
    const double twoPi = 6.283185307179586;
    for (int32_t i = 0; i < signalFrames; ++i) {
        const double t = i / fs;
        noise = noise * 1664525u + 1013904223u;
        const double white = (static_cast<double>(noise >> 8) / 16777216.0) - 0.5;
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

using BlockFunction = void (*)(EngineState&, double, const BlockSettings&, const float* const*,
                               float* const*, int32_t);

void runBlocks(benchmark::State& state, BlockFunction process, double rate, int32_t block,
               bool everyStage) {
    const ProgramSignal signal = makeProgramSignal(rate);
    std::vector<float> outLeft(block), outRight(block);
    EngineState engine;
    const double fs = prepareEngine(engine, rate);
    const BlockSettings settings = settingsFor(everyStage);
    float* outputs[2] = {outLeft.data(), outRight.data()};
    int32_t position = 0;
    for (auto _ : state) {
        const float* inputs[2] = {signal.left.data() + position, signal.right.data() + position};
        process(engine, fs, settings, inputs, outputs, block);
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
        std::printf("\n%-34s %12s %12s %8s %12s\n", "case", "literal ns", "fast ns", "ratio",
                    "fast RT x");
        for (const std::string& name : order_) {
            if (name.rfind("literal/", 0) != 0) continue;
            const Figures& literal = results_[name];
            const std::string rest = name.substr(8);
            const auto fast = results_.find("fast/" + rest);
            if (fast == results_.end()) continue;
            std::printf("%-34s %12.1f %12.1f %8.2f %12.0f\n", rest.c_str(), literal.nsPerFrame,
                        fast->second.nsPerFrame, literal.nsPerFrame / fast->second.nsPerFrame,
                        fast->second.realtime);
        }
    }

private:
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
    const double rates[] = {44100.0, 48000.0, 96000.0};
    const int32_t blocks[] = {32, 512, 4096};
    for (const bool everyStage : {false, true})
        for (const double rate : rates)
            for (const int32_t block : blocks) {
                const Case c{rate, block, everyStage};
                // Literal and fast next to each other, so both see the same machine load.
                benchmark::RegisterBenchmark(("literal/" + caseName(c)).c_str(),
                                             [c](benchmark::State& state) {
                                                 runBlocks(state, processBlockReference, c.rate,
                                                           c.block, c.everyStage);
                                             });
                benchmark::RegisterBenchmark(("fast/" + caseName(c)).c_str(),
                                             [c](benchmark::State& state) {
                                                 runBlocks(state, processBlock, c.rate, c.block,
                                                           c.everyStage);
                                             });
            }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
