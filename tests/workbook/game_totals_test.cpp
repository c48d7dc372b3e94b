// The totals over the archived games and the current one: players matched by name across
// evenings, sums and largest values, and archived files that cannot be read named and left out.

#include "workbook/game_totals.h"

#include "score_test_support.h"
#include "workbook/cell_map.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pellix {

void PrintTo(const PlayerTotals& t, std::ostream* out) {
    *out << ::testing::PrintToString(
        std::tuple(t.name, t.games, t.onCourt, t.named, t.lostAtOnce, t.longestStreak, t.longestWait));
}

namespace {

PlayerStats player(int number, std::string name, int onCourt, int named, int lostAtOnce, int streak, int wait) {
    return {number, std::move(name), onCourt, named, lostAtOnce, streak, wait, {}};
}

ArchivedGame archived(const char* file, StatsTable table) {
    return {file, std::move(table), {}};
}

TEST(GameTotals, SumAndKeepTheLargestPerName) {
    const StatsTable tonight{10, {player(1, "佐藤", 6, 1, 0, 3, 2), player(2, "鈴木", 8, 2, 1, 4, 1)}};
    // Last week 鈴木 had token 5 and 佐藤 token 2; a player without a name goes by his number.
    const StatsTable lastWeek{
        7, {player(2, "佐藤", 5, 3, 1, 5, 1), player(5, "鈴木", 2, 0, 0, 1, 4), player(9, "", 4, 1, 0, 2, 0)}};
    const std::tuple<const char*, std::vector<ArchivedGame>, GamesTotals> cases[] = {
        {"the current game only", {}, {1, 10, {{"佐藤", 1, 6, 1, 0, 3, 2}, {"鈴木", 1, 8, 2, 1, 4, 1}}, {}}},
        {"with last week",
         {archived("archive/data-20261201-210000.xls", lastWeek)},
         {2, 17, {{"佐藤", 2, 11, 4, 1, 5, 2}, {"鈴木", 2, 10, 2, 1, 4, 4}, {"No.9", 1, 4, 1, 0, 2, 0}}, {}}},
        {"an archived game with nobody in it",
         {archived("a.xls", {})},
         {2, 10, {{"佐藤", 1, 6, 1, 0, 3, 2}, {"鈴木", 1, 8, 2, 1, 4, 1}}, {}}},
    };
    for (const auto& [name, games, expected] : cases) {
        const GamesTotals totals = totalsOver(games, tonight);
        EXPECT_EQ(std::tuple(totals.games, totals.turns, totals.players, totals.skipped),
                  std::tuple(expected.games, expected.turns, expected.players, expected.skipped))
            << name;
    }
}

class ArchivedGames : public testing::ScoreFixture {};

TEST_F(ArchivedGames, AreListedOldestFirstAndReadOrRefused) {
    EXPECT_TRUE(archivedGameFiles(folder.path()).empty()) << "no archive folder";

    const std::string played = testing::readFile(dataPath);
    const std::filesystem::path archive = archiveFolder(folder.path());
    std::filesystem::create_directory(archive);
    testing::writeFile(archive / "data-20261201-210000.xls", played);
    testing::writeFile(archive / "data-20261124-203000.xls", played.substr(0, 3000));
    testing::writeFile(archive / "data-20261117-200000.xls", "");
    testing::writeFile(archive / "notes.txt", "not a game");
    std::filesystem::create_directory(archive / "data-old.xls");

    const std::vector<std::filesystem::path> files = archivedGameFiles(folder.path());
    ASSERT_EQ(files, (std::vector<std::filesystem::path>{archive / "data-20261117-200000.xls",
                                                         archive / "data-20261124-203000.xls",
                                                         archive / "data-20261201-210000.xls"}));
    // Each read or refused; what a refused one is named with is the report's and the statistics
    // view's tests.
    std::string read;
    for (const auto& file : files) read += readArchivedGame(file).table ? 'r' : '-';
    EXPECT_EQ(read, "--r");
}

}  // namespace
}  // namespace pellix
