// The live titles over small records of turns, written as a sheet shows them.

#include "workbook/live_titles.h"

#include "workbook/cell_map.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <utility>

namespace pellix {
namespace {

using xls::CellValue;

// A record in the sheet's cells: B19 and, for each turn, twelve characters of court slots ('1'..'4'
// or '.') and twelve of marks ('C' or '.').
struct Record {
    CellValue lastTurn;
    std::vector<std::pair<std::string, std::string>> turns;
    std::map<std::pair<int, int>, CellValue> extra;  // (row, column) 1-based: odd cells typed by hand
};

xls::SheetShown sheetOf(const Record& record) {
    std::map<std::pair<int, int>, CellValue> cells = record.extra;
    cells[{cellmap::kTurnRow, cellmap::kTurnColumn}] = record.lastTurn;
    for (std::size_t t = 0; t < record.turns.size(); ++t) {
        const int row = cellmap::turnRow(static_cast<int>(t) + 1);
        const auto& [slots, marks] = record.turns[t];
        for (int player = 1; player <= cellmap::kPlayers; ++player) {
            if (slots[player - 1] != '.')
                cells[{row, cellmap::positionColumn(player)}] = CellValue::ofNumber(slots[player - 1] - '0');
            if (marks[player - 1] != '.') cells[{row, cellmap::markColumn(player)}] = CellValue::ofText("C");
        }
    }
    xls::SheetShown sheet;
    for (const auto& [place, value] : cells) sheet.cells.push_back({place.first - 1, place.second - 1, value});
    return sheet;
}

// Players 1..6 take turns; player 2 stays on court throughout.
const std::vector<std::pair<std::string, std::string>> kEvening = {
    {"1234........", "...C........"}, {"123.4.......", "..C........."}, {"12..34......", "C..........."},
    {".24.13......", "....C......."}, {".213.4......", "............"},
};

struct Case {
    const char* name;
    Record record;
    LiveTitles expected;
};

TEST(LiveTitles, AgreeWithRecordsOfKnownAnswers) {
    const std::vector<Case> cases = {
        {"nothing recorded", {CellValue::ofNumber(0), kEvening, {}}, {}},
        {"an evening of five turns", {CellValue::ofNumber(5), kEvening, {}}, {{4, {2}}, {5, {2}}, {1, {1, 3, 4, 5}}}},
        // After a step back the turns beyond B19 are left over from before: they do not count.
        {"B19 ends the record", {CellValue::ofNumber(3), kEvening, {}}, {{2, {1, 2}}, {3, {1, 2}}, {1, {1, 3, 4}}}},
        // Player 7's run is broken and resumed; player 8's longer one ended earlier.
        {"the longest run is not the last one",
         {CellValue::ofNumber(9),
          {{"......12....", "............"},
           {"......12....", "............"},
           {"......12....", "............"},
           {".......2....", "............"},
           {"......12....", "............"},
           {"......12....", ".......C...."},
           {"......1.....", "............"},
           {"......1.....", "............"},
           {"......1.....", "............"}},
          {}},
         {{5, {8}}, {8, {7}}, {1, {8}}}},
        // What the commit never writes: a position typed as text is no place on court, a hand-typed
        // " c " names the player, "CC" does not.
        {"cells typed by hand",
         {CellValue::ofNumber(2),
          {{"1...........", "............"}, {"1...........", "............"}},
          {{{cellmap::turnRow(1), cellmap::positionColumn(2)}, CellValue::ofText("1")},
           {{cellmap::turnRow(2), cellmap::positionColumn(2)}, CellValue::ofText("1")},
           {{cellmap::turnRow(1), cellmap::markColumn(3)}, CellValue::ofText(" c ")},
           {{cellmap::turnRow(2), cellmap::markColumn(4)}, CellValue::ofText("CC")}}},
         {{1, {1}}, {2, {1}}, {1, {3}}}},
        {"B19 that is no number", {CellValue::ofText("5"), kEvening, {}}, {}},
        {"B19 beyond the last turn that can be recorded",
         {CellValue::ofNumber(99999), {{"1...........", "............"}}, {}},
         {{0, {}}, {1, {1}}, {0, {}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const xls::SheetShown sheet = sheetOf(c.record);
        EXPECT_EQ(computeLiveTitles(ShownRecord(sheet)), c.expected);
    }
}

// The longest streak is the largest "N連勝中" that any turn's standings would have written.
TEST(LiveTitles, LongestStreakIsTheLargestStandingShown) {
    std::mt19937 random(16);
    Record record{CellValue::ofNumber(300), {}, {}};
    for (int player = 1; player <= cellmap::kPlayers; ++player)
        record.extra[{cellmap::kEntryRow, cellmap::entryColumn(player)}] = CellValue::ofNumber(1);
    for (int turn = 0; turn < 300; ++turn) {
        std::string slots(12, '.');
        for (int slot = 1; slot <= 4; ++slot) {
            int player;
            do player = static_cast<int>(random() % 12);
            while (slots[player] != '.');
            slots[player] = static_cast<char>('0' + slot);
        }
        record.turns.emplace_back(slots, std::string(12, '.'));
    }
    // Long stays on court, so that the streaks are worth comparing.
    for (int turn = 100; turn < 140; ++turn) record.turns[turn].first = "1234........";
    const xls::SheetShown sheet = sheetOf(record);
    const ShownRecord shown(sheet);

    int largest = 0;
    std::vector<int> holders;
    for (int player = 1; player <= cellmap::kPlayers; ++player) {
        int best = 0;
        for (int turn = 1; turn <= 300; ++turn) {
            const std::string text = computeStanding(turn, player, shown.history()).text;
            if (text.ends_with("連勝中")) best = std::max(best, std::stoi(text));
        }
        if (best > largest) holders.clear();
        if (best >= largest && best > 0) holders.push_back(player);
        largest = std::max(largest, best);
    }

    const LiveTitles titles = computeLiveTitles(shown);
    EXPECT_GE(largest, 39);
    EXPECT_EQ(titles.longestStreak.value, largest);
    EXPECT_EQ(titles.longestStreak.holders, holders);
}

}  // namespace
}  // namespace pellix
