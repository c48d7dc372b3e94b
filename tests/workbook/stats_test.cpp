// The per-player statistics: small games of known answers written as a sheet shows them (the
// commit's status texts they are read from have their own second model), and the CSV.

#include "workbook/player_stats.h"

#include "score_test_support.h"
#include "workbook/cell_map.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pellix {

void PrintTo(const PlayerStats& s, std::ostream* out) {
    *out << ::testing::PrintToString(std::tuple(s.player, s.name, s.onCourt, s.named, s.lostAtOnce, s.longestStreak,
                                                s.longestWait, s.standingAfter));
}

namespace {

using xls::CellValue;

// A record of turns (as the live titles test writes them) whose players `taking` take part.
testing::Record game(double lastTurn, std::vector<std::string> turns, std::initializer_list<int> taking) {
    testing::Record record{CellValue::ofNumber(lastTurn), std::move(turns), {}};
    for (int player : taking) record.extra[{cellmap::kEntryRow, cellmap::entryColumn(player)}] = CellValue::ofNumber(1);
    return record;
}

// Players 1..6; player 2 stays on court throughout, player 4 loses at once in turn 2, player 5
// "loses at once" in turn 1 by the empty rows above the record, which counts for nothing.
const std::vector<std::string> kEvening = {"123d........", "12c.4.......", "a2..34......", ".24.a3......",
                                           ".213.4......"};

// Players 7 and 8, with what the commit never writes: a position typed as text (player 8, turn 3),
// a hand-typed mark, row 40 filled for player 7, a turn 7 left over beyond B19, and player 9 on
// court with an entry of 0.
testing::Record oddEvening() {
    testing::Record record = game(6, {"......12....", ".......12...", "......1.....", ".......11...", ".......2....",
                                      "......12....", "......c....."}, {7, 8});
    const auto put = [&](int row, int column, CellValue value) { record.extra[{row, column}] = value; };
    put(cellmap::kEntryRow, cellmap::entryColumn(9), CellValue::ofNumber(0));
    put(cellmap::statusRow(7), cellmap::kNameColumn, CellValue::ofText("Kim, \"Ace\""));
    put(cellmap::statusRow(8), cellmap::kNameColumn, CellValue::ofNumber(8));
    put(cellmap::turnRow(0), cellmap::positionColumn(7), CellValue::ofNumber(1));
    put(cellmap::turnRow(3), cellmap::positionColumn(8), CellValue::ofText("1"));
    put(cellmap::turnRow(5), cellmap::markColumn(8), CellValue::ofText(" c "));
    return record;
}

TEST(Stats, AgreeWithGamesOfKnownAnswers) {
    // player, name, on court, named, lost at once, longest streak, longest wait, standing after each turn
    const std::tuple<const char*, testing::Record, std::vector<PlayerStats>> cases[] = {
        {"an evening of five turns",
         game(5, kEvening, {1, 2, 3, 4, 5, 6}),
         {{1, "", 3, 1, 0, 2, 2, {0, 1, 2, 0, -2}},
          {2, "", 5, 0, 0, 4, 0, {0, 1, 2, 3, 4}},
          {3, "", 4, 1, 0, 1, 0, {0, 1, 0, 0, 1}},
          {4, "", 2, 1, 1, 0, 3, {0, 0, -2, -3, 0}},
          {5, "", 3, 1, 0, 2, 0, {0, 0, 1, 2, 0}},
          {6, "", 3, 0, 0, 2, 2, {0, -2, 0, 1, 2}}}},
        {"cells typed by hand",
         oddEvening(),
         {{7, "Kim, \"Ace\"", 3, 0, 1, 0, 2, {0, 0, 0, 0, -2, 0}}, {8, "8", 5, 1, 0, 2, 0, {0, 1, 0, 0, 1, 2}}}},
        {"nothing recorded", game(0, kEvening, {3}), {{3, "", 0, 0, 0, 0, 0, {}}}},
    };
    for (const auto& [name, record, expected] : cases) {
        EXPECT_EQ(computeStats(ShownRecord(testing::sheetOf(record))).players, expected) << name;
    }
}

// A name a spreadsheet would take for a formula stays text (pellix-xls's test reads the CSV back
// through the csv module, with a name holding a comma, quotes and a line break).
TEST(StatsCsv, NamesThatLookLikeFormulasStayText) {
    const std::pair<const char*, const char*> cases[] = {
        {"=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""}, {"+81 田中", "'+81 田中"},
        {"-5", "'-5"}, {"@home", "'@home"},
        {"\tタブ", "'\tタブ"}, {"\r改行", "\"'\r改行\""}, {"佐藤 = 1", "佐藤 = 1"}, {"'quoted", "'quoted"}, {"", ""}};
    for (const auto& [name, field] : cases)
        EXPECT_EQ(statsCsv({1, {{3, name, 1, 0, 0, 0, 0, {0}}}}),
                  "player,name,on_court,named,lost_at_once,longest_streak,longest_wait\r\n3," + std::string(field)
                      + ",1,0,0,0,0\r\n")
            << name;
}

}  // namespace
}  // namespace pellix
