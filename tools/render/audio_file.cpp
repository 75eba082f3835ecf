#include "tools/render/audio_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

#include "tools/render/errors.h"

namespace fs = std::filesystem;

namespace {

struct ContainerInfo {
    int format;
    int defaultSampleFormat;
    const char* title;
};

const std::map<std::string, ContainerInfo> containers = {
    {"wav", {SF_FORMAT_WAV, SF_FORMAT_FLOAT, "WAV"}},
    {"aiff", {SF_FORMAT_AIFF, SF_FORMAT_FLOAT, "AIFF"}},
    {"flac", {SF_FORMAT_FLAC, SF_FORMAT_PCM_24, "FLAC"}},
    {"ogg", {SF_FORMAT_OGG, SF_FORMAT_VORBIS, "Ogg"}},
};

const std::map<std::string, std::string> containerByExtension = {
    {".wav", "wav"}, {".wave", "wav"}, {".aif", "aiff"}, {".aiff", "aiff"}, {".aifc", "aiff"},
    {".flac", "flac"}, {".ogg", "ogg"}, {".oga", "ogg"},
};

const std::map<std::string, int> sampleFormats = {
    {"pcm16", SF_FORMAT_PCM_16}, {"pcm24", SF_FORMAT_PCM_24}, {"pcm32", SF_FORMAT_PCM_32},
    {"float", SF_FORMAT_FLOAT},  {"double", SF_FORMAT_DOUBLE}, {"vorbis", SF_FORMAT_VORBIS},
};

const std::pair<int, const char*> sampleFormatTitles[] = {
    {SF_FORMAT_PCM_U8, "8-bit PCM"},     {SF_FORMAT_PCM_S8, "8-bit PCM"},
    {SF_FORMAT_PCM_16, "16-bit PCM"},    {SF_FORMAT_PCM_24, "24-bit PCM"},
    {SF_FORMAT_PCM_32, "32-bit PCM"},    {SF_FORMAT_FLOAT, "32-bit float"},
    {SF_FORMAT_DOUBLE, "64-bit float"},  {SF_FORMAT_VORBIS, "Vorbis"},
};

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool isIntegerSampleFormat(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_PCM_32:
        return true;
    default:
        return false;
    }
}

bool formatWorks(int format, int channels, int sampleRate) {
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = sampleRate;
    return sf_format_check(&info) != 0;
}

// Files are created as an ordinary open() would create them, not with mkstemp's 0600.
mode_t creationMode() {
    static mode_t mode = [] {
        static std::mutex lock;
        std::lock_guard<std::mutex> guard(lock);
        mode_t mask = umask(0);
        umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

}  // namespace

const std::vector<std::string> containerNames = {"wav", "aiff", "flac", "ogg"};
const std::vector<std::string> sampleFormatNames = {"pcm16", "pcm24", "pcm32",
                                                    "float", "double", "vorbis"};

AudioSource openAudioFile(const std::string& path) {
    std::error_code error;
    if (!fs::exists(path, error)) throw ProcessingError("input " + inQuotes(path) + " does not exist");
    if (!fs::is_regular_file(path, error))
        throw ProcessingError("input " + inQuotes(path) + " is not a regular file");
    SF_INFO info{};
    auto file = std::shared_ptr<SNDFILE>(sf_open(path.c_str(), SFM_READ, &info), SoundFileCloser{});
    if (!file)
        throw ProcessingError("cannot read input " + inQuotes(path) + ": " + sf_strerror(nullptr));
    if (info.frames <= 0 || info.channels <= 0 || info.samplerate <= 0)
        throw ProcessingError("input " + inQuotes(path) + " holds no audio");

    AudioSource source;
    source.label = path;
    source.format = AudioFormat{info.samplerate, info.channels, info.format};
    source.frames = info.frames;
    source.read = [file, path](float* interleaved, int64_t frames) -> int64_t {
        sf_count_t got = sf_readf_float(file.get(), interleaved, frames);
        if (got < frames && sf_error(file.get()) != SF_ERR_NO_ERROR)
            throw ProcessingError("cannot read input " + inQuotes(path) + ": " +
                                  sf_strerror(file.get()));
        return got;
    };
    return source;
}

AudioSource memorySource(std::string label, AudioFormat format,
                         std::shared_ptr<const std::vector<float>> interleaved) {
    AudioSource source;
    source.label = std::move(label);
    source.format = format;
    source.frames = static_cast<int64_t>(interleaved->size()) / format.channels;
    auto position = std::make_shared<int64_t>(0);
    source.read = [interleaved, position, total = source.frames,
                   channels = format.channels](float* out, int64_t frames) -> int64_t {
        int64_t count = std::min(frames, total - *position);
        std::copy_n(interleaved->data() + *position * channels, count * channels, out);
        *position += count;
        return count;
    };
    return source;
}

int chooseOutputFormat(int inputFormat, const std::string& outputPath,
                       const FormatRequest& request, int channels, int sampleRate) {
    int container = inputFormat & SF_FORMAT_TYPEMASK;
    int sampleFormat = inputFormat & SF_FORMAT_SUBMASK;
    int byteOrder = inputFormat & SF_FORMAT_ENDMASK;

    std::string containerName = request.container;
    if (containerName.empty()) {
        auto byExtension = containerByExtension.find(lowercase(fs::path(outputPath).extension()));
        if (byExtension != containerByExtension.end()) containerName = byExtension->second;
    }
    if (!containerName.empty()) {
        auto found = containers.find(containerName);
        if (found == containers.end())
            throw UsageError("unknown output format " + inQuotes(containerName));
        if (found->second.format != container) {
            container = found->second.format;
            byteOrder = 0;
            // Keep the input's sample format where the new container can hold it.
            if (!formatWorks(container | sampleFormat, channels, sampleRate))
                sampleFormat = found->second.defaultSampleFormat;
        }
    }
    if (!request.sampleFormat.empty()) {
        auto found = sampleFormats.find(request.sampleFormat);
        if (found == sampleFormats.end())
            throw UsageError("unknown sample format " + inQuotes(request.sampleFormat));
        sampleFormat = found->second;
    }
    int format = container | sampleFormat | byteOrder;
    if (!formatWorks(format, channels, sampleRate)) format = container | sampleFormat;
    if (!formatWorks(format, channels, sampleRate))
        throw UsageError("output " + inQuotes(outputPath) + " cannot be written as " +
                         describeFormat(format) + " with " + std::to_string(channels) +
                         " channel(s) at " + std::to_string(sampleRate) + " Hz");
    return format;
}

std::string describeFormat(int sndfileFormat) {
    auto libraryName = [](int format) -> std::string {
        SF_FORMAT_INFO info{};
        info.format = format;
        if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) != 0 || !info.name)
            return "unknown";
        return info.name;
    };
    const int container = sndfileFormat & SF_FORMAT_TYPEMASK;
    const int sampleFormat = sndfileFormat & SF_FORMAT_SUBMASK;
    std::string text = libraryName(container);
    for (const auto& [name, info] : containers)
        if (info.format == container) text = info.title;
    for (const auto& [format, title] : sampleFormatTitles)
        if (format == sampleFormat) return text + ", " + title;
    return text + ", " + libraryName(sampleFormat);
}

AudioFileWriter::~AudioFileWriter() {
    if (committed) return;
    file.reset();
    if (!tempPath.empty()) ::unlink(tempPath.c_str());
}

std::unique_ptr<AudioFileWriter> beginAudioFile(const std::string& path,
                                                const AudioFormat& format) {
    fs::path target(path);
    fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');

    auto writer = std::make_unique<AudioFileWriter>();
    writer->finalPath = path;
    writer->channels = format.channels;
    int fd = ::mkstemp(name.data());
    if (fd < 0)
        throw ProcessingError("cannot create output " + inQuotes(path) + ": " + std::strerror(errno));
    writer->tempPath = name.data();
    ::fchmod(fd, creationMode());

    SF_INFO info{};
    info.samplerate = format.sampleRate;
    info.channels = format.channels;
    info.format = format.sndfileFormat;
    writer->file.reset(sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE));  // closes fd on failure too
    if (!writer->file)
        throw ProcessingError("cannot write output " + inQuotes(path) + ": " + sf_strerror(nullptr));
    // Integer files clip what the effect puts beyond full scale instead of wrapping it.
    if (isIntegerSampleFormat(format.sndfileFormat))
        sf_command(writer->file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
    return writer;
}

void writeFrames(AudioFileWriter& writer, const float* interleaved, int64_t frames) {
    if (sf_writef_float(writer.file.get(), interleaved, frames) != frames)
        throw ProcessingError("cannot write output " + inQuotes(writer.finalPath) + ": " +
                              sf_strerror(writer.file.get()));
}

void commitAudioFile(AudioFileWriter& writer) {
    int closeResult = sf_close(writer.file.release());
    if (closeResult != 0)
        throw ProcessingError("cannot finish output " + inQuotes(writer.finalPath) + ": " +
                              sf_error_number(closeResult));
    if (std::rename(writer.tempPath.c_str(), writer.finalPath.c_str()) != 0)
        throw ProcessingError("cannot move the finished output to " + inQuotes(writer.finalPath) +
                              ": " + std::strerror(errno));
    writer.committed = true;
}
