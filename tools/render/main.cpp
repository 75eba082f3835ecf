// velmora-render: the command line. Parses the options, checks every path and value
// before anything is written, loads the plug-in and runs the renders.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <optional>
#include <set>
#include <thread>

#include <CLI/CLI.hpp>

#include "tools/render/demo_signal.h"
#include "tools/render/errors.h"
#include "tools/render/lv2_presets.h"
#include "tools/render/render_job.h"

namespace fs = std::filesystem;

namespace {

struct Options {
    std::vector<std::string> files;
    std::vector<std::string> settings;
    int32_t blockSize = defaultBlockSize;
    std::string pluginPath;
    std::string outDir;
    int jobs = 1;
    std::string demoOutput;
    bool listParams = false;
    std::string preset;
    bool listPresets = false;
    bool force = false;
    bool quiet = false;
    FormatRequest format;
};

const char* const description =
    "Renders audio files through the Tolvan Velmora plug-in, or any LV2 plug-in or VST 2.4\n"
    "effect library, hosted as a DAW hosts it.\n\n"
    "  velmora-render INPUT OUTPUT [--set NAME=VALUE]...\n"
    "  velmora-render --out-dir DIR [-j N] INPUT...\n"
    "  velmora-render --demo OUTPUT\n"
    "  velmora-render --list-params [--plugin PLUGIN]\n"
    "  velmora-render --list-presets [--plugin PLUGIN]\n";

const char* const footer =
    "OUTPUT is written in the input's format and sample format unless --format,\n"
    "--sample-format or the output's extension (.wav .aiff .flac .ogg) ask for another.\n"
    "Mono files are processed as dual mono and written as mono. Parameter values are\n"
    "normalized 0..1 or percentages, e.g. --set Drive=0.6 --set \"Tube Bias=70%\", or, for an\n"
    "LV2 plug-in, values in the units it shows, e.g. --set Output=-3dB --set Oversampling=4x\n"
    "(--list-params shows units and ranges). --preset sets an LV2 plug-in's preset first,\n"
    "--set then changes single values. A plug-in's latency is compensated: the output\n"
    "lines up with the input and is as long.\n\n"
    "Exit status: 0 done, 1 a file or the plug-in failed, 2 a usage error.";

void addOptions(CLI::App& app, Options& options) {
    app.add_option("files", options.files, "INPUT OUTPUT, or the inputs with --out-dir")
        ->type_name("FILE");
    app.add_option("-s,--set", options.settings, "set a parameter by name, repeatable")
        ->type_name("NAME=VALUE")
        ->allow_extra_args(false)
        ->take_all();
    app.add_option("-b,--block-size", options.blockSize, "frames per processing call")
        ->check(CLI::Range(1, 65536))
        ->capture_default_str();
    app.add_option("-p,--plugin", options.pluginPath,
                   "LV2 plug-in URI or bundle folder, or VST 2.4 library, to host\n"
                   "(default: the Tolvan_Velmora.lv2 bundle beside this program)")
        ->type_name("PLUGIN");
    auto* outDir = app.add_option("-o,--out-dir", options.outDir,
                                  "render every INPUT into DIR under its own file name")
                       ->type_name("DIR");
    app.add_option("-j,--jobs", options.jobs, "with --out-dir: files rendered in parallel")
        ->check(CLI::Range(1, 256))
        ->capture_default_str()
        ->needs(outDir);
    auto* demo = app.add_option("--demo", options.demoOutput,
                                "render the built-in demo to OUTPUT, the dry signal beside it")
                     ->type_name("OUTPUT");
    auto* list = app.add_flag("--list-params", options.listParams,
                              "print the plug-in's parameters and exit");
    app.add_option("--preset", options.preset, "start from the LV2 plug-in's preset NAME")
        ->type_name("NAME");
    auto* listPresets = app.add_flag("--list-presets", options.listPresets,
                                     "print the plug-in's presets and exit");
    app.add_option("--format", options.format.container, "output container")
        ->check(CLI::IsMember(containerNames));
    app.add_option("--sample-format", options.format.sampleFormat, "output sample format")
        ->check(CLI::IsMember(sampleFormatNames));
    app.add_flag("-f,--force", options.force, "replace existing output files");
    app.add_flag("-q,--quiet", options.quiet, "no progress bar and no summary");
    demo->excludes(outDir)->excludes(list);
    list->excludes(outDir);
    listPresets->excludes(outDir)->excludes(demo)->excludes(list);
}

void checkMode(const Options& options) {
    if (options.listParams || options.listPresets || !options.demoOutput.empty()) {
        if (!options.files.empty())
            throw UsageError("unexpected file argument " + inQuotes(options.files.front()));
    } else if (!options.outDir.empty()) {
        if (options.files.empty()) throw UsageError("--out-dir needs at least one INPUT");
    } else if (options.files.size() != 2) {
        throw UsageError(options.files.size() < 2
                             ? "expected INPUT and OUTPUT (see --help)"
                             : "expected one INPUT and one OUTPUT; use --out-dir DIR for several inputs");
    }
}

void printPresets(const std::vector<Lv2Preset>& presets) {
    size_t width = 4;
    for (const Lv2Preset& p : presets) width = std::max(width, p.label.size());
    std::printf("%-*s  %s\n", static_cast<int>(width), "name", "comment");
    for (const Lv2Preset& p : presets)
        std::printf("%-*s  %s\n", static_cast<int>(width), p.label.c_str(), p.comment.c_str());
}

bool samePath(const fs::path& a, const fs::path& b) {
    std::error_code error;
    if (fs::exists(a, error) && fs::exists(b, error)) return fs::equivalent(a, b, error);
    return fs::weakly_canonical(a, error) == fs::weakly_canonical(b, error);
}

// Everything about an output that can be refused before any work is done.
void checkOutputPath(const std::string& output, const std::vector<std::string>& inputs, bool force) {
    fs::path path(output);
    fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    std::error_code error;
    if (path.filename().empty() || fs::is_directory(path, error))
        throw UsageError("output " + inQuotes(output) + " is a folder, not a file name");
    if (!fs::is_directory(folder, error))
        throw UsageError("output folder " + inQuotes(folder.string()) + " does not exist");
    for (const std::string& input : inputs)
        if (samePath(path, input))
            throw UsageError("output " + inQuotes(output) + " is the input; choose another name");
    if (fs::exists(path, error) && !force)
        throw UsageError("output " + inQuotes(output) + " exists; use --force to replace it");
}

std::string dryPathFor(const std::string& output) {
    fs::path path(output);
    fs::path dry = path.parent_path() / (path.stem().string() + "-dry" + path.extension().string());
    return dry.string();
}

std::vector<std::string> batchOutputs(const Options& options) {
    std::error_code error;
    if (!fs::is_directory(options.outDir, error))
        throw UsageError("output folder " + inQuotes(options.outDir) + " does not exist");
    std::vector<std::string> outputs;
    std::set<std::string> seen;
    for (const std::string& input : options.files) {
        std::string output = (fs::path(options.outDir) / fs::path(input).filename()).string();
        if (!seen.insert(output).second)
            throw UsageError("two inputs would both be written to " + inQuotes(output));
        checkOutputPath(output, options.files, options.force);
        outputs.push_back(output);
    }
    return outputs;
}

void printParameters(const EffectIdentity& identity, const std::vector<ParameterInfo>& parameters) {
    std::printf("%s%s%s: %zu parameter(s), %d in, %d out\n", identity.name.c_str(),
                identity.vendor.empty() ? "" : " by ", identity.vendor.c_str(), parameters.size(),
                identity.numInputs, identity.numOutputs);
    // VST 2.4 parameters are set normalized; LV2 controls in their units within their range.
    auto rangeOf = [](const ParameterInfo& p) {
        if (p.normalizedOnly || p.enabledSwitch) return std::string("0..1");
        char text[64];
        std::snprintf(text, sizeof text, "%g..%g", static_cast<double>(p.minimum), static_cast<double>(p.maximum));
        std::string range = text;
        for (size_t i = 0; i < p.scalePoints.size(); ++i)
            range += (i ? ", " : " (") + p.scalePoints[i].label + (i + 1 == p.scalePoints.size() ? ")" : "");
        return range;
    };
    auto valueOf = [](const ParameterInfo& p) {
        char text[32];
        std::snprintf(text, sizeof text, p.normalizedOnly ? "%.6f" : "%g", static_cast<double>(p.value));
        return std::string(text);
    };
    size_t nameWidth = 4, valueWidth = 8, displayWidth = 7, labelWidth = 5;
    for (const ParameterInfo& p : parameters) {
        nameWidth = std::max(nameWidth, p.name.size());
        valueWidth = std::max(valueWidth, valueOf(p).size());
        displayWidth = std::max(displayWidth, p.display.size());
        labelWidth = std::max(labelWidth, p.label.size());
    }
    const auto width = [](size_t w) { return static_cast<int>(w); };
    // Padded by characters, not bytes: scale point labels such as "4×" are UTF-8.
    const auto padded = [](const std::string& text, size_t columns) {
        size_t characters = 0;
        for (unsigned char c : text) characters += (c & 0xc0) != 0x80;
        return text + std::string(columns > characters ? columns - characters : 0, ' ');
    };
    std::printf("%5s  %-*s  %*s  %s  %-*s  %s\n", "index", width(nameWidth), "name", width(valueWidth),
                "value", padded("display", displayWidth).c_str(), width(labelWidth), "label", "range");
    for (const ParameterInfo& p : parameters)
        std::printf("%5d  %-*s  %*s  %s  %-*s  %s\n", p.index, width(nameWidth), p.name.c_str(),
                    width(valueWidth), valueOf(p).c_str(), padded(p.display, displayWidth).c_str(),
                    width(labelWidth), p.label.c_str(), rangeOf(p).c_str());
}

int64_t framesIn(const std::string& path) {
    SF_INFO info{};
    SoundFilePtr file(sf_open(path.c_str(), SFM_READ, &info));
    return file ? info.frames : 0;
}

int renderBatch(const PluginModule& module, const RenderSettings& settings, const Options& options,
                const std::vector<std::string>& outputs, ProgressMeter& progress) {
    const auto started = std::chrono::steady_clock::now();
    const size_t count = options.files.size();
    std::vector<std::optional<RenderSummary>> summaries(count);
    std::vector<int> status(count, 0);
    std::atomic<size_t> next{0};
    auto worker = [&] {
        for (size_t i; !renderInterrupted && (i = next++) < count;) {
            try {
                summaries[i] = renderFile(module, settings, options.files[i], outputs[i], progress);
            } catch (const UsageError& e) {
                status[i] = exitUsageError;
                reportError(&progress, e.what());
            } catch (const std::exception& e) {
                status[i] = exitProcessingError;
                reportError(&progress, e.what());
            }
        }
    };
    std::vector<std::thread> threads;
    for (size_t t = 0; t < std::min<size_t>(options.jobs, count); ++t) threads.emplace_back(worker);
    for (auto& thread : threads) thread.join();
    clearProgress(progress);
    if (renderInterrupted) throw ProcessingError("interrupted");

    const double wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    double audioSeconds = 0.0;
    int failed = 0;
    for (size_t i = 0; i < count; ++i) {
        if (!summaries[i]) {
            ++failed;
            continue;
        }
        audioSeconds += static_cast<double>(summaries[i]->frames) / summaries[i]->format.sampleRate;
        if (!options.quiet) printSummary(stdout, *summaries[i]);
    }
    if (!options.quiet) printBatchTotal(stdout, static_cast<int>(count), failed, audioSeconds, wallSeconds);
    return *std::max_element(status.begin(), status.end());
}

RenderSummary renderDemo(const PluginModule& module, const RenderSettings& settings,
                         const std::string& output, ProgressMeter& progress) {
    const std::string dryOutput = dryPathFor(output);
    AudioFormat format{demoSampleRate, demoChannels, 0};
    format.sndfileFormat = chooseOutputFormat(SF_FORMAT_WAV | SF_FORMAT_PCM_24, output,
                                              settings.format, demoChannels, demoSampleRate);
    auto samples = std::make_shared<const std::vector<float>>(synthesizeDemo(demoSampleRate));

    // Both files are committed only once both are complete.
    auto dryWriter = beginAudioFile(dryOutput, format);
    writeFrames(*dryWriter, samples->data(), static_cast<int64_t>(samples->size()) / demoChannels);
    auto writer = beginAudioFile(output, format);
    AudioSource source = memorySource("built-in demo (bass, chords and drums)", format, samples);
    progress.totalFrames = source.frames;
    RenderSummary summary = renderThroughEffect(module, settings, source, *writer, progress);
    commitAudioFile(*dryWriter);
    commitAudioFile(*writer);
    summary.dryOutput = dryOutput;
    return summary;
}

void onSignal(int) { renderInterrupted = true; }

void installSignalHandlers() {
    struct sigaction action{};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

int run(const Options& options) {
    checkMode(options);
    std::vector<ParameterSetting> settings;
    for (const std::string& text : options.settings) settings.push_back(parseParameterSetting(text));

    std::vector<std::string> outputs;
    if (!options.demoOutput.empty()) {
        checkOutputPath(options.demoOutput, {}, options.force);
        checkOutputPath(dryPathFor(options.demoOutput), {options.demoOutput}, options.force);
    } else if (!options.outDir.empty()) {
        outputs = batchOutputs(options);
    } else if (!options.listParams && !options.listPresets) {
        checkOutputPath(options.files[1], {options.files[0]}, options.force);
    }

    const std::string pluginPath =
        options.pluginPath.empty() ? defaultPluginPath() : options.pluginPath;
    PluginModule module = loadPluginModule(pluginPath);
    if (options.listPresets) {
        if (!module.lv2) throw UsageError(inQuotes(pluginPath) + " is no LV2 plug-in; presets are read from LV2 plug-ins only");
        printPresets(loadLv2Presets(*module.lv2));
        return 0;
    }
    RenderSettings renderSettings;
    renderSettings.blockSize = options.blockSize;
    renderSettings.format = options.format;
    {
        // A first instance tells the effect's name and its parameters.
        HostedEffect probe = createEffect(module, HostContext{44100.0, options.blockSize});
        EffectGuard guard{probe};
        EffectIdentity identity = identifyEffect(probe, pluginPath);
        renderSettings.effectName = identity.name;
        renderSettings.parameters = resolveParameterSettings(settings, describeParameters(probe));
        if (!options.preset.empty()) {
            std::vector<ResolvedSetting> ports = findLv2Preset(module, options.preset).ports;
            renderSettings.parameters.insert(renderSettings.parameters.begin(), ports.begin(), ports.end());
        }
        if (options.listParams) {
            for (const ResolvedSetting& s : renderSettings.parameters)
                setEffectParameter(probe, s.index, s.value);
            printParameters(identity, describeParameters(probe));
            return 0;
        }
    }

    installSignalHandlers();
    ProgressMeter progress;
    progress.enabled = !options.quiet && isatty(STDERR_FILENO);
    if (!options.demoOutput.empty()) {
        RenderSummary summary = renderDemo(module, renderSettings, options.demoOutput, progress);
        clearProgress(progress);
        if (!options.quiet) printSummary(stdout, summary);
        return 0;
    }
    if (!options.outDir.empty()) {
        if (progress.enabled)
            for (const std::string& input : options.files) progress.totalFrames += framesIn(input);
        return renderBatch(module, renderSettings, options, outputs, progress);
    }
    progress.totalFrames = progress.enabled ? framesIn(options.files[0]) : 0;
    RenderSummary summary =
        renderFile(module, renderSettings, options.files[0], options.files[1], progress);
    clearProgress(progress);
    if (!options.quiet) printSummary(stdout, summary);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{description, "velmora-render"};
    app.footer(footer);
    Options options;
    addOptions(app, options);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);
        std::fprintf(stderr, "velmora-render: %s (see --help)\n", e.what());
        return exitUsageError;
    }
    try {
        return run(options);
    } catch (const UsageError& e) {
        reportError(nullptr, e.what());
        return exitUsageError;
    } catch (const std::exception& e) {
        reportError(nullptr, e.what());
        return exitProcessingError;
    }
}
