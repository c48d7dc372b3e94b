// Halves go to the even neighbour, on both sides of zero and whatever the rounding mode.

#include "board/round_half_even.h"

#include <gtest/gtest.h>

#include <cfenv>

namespace pellix {
namespace {

TEST(RoundHalfToEven, HalvesGoToTheEvenNeighbourInEveryRoundingMode) {
    const std::pair<double, double> cases[] = {
        {0.5, 0},           {1.5, 2},    {2.5, 2},
        {-0.5, 0},          {-1.5, -2},  {0.49999999999999994, 0},
        {-2.5, -2},         {-2.51, -3}, {32767.5, 32768},
        {-32768.5, -32768}, {7, 7},      {4503599627370495.5, 4503599627370496},
    };
    const int saved = std::fegetround();
    for (const int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        for (const auto& [given, expected] : cases) {
            volatile double value = given;  // read at run time, under the mode set here
            std::fesetround(mode);
            const double rounded = roundHalfToEven(value);
            std::fesetround(saved);
            EXPECT_EQ(rounded, expected) << given << " in mode " << mode;
        }
    }
}

}  // namespace
}  // namespace pellix
