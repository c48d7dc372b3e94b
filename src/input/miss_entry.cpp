#include "input/miss_entry.h"

namespace pellix {

std::optional<std::int16_t> playerNamedBySlotClick(const Board& board, int slot) {
    if (slot < 1 || slot > 4) return std::nullopt;
    return playerNamedByDragOver(board, board.CourtSlot[slot]);
}

std::optional<std::int16_t> playerNamedByDragOver(const Board& board, int token) {
    if (!isPlayerToken(token) || board.Players[token].Slot <= 0) return std::nullopt;
    return static_cast<std::int16_t>(token);
}

}  // namespace pellix
