#pragma once

// Which player a miss input names. Read from the board at the moment of the input; the turn
// machine asks only while a countdown runs.

#include "board/board.h"

#include <cstdint>
#include <optional>

namespace pellix {

// The player standing in court slot `slot` (1..4). Nothing for a slot outside 1..4 or one where a
// placeholder stands: a placeholder can be named no more than by a drag across it, and its "C"
// would land outside the turn row's mark columns.
std::optional<std::int16_t> playerNamedBySlotClick(const Board& board, int slot);

// Token `token` when it is a player (1..12) standing on the court; nothing for bench, guest-row
// and placeholder tokens.
std::optional<std::int16_t> playerNamedByDragOver(const Board& board, int token);

}  // namespace pellix
