#include "tools/render/report.h"

#include <cmath>

namespace {

constexpr int barWidth = 32;

std::string decibelText(double decibels) {
    if (!std::isfinite(decibels)) return "-inf dBFS";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dBFS", decibels);
    return text;
}

double realTimeFactor(double audioSeconds, double wallSeconds) {
    return wallSeconds > 0.0 ? audioSeconds / wallSeconds : 0.0;
}

void drawProgressLocked(ProgressMeter& progress, int percent) {
    int filled = percent * barWidth / 100;
    std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(filled, '#').c_str(),
                 std::string(barWidth - filled, '-').c_str(), percent);
    std::fflush(stderr);
    progress.lineShown = true;
}

void clearProgressLocked(ProgressMeter& progress) {
    if (!progress.lineShown) return;
    std::fprintf(stderr, "\r%*s\r", barWidth + 8, "");
    std::fflush(stderr);
    progress.lineShown = false;
}

}  // namespace

void measureLevels(LevelMeter& meter, const float* samples, int64_t count) {
    for (int64_t i = 0; i < count; ++i) {
        double value = samples[i];
        meter.peak = std::max(meter.peak, std::abs(value));
        meter.sumOfSquares += value * value;
    }
    meter.samples += count;
}

std::string peakText(const LevelMeter& meter) {
    return decibelText(meter.peak > 0.0 ? 20.0 * std::log10(meter.peak) : -INFINITY);
}

std::string rmsText(const LevelMeter& meter) {
    double meanSquare = meter.samples > 0 ? meter.sumOfSquares / meter.samples : 0.0;
    return decibelText(meanSquare > 0.0 ? 10.0 * std::log10(meanSquare) : -INFINITY);
}

void printSummary(std::FILE* stream, const RenderSummary& summary) {
    double audioSeconds = static_cast<double>(summary.frames) / summary.format.sampleRate;
    std::fprintf(stream, "%s\n", summary.output.c_str());
    std::fprintf(stream, "  from      %s\n", summary.input.c_str());
    if (!summary.dryOutput.empty())
        std::fprintf(stream, "  dry copy  %s\n", summary.dryOutput.c_str());
    std::fprintf(stream, "  effect    %s\n", summary.effectName.c_str());
    std::fprintf(stream, "  latency   %lld frames%s%s%s\n", static_cast<long long>(summary.latency),
                 summary.latency > 0 ? " (compensated)" : "",
                 summary.oversampling.empty() ? "" : ", oversampling ", summary.oversampling.c_str());
    std::fprintf(stream, "  duration  %.2f s, %d Hz, %s, %s\n", audioSeconds,
                 summary.format.sampleRate, summary.format.channels == 1 ? "mono" : "stereo",
                 describeFormat(summary.format.sndfileFormat).c_str());
    std::fprintf(stream, "  peak      in %-11s out %s\n", peakText(summary.in).c_str(),
                 peakText(summary.out).c_str());
    std::fprintf(stream, "  RMS       in %-11s out %s\n", rmsText(summary.in).c_str(),
                 rmsText(summary.out).c_str());
    std::fprintf(stream, "  speed     %.3f s, %.1fx real time\n", summary.wallSeconds,
                 realTimeFactor(audioSeconds, summary.wallSeconds));
}

void printBatchTotal(std::FILE* stream, int files, int failed, double audioSeconds,
                     double wallSeconds) {
    std::fprintf(stream, "%d file(s) rendered, %d failed: %.2f s of audio in %.3f s, %.1fx real time\n",
                 files - failed, failed, audioSeconds, wallSeconds,
                 realTimeFactor(audioSeconds, wallSeconds));
}

void advanceProgress(ProgressMeter& progress, int64_t frames) {
    int64_t done = progress.doneFrames += frames;
    if (!progress.enabled || progress.totalFrames <= 0) return;
    int percent = static_cast<int>(std::min<int64_t>(100, done * 100 / progress.totalFrames));
    std::lock_guard<std::mutex> guard(progress.lock);
    if (percent == progress.shownPercent && progress.lineShown) return;
    progress.shownPercent = percent;
    drawProgressLocked(progress, percent);
}

void clearProgress(ProgressMeter& progress) {
    std::lock_guard<std::mutex> guard(progress.lock);
    clearProgressLocked(progress);
}

void reportError(ProgressMeter* progress, const std::string& message) {
    std::unique_lock<std::mutex> guard;
    if (progress) {
        guard = std::unique_lock<std::mutex>(progress->lock);
        clearProgressLocked(*progress);
    }
    std::fprintf(stderr, "velmora-render: %s\n", message.c_str());
}
