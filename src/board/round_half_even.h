#pragma once

// Rounding to the nearest whole number, halves to the even neighbour: how the turn box and the
// token positions become 16-bit whole numbers. Written out rather than left to the
// floating-point rounding mode, so that no caller depends on that mode.

#include <cmath>

namespace pellix {

inline double roundHalfToEven(double value) {
    const double floor = std::floor(value);
    const double fraction = value - floor;
    if (fraction < 0.5) return floor;
    if (fraction > 0.5) return floor + 1;
    return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

}  // namespace pellix
