// pellix-xls stats: the table of a played copy of the sample workbook, read back by Python's csv
// module, and damaged or missing files refused with the engine's message, as dump refuses them.

#include "score_test_support.h"
#include "workbook/cell_map.h"
#include "workbook/player_stats.h"

#include <gtest/gtest.h>

#include <string>

namespace pellix {
namespace {

// Prints the CSV read back, fields apart by \x1f and rows by \x1e; for a refused file, whether
// nothing came out and the message is dump's.
const char* const kReadBack = R"(import csv, io, subprocess, sys
program, book = sys.argv[1:]
run = subprocess.run([program, 'stats', book], capture_output=True)
if run.returncode == 0:
    rows = csv.reader(io.StringIO(run.stdout.decode('utf-8'), newline=''))
    sys.stdout.write('\x1e'.join('\x1f'.join(row) for row in rows))
else:
    dump = subprocess.run([program, 'dump', book], capture_output=True)
    print('refused', run.stdout == b'' and run.stderr == dump.stderr != b'', run.stderr.decode().strip())
)";

using PellixXlsStats = testing::ScoreFixture;

TEST_F(PellixXlsStats, TheTableReadsBackAsCsvAndDamagedFilesAreRefused) {
    edit([](XlApp& app) { app.cells(cellmap::statusRow(2), cellmap::kNameColumn).setValue("Kim, \"Ace\"\nJr"); });
    court({1, 2, 3, 4});
    ASSERT_TRUE(commit(1, 2));
    court({5, 2, 3, 4});
    ASSERT_TRUE(commit(2));
    const testing::Saved saved(dataPath);
    std::string expected = "player\x1fname\x1fon_court\x1fnamed\x1flost_at_once\x1flongest_streak\x1flongest_wait";
    for (const PlayerStats& s : computeStats(ShownRecord(saved.book.shown(saved.sheet))).players) {
        expected += "\x1e" + std::to_string(s.player) + "\x1f" + s.name;
        for (int number : {s.onCourt, s.named, s.lostAtOnce, s.longestStreak, s.longestWait})
            expected += "\x1f" + std::to_string(number);
    }

    testing::writeFile(folder / "read_back.py", kReadBack);
    const auto statsOf = [&](const std::string& book) {
        return testing::pythonOutput(folder / "read_back.py", {PELLIX_XLS_PROGRAM, book});
    };
    EXPECT_EQ(statsOf(dataPath.string()), expected);
    testing::writeFile(folder / "cut.xls", testing::readFile(dataPath).substr(0, 3000));
    EXPECT_PRED_FORMAT2(::testing::IsSubstring,
                        "refused True cut.xls is damaged: ", statsOf((folder / "cut.xls").string()));
    EXPECT_EQ(statsOf((folder / "missing.xls").string()),
              "refused True cannot open missing.xls: No such file or directory\n");
}

}  // namespace
}  // namespace pellix
