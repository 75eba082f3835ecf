// What every fuzz target reads its input with, and the promises every target checks: a
// byte reader with picks from tables of special values, and the checks that abort (so
// libFuzzer keeps the input) when a promise is broken.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <string>
#include <unordered_set>
#include <vector>

struct ByteReader {
    const uint8_t* data;
    size_t size;
    size_t at = 0;

    bool done() const { return at >= size; }
    uint8_t u8() { return at < size ? data[at++] : 0; }
    uint16_t u16() {
        const uint16_t low = u8();
        return static_cast<uint16_t>(low | (u8() << 8));
    }
    uint32_t u32() {
        const uint32_t low = u16();
        return low | (static_cast<uint32_t>(u16()) << 16);
    }
    uint64_t u64() {
        const uint64_t low = u32();
        return low | (static_cast<uint64_t>(u32()) << 32);
    }
    template <typename T, size_t n>
    T pick(const T (&table)[n]) {
        return table[u8() % n];
    }
    // Up to `limit` bytes, as many as the next byte says (fewer at the end of the input).
    std::string bytes(size_t limit = 255) {
        const size_t wanted = u8() % (limit + 1);
        const size_t n = wanted < size - (at < size ? at : size) ? wanted : size - (at < size ? at : size);
        std::string out(reinterpret_cast<const char*>(data + (at < size ? at : size)), n);
        at += n;
        return out;
    }
};

inline float bitsToFloat(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

inline const float fuzzNan = std::numeric_limits<float>::quiet_NaN();
inline const float fuzzInf = std::numeric_limits<float>::infinity();

inline const float specialFloats[] = {
    0.0f, -0.0f, 1.0f, -1.0f, 0.5f, 0.51f, 0.98f, 1.0001f, 2.0f, -2.0f, 0.01f, 0.0100001f,
    0.5813953f, 1e-12f, 1e-10f, FLT_MIN, -FLT_MIN, std::numeric_limits<float>::denorm_min(),
    1e6f, 999999.9f, 1e10f, 1e30f, FLT_MAX, -FLT_MAX, fuzzInf, -fuzzInf, fuzzNan, -fuzzNan,
    bitsToFloat(0x7f800001u) /* signalling */, 0.3f, 0.7f, 0.99999994f};

// A special value half the time, any 32-bit pattern otherwise.
inline float pickFloat(ByteReader& r) {
    const uint8_t choice = r.u8();
    if (choice < 128) return specialFloats[choice % std::size(specialFloats)];
    return bitsToFloat(r.u32());
}

// A special value, a value in the host's units (-20..120, in hundredths) or any pattern.
inline double pickDouble(ByteReader& r) {
    const uint8_t choice = r.u8();
    if (choice < 96) return specialFloats[choice % std::size(specialFloats)];
    if (choice < 192) return -20.0 + (r.u16() % 14000) / 100.0;
    const uint64_t bits = r.u64();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

// A saved state with one byte damaged, or cut short, or left whole.
inline void damageOrCut(std::string& bytes, ByteReader& r) {
    const uint8_t how = r.u8();
    if (!bytes.empty() && how < 100) bytes[r.u16() % bytes.size()] ^= static_cast<char>(r.u8() | 1);
    else if (!bytes.empty() && how < 180) bytes.resize(r.u16() % bytes.size());
}

// The piece sizes a stream hands out, in turn (none: whatever is asked).
inline std::vector<uint8_t> readChunkSizes(ByteReader& r) {
    std::vector<uint8_t> chunks;
    for (int k = r.u8() % 4; k > 0; --k) chunks.push_back(r.u8() % 9);
    return chunks;
}

// Every parameter value of an instance, compared bit for bit.
template <typename Id, Id count>
struct ValueSnapshot {
    double v[count];
    template <typename Read>
    explicit ValueSnapshot(Read read) {
        for (Id id = 0; id < count; ++id) v[id] = read(id);
    }
    bool operator==(const ValueSnapshot& o) const { return std::memcmp(v, o.v, sizeof v) == 0; }
};

[[noreturn]] inline void brokenPromise(const std::string& what) {
    std::fprintf(stderr, "broken promise: %s\n", what.c_str());
    std::abort();
}

inline void promise(bool held, const char* what) {
    if (!held) brokenPromise(what);
}

// The input samples outside the output clamp (and the non-finite ones) an instance was fed:
// the only ones a bypassed instance may pass on unchanged.
struct WildSamples {
    std::unordered_set<uint32_t> bits;
    void note(const float* samples, size_t count) {
        for (size_t i = 0; i < count; ++i)
            if (!(std::fabs(samples[i]) <= 0.98f)) bits.insert(bitsOf(samples[i]));
    }
    bool fed(float sample) const { return bits.count(bitsOf(sample)) != 0; }
    static uint32_t bitsOf(float f) {
        uint32_t b;
        std::memcpy(&b, &f, sizeof b);
        return b;
    }
};

// Every sample the plug-in wrote is finite and within the output clamp, or one it was fed.
inline void checkOutput(const float* samples, size_t count, const char* where, const WildSamples& fed) {
    for (size_t i = 0; i < count; ++i)
        if (!(std::fabs(samples[i]) <= 0.98f) && !fed.fed(samples[i]))
            brokenPromise(std::string(where) + ": sample " + std::to_string(i) + " is " +
                          std::to_string(samples[i]));
}
