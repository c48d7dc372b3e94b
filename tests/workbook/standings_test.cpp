// The standings walk, fed from small tables of turns instead of a workbook.

#include "workbook/standings.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>

namespace pellix {
namespace {

using xls::CellValue;

// A history of one player: the turns in which the player stood on court (with the slot), every
// other turn row empty; rows before turn 1 (rows 39 and 40) as given.
struct History {
    std::map<int, CellValue> cells;  // by turn
    CellValue entry = CellValue::ofNumber(1);

    History& on(int turn, int slot = 1) {
        cells[turn] = CellValue::ofNumber(slot);
        return *this;
    }
    TurnHistory view() const {
        return {[this](int) { return entry; },
                [this](int turn, int) {
                    const auto found = cells.find(turn);
                    return found == cells.end() ? CellValue::empty() : found->second;
                }};
    }
};

struct Case {
    const char* name;
    int turn;
    History history;
    std::string text;
    int rowColor;
    int lostColor;
    int order;
};

History onTurns(std::initializer_list<int> turns, int slot = 1) {
    History history;
    for (int turn : turns) history.on(turn, slot);
    return history;
}

const std::string kLost = "瞬\u3000殺\u3000\u3000";

TEST(Standings, TextColourAndOrderOfOnePlayer) {
    const Case cases[] = {
        // The worked example of turn 10: on court in turns 10, 9, 8, 7?
        Case{"streak_of_two", 10, onTurns({10, 9, 8}), "2連勝中", kLightGreen, kNoColor, -1},
        Case{"challenger", 10, onTurns({10}), "Challenger", kLightGreen, kNoColor, -1},
        Case{"waiting_three", 10, onTurns({7}), "3ターン待ち", kNoColor, kNoColor, 3},
        Case{"lost_at_once", 10, onTurns({9}), kLost, kNoColor, kRose, 1},
        Case{"left_after_a_run", 10, onTurns({9, 8}), "", kNoColor, kNoColor, 1},
        // Slots 3 and 4 stand on the other side of the net.
        Case{"slot_two_green", 5, onTurns({5}, 2), "Challenger", kLightGreen, kNoColor, -1},
        Case{"slot_three_tan", 5, onTurns({5}, 3), "Challenger", kTan, kNoColor, -1},
        // Turn 1 has nothing to walk back to; off court it reads row 39 (turn -1).
        Case{"turn_one_on_court", 1, onTurns({1}), "Challenger", kLightGreen, kNoColor, -1},
        Case{"turn_one_off_court_empty_row_39", 1, History{}, kLost, kNoColor, kRose, 1},
        Case{"turn_one_off_court_row_39_filled", 1, onTurns({-1}), "", kNoColor, kNoColor, 1},
        // Turn 2 after playing turn 1 reads row 40 (turn 0).
        Case{"turn_two_left_row_40_empty", 2, onTurns({1}), kLost, kNoColor, kRose, 1},
        Case{"turn_two_left_row_40_filled", 2, onTurns({1, 0}), "", kNoColor, kNoColor, 1},
        // Waiting since the start: the count includes the current turn.
        Case{"waiting_from_the_start", 6, History{}, "6ターン待ち", kNoColor, kNoColor, 6},
        Case{"long_streak", 2060,
             [] {
                 History h;
                 for (int t = 1; t <= 2060; ++t) h.on(t, 4);
                 return h;
             }(),
             "2059連勝中", kTan, kNoColor, -1},
        // A note typed into a position cell is neither a slot nor an empty cell: both walks stop.
        Case{"text_stops_the_streak", 10,
             [] {
                 History h = onTurns({10, 9});
                 h.cells[8] = CellValue::ofText("x");
                 return h;
             }(),
             "1連勝中", kLightGreen, kNoColor, -1},
        Case{"text_stops_the_wait", 10,
             [] {
                 History h;
                 h.cells[8] = CellValue::ofText("x");
                 return h;
             }(),
             "2ターン待ち", kNoColor, kNoColor, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Standing standing = computeStanding(c.turn, 3, c.history.view());
        EXPECT_TRUE(standing.takesPart);
        EXPECT_EQ(standing.text, c.text);
        EXPECT_EQ(standing.rowColor, c.rowColor);
        EXPECT_EQ(standing.lostColor, c.lostColor);
        EXPECT_EQ(standing.order, c.order);
    }
}

TEST(Standings, PlayersNotTakingPartGetNothing) {
    for (const CellValue& entry : {CellValue::empty(), CellValue::ofNumber(0), CellValue::ofNumber(-1),
                                   CellValue::ofText("1"), CellValue::ofError(0x2A)}) {
        History history = onTurns({5, 4});
        history.entry = entry;
        const Standing standing = computeStanding(5, 3, history.view());
        EXPECT_FALSE(standing.takesPart);
        EXPECT_EQ(standing.text, "");
        EXPECT_EQ(standing.order, -2);
        EXPECT_EQ(standing.rowColor, kNoColor);
    }
}

TEST(Standings, EveryPlayerIsWalkedOnItsOwnColumn) {
    // Players 1..12 on their own histories: player p on court in the last p turns.
    const TurnHistory history{
        [](int player) { return CellValue::ofNumber(player == 12 ? 0 : 1); },
        [](int turn, int player) { return turn > 20 - player ? CellValue::ofNumber(1) : CellValue::empty(); }};
    const auto standings = computeStandings(20, history);
    EXPECT_EQ(standings[1].text, "Challenger");
    EXPECT_EQ(standings[2].text, "1連勝中");
    EXPECT_EQ(standings[11].text, "10連勝中");
    EXPECT_FALSE(standings[12].takesPart);
}

}  // namespace
}  // namespace pellix
