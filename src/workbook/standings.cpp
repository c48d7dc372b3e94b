#include "workbook/standings.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace pellix {

const char* const kLostAtOnce = "瞬\u3000殺\u3000\u3000";

bool greaterThanZero(const xls::CellValue& value) {
    return value.kind == xls::ValueKind::Number && value.number > 0;
}

bool isEmptyCell(const xls::CellValue& value) {
    return value.kind == xls::ValueKind::Empty || (value.kind == xls::ValueKind::Text && value.text.empty());
}

PlayerPast PlayerPast::after(const xls::CellValue& position) const {
    // A note typed into the cell is neither a slot nor empty: it breaks both runs.
    return {greaterThanZero(position) ? onCourtRun + 1 : 0, isEmptyCell(position) ? emptyRun + 1 : 0};
}

PlayerPast walkBack(int turn, int player, const TurnHistory& history) {
    PlayerPast past;
    for (int j = turn - 1; j >= 1 && greaterThanZero(history.position(j, player)); --j) ++past.onCourtRun;
    if (past.onCourtRun == 0)
        for (int j = turn - 1; j >= 1 && isEmptyCell(history.position(j, player)); --j) ++past.emptyRun;
    return past;
}

Standing standingOf(const xls::CellValue& position, const PlayerPast& past, const xls::CellValue& twoTurnsBack) {
    Standing standing;
    standing.takesPart = true;
    if (greaterThanZero(position)) {
        // The streak counts the turns just before this one on court without a break.
        standing.order = -1;
        standing.rowColor = (position.number < 3) ? kLightGreen : kTan;
        if (past.onCourtRun > 0) {
            standing.kind = StandingKind::Streak;
            standing.count = past.onCourtRun;
            standing.text = std::to_string(past.onCourtRun) + "連勝中";
        } else {
            standing.kind = StandingKind::Challenger;
            standing.text = "Challenger";
        }
    } else if (past.emptyRun > 0) {
        // Turns waited, the current one included: one empty turn before already gives 2.
        standing.kind = StandingKind::Waiting;
        standing.count = past.emptyRun + 1;
        standing.text = std::to_string(standing.count) + "ターン待ち";
        standing.order = static_cast<std::int16_t>(standing.count);
    } else {
        // On court in the turn before (or this is turn 1): off court two turns back as well
        // means the player came on and went straight off.
        standing.order = 1;
        if (isEmptyCell(twoTurnsBack)) {
            standing.kind = StandingKind::LostAtOnce;
            standing.text = kLostAtOnce;
            standing.lostColor = kRose;
        } else {
            standing.kind = StandingKind::JustLeft;
        }
    }
    return standing;
}

int winningStreak(int turn, int player, const TurnHistory& history) {
    if (!greaterThanZero(history.position(turn, player))) return 0;
    return walkBack(turn, player, history).onCourtRun;
}

Standing computeStanding(int turn, int player, const TurnHistory& history) {
    if (!greaterThanZero(history.entry(player))) return {};
    return standingOf(history.position(turn, player), walkBack(turn, player, history),
                      history.position(turn - 2, player));
}

// A number, an empty cell (0) or a text that reads wholly as a number.
std::optional<double> asNumber(const xls::CellValue& value) {
    switch (value.kind) {
    case xls::ValueKind::Empty:
        return 0.0;
    case xls::ValueKind::Number:
        return value.number;
    case xls::ValueKind::Text: {
        const char* begin = value.text.c_str();
        char* end = nullptr;
        const double number = std::strtod(begin, &end);
        if (end == begin) {
            return std::nullopt;
        }
        while (*end != '\0' && std::isspace(static_cast<unsigned char>(*end))) {
            ++end;
        }
        if (*end != '\0' || !std::isfinite(number)) {
            return std::nullopt;
        }
        return number;
    }
    default:
        return std::nullopt;
    }
}

int lastTurnIn(const xls::CellValue& turnCell) {
    const std::optional<double> turn = asNumber(turnCell);
    if (!turn) return 0;
    return static_cast<int>(std::clamp(std::trunc(*turn), 0.0, double(cellmap::kLastResetTurn)));
}

}  // namespace pellix
