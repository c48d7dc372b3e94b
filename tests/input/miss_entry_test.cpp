#include "input/miss_entry.h"

#include <gtest/gtest.h>

namespace pellix {
namespace {

// Court: 5 in slot 1, 6 in slot 2, 10 (a guest) in slot 3, placeholder 24 still in slot 4;
// 21 went to the bench where 5 stood.
Board boardWithPlaceholderLeft() {
    Board board;
    board.dropOnToken(5, 21);
    board.dropOnCourtSlot(6, 2);
    board.dropOnToken(10, 23);
    return board;
}

TEST(MissEntry, SlotClickNamesThePlayerStandingThere) {
    const Board board = boardWithPlaceholderLeft();
    const std::pair<int, std::optional<std::int16_t>> cases[] = {
        {1, 5}, {2, 6}, {3, 10}, {4, std::nullopt}, {0, std::nullopt}, {5, std::nullopt}, {-1, std::nullopt},
    };
    for (const auto& [slot, named] : cases) EXPECT_EQ(playerNamedBySlotClick(board, slot), named) << "slot " << slot;
}

TEST(MissEntry, DragOverNamesOnlyPlayersOnCourt) {
    const Board board = boardWithPlaceholderLeft();
    const std::pair<int, std::optional<std::int16_t>> cases[] = {
        {5, 5},
        {6, 6},
        {10, 10},
        {1, std::nullopt},   // bench
        {11, std::nullopt},  // guest row
        {24, std::nullopt},  // placeholder on the court
        {21, std::nullopt},  // placeholder on the bench
        {13, std::nullopt},
        {0, std::nullopt},
        {25, std::nullopt},
        {-3, std::nullopt},
    };
    for (const auto& [token, named] : cases) EXPECT_EQ(playerNamedByDragOver(board, token), named) << "token " << token;
}

}  // namespace
}  // namespace pellix
