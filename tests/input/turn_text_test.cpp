#include "input/turn_text.h"

#include <gtest/gtest.h>

#include <string>

namespace pellix {
namespace {

TEST(TurnText, WhatReadsAsANumber) {
    const std::pair<std::string, double> numbers[] = {
        {" \t41 ", 41},           {"+3", 3},    {"-.5", -0.5}, {"5.", 5},       {"007", 7},
        {"\u3000４１\u3000", 41}, {"－３", -3}, {"＋３", 3},   {"７．５", 7.5}, {"４1", 41},
    };
    for (const auto& [text, value] : numbers) EXPECT_EQ(readNumber(text), value) << '"' << text << '"';
    for (const std::string text : {"", "\u3000", "41a", "1e5", "nan", "inf", "0x10", "1,000", "4 1", "- 3", "+-3", "3-",
                                   ".", "1.2.3", "\xff", "4\xe3\x80"})
        EXPECT_EQ(readNumber(text), std::nullopt) << '"' << text << '"';
    EXPECT_EQ(readNumber("1" + std::string(300, '0')), 1e300);
    EXPECT_EQ(readNumber("1" + std::string(400, '0')), std::nullopt);
}

TEST(TurnText, CountdownCaptionCountsDownFromItsFirstCharacter) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"3秒前", "2秒前"},  {"1秒前", "0秒前"}, {"0秒前", {}}, {"9", "8秒前"}, {"３秒前", "2秒前"},
        {"35秒前", "2秒前"}, {"保存中", {}},     {"", {}},      {"-1秒前", {}}, {" 3秒前", {}},
    };
    for (const auto& [caption, next] : cases) EXPECT_EQ(nextCountdownCaption(caption), next) << caption;
}

// The limits apply to the rounded value, the step to the exact one; the result shows fifteen
// significant digits, so 2100.4 + 1 reads "2101.4", not "2101.4000000000001".
TEST(TurnText, StepsWithinTheLimits) {
    using enum TurnStep;
    const std::tuple<std::string, TurnStep, std::optional<std::string>> cases[] = {
        {"7", Previous, "6"},      {"1", Previous, "0"},       {"0", Previous, {}},        {"-3", Next, "-2"},
        {"0.6", Previous, "-0.4"}, {"0.5", Previous, {}},      {"7.5", Previous, "6.5"},   {"2100", Next, "2101"},
        {"2101", Next, {}},        {"2100.4", Next, "2101.4"}, {"2100.5", Next, "2101.5"}, {"2100.6", Next, {}},
        {" ４１ ", Next, "42"},    {"abc", Next, {}},          {"32768", Previous, {}},    {"-32768", Next, "-32767"},
    };
    for (const auto& [text, step, result] : cases)
        EXPECT_EQ(stepTurnText(text, step), result) << '"' << text << '"' << (step == Previous ? " <" : " >");
}

TEST(TurnText, TheTurnToRecordOrWhyNot) {
    using enum TurnToCommit::Refusal;
    const std::tuple<std::string, TurnToCommit::Refusal, std::int16_t> cases[] = {
        {"7.5", None, 8},          {"6.5", None, 6},         {"１", None, 1},
        {"2060.5", None, 2060},    {"0.5", OutOfRange, 0},   {"-5", OutOfRange, 0},
        {"2060.6", OutOfRange, 0}, {"99999", OutOfRange, 0}, {"1e5", NotANumber, 0},
    };
    // A refusal names what was typed (and the turns that can be recorded: the window's turn test).
    for (const auto& [text, refusal, turn] : cases) {
        const TurnToCommit result = turnToCommit(text);
        const bool named = result.message.find("「" + text + "」") != std::string::npos;
        EXPECT_EQ(std::tuple(result.refusal, result.turn, named), std::tuple(refusal, turn, refusal == OutOfRange))
            << text;
    }
}

}  // namespace
}  // namespace pellix
