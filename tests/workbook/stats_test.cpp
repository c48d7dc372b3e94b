// The per-player statistics: small games of known answers written as a sheet shows them, a random
// game played through the turn commit and checked against what its commits wrote, and the CSV.

#include "workbook/player_stats.h"

#include "score_test_support.h"
#include "workbook/cell_map.h"
#include "workbook/xls/cell_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <random>
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

// The N of a status text that ends in `suffix` ("3連勝中"), else 0.
int countOf(const std::string& text, const std::string& suffix) {
    return text.size() > suffix.size() && text.ends_with(suffix) ? std::stoi(text) : 0;
}

using Game = testing::ScoreFixture;

// 300 turns played through the turn commit, some recorded again after a step back, the last step
// back leaving turns 298..300 over: the statistics say what the last commit of each turn up to B19
// wrote, and count the rows as they stand.
TEST_F(Game, StatsSayWhatTheCommitsWrote) {
    std::vector<int> taking{1, 2, 3, 4, 5, 6, 7, 8, 10, 11};  // as the sample workbook's entries say
    std::mt19937 random(300);
    std::map<int, std::array<std::string, 13>> written;  // by turn: the status texts of its last commit
    std::map<int, std::array<int, 13>> rows;             // by turn: each player's slot, in [0] who was named
    const auto play = [&](int turn) {
        std::shuffle(taking.begin(), taking.end(), random);
        court({taking[0], taking[1], taking[2], taking[3]});
        rows[turn] = {random() % 3 == 0 ? 0 : taking[random() % 4]};
        ASSERT_TRUE(commit(turn, rows[turn][0])) << host.failures.back();
        for (int k = 1; k <= 4; ++k) rows[turn][board.CourtSlot[k]] = k;
        const testing::Saved saved(dataPath);
        for (int player = 1; player <= cellmap::kPlayers; ++player)
            written[turn][player] = xls::shownText(saved.at(cellmap::statusRow(player), cellmap::kStandingColumn));
    };
    for (int turn = 1; turn <= 300; ++turn) {
        if (turn > 3 && random() % 12 == 0) turn -= 1 + random() % 3;
        ASSERT_NO_FATAL_FAILURE(play(turn));
    }
    ASSERT_NO_FATAL_FAILURE(play(297));

    const testing::Saved saved(dataPath);
    const StatsTable table = computeStats(ShownRecord(saved.book.shown(saved.sheet)));
    ASSERT_EQ(table.players.size(), taking.size());
    int onCourtOfAll = 0;
    for (const PlayerStats& stats : table.players) {
        PlayerStats expected;
        std::tie(expected.player, expected.name) = std::tie(stats.player, stats.name);
        for (int turn = 1; turn <= 297; ++turn) {
            const std::string& text = written[turn][stats.player];
            const int streak = countOf(text, "連勝中");
            const int wait = countOf(text, "ターン待ち");
            expected.onCourt += rows[turn][stats.player] > 0;
            expected.named += rows[turn][0] == stats.player;
            expected.lostAtOnce += turn >= 2 && text == kLostAtOnce;
            expected.longestStreak = std::max(expected.longestStreak, streak);
            expected.longestWait = std::max(expected.longestWait, wait);
            expected.standingAfter.push_back(streak - wait);
        }
        EXPECT_EQ(stats, expected);
        onCourtOfAll += stats.onCourt;
    }
    EXPECT_EQ(onCourtOfAll, 4 * table.lastTurn);
}

// The report file begins with a byte order mark; a name a spreadsheet would take for a formula
// stays text.
TEST(StatsCsv, TheReportCarriesAByteOrderMarkAndNamesThatLookLikeFormulasStayText) {
    const std::string header = "player,name,on_court,named,lost_at_once,longest_streak,longest_wait\r\n";
    const testing::ScratchFolder folder;
    const StatsTable table{1, {{1, "佐藤　一郎", 1, 0, 0, 0, 0, {0}}}};
    writeStatsReport(folder / "report.csv", table);
    EXPECT_EQ(testing::readFile(folder / "report.csv"), "\xEF\xBB\xBF" + header + "1,佐藤　一郎,1,0,0,0,0\r\n");
    EXPECT_XLS_ERROR(writeStatsReport(folder / "missing" / "report.csv", table), "cannot save report.csv");
    const std::pair<const char*, const char*> cases[] = {
        {"=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""}, {"+81 田中", "'+81 田中"}, {"-5", "'-5"},
        {"@home", "'@home"}, {"\tタブ", "'\tタブ"}, {"\r改行", "\"'\r改行\""}, {"佐藤 = 1", "佐藤 = 1"},
        {"'quoted", "'quoted"}, {"", ""}};
    for (const auto& [name, field] : cases)
        EXPECT_EQ(statsCsv({1, {{3, name, 1, 0, 0, 0, 0, {0}}}}), header + "3," + field + ",1,0,0,0,0\r\n") << name;
}

}  // namespace
}  // namespace pellix
