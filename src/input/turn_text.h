#pragma once

// What the turn box's text reads as. One set of rules for the countdown and the navigation.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pellix {

// The number a text reads as, or nothing when it is not a number.
std::optional<double> readNumber(std::string_view text);
// Nearest whole number, halves to the even neighbour; nothing outside -32768..32767.
std::optional<std::int16_t> roundToTurn(double value);
// A plain decimal number, with no fractional part when the value is whole ("7", "6.5").
std::string formatNumber(double value);

// The countdown caption after one tick ("3秒前" -> "2秒前"), or nothing when the caption's first
// character is not a digit ("保存中", "決定").
std::optional<std::string> nextCountdownCaption(std::string_view caption);

}  // namespace pellix
