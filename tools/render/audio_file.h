// Audio in and out through libsndfile: reading sources block by block, choosing the output
// format, and writing through a temporary file that replaces the target only when complete.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <sndfile.h>

struct AudioFormat {
    int sampleRate = 0;
    int channels = 0;
    int sndfileFormat = 0;  // container | sample format | byte order
};

struct SoundFileCloser {
    void operator()(SNDFILE* file) const {
        if (file) sf_close(file);
    }
};
using SoundFilePtr = std::unique_ptr<SNDFILE, SoundFileCloser>;

// Where samples come from: a file, or a signal held in memory.
struct AudioSource {
    std::string label;
    AudioFormat format;
    int64_t frames = 0;
    // Reads up to `frames` interleaved frames; returns how many, 0 at the end.
    std::function<int64_t(float* interleaved, int64_t frames)> read;
};

// Throws ProcessingError for a missing, unreadable, corrupt or unsupported file.
AudioSource openAudioFile(const std::string& path);
AudioSource memorySource(std::string label, AudioFormat format,
                         std::shared_ptr<const std::vector<float>> interleaved);

// The container and sample format asked for on the command line; empty means "as the
// output's extension and the input suggest".
struct FormatRequest {
    std::string container;     // wav, aiff, flac, ogg
    std::string sampleFormat;  // pcm16, pcm24, pcm32, float, double, vorbis
};
extern const std::vector<std::string> containerNames;
extern const std::vector<std::string> sampleFormatNames;

// Throws UsageError when the request cannot be written with these channels and rate.
int chooseOutputFormat(int inputFormat, const std::string& outputPath,
                       const FormatRequest& request, int channels, int sampleRate);
// "WAV, 24-bit PCM" and the like.
std::string describeFormat(int sndfileFormat);

// The file being written; removed again unless committed.
struct AudioFileWriter {
    SoundFilePtr file;
    std::string tempPath;
    std::string finalPath;
    int channels = 0;
    bool committed = false;
    ~AudioFileWriter();
};

std::unique_ptr<AudioFileWriter> beginAudioFile(const std::string& path, const AudioFormat& format);
void writeFrames(AudioFileWriter& writer, const float* interleaved, int64_t frames);
// Finishes the file and renames it over the target.
void commitAudioFile(AudioFileWriter& writer);
