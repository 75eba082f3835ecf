// π and 2π, written once for the engine (2π is exactly twice π in double precision).
#pragma once

namespace circle {
constexpr double pi = 3.141592653589793;
constexpr double twoPi = 2.0 * pi;
static_assert(twoPi == 6.283185307179586);
}  // namespace circle
