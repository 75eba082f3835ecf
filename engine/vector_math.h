// Two-lane double arithmetic for the fast block kernel, written with the compiler's vector
// extensions: one body that becomes SSE2 on x86-64 and plain scalar code elsewhere. The
// block functions compute tanh and sin on whole arrays to within an ulp or two of the C
// library; the lanes they cannot take (not a number, very large) go to the C library.
#pragma once

#include <cstdint>

using Double2 = double __attribute__((vector_size(16)));
using Float2 = float __attribute__((vector_size(8)));
using Mask2 = int64_t __attribute__((vector_size(16)));  // all ones where a comparison holds

inline Double2 splat(double v) { return Double2{v, v}; }

// Vector casts between types of the same size keep the bits.
inline Double2 bitsToDouble(Mask2 bits) { return (Double2)bits; }
inline Mask2 doubleToBits(Double2 v) { return (Mask2)v; }

inline Double2 absolute(Double2 v) {
    return bitsToDouble(doubleToBits(v) & Mask2{INT64_MAX, INT64_MAX});
}

// mask ? a : b, lane by lane.
inline Double2 select(Mask2 mask, Double2 a, Double2 b) {
    return bitsToDouble((doubleToBits(a) & mask) | (doubleToBits(b) & ~mask));
}

// a where the mask holds, +0 elsewhere.
inline Double2 keepWhere(Mask2 mask, Double2 a) { return bitsToDouble(doubleToBits(a) & mask); }

inline bool anyLane(Mask2 mask) { return (mask[0] | mask[1]) != 0; }

inline Double2 loadPair(const double* p) { return Double2{p[0], p[1]}; }
inline void storePair(double* p, Double2 v) {
    p[0] = v[0];
    p[1] = v[1];
}

// In place over count values.
void tanhBlock(double* values, int count);
void sinBlock(double* values, int count);
