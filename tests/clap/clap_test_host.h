// A small CLAP host for the tests: loads the built .clap as a host does, offers the params,
// timer and fd extensions, and keeps event lists and byte streams in plain vectors.
#pragma once

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "clap/clap_abi.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

class ClapLibrary {
public:
    explicit ClapLibrary(const std::string& path = VELMORA_CLAP_PATH) : path_(path) {
#ifdef _WIN32
        handle_ = LoadLibraryA(path.c_str());
        if (handle_) entry_ = reinterpret_cast<const clap_plugin_entry_t*>(
                         reinterpret_cast<void*>(GetProcAddress(handle_, "clap_entry")));
#else
        handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_) entry_ = static_cast<const clap_plugin_entry_t*>(dlsym(handle_, "clap_entry"));
#endif
        if (entry_ && entry_->init(path_.c_str()))
            factory_ = static_cast<const clap_plugin_factory_t*>(entry_->get_factory(CLAP_PLUGIN_FACTORY_ID));
    }
    ~ClapLibrary() {
        if (entry_) entry_->deinit();
#ifdef _WIN32
        if (handle_) FreeLibrary(handle_);
#else
        if (handle_) dlclose(handle_);
#endif
    }
    ClapLibrary(const ClapLibrary&) = delete;
    ClapLibrary& operator=(const ClapLibrary&) = delete;

    const clap_plugin_factory_t* factory() const { return factory_; }
    const clap_plugin_descriptor_t* descriptor() const {
        return factory_ ? factory_->get_plugin_descriptor(factory_, 0) : nullptr;
    }

private:
    std::string path_;
#ifdef _WIN32
    HMODULE handle_ = nullptr;
#else
    void* handle_ = nullptr;
#endif
    const clap_plugin_entry_t* entry_ = nullptr;
    const clap_plugin_factory_t* factory_ = nullptr;
};

// Events as a host lists them: parameter values at frames, in time order.
struct EventList {
    std::vector<clap_event_param_value_t> values;
    clap_input_events_t list{this, size, get};

    void add(uint32_t time, clap_id id, double value) {
        clap_event_param_value_t event{};
        event.header = {sizeof event, time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
        event.param_id = id;
        event.note_id = -1;
        event.port_index = event.channel = event.key = -1;
        event.value = value;
        values.push_back(event);
    }
    static uint32_t size(const clap_input_events_t* list) {
        return static_cast<uint32_t>(static_cast<EventList*>(list->ctx)->values.size());
    }
    static const clap_event_header_t* get(const clap_input_events_t* list, uint32_t index) {
        return &static_cast<EventList*>(list->ctx)->values.at(index).header;
    }
};

// What the plug-in sends: (type, parameter, value) in order.
struct SentEvent {
    uint16_t type;
    clap_id parameter;
    double value;
};

struct EventSink {
    std::vector<SentEvent> events;
    clap_output_events_t list{this, push};

    static bool push(const clap_output_events_t* list, const clap_event_header_t* event) {
        SentEvent sent{event->type, 0, 0.0};
        if (event->type == CLAP_EVENT_PARAM_VALUE) {
            const auto* value = reinterpret_cast<const clap_event_param_value_t*>(event);
            sent.parameter = value->param_id;
            sent.value = value->value;
        } else {
            sent.parameter = reinterpret_cast<const clap_event_param_gesture_t*>(event)->param_id;
        }
        static_cast<EventSink*>(list->ctx)->events.push_back(sent);
        return true;
    }
};

// Byte streams; reads come in pieces of at most `piece` bytes, as some hosts deliver them.
struct ByteStream {
    std::vector<unsigned char> bytes;
    size_t position = 0;
    size_t piece = 5;
    clap_ostream_t out{this, write};
    clap_istream_t in{this, read};

    static int64_t write(const clap_ostream_t* stream, const void* data, uint64_t size) {
        auto& self = *static_cast<ByteStream*>(stream->ctx);
        const auto* begin = static_cast<const unsigned char*>(data);
        self.bytes.insert(self.bytes.end(), begin, begin + size);
        return static_cast<int64_t>(size);
    }
    static int64_t read(const clap_istream_t* stream, void* data, uint64_t size) {
        auto& self = *static_cast<ByteStream*>(stream->ctx);
        size_t n = self.bytes.size() - self.position;
        if (n > size) n = static_cast<size_t>(size);
        if (n > self.piece) n = self.piece;
        std::memcpy(data, self.bytes.data() + self.position, n);
        self.position += n;
        return static_cast<int64_t>(n);
    }
};

// The host: counts flush requests and keeps one timer and one watched fd.
struct TestHost {
    int flushRequests = 0;
    bool offerTimers = true;
    clap_id timer = CLAP_INVALID_ID;
    uint32_t timerPeriod = 0;
    int fd = -1;
    clap_host_t host{{1, 2, 0}, this, "velmora test host", "Tolvan", "", "1", getExtension,
                     [](const clap_host_t*) {}, [](const clap_host_t*) {}, [](const clap_host_t*) {}};

    static TestHost& of(const clap_host_t* host) { return *static_cast<TestHost*>(host->host_data); }
    static const void* getExtension(const clap_host_t* host, const char* id) {
        static const clap_host_params_t params{
            [](const clap_host_t*, uint32_t) {}, [](const clap_host_t*, clap_id, uint32_t) {},
            [](const clap_host_t* h) { ++of(h).flushRequests; }};
        static const clap_host_timer_support_t timers{
            [](const clap_host_t* h, uint32_t period, clap_id* id) {
                of(h).timerPeriod = period;
                *id = of(h).timer = 7;
                return true;
            },
            [](const clap_host_t* h, clap_id id) {
                if (id != of(h).timer) return false;
                of(h).timer = CLAP_INVALID_ID;
                return true;
            }};
        static const clap_host_posix_fd_support_t fds{
            [](const clap_host_t* h, int fd, uint32_t) { of(h).fd = fd; return true; },
            [](const clap_host_t*, int, uint32_t) { return true; },
            [](const clap_host_t* h, int fd) {
                if (fd != of(h).fd) return false;
                of(h).fd = -1;
                return true;
            }};
        if (std::strcmp(id, CLAP_EXT_HOST_PARAMS) == 0) return &params;
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
    clap_process_status process(float* const* in, float* const* out, uint32_t frames,
                                EventList* events = nullptr, EventSink* sink = nullptr) {
        float* inputs[2] = {in ? in[0] : nullptr, in ? in[1] : nullptr};
        float* outputs[2] = {out ? out[0] : nullptr, out ? out[1] : nullptr};
        clap_audio_buffer_t input{inputs, nullptr, 2, 0, 0}, output{outputs, nullptr, 2, 0, 0};
        EventList none;
        EventSink ignored;
        clap_process_t block{-1, frames, nullptr, &input, &output, 1, 1,
                             &(events ? events : &none)->list, &(sink ? sink : &ignored)->list};
        return plugin->process(plugin, &block);
    }
    void set(clap_id id, double value) {
        EventList events;
        events.add(0, id, value);
        EventSink sink;
        params->flush(plugin, &events.list, &sink.list);
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
