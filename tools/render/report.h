// What the renderer tells the user: levels, the progress bar on a terminal, the closing
// summary and error lines.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "tools/render/audio_file.h"

struct LevelMeter {
    double peak = 0.0;
    double sumOfSquares = 0.0;
    int64_t samples = 0;
};

void measureLevels(LevelMeter& meter, const float* samples, int64_t count);
// "-3.0 dBFS", "-inf dBFS" for silence.
std::string peakText(const LevelMeter& meter);
std::string rmsText(const LevelMeter& meter);

struct RenderSummary {
    std::string output;
    std::string input;
    std::string dryOutput;  // the demo's unprocessed signal, when written
    std::string effectName;
    AudioFormat format;
    int64_t frames = 0;
    int64_t latency = 0;       // frames, compensated in the output
    std::string oversampling;  // the plug-in's Oversampling control as shown, if it has one
    double wallSeconds = 0.0;
    LevelMeter in;
    LevelMeter out;
};

void printSummary(std::FILE* stream, const RenderSummary& summary);
// One line for a batch: files, audio time, wall time, real-time factor.
void printBatchTotal(std::FILE* stream, int files, int failed, double audioSeconds,
                     double wallSeconds);

// Shared by all jobs of a run; draws only when enabled (stderr is a terminal, not -q).
struct ProgressMeter {
    bool enabled = false;
    int64_t totalFrames = 0;
    std::atomic<int64_t> doneFrames{0};
    std::mutex lock;
    int shownPercent = -1;
    bool lineShown = false;
};

void advanceProgress(ProgressMeter& progress, int64_t frames);
void clearProgress(ProgressMeter& progress);
// An error line on stderr, clearing a progress bar first.
void reportError(ProgressMeter* progress, const std::string& message);
