// A small CLAP host for the tests: loads the built .clap as a host does, offers the params,
// timer and fd extensions, and keeps event lists and byte streams in plain vectors.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>
#include <string>
#include <vector>

#include "clap/clap_abi.h"
#include "clap/clap_preset_abi.h"
#include "support/plugin_library.h"

// The .clap loaded and its entry initialised, as hosts do.
class ClapLibrary {
public:
    explicit ClapLibrary(const std::string& path = VELMORA_CLAP_PATH)
        : library_(path), entry_(static_cast<const clap_plugin_entry_t*>(library_.symbol("clap_entry"))) {
        if (entry_ && entry_->init(path.c_str()))
            factory_ = static_cast<const clap_plugin_factory_t*>(entry_->get_factory(CLAP_PLUGIN_FACTORY_ID));
    }
    ~ClapLibrary() {
        if (entry_) entry_->deinit();
    }
    const clap_plugin_factory_t* factory() const { return factory_; }
    const clap_plugin_entry_t* entry() const { return entry_; }

private:
    SharedLibrary library_;
    const clap_plugin_entry_t* entry_;
    const clap_plugin_factory_t* factory_ = nullptr;
};

// Two channels of samples and the pointers a process call takes.
struct Stereo {
    std::vector<float> left, right;
    explicit Stereo(size_t n) : left(n), right(n) {}
    float* channels[2];
    float* const* data() { return channels[0] = left.data(), channels[1] = right.data(), channels; }
    bool operator==(const Stereo& o) const { return left == o.left && right == o.right; }
};

// Events as a host lists them: parameter values at frames, in time order.
struct EventList {
    std::vector<clap_event_param_value_t> values;
    clap_input_events_t list{this, [](const clap_input_events_t* l) { return uint32_t(of(l).values.size()); },
                             [](const clap_input_events_t* l, uint32_t i) -> const clap_event_header_t* { return &of(l).values.at(i).header; }};

    static EventList& of(const clap_input_events_t* l) { return *static_cast<EventList*>(l->ctx); }
    void add(uint32_t time, clap_id id, double value) {
        values.push_back({{sizeof(clap_event_param_value_t), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0},
                          id, nullptr, -1, -1, -1, -1, value});
    }
};

// What the plug-in sends, in order: (type, parameter, value) of value and gesture events.
struct SentEvent {
    uint16_t type;
    clap_id parameter;
    double value;
};

// Refuses the first `refusals` events, as a full host list does.
struct EventSink {
    std::vector<SentEvent> events;
    int refusals = 0;
    clap_output_events_t list{this, [](const clap_output_events_t* l, const clap_event_header_t* e) {
        const auto* value = reinterpret_cast<const clap_event_param_value_t*>(e);
        const bool isValue = e->type == CLAP_EVENT_PARAM_VALUE;
        if (static_cast<EventSink*>(l->ctx)->refusals-- > 0) return false;
        static_cast<EventSink*>(l->ctx)->events.push_back(
            {e->type, reinterpret_cast<const clap_event_param_gesture_t*>(e)->param_id, isValue ? value->value : 0.0});
        return true;
    }};
};

// Byte streams; reads come in pieces of at most 5 bytes, as some hosts deliver them.
struct ByteStream {
    std::vector<unsigned char> bytes;
    size_t position = 0;
    clap_ostream_t out{this, [](const clap_ostream_t* s, const void* data, uint64_t size) {
        auto& self = *static_cast<ByteStream*>(s->ctx);
        self.bytes.insert(self.bytes.end(), static_cast<const unsigned char*>(data),
                          static_cast<const unsigned char*>(data) + size);
        return int64_t(size);
    }};
    clap_istream_t in{this, [](const clap_istream_t* s, void* data, uint64_t size) {
        auto& self = *static_cast<ByteStream*>(s->ctx);
        const size_t n = std::min<size_t>({self.bytes.size() - self.position, size, 5});
        if (n > 0) std::memcpy(data, self.bytes.data() + self.position, n);
        self.position += n;
        return int64_t(n);
    }};
};

// The host: counts flush and restart requests and latency changes, and keeps the one timer
// and fd a plug-in registers.
struct TestHost {
    int flushRequests = 0;
    int restartRequests = 0;
    int latencyChanges = 0;
    std::vector<uint32_t> rescans;  // the flags of each params rescan
    std::vector<std::string> loadedPresets, presetErrors;  // load keys
    bool offerTimers = true;
    clap_id timer = CLAP_INVALID_ID;
    uint32_t timerPeriod = 0;
    int fd = -1;
    clap_host_t host{{1, 2, 0}, this, "velmora test host", "Tolvan", "", "1", getExtension,
                     [](const clap_host_t* h) { ++of(h).restartRequests; }, [](const clap_host_t*) {},
                     [](const clap_host_t*) {}};

    static TestHost& of(const clap_host_t* host) { return *static_cast<TestHost*>(host->host_data); }
    static const void* getExtension(const clap_host_t* host, const char* id) {
        static const clap_host_params_t params{[](const clap_host_t* h, uint32_t flags) { of(h).rescans.push_back(flags); },
                                               [](const clap_host_t*, clap_id, uint32_t) {},
                                               [](const clap_host_t* h) { ++of(h).flushRequests; }};
        static const clap_host_timer_support_t timers{
            [](const clap_host_t* h, uint32_t period, clap_id* id) { return of(h).timerPeriod = period, *id = of(h).timer = 7, true; },
            [](const clap_host_t* h, clap_id id) { return id == std::exchange(of(h).timer, CLAP_INVALID_ID); }};
        static const clap_host_posix_fd_support_t fds{
            [](const clap_host_t* h, int fd, uint32_t) { return of(h).fd = fd, true; },
            [](const clap_host_t*, int, uint32_t) { return true; },
            [](const clap_host_t* h, int fd) { return fd == std::exchange(of(h).fd, -1); }};
        static const clap_host_latency_t latency{[](const clap_host_t* h) { ++of(h).latencyChanges; }};
        static const clap_host_preset_load_t presets{
            [](const clap_host_t* h, uint32_t, const char*, const char* key, int32_t, const char*) {
                of(h).presetErrors.push_back(key ? key : "(null)");
            },
            [](const clap_host_t* h, uint32_t, const char*, const char* key) { of(h).loadedPresets.push_back(key); }};
        if (std::strcmp(id, CLAP_EXT_HOST_PARAMS) == 0) return &params;
        if (std::strcmp(id, CLAP_EXT_PRESET_LOAD) == 0) return &presets;
        if (std::strcmp(id, CLAP_EXT_LATENCY) == 0) return &latency;
        if (std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0) return of(host).offerTimers ? &timers : nullptr;
        if (std::strcmp(id, CLAP_EXT_POSIX_FD_SUPPORT) == 0) return &fds;
        return nullptr;
    }
};

template <typename Extension>
const Extension* pluginExtension(const clap_plugin_t* plugin, const char* id) {
    return static_cast<const Extension*>(plugin->get_extension(plugin, id));
}

// One instance, initialised, with its parameter and state extensions.
constexpr const char* velmoraClapId = "com.tolvan-audio.velmora";

struct ClapPlugin {
    ClapLibrary& library;
    TestHost host;
    const clap_plugin_t* plugin = nullptr;
    const clap_plugin_params_t* params = nullptr;
    const clap_plugin_state_t* state = nullptr;

    explicit ClapPlugin(ClapLibrary& lib, bool offerTimers = true) : library(lib) {
        host.offerTimers = offerTimers;
        plugin = library.factory()->create_plugin(library.factory(), &host.host, velmoraClapId);
        if (plugin && plugin->init(plugin)) {
            params = pluginExtension<clap_plugin_params_t>(plugin, CLAP_EXT_PARAMS);
            state = pluginExtension<clap_plugin_state_t>(plugin, CLAP_EXT_STATE);
        }
    }
    ~ClapPlugin() {
        if (plugin) plugin->destroy(plugin);
    }
    bool activate(double rate) {
        return plugin->activate(plugin, rate, 1, 8192) && plugin->start_processing(plugin);
    }
    bool reactivate(double rate) {
        plugin->stop_processing(plugin);
        plugin->deactivate(plugin);
        return activate(rate);
    }
    uint32_t latency() { return pluginExtension<clap_plugin_latency_t>(plugin, CLAP_EXT_LATENCY)->get(plugin); }
    clap_process_status process(float* const* in, float* const* out, uint32_t frames,
                                EventList* events = nullptr, EventSink* sink = nullptr) {
        return processChannels(in, out, 2, frames, events, sink);
    }
    // 32 or 64-bit samples (data32 or data64) on ports of `channels` channels; the output's
    // constant_mask starts all set, and is left where the plug-in puts it.
    uint64_t constantMask = 0;
    template <class Sample>
    clap_process_status processChannels(Sample* const* in, Sample* const* out, uint32_t channels,
                                        uint32_t frames, EventList* events = nullptr, EventSink* sink = nullptr) {
        Sample* inputs[2] = {in ? in[0] : nullptr, in && channels > 1 ? in[1] : nullptr};
        Sample* outputs[2] = {out ? out[0] : nullptr, out && channels > 1 ? out[1] : nullptr};
        clap_audio_buffer_t input{nullptr, nullptr, channels, 0, 0}, output{nullptr, nullptr, channels, 0, ~0ull};
        if constexpr (sizeof(Sample) == sizeof(double))
            input.data64 = inputs, output.data64 = outputs;
        else
            input.data32 = inputs, output.data32 = outputs;
        EventList none;
        EventSink ignored;
        clap_process_t block{-1, frames, nullptr, &input, &output, 1, 1,
                             &(events ? events : &none)->list, &(sink ? sink : &ignored)->list};
        const clap_process_status status = plugin->process(plugin, &block);
        constantMask = output.constant_mask;
        return status;
    }
    // params.flush with these events (or none): what the plug-in sends back.
    std::vector<SentEvent> flush(EventList* events = nullptr, int refusals = 0) {
        EventList none;
        EventSink sink;
        sink.refusals = refusals;
        params->flush(plugin, &(events ? events : &none)->list, &sink.list);
        return sink.events;
    }
    void set(clap_id id, double value) {
        EventList events;
        events.add(0, id, value);
        flush(&events);
    }
    double value(clap_id id) {
        double v = std::numeric_limits<double>::quiet_NaN();
        params->get_value(plugin, id, &v);
        return v;
    }
    std::string text(clap_id id, double value) {
        char buffer[64] = "unchanged";
        return params->value_to_text(plugin, id, value, buffer, sizeof buffer) ? buffer : "refused";
    }
};

// What the host saw since the last flush, checked as one gesture on one parameter.
inline void expectOneGesture(const std::vector<SentEvent>& events, clap_id parameter, const char* what) {
    ASSERT_GE(events.size(), 3u) << what;
    EXPECT_EQ(events.front().type, CLAP_EVENT_PARAM_GESTURE_BEGIN) << what;
    EXPECT_EQ(events.back().type, CLAP_EVENT_PARAM_GESTURE_END) << what;
    for (size_t i = 1; i + 1 < events.size(); ++i) EXPECT_EQ(events[i].type, CLAP_EVENT_PARAM_VALUE) << what;
    for (const SentEvent& event : events) EXPECT_EQ(event.parameter, parameter) << what;
}
