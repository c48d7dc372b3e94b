// The standings walk, fed from small tables of turns instead of a workbook.

#include "workbook/standings.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>

namespace pellix {
namespace {

using xls::CellValue;

// A history of player 3: the turns in which the player stood on court (with the slot), every
// other turn row empty; rows before turn 1 (rows 39 and 40, turns -1 and 0) as given.
struct History {
    std::map<int, CellValue> cells;  // by turn
    CellValue entry = CellValue::ofNumber(1);

    History& typed(int turn) {
        cells[turn] = CellValue::ofText("x");
        return *this;
    }
    // Player 3's own column: every other player takes no part and stands on court in slot 2 all along.
    TurnHistory view() const {
        return {[this](int player) { return player == 3 ? entry : CellValue::empty(); },
                [this](int turn, int player) {
                    if (player != 3) return CellValue::ofNumber(2);
                    return cells.count(turn) ? cells.at(turn) : CellValue::empty();
                }};
    }
};

History onTurns(std::initializer_list<int> turns, int slot = 1, CellValue entry = CellValue::ofNumber(1)) {
    History history{{}, entry};
    for (int turn : turns) history.cells[turn] = CellValue::ofNumber(slot);
    return history;
}

const std::string kLost = "瞬\u3000殺\u3000\u3000";

TEST(Standings, TextColourAndOrderOfOnePlayer) {
    // Text, row colour, status colour, Order. The common cases (streaks, waits, lost at once, the
    // colours of the slots, entries of 0 and below) are the commit's random games' against their
    // second model; here the edges they do not reach.
    const std::tuple<const char*, int, History, std::tuple<std::string, int, int, int>> cases[] = {
        // The walks stop at turn 1: off court, turn 1 reads row 39 (turn -1), turn 2 row 40.
        {"streak from turn 1", 3, onTurns({3, 2, 1, 0, -1}, 4), {"2連勝中", kTan, kNoColor, -1}},
        {"turn one on court", 1, onTurns({1, 0}), {"Challenger", kLightGreen, kNoColor, -1}},
        {"turn one off, row 39 empty", 1, History{}, {kLost, kNoColor, kRose, 1}},
        {"turn one off, row 39 filled", 1, onTurns({-1}), {"", kNoColor, kNoColor, 1}},
        {"turn two off, row 40 empty", 2, onTurns({1}), {kLost, kNoColor, kRose, 1}},
        {"turn two off, row 40 filled", 2, onTurns({1, 0}), {"", kNoColor, kNoColor, 1}},
        // Waiting since the start: the count includes the current turn.
        {"waiting from the start", 6, History{}, {"6ターン待ち", kNoColor, kNoColor, 6}},
        // A note typed into a position cell is neither a slot nor an empty cell: both walks stop.
        {"text stops the streak", 10, onTurns({10, 9}).typed(8), {"1連勝中", kLightGreen, kNoColor, -1}},
        {"text stops the wait", 10, History{}.typed(8), {"2ターン待ち", kNoColor, kNoColor, 2}},
        // Only an entry above zero takes part.
        {"entry empty", 5, onTurns({5, 4}, 1, CellValue::empty()), {"", kNoColor, kNoColor, -2}},
        {"entry text", 5, onTurns({5, 4}, 1, CellValue::ofText("1")), {"", kNoColor, kNoColor, -2}},
        {"entry error", 5, onTurns({5, 4}, 1, CellValue::ofError(0x2A)), {"", kNoColor, kNoColor, -2}},
    };
    for (const auto& [name, turn, history, expected] : cases) {
        const Standing s = computeStanding(turn, 3, history.view());
        EXPECT_EQ(std::tuple(s.text, s.rowColor, s.lostColor, int{s.order}), expected) << name;
        EXPECT_EQ(s.takesPart, std::get<3>(expected) != -2) << name;
    }
}

}  // namespace
}  // namespace pellix
