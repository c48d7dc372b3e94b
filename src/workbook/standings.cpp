#include "workbook/standings.h"

namespace pellix {

const char* const kLostAtOnce = "瞬\u3000殺\u3000\u3000";

bool greaterThanZero(const xls::CellValue& value) {
    return value.kind == xls::ValueKind::Number && value.number > 0;
}

bool isEmptyCell(const xls::CellValue& value) {
    return value.kind == xls::ValueKind::Empty || (value.kind == xls::ValueKind::Text && value.text.empty());
}

namespace {

Standing onCourtStanding(int turn, int player, const TurnHistory& history) {
    Standing standing;
    standing.takesPart = true;
    const int streak = winningStreak(turn, player, history);
    standing.text = streak > 0 ? std::to_string(streak) + "連勝中" : "Challenger";
    standing.order = -1;
    const xls::CellValue slot = history.position(turn, player);
    standing.rowColor = (slot.kind == xls::ValueKind::Number && slot.number < 3) ? kLightGreen : kTan;
    return standing;
}

Standing offCourtStanding(int turn, int player, const TurnHistory& history) {
    Standing standing;
    standing.takesPart = true;
    // Turns waited, the current one included: the first step back already gives 2.
    for (int j = turn - 1; j >= 1 && isEmptyCell(history.position(j, player)); --j) {
        standing.text = std::to_string(turn - j + 1) + "ターン待ち";
        standing.order = static_cast<std::int16_t>(turn - j + 1);
    }
    if (standing.text.empty()) {
        // On court in the turn before (or this is turn 1): off court two turns back as well
        // means the player came on and went straight off.
        if (isEmptyCell(history.position(turn - 2, player))) {
            standing.text = kLostAtOnce;
            standing.lostColor = kRose;
        }
        standing.order = 1;
    }
    return standing;
}

}  // namespace

int winningStreak(int turn, int player, const TurnHistory& history) {
    if (!greaterThanZero(history.position(turn, player))) return 0;
    // The walk back counts the turns just before this one that the player spent on court
    // without a break.
    int streak = 0;
    for (int j = turn - 1; j >= 1 && greaterThanZero(history.position(j, player)); --j) ++streak;
    return streak;
}

Standing computeStanding(int turn, int player, const TurnHistory& history) {
    if (!greaterThanZero(history.entry(player))) return {};
    return greaterThanZero(history.position(turn, player)) ? onCourtStanding(turn, player, history)
                                                           : offCourtStanding(turn, player, history);
}

}  // namespace pellix
