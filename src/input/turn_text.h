#pragma once

// What the turn box's text reads as. One set of rules for the countdown and the navigation.
//
// A text reads as a number when it is, in this order: any blanks, an optional sign, digits with
// an optional decimal point (at least one digit, on either side of the point), any blanks.
// Blanks are the ASCII space and tab and the ideographic space U+3000. Digits, sign and point
// may also be the full-width forms a Japanese keyboard types (０-９, ＋, －, ．). Nothing else
// reads as a number: no exponent ("1e5"), no thousands separator, no "NaN" or "inf", no
// blank between the sign and the digits, and no value too large for a double.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pellix {

// The number a text reads as, or nothing when it is not a number.
std::optional<double> readNumber(std::string_view text);
// Nearest whole number, halves to the even neighbour; nothing outside -32768..32767.
std::optional<std::int16_t> roundToTurn(double value);
// A plain decimal number, with no fractional part when the value is whole ("7", "6.5"), to 15
// significant digits, never in exponent form and never "-0".
std::string formatNumber(double value);

// The countdown caption after one tick ("3秒前" -> "2秒前"), or nothing when the caption's first
// character is not a digit ("保存中", "決定") or is 0: the count never goes below "0秒前".
std::optional<std::string> nextCountdownCaption(std::string_view caption);

// The navigation buttons: ≪ steps down from a number that rounds to 1 or more, ≫ steps up from
// one that rounds to 2100 or less; the step keeps any fraction ("7.5" -> "6.5"). Nothing when
// the button does nothing: not a number, outside those limits, or outside the 16-bit range.
enum class TurnStep { Previous, Next };
inline constexpr std::int16_t kLowestStepFrom = 1;
inline constexpr std::int16_t kHighestStepFrom = 2100;
std::optional<std::string> stepTurnText(std::string_view text, TurnStep step);

// The check made when the countdown would start: the turn the close will record, or why not.
struct TurnToCommit {
    enum class Refusal {
        None,        // `turn` is the turn to record
        NotANumber,  // the countdown does not start; the window says the text is no number
        OutOfRange,  // the countdown does not start and `message` says which turns can be
    };
    Refusal refusal = Refusal::None;
    std::int16_t turn = 0;
    std::string message;
};
// The turns that can be recorded: turn 1 is the first row of the record, and the last is the last
// row the data reset clears, so that a reset never leaves a recorded turn behind.
inline constexpr std::int16_t kLowestTurn = 1;
inline constexpr std::int16_t kHighestTurn = 2060;
[[nodiscard]] TurnToCommit turnToCommit(std::string_view text);

// The text the close leaves in the turn box after recording `turn` ("41" -> "42").
std::string nextTurnText(std::int16_t turn);

}  // namespace pellix
