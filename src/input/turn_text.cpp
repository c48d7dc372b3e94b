#include "input/turn_text.h"

#include "board/round_half_even.h"
#include "text/utf8.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace pellix {

namespace {

bool isBlank(char32_t c) {
    return c == U' ' || c == U'\t' || c == U'\u3000';
}

// The ASCII character a Japanese keyboard's full-width digit, sign or point stands for.
char32_t narrow(char32_t c) {
    if (c >= U'\uFF10' && c <= U'\uFF19') return U'0' + (c - U'\uFF10');
    if (c == U'\uFF0B') return U'+';
    if (c == U'\uFF0D') return U'-';
    if (c == U'\uFF0E') return U'.';
    return c;
}

}  // namespace

std::optional<double> readNumber(std::string_view text) {
    std::string plain;  // sign, digits and point in ASCII, blanks dropped
    std::size_t pos = 0;
    enum { Leading, Sign, Number, Trailing } part = Leading;
    bool sawDigit = false;
    bool sawPoint = false;
    while (pos < text.size()) {
        const char32_t c = narrow(utf8::decode(text, pos));
        if (isBlank(c)) {
            if (part == Sign) return std::nullopt;  // "- 3"
            if (part == Number) part = Trailing;
            continue;
        }
        if (part == Trailing) return std::nullopt;
        if ((c == U'+' || c == U'-') && part == Leading) {
            part = Sign;
            if (c == U'-') plain += '-';
            continue;
        }
        if (c >= U'0' && c <= U'9') {
            sawDigit = true;
        } else if (c == U'.' && !sawPoint) {
            sawPoint = true;
        } else {
            return std::nullopt;
        }
        part = Number;
        plain += static_cast<char>(c);
    }
    if (!sawDigit) return std::nullopt;

    double value = 0;
    const auto [end, error] =
        std::from_chars(plain.data(), plain.data() + plain.size(), value, std::chars_format::fixed);
    if (error != std::errc{} || end != plain.data() + plain.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<std::int16_t> roundToTurn(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    const double whole = roundHalfToEven(value);
    if (whole < std::numeric_limits<std::int16_t>::min() || whole > std::numeric_limits<std::int16_t>::max())
        return std::nullopt;
    return static_cast<std::int16_t>(whole);
}

std::string formatNumber(double value) {
    if (!std::isfinite(value)) return "0";
    // Fifteen significant digits, as the arithmetic of a double can be trusted to give: 2100.4 + 1
    // is 2101.4000000000001 in binary and shows as "2101.4".
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.14e", value);
    const char* exponentMark = std::strchr(buffer, 'e');
    const int exponent = exponentMark ? std::atoi(exponentMark + 1) : 0;
    const int decimals = exponent >= 14 ? 0 : 14 - exponent;
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    std::string text = buffer;
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') text.pop_back();
    }
    if (text == "-0") text = "0";
    return text;
}

std::optional<std::string> nextCountdownCaption(std::string_view caption) {
    if (caption.empty()) return std::nullopt;
    std::size_t pos = 0;
    utf8::decode(caption, pos);
    const std::optional<double> digit = readNumber(caption.substr(0, pos));
    if (!digit || *digit < 1) return std::nullopt;
    return formatNumber(*digit - 1) + "秒前";
}

std::optional<std::string> stepTurnText(std::string_view text, TurnStep step) {
    const std::optional<double> value = readNumber(text);
    if (!value) return std::nullopt;
    const std::optional<std::int16_t> whole = roundToTurn(*value);
    if (!whole) return std::nullopt;
    if (step == TurnStep::Previous) {
        if (*whole < kLowestStepFrom) return std::nullopt;
        return formatNumber(*value - 1);
    }
    if (*whole > kHighestStepFrom) return std::nullopt;
    return formatNumber(*value + 1);
}

TurnToCommit turnToCommit(std::string_view text) {
    const std::optional<double> value = readNumber(text);
    if (!value) return {TurnToCommit::Refusal::NotANumber, 0, {}};
    const std::optional<std::int16_t> whole = roundToTurn(*value);
    // Turn 1 is the first row of the record; the rows above it belong to the workbook's owner.
    if (!whole || *whole < kLowestTurn || *whole > kHighestTurn) {
        std::string message = "「";
        message.append(text);
        message += "」は記録できる節の番号ではありません。記録できるのは " + std::to_string(kLowestTurn) + " から "
                   + std::to_string(kHighestTurn) + " までです。";
        return {TurnToCommit::Refusal::OutOfRange, 0, message};
    }
    return {TurnToCommit::Refusal::None, *whole, {}};
}

std::string nextTurnText(std::int16_t turn) {
    return std::to_string(turn + 1);
}

}  // namespace pellix
