#pragma once

// Which player a miss input names. Read from the board at the moment of the input; the window
// asks only while a countdown runs.

#include "board/board.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace pellix {

// The player standing in court slot `slot` (1..4). Nothing for a slot outside 1..4 or one where a
// placeholder stands: a placeholder can be named no more than by a drag across it, and its "C"
// would land outside the turn row's mark columns.
std::optional<std::int16_t> playerNamedBySlotClick(const Board& board, int slot);

// Token `token` when it is a player (1..12) standing on the court; nothing for bench, guest-row
// and placeholder tokens.
std::optional<std::int16_t> playerNamedByDragOver(const Board& board, int token);

// Where a turn stands. There is no variable for it: the controls carry it. Both timers run during
// the countdown; the close stops both before anything else and the decide button does not read
// "決定" again until the close has ended.
enum class TurnPhase { Idle, Countdown, Closing };
inline constexpr std::string_view kDecideCaption = "決定";
constexpr TurnPhase turnPhase(int missInterval, int downInterval, std::string_view saveCaption) {
    if (missInterval != 0 && downInterval != 0) return TurnPhase::Countdown;
    if (missInterval == 0 && downInterval == 0 && saveCaption == kDecideCaption) return TurnPhase::Idle;
    return TurnPhase::Closing;
}

}  // namespace pellix
