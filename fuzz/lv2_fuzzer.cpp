// libFuzzer target: the LV2 plug-in loaded with dlopen from its bundle as a host loads it,
// one instance per input, driven through its descriptor by calls the bytes describe: any
// control port values (NaN, infinities, out of range, oversampling factors not in its
// list), any block sizes, ports connected in any order, again, to shared buffers, or not at
// all, activation cycles. After every run with its audio ports connected: the output is
// finite and within the clamp, and a connected latency port holds a whole, small count.
#include <dlfcn.h>
#include <lv2/core/lv2.h>

#include <vector>

#include "fuzz/fuzz_bytes.h"
#include "lv2/port_values.h"

namespace {

constexpr uint32_t maxFrames = 1024;
WildSamples fed;  // this input's

const LV2_Descriptor* descriptor() {
    static const LV2_Descriptor* found = [] {
        void* library = dlopen(VELMORA_LV2_BINARY_PATH, RTLD_NOW | RTLD_LOCAL);
        auto entry = library ? reinterpret_cast<const LV2_Descriptor* (*)(uint32_t)>(dlsym(library, "lv2_descriptor"))
                             : nullptr;
        return entry ? entry(0) : nullptr;
    }();
    return found;
}

struct Buffers {
    float controls[lv2PortCount] = {};
    std::vector<float> audio[4] = {std::vector<float>(maxFrames), std::vector<float>(maxFrames),
                                   std::vector<float>(maxFrames), std::vector<float>(maxFrames)};
    float* connected[lv2PortCount] = {};
};

float pickPortValue(ByteReader& r) {
    const float musical[] = {1, 2, 3, 4, 5, 8, 16, 0.5f, 40, 100, 101, -18, 18, 19, -19, 0, 1e9f};
    return r.u8() < 96 ? r.pick(musical) : pickFloat(r);
}

void connect(const LV2_Descriptor* d, LV2_Handle handle, Buffers& b, ByteReader& r) {
    const uint32_t port = r.u8() % lv2PortCount;
    const uint8_t where = r.u8() % 8;
    float* data = nullptr;
    if (port < lv2PortInputLeft || port == lv2PortOversampling || port == lv2PortLatency) {
        if (where != 0) data = &b.controls[where == 1 ? r.u8() % lv2PortCount : port];
    } else if (where != 0) {
        data = b.audio[where % 4].data();  // any audio buffer: in place, shared or crossed
    }
    d->connect_port(handle, port, data);
    b.connected[port] = data;
}

void run(const LV2_Descriptor* d, LV2_Handle handle, Buffers& b, ByteReader& r) {
    const uint32_t frameChoices[] = {0, 1, 2, 3, 16, 31, 64, 100, 256, 511, 1000, maxFrames};
    const uint32_t frames = r.pick(frameChoices);
    for (auto& channel : b.audio)
        for (uint32_t i = 0; i < frames; ++i) channel[i] = r.done() ? 0.1f : pickFloat(r);
    for (auto& channel : b.audio) fed.note(channel.data(), frames);
    d->run(handle, frames);
    const bool audio = b.connected[lv2PortInputLeft] && b.connected[lv2PortInputRight] &&
                       b.connected[lv2PortOutputLeft] && b.connected[lv2PortOutputRight];
    if (audio) {
        checkOutput(b.connected[lv2PortOutputLeft], frames, "run, left", fed);
        checkOutput(b.connected[lv2PortOutputRight], frames, "run, right", fed);
    }
    if (const float* latency = b.connected[lv2PortLatency])
        promise(*latency >= 0.0f && *latency <= 512.0f && *latency == std::floor(*latency), "latency port");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteReader r{data, size};
    fed = {};
    const LV2_Descriptor* d = descriptor();
    promise(d != nullptr, "the LV2 plug-in did not load");
    const double rates[] = {44100.0, 48000.0, 96000.0, 8000.0, 192000.0, 1.0, 768000.0, 22050.0};
    LV2_Handle handle = d->instantiate(d, r.pick(rates), "/", nullptr);
    promise(handle != nullptr, "instantiate at a positive rate");
    Buffers b;
    // Most inputs start as hosts do, every port connected; the rest from none.
    if (r.u8() < 200) {
        for (uint32_t port = 0; port < lv2PortCount; ++port) {
            float* at = port >= lv2PortInputLeft && port <= lv2PortOutputRight
                            ? b.audio[port - lv2PortInputLeft].data()
                            : &b.controls[port];
            d->connect_port(handle, port, at);
            b.connected[port] = at;
        }
        b.controls[lv2PortOversampling] = 1.0f;
    }
    d->activate(handle);
    for (int calls = 0; !r.done() && calls < 64; ++calls) {
        switch (r.u8() % 7) {
        case 0: connect(d, handle, b, r); break;
        case 1: b.controls[r.u8() % lv2PortCount] = pickPortValue(r); break;
        case 2: d->deactivate(handle), d->activate(handle); break;
        default: run(d, handle, b, r); break;
        }
    }
    d->deactivate(handle);
    d->cleanup(handle);
    return 0;
}
