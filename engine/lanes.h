// Lane types for the engine's formulas: a plain double for the literal path, and two, four
// or eight doubles in one vector register for the block kernels (GCC's vector extensions,
// which become SSE2, AVX2 or AVX-512 code by the flags of the unit that includes them).
//
// Everything here and in the other engine headers that is defined inline lives in an
// unnamed namespace: each kernel's unit is built for its own instruction set, and a copy
// the linker merged across units could hand AVX-512 code to a processor without it.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

using Double2 = double __attribute__((vector_size(16)));
using Double4 = double __attribute__((vector_size(32)));
using Double8 = double __attribute__((vector_size(64)));

namespace {

template <class V>
constexpr int laneCount = sizeof(V) / sizeof(double);

template <class V>
constexpr bool isScalar = std::is_same_v<V, double>;

// What a comparison of two V gives: bool for double, all ones or zero per lane otherwise.
template <class V>
using MaskOf = decltype(V{} < V{});

template <class V>
using BitsOf = std::conditional_t<isScalar<V>, uint64_t, MaskOf<V>>;

template <class V>
inline V broadcast(double v) {
    if constexpr (isScalar<V>) {
        return v;
    } else {
        // The scalar is widened to every lane; subtracting zero keeps every value's bits,
        // and this form stays one broadcast where a loop over the lanes inside a hot loop
        // became a masked move per lane.
        return v - V{};
    }
}

// mask ? a : b, lane by lane (for vectors, the vector conditional of GCC's extensions).
template <class M, class V>
inline V select(M mask, V a, V b) {
    return mask ? a : b;
}

template <class M>
inline M both(M a, M b) {
    if constexpr (std::is_same_v<M, bool>)
        return a && b;
    else
        return a & b;
}

template <class M>
inline M either(M a, M b) {
    if constexpr (std::is_same_v<M, bool>)
        return a || b;
    else
        return a | b;
}

template <class M>
inline M invert(M a) {
    if constexpr (std::is_same_v<M, bool>)
        return !a;
    else
        return ~a;
}

template <class M>
inline bool anyLane(M mask) {
    if constexpr (std::is_same_v<M, bool>) {
        return mask;
    } else {
        for (int i = 0; i < static_cast<int>(sizeof(M) / sizeof(mask[0])); ++i)
            if (mask[i]) return true;
        return false;
    }
}

template <class M>
inline bool allLanes(M mask) {
    return !anyLane(invert(mask));
}

// The same bits seen as integers and back.
template <class V>
inline BitsOf<V> toBits(V v) {
    BitsOf<V> bits;
    std::memcpy(&bits, &v, sizeof v);
    return bits;
}

template <class V>
inline V fromBits(BitsOf<V> bits) {
    V v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

template <class V>
inline V absolute(V v) {
    if constexpr (isScalar<V>)
        return std::fabs(v);
    else
        return fromBits<V>(toBits(v) & INT64_MAX);
}

template <class V>
inline V squareRoot(V v) {
    if constexpr (isScalar<V>) {
        return std::sqrt(v);
    } else {
        V r;
        for (int i = 0; i < laneCount<V>; ++i) r[i] = std::sqrt(v[i]);
        return r;
    }
}

template <class V>
inline V load(const double* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class V>
inline void store(double* p, V v) {
    std::memcpy(p, &v, sizeof v);
}

// body.template operator()<V>(i) over i = 0, lanes, 2·lanes ... below count with the widest
// lanes, the rest one double at a time.
template <class Wide, class Body>
inline void overLanes(int count, Body&& body) {
    int i = 0;
    for (; i + laneCount<Wide> <= count; i += laneCount<Wide>) body.template operator()<Wide>(i);
    for (; i < count; ++i) body.template operator()<double>(i);
}

}  // namespace
