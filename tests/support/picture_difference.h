// Comparing pictures of the panel at two sizes, on every platform.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

using Pixels = std::vector<uint32_t>;  // 0xRRGGBB, row by row

// The mean difference, per channel and pixel in 0..255, between a picture twice as large
// (width 2w) averaged over 2 x 2 blocks and a picture w pixels wide; -1 for sizes that do
// not match.
inline double meanDifferenceOfHalf(const Pixels& large, const Pixels& small, int w) {
    if (w <= 0 || large.size() != 4 * small.size() || small.size() % size_t(w) != 0) return -1.0;
    const int h = int(small.size()) / w;
    double sum = 0.0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int shift = 0; shift <= 16; shift += 8) {
                int block = 0;
                for (int d = 0; d < 4; ++d)
                    block += (large[size_t(2 * y + d / 2) * size_t(2 * w) + size_t(2 * x + d % 2)] >> shift) & 0xff;
                sum += std::abs(block / 4.0 - double((small[size_t(y) * size_t(w) + size_t(x)] >> shift) & 0xff));
            }
    return sum / (3.0 * w * h);
}
