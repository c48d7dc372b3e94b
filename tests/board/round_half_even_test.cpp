// Halves go to the even neighbour, on both sides of zero and whatever the rounding mode.

#include "board/round_half_even.h"

#include <gtest/gtest.h>

#include <cfenv>

namespace pellix {
namespace {

TEST(RoundHalfToEven, HalvesGoToTheEvenNeighbour) {
    const struct {
        double value;
        double rounded;
    } cases[] = {
        {0.5, 0},  {1.5, 2},  {2.5, 2},    {-0.5, 0},        {-1.5, -2},         {-2.5, -2},
        {2.49, 2}, {2.51, 3}, {-2.51, -3}, {32767.5, 32768}, {-32768.5, -32768}, {4503599627370495.5, 4503599627370496},
        {7, 7},
    };
    for (const auto& c : cases) EXPECT_EQ(roundHalfToEven(c.value), c.rounded) << c.value;
}

TEST(RoundHalfToEven, DoesNotFollowTheRoundingMode) {
    volatile double twoAndAHalf = 2.5;  // read at run time, under the mode set here
    volatile double threeAndAHalf = 3.5;
    const int saved = std::fegetround();
    std::fesetround(FE_UPWARD);
    const double down = roundHalfToEven(twoAndAHalf);
    std::fesetround(FE_DOWNWARD);
    const double up = roundHalfToEven(threeAndAHalf);
    std::fesetround(saved);
    EXPECT_EQ(down, 2);
    EXPECT_EQ(up, 4);
}

}  // namespace
}  // namespace pellix
