// libFuzzer target: the .clap loaded with dlopen as a host loads it, one instance per input,
// driven through its C interface by calls the bytes describe: state loads with any bytes in
// any chunking (short and failing reads), text_to_value with any text, process with any
// input event list (unknown types and sizes, times out of order or past the block, unknown
// ids, NaN and infinite values) and flush. After every call: the output is finite and within
// the clamp, every value is within its range, and a refused state or text changes nothing.
#include <vector>

#include "clap/clap_test_host.h"
#include "fuzz/fuzz_bytes.h"

namespace {

constexpr uint32_t maxFrames = 1024;
constexpr uint32_t valueCount = 9;  // eight parameters and Oversampling
WildSamples fed;  // this input's

ClapLibrary& library() {
    static ClapLibrary loaded;
    return loaded;
}

using Values = ValueSnapshot<uint32_t, valueCount>;

Values valuesOf(ClapPlugin& p) {
    return Values([&](uint32_t id) { return p.value(id); });
}

void checkRanges(ClapPlugin& p, const char* after) {
    for (uint32_t id = 0; id < valueCount; ++id) {
        clap_param_info_t info{};
        promise(p.params->get_info(p.plugin, id, &info), "get_info of a listed parameter");
        const double value = p.value(id);
        if (!(value >= info.min_value && value <= info.max_value))
            brokenPromise(std::string(after) + ": parameter " + std::to_string(id) + " at " +
                          std::to_string(value));
    }
}

// A stream over the bytes: each read delivers as many bytes as the next chunk size says,
// and one read (if any) fails with -1.
struct ChunkedStream {
    std::string bytes;
    std::vector<uint8_t> chunks;
    size_t failAt = SIZE_MAX;  // index of the read that fails
    size_t position = 0, reads = 0;
    clap_istream_t in{this, [](const clap_istream_t* s, void* data, uint64_t size) -> int64_t {
        auto& self = *static_cast<ChunkedStream*>(s->ctx);
        const size_t read = self.reads++;
        if (read == self.failAt) return -1;
        const size_t chunk = self.chunks.empty() ? size : self.chunks[read % self.chunks.size()];
        const size_t n = std::min<size_t>({self.bytes.size() - self.position, size, chunk});
        if (n > 0) std::memcpy(data, self.bytes.data() + self.position, n);
        self.position += n;
        return static_cast<int64_t>(n);
    }};
};

// Events of any declared size, each in a block of exactly that size (at least a header).
struct RawEvents {
    std::vector<std::vector<unsigned char>> events;
    clap_input_events_t list{this,
                             [](const clap_input_events_t* l) {
                                 return static_cast<uint32_t>(static_cast<RawEvents*>(l->ctx)->events.size());
                             },
                             [](const clap_input_events_t* l, uint32_t i) -> const clap_event_header_t* {
                                 auto& events = static_cast<RawEvents*>(l->ctx)->events;
                                 return i < events.size() ? reinterpret_cast<const clap_event_header_t*>(events[i].data()) : nullptr;
                             }};
};

RawEvents readEvents(ByteReader& r, uint32_t frames) {
    RawEvents list;
    const int count = r.u8() % 12;
    const uint32_t sizes[] = {sizeof(clap_event_param_value_t), sizeof(clap_event_param_value_t),
                              sizeof(clap_event_param_gesture_t), sizeof(clap_event_header_t), 40, 56, 100};
    const uint16_t types[] = {CLAP_EVENT_PARAM_VALUE, CLAP_EVENT_PARAM_VALUE, CLAP_EVENT_PARAM_VALUE,
                              CLAP_EVENT_PARAM_GESTURE_BEGIN, CLAP_EVENT_PARAM_GESTURE_END,
                              0, 1, 6 /* modulation */, 9, 10, 11, 0xffff};
    const uint32_t ids[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 100, CLAP_INVALID_ID};
    for (int k = 0; k < count; ++k) {
        const uint32_t size = r.pick(sizes);
        std::vector<unsigned char> bytes(std::max<size_t>(size, sizeof(clap_event_header_t)), 0);
        clap_event_param_value_t event{};
        const uint8_t timing = r.u8();
        event.header.size = size;
        event.header.time = timing < 160 ? timing % (frames + 1) : timing < 240 ? frames + timing : r.u32();
        event.header.space_id = r.u8() < 240 ? CLAP_CORE_EVENT_SPACE_ID : r.u16();
        event.header.type = r.pick(types);
        event.header.flags = r.u8();
        event.param_id = r.pick(ids);
        event.note_id = event.port_index = event.channel = event.key = -1;
        event.value = pickDouble(r);
        std::memcpy(bytes.data(), &event, std::min(bytes.size(), sizeof event));
        list.events.push_back(std::move(bytes));
    }
    return list;
}

void processBlock(ClapPlugin& p, ByteReader& r) {
    const uint32_t frameChoices[] = {0, 1, 2, 3, 16, 31, 64, 100, 256, 512, 1023, maxFrames};
    const uint32_t frames = r.pick(frameChoices);
    std::vector<float> in[2], out[2];
    for (auto& c : in) c.resize(frames);
    for (auto& c : in)
        for (float& s : c) s = r.done() ? 0.1f : pickFloat(r);
    for (auto& c : in) fed.note(c.data(), c.size());
    const bool inPlace = r.u8() & 1;
    for (int c = 0; c < 2; ++c) out[c] = inPlace ? in[c] : std::vector<float>(frames, 7.0f);
    float* ins[2] = {in[0].data(), in[1].data()};
    float* outs[2] = {inPlace ? in[0].data() : out[0].data(), inPlace ? in[1].data() : out[1].data()};
    RawEvents events = readEvents(r, frames);
    EventSink sink;
    float* inputs[2] = {ins[0], ins[1]};
    float* outputs[2] = {outs[0], outs[1]};
    clap_audio_buffer_t input{inputs, nullptr, 2, 0, 0}, output{outputs, nullptr, 2, 0, 0};
    clap_process_t block{-1, frames, nullptr, &input, &output, 1, 1, &events.list, &sink.list};
    p.plugin->process(p.plugin, &block);
    for (int c = 0; c < 2; ++c) checkOutput(outs[c], frames, "process", fed);
    checkRanges(p, "process");
}

void loadState(ClapPlugin& p, ByteReader& r) {
    ChunkedStream stream;
    const bool fromSaved = r.u8() < 64;
    if (fromSaved) {
        ByteStream saved;
        promise(p.state->save(p.plugin, &saved.out), "state.save");
        stream.bytes.assign(saved.bytes.begin(), saved.bytes.end());
        damageOrCut(stream.bytes, r);
    } else {
        stream.bytes = r.bytes(200);
    }
    stream.chunks = readChunkSizes(r);
    if (r.u8() < 48) stream.failAt = r.u8() % 16;
    const Values before = valuesOf(p);
    const bool loaded = p.state->load(p.plugin, &stream.in);
    if (!loaded) promise(valuesOf(p) == before, "a refused state left a value changed");
    checkRanges(p, "state.load");
}

void textRoundTrip(ClapPlugin& p, ByteReader& r) {
    const clap_id ids[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, CLAP_INVALID_ID};
    const clap_id id = r.pick(ids);
    const Values before = valuesOf(p);
    const std::string text = r.bytes(40);
    double value = 12345.0;
    clap_param_info_t info{};
    const bool known = p.params->get_info(p.plugin, id, &info);
    if (p.params->text_to_value(p.plugin, id, text.c_str(), &value))
        promise(known && value >= info.min_value && value <= info.max_value, "text_to_value outside the range");
    else
        promise(value == 12345.0, "a refused text wrote a value");
    promise(valuesOf(p) == before, "text_to_value changed a parameter");

    // Any value shown and read back: the text fits and a value in range reads back.
    const double shown = pickDouble(r);
    char buffer[64];
    const uint32_t capacity = 1 + r.u8() % sizeof buffer;
    std::memset(buffer, 'z', sizeof buffer);
    if (p.params->value_to_text(p.plugin, id, shown, buffer, capacity)) {
        promise(std::memchr(buffer, 0, capacity) != nullptr, "value_to_text left its text unterminated");
        if (known && shown >= info.min_value && shown <= info.max_value)
            promise(p.params->text_to_value(p.plugin, id, buffer, &value), "a shown text did not read back");
    }
}

void flushEvents(ClapPlugin& p, ByteReader& r) {
    RawEvents events = readEvents(r, 0);
    EventSink sink;
    p.params->flush(p.plugin, &events.list, &sink.list);
    checkRanges(p, "flush");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteReader r{data, size};
    fed = {};
    promise(library().factory() != nullptr, "the .clap did not load");
    ClapPlugin p(library());
    promise(p.params && p.state, "no instance");
    const double rates[] = {44100.0, 48000.0, 96000.0, 8000.0, 192000.0, 22050.0};
    promise(p.plugin->activate(p.plugin, r.pick(rates), 1, maxFrames), "activate");
    p.plugin->start_processing(p.plugin);
    for (int calls = 0; !r.done() && calls < 64; ++calls) {
        switch (r.u8() % 6) {
        case 0: loadState(p, r); break;
        case 1: textRoundTrip(p, r); break;
        case 2: flushEvents(p, r); break;
        case 3: p.plugin->reset(p.plugin); break;
        default: processBlock(p, r); break;
        }
    }
    p.plugin->stop_processing(p.plugin);
    p.plugin->deactivate(p.plugin);
    return 0;
}
