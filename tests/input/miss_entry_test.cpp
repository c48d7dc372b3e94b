#include "input/miss_entry.h"

#include <gtest/gtest.h>

namespace pellix {
namespace {

// Court: 5 in slot 1, 6 in slot 2, 10 (a guest) in slot 3, placeholder 24 still in slot 4;
// 21 went to the bench where 5 stood. A slot click names whoever stands there, a drag over a
// token names only a player on the court: not the bench (1), the guest row (11), a placeholder
// on the court (24) or the bench (21), nor a number without a token.
TEST(MissEntry, SlotClicksAndDragsOverNamePlayersOnCourtOnly) {
    Board board;
    board.dropOnToken(5, 21);
    board.dropOnCourtSlot(6, 2);
    board.dropOnToken(10, 23);
    const std::optional<std::int16_t> nobody;
    const std::pair<int, std::optional<std::int16_t>> slots[] = {{1, 5},      {2, 6},      {3, 10},     {4, nobody},
                                                                 {0, nobody}, {5, nobody}, {-1, nobody}};
    for (const auto& [slot, named] : slots) EXPECT_EQ(playerNamedBySlotClick(board, slot), named) << "slot " << slot;
    const std::pair<int, std::optional<std::int16_t>> tokens[] = {
        {5, 5},       {6, 6},       {10, 10},    {1, nobody},  {11, nobody}, {24, nobody},
        {21, nobody}, {13, nobody}, {0, nobody}, {25, nobody}, {-3, nobody},
    };
    for (const auto& [token, named] : tokens)
        EXPECT_EQ(playerNamedByDragOver(board, token), named) << "token " << token;
}

}  // namespace
}  // namespace pellix
