// The live titles over small records of turns, written as a sheet shows them.

#include "workbook/live_titles.h"

#include "workbook/cell_map.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>

namespace pellix {
namespace {

using xls::CellValue;

// A record in the sheet's cells: B19 and, for each turn, one character per player: '1'..'4' the
// slot, 'a'..'d' the slot with the player named by a "C" mark, '*' named off the court, '.' off.
struct Record {
    CellValue lastTurn;
    std::vector<std::string> turns;
    std::map<std::pair<int, int>, CellValue> extra;  // (row, column) 1-based: odd cells typed by hand
};

xls::SheetShown sheetOf(const Record& record) {
    std::map<std::pair<int, int>, CellValue> cells = record.extra;
    cells[{cellmap::kTurnRow, cellmap::kTurnColumn}] = record.lastTurn;
    for (std::size_t t = 0; t < record.turns.size(); ++t) {
        const int row = cellmap::turnRow(static_cast<int>(t) + 1);
        for (int player = 1; player <= cellmap::kPlayers; ++player) {
            const char c = record.turns[t][player - 1];
            const int slot = c >= 'a' && c <= 'd' ? c - 'a' + 1 : c >= '1' && c <= '4' ? c - '0' : 0;
            if (slot) cells[{row, cellmap::positionColumn(player)}] = CellValue::ofNumber(slot);
            if (c == '*' || (c >= 'a' && c <= 'd')) cells[{row, cellmap::markColumn(player)}] = CellValue::ofText("C");
        }
    }
    xls::SheetShown sheet;
    for (const auto& [place, value] : cells) sheet.cells.push_back({place.first - 1, place.second - 1, value});
    return sheet;
}

// Players 1..6 take turns; player 2 stays on court throughout.
const std::vector<std::string> kEvening = {"123d........", "12c.4.......", "a2..34......", ".24.a3......",
                                           ".213.4......"};

TEST(LiveTitles, AgreeWithRecordsOfKnownAnswers) {
    const std::tuple<const char*, Record, LiveTitles> cases[] = {
        {"nothing recorded", {CellValue::ofNumber(0), kEvening, {}}, {}},
        {"an evening of five turns", {CellValue::ofNumber(5), kEvening, {}}, {{4, {2}}, {5, {2}}, {1, {1, 3, 4, 5}}}},
        // After a step back the turns beyond B19 are left over from before: they do not count.
        {"B19 ends the record", {CellValue::ofNumber(3), kEvening, {}}, {{2, {1, 2}}, {3, {1, 2}}, {1, {1, 3, 4}}}},
        // Player 7's longest run is not his last one; it ties with player 8's.
        {"longest run",
         {CellValue::ofNumber(7),
          {"......1.....", "......1*....", "......12....", "......12....", ".......2....", "......12....",
           "......1....."},
          {}},
         {{3, {7, 8}}, {6, {7}}, {1, {8}}}},
        // What the commit never writes: a position typed as text is no place on court, a hand-typed
        // " c " names the player, "CC" does not.
        {"cells typed by hand",
         {CellValue::ofNumber(2),
          {"1...........", "1..........."},
          {{{cellmap::turnRow(1), cellmap::positionColumn(2)}, CellValue::ofText("1")},
           {{cellmap::turnRow(2), cellmap::positionColumn(2)}, CellValue::ofText("1")},
           {{cellmap::turnRow(1), cellmap::markColumn(3)}, CellValue::ofText(" c ")},
           {{cellmap::turnRow(2), cellmap::markColumn(4)}, CellValue::ofText("CC")}}},
         {{1, {1}}, {2, {1}}, {1, {3}}}},
        {"B19 that is no number", {CellValue::ofText("5"), kEvening, {}}, {}},
        // B19 beyond the last turn that can be recorded.
        {"B19 too large", {CellValue::ofNumber(99999), {"1..........."}, {}}, {{0, {}}, {1, {1}}, {0, {}}}},
    };
    for (const auto& [name, record, expected] : cases) {
        const xls::SheetShown sheet = sheetOf(record);
        EXPECT_EQ(computeLiveTitles(ShownRecord(sheet)), expected) << name;
    }
}

}  // namespace
}  // namespace pellix
