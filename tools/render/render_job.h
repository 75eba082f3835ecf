// One render: a source pushed block by block through fresh instances of the effect into an
// output file.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/render/audio_file.h"
#include "tools/render/parameter_settings.h"
#include "tools/render/plugin_host.h"
#include "tools/render/report.h"

constexpr int32_t defaultBlockSize = 512;
constexpr int maxChannels = 2;

struct RenderSettings {
    std::vector<ResolvedSetting> parameters;
    int32_t blockSize = defaultBlockSize;
    std::string effectName;
    FormatRequest format;
};

// Set from a signal handler; a render in progress stops and leaves no output behind.
extern std::atomic<bool> renderInterrupted;

// Processes the whole source into writer (which the caller commits). Mono sources are
// processed as dual mono; a stereo source through an effect with fewer than two inputs or
// outputs gets one instance per channel.
RenderSummary renderThroughEffect(const PluginModule& module, const RenderSettings& settings,
                                  AudioSource& source, AudioFileWriter& writer,
                                  ProgressMeter& progress);

// Reads inputPath, renders it and commits outputPath in the input's format unless the
// settings or the output's extension ask for another.
RenderSummary renderFile(const PluginModule& module, const RenderSettings& settings,
                         const std::string& inputPath, const std::string& outputPath,
                         ProgressMeter& progress);

// Throws ProcessingError unless the source has one or two channels.
void checkChannelCount(const AudioSource& source);
