// The state both boards show, from sheets written as tables: the board order, the lines' texts and
// fills, the court, the countdown and who was named.

#include "workbook/board_state.h"

#include "score_test_support.h"

#include "workbook/cell_map.h"

#include <gtest/gtest.h>

namespace pellix {
namespace {

using testing::Record;
using testing::sheetOf;
using xls::CellValue;

// Players 1..7 have entered; player 8 has a name and no entry.
Record evening(int lastTurn, std::vector<std::string> turns) {
    Record record{CellValue::ofNumber(lastTurn), std::move(turns), {}};
    for (int player = 1; player <= 7; ++player)
        record.extra[{cellmap::kEntryRow, cellmap::entryColumn(player)}] = CellValue::ofNumber(1);
    for (int player = 1; player <= 8; ++player)
        record.extra[{cellmap::statusRow(player), cellmap::kNameColumn}] = CellValue::ofText("p" + std::to_string(player));
    return record;
}

std::array<double, 13> bench(std::initializer_list<std::pair<int, double>> places) {
    std::array<double, 13> left;
    left.fill(kOffBench);
    for (const auto& [player, at] : places) left[player] = at;
    return left;
}

std::vector<int> playersOf(const std::vector<BoardLine>& lines) {
    std::vector<int> players;
    for (const BoardLine& line : lines) players.push_back(line.player);
    return players;
}

TEST(BoardOrder, OnCourtBySlotThenWhoComesOnNextThenTheBenchRow) {
    const std::tuple<const char*, Record, std::array<double, 13>, std::vector<int>> cases[] = {
        {"nobody has played: by the bench row, the players off it last, no entry no line",
         evening(0, {}), bench({{3, 900}, {1, 1800}, {2, 2700}}), {3, 1, 2, 4, 5, 6, 7}},
        // Turn 2: player 5 came on for player 1 in slot 1. Players 6 and 7 have waited two turns,
        // player 1 one: 6 and 7 come on before him, in the order they stand on the bench.
        {"after two turns", evening(2, {"1234........", ".2341......."}), bench({{7, 100}, {6, 200}, {1, 50}}),
         {5, 2, 3, 4, 7, 6, 1}},
        // B19 says turn 1: the second turn row is left over from before a step back.
        {"B19 ends the record", evening(1, {"1234........", ".2341......."}), bench({}), {1, 2, 3, 4, 5, 6, 7}},
    };
    for (const auto& [name, record, left, expected] : cases) {
        const xls::SheetShown sheet = sheetOf(record);
        EXPECT_EQ(playersOf(boardOrder(ShownRecord(sheet), left)), expected) << name;
    }
}

TEST(BoardOrder, LinesShowColumnDAsTheSheetShowsItWithItsFill) {
    Record record = evening(1, {"1234........"});
    record.extra[{cellmap::statusRow(2), cellmap::kStandingColumn}] = CellValue::ofText("1連勝中");
    record.extra[{cellmap::statusRow(5), cellmap::kStandingColumn}] = CellValue::ofNumber(2.5);
    record.extra[{cellmap::statusRow(3), cellmap::kNameColumn}] = CellValue::ofNumber(7);  // no name
    xls::SheetShown sheet = sheetOf(record);
    for (xls::CellShown& cell : sheet.cells)
        if (cell.row == cellmap::statusRow(2) - 1 && cell.column == cellmap::kStandingColumn - 1) {
            cell.fillColorIndex = 35;
            cell.fillRgb = 0xccffcc;
        }
    const std::vector<BoardLine> lines = boardOrder(ShownRecord(sheet), bench({}));
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[1], (BoardLine{2, "p2", "1連勝中", 0xccffcc}));
    EXPECT_EQ(lines[2], (BoardLine{3, "", "", std::nullopt}));
    EXPECT_EQ(lines[4], (BoardLine{5, "p5", "2.5", std::nullopt}));
}

TEST(BoardState, FollowsTheWindowsPhaseCourtAndNamedPlayer) {
    const xls::SheetShown sheet = sheetOf(evening(2, {"1234........", ".2c41......."}));
    // the phase, the caption, the court, the named token; the countdown and the players on court
    const std::tuple<const char*, BoardPhase, std::string, std::array<int, 5>, int, std::optional<int>,
                     std::array<int, 4>>
        cases[] = {
        {"between turns, placeholders on court", BoardPhase::Idle, "決定", {0, 5, 21, 3, 24}, 3, {}, {5, 0, 3, 0}},
        {"first second", BoardPhase::Countdown, "3秒前", {0, 5, 2, 3, 4}, 0, 3, {5, 2, 3, 4}},
        {"last second", BoardPhase::Countdown, "1秒前", {0, 5, 2, 3, 4}, 0, 1, {5, 2, 3, 4}},
        {"no count below one", BoardPhase::Countdown, "0秒前", {0, 5, 2, 3, 4}, 0, {}, {5, 2, 3, 4}},
        {"a caption left over is no countdown", BoardPhase::Closing, "2秒前", {0, 5, 2, 3, 4}, 2, {}, {5, 2, 3, 4}},
        {"an operation runs", BoardPhase::Busy, "決定", {0, 5, 2, 3, 4}, 13, {}, {5, 2, 3, 4}},
    };
    const auto nameOf = [](int player) { return player ? "p" + std::to_string(player) : std::string(); };
    for (const auto& [name, phase, caption, court, namedToken, countdown, players] : cases) {
        SCOPED_TRACE(name);
        const BoardState state = boardState({&sheet, court, bench({}), namedToken, phase, caption, "3"});
        const int named = isPlayerToken(namedToken) ? namedToken : 0;
        EXPECT_EQ(std::tuple(state.turn, state.nextTurn, state.phase, state.countdown, state.named, state.namedName),
                  std::tuple(2, "3", phase, countdown, named, nameOf(named)));
        for (int slot = 1; slot <= 4; ++slot)
            EXPECT_EQ(state.court[slot - 1], (CourtPlace{slot, players[slot - 1], nameOf(players[slot - 1])})) << slot;
        EXPECT_EQ(playersOf(state.standings), (std::vector<int>{5, 2, 3, 4, 6, 7, 1}));
    }
}

}  // namespace
}  // namespace pellix
