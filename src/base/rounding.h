// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cmath>

namespace base {

// Nearest integer, halves to the even neighbour (0.5 -> 0, 14.5 -> 14,
// 29.5 -> 30). nearbyint follows the default rounding mode, which is
// to-nearest-even; qRound and std::round would send halves away from zero.
inline int RoundHalfEven(double x) {
    return static_cast<int>(std::nearbyint(x));
}

}  // namespace base
