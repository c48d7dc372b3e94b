#include "input/turn_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace pellix {
namespace {

struct ReadCase {
    std::string text;
    std::optional<double> value;
};

TEST(ReadNumber, WhatReadsAsANumber) {
    const ReadCase cases[] = {
        {"41", 41},
        {"  41 ", 41},
        {"\t7\t", 7},
        {"+3", 3},
        {"-3", -3},
        {"007", 7},
        {"7.5", 7.5},
        {".5", 0.5},
        {"-.5", -0.5},
        {"5.", 5},
        {"2100.4", 2100.4},
        {"99999", 99999},
        {"\u3000\u300041\u3000", 41},  // ideographic spaces
        {"４１", 41},                  // full-width digits
        {"－３", -3},                  // full-width minus
        {"＋３", 3},
        {"７．５", 7.5},               // full-width point
        {"4\u3000", 4},
        {"1" + std::string(300, '0'), 1e300},
        // Not numbers:
        {"", std::nullopt},
        {" ", std::nullopt},
        {"\u3000", std::nullopt},
        {"abc", std::nullopt},
        {"41a", std::nullopt},
        {"1e5", std::nullopt},
        {"1E5", std::nullopt},
        {"NaN", std::nullopt},
        {"nan", std::nullopt},
        {"inf", std::nullopt},
        {"-infinity", std::nullopt},
        {"0x10", std::nullopt},
        {"1,000", std::nullopt},
        {"4 1", std::nullopt},
        {"- 3", std::nullopt},
        {"--3", std::nullopt},
        {"+-3", std::nullopt},
        {"3-", std::nullopt},
        {"-", std::nullopt},
        {".", std::nullopt},
        {"1.2.3", std::nullopt},
        {"1" + std::string(400, '0'), std::nullopt},  // beyond a double
        {"\xff", std::nullopt},                       // not UTF-8
        {"4\xe3\x80", std::nullopt},                  // a cut ideographic space
        {"４1", 41},
    };
    for (const ReadCase& c : cases) {
        const std::optional<double> value = readNumber(c.text);
        ASSERT_EQ(value.has_value(), c.value.has_value()) << '"' << c.text << '"';
        if (value) {
            EXPECT_EQ(*value, *c.value) << '"' << c.text << '"';
        }
    }
}

TEST(RoundToTurn, NearestHalvesToEvenWithinSixteenBits) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, std::optional<std::int16_t>> cases[] = {
        {0.5, 0},       {1.5, 2},         {2.5, 2},       {3.5, 4},       {-0.5, 0},          {-1.5, -2},
        {-2.5, -2},     {7.4, 7},         {7.6, 8},       {2100.6, 2101}, {32767, 32767},     {32767.4, 32767},
        {32767.5, {}},  {-32768, -32768}, {-32768.5, -32768}, {-32768.6, {}}, {40000, {}}, {nan, {}},
        {inf, {}},      {-inf, {}},       {0.49999999999999994, 0},
    };
    for (const auto& [value, turn] : cases) EXPECT_EQ(roundToTurn(value), turn) << value;
}

TEST(FormatNumber, PlainDecimalWithoutNeedlessFraction) {
    const std::pair<double, std::string> cases[] = {
        {7, "7"},
        {6.5, "6.5"},
        {-3, "-3"},
        {0, "0"},
        {-0.0, "0"},
        {2100.4 + 1, "2101.4"},
        {0.1 + 0.2, "0.3"},
        {7.5 - 1, "6.5"},
        {32768, "32768"},
        {1e20, "100000000000000000000"},
        {0.00001, "0.00001"},
        {-1e-20, "-0.00000000000000000001"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(formatNumber(value), text) << value;
}

TEST(FormatNumber, ReadsBackAsTheSameNumber) {
    for (double value : {7.0, 6.5, 2101.4, -3.25, 0.3, 12345.678}) {
        const std::optional<double> read = readNumber(formatNumber(value));
        ASSERT_TRUE(read.has_value()) << value;
        EXPECT_DOUBLE_EQ(*read, value);
    }
}

TEST(CountdownCaption, CountsDownFromTheFirstCharacter) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"3秒前", "2秒前"}, {"2秒前", "1秒前"}, {"1秒前", "0秒前"}, {"0秒前", std::nullopt},
        {"9", "8秒前"},     {"３秒前", "2秒前"}, {"35秒前", "2秒前"}, {"保存中", std::nullopt},
        {"決定", std::nullopt}, {"", std::nullopt}, {"-1秒前", std::nullopt}, {" 3秒前", std::nullopt},
        {".5", std::nullopt},
    };
    for (const auto& [caption, next] : cases) EXPECT_EQ(nextCountdownCaption(caption), next) << caption;
}

struct StepCase {
    std::string text;
    TurnStep step;
    std::optional<std::string> result;
};

TEST(StepTurnText, LimitsOnTheRoundedValueStepOnTheExactOne) {
    using enum TurnStep;
    const StepCase cases[] = {
        {"7", Previous, "6"},
        {"7", Next, "8"},
        {"1", Previous, "0"},
        {"0", Previous, std::nullopt},
        {"-3", Previous, std::nullopt},
        {"-3", Next, "-2"},
        {"0.6", Previous, "-0.4"},     // rounds to 1
        {"0.5", Previous, std::nullopt},  // rounds to 0
        {"1.5", Previous, "0.5"},
        {"7.5", Previous, "6.5"},
        {"2100", Next, "2101"},
        {"2101", Next, std::nullopt},
        {"2101", Previous, "2100"},
        {"2100.4", Next, "2101.4"},
        {"2100.5", Next, "2101.5"},      // rounds to 2100
        {"2100.6", Next, std::nullopt},  // rounds to 2101
        {" ４１ ", Next, "42"},
        {"abc", Previous, std::nullopt},
        {"abc", Next, std::nullopt},
        {"", Previous, std::nullopt},
        {"", Next, std::nullopt},
        {"32767", Previous, "32766"},
        {"32768", Previous, std::nullopt},  // outside 16 bits counts as out of limits
        {"-32769", Next, std::nullopt},
        {"-32768", Next, "-32767"},
    };
    for (const StepCase& c : cases)
        EXPECT_EQ(stepTurnText(c.text, c.step), c.result)
            << '"' << c.text << '"' << (c.step == Previous ? " previous" : " next");
}

TEST(TurnToCommit, TheTurnOrWhyNot) {
    using Refusal = TurnToCommit::Refusal;
    const std::tuple<std::string, Refusal, std::int16_t> cases[] = {
        {"41", Refusal::None, 41},
        {"7.5", Refusal::None, 8},
        {"6.5", Refusal::None, 6},
        {"１", Refusal::None, 1},
        {"0.5", Refusal::OutOfRange, 0},  // rounds to 0: row 40 is the owner's
        {"０", Refusal::OutOfRange, 0},
        {"-5", Refusal::OutOfRange, 0},
        {"2060", Refusal::None, 2060},
        {"2060.5", Refusal::None, 2060},
        {"1.5", Refusal::None, 2},
        {"2061", Refusal::OutOfRange, 0},  // the reset would not clear it
        {"2060.6", Refusal::OutOfRange, 0},
        {"32767", Refusal::OutOfRange, 0},
        {"99999", Refusal::OutOfRange, 0},
        {"-32769", Refusal::OutOfRange, 0},
        {"abc", Refusal::NotANumber, 0},
        {"", Refusal::NotANumber, 0},
        {"1e5", Refusal::NotANumber, 0},
    };
    for (const auto& [text, refusal, turn] : cases) {
        const TurnToCommit result = turnToCommit(text);
        EXPECT_EQ(result.refusal, refusal) << '"' << text << '"';
        EXPECT_EQ(result.turn, turn) << '"' << text << '"';
        EXPECT_EQ(result.message.empty(), refusal != Refusal::OutOfRange) << '"' << text << '"';
        if (refusal == Refusal::OutOfRange) {
            EXPECT_NE(result.message.find(text), std::string::npos) << result.message;
            EXPECT_NE(result.message.find("1 から 2060"), std::string::npos) << result.message;
        }
    }
}

TEST(NextTurnText, TheTurnAfterTheRecordedOne) {
    EXPECT_EQ(nextTurnText(41), "42");
    EXPECT_EQ(nextTurnText(0), "1");
    EXPECT_EQ(nextTurnText(-1), "0");
    EXPECT_EQ(nextTurnText(kHighestTurn), "2061");
}

}  // namespace
}  // namespace pellix
