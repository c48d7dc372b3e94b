// The turn commit through the real engine into a real workbook: the road of one commit, and
// random games checked against a second model of the rules written here.

#include "score_test_support.h"
#include "workbook/cell_map.h"
#include "workbook/score_routines.h"
#include "workbook/xl_app.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <random>

namespace pellix {
namespace {

using xls::CellValue;

using Commit = testing::ScoreFixture;

// Refused turns write nothing; a commit plays its sounds and relinks the view.
TEST_F(Commit, RefusedTurnsWriteNothingAndACommitIsAnnounced) {
    const std::string before = testing::readFile(dataPath);
    // Placeholders on the court: the window's drop test.
    court({3, 5, 7, 9});
    EXPECT_FALSE(commit(0));
    EXPECT_FALSE(commit(2061));
    EXPECT_EQ(host.failures.size(), 2u);
    EXPECT_EQ(testing::readFile(dataPath), before);

    host.clear();
    ASSERT_TRUE(commit(1, 5));
    EXPECT_EQ(host.sounds, (std::vector<std::string>{"キラキラ.wav", "きん.wav"}));
    // Relinked once; "Normal" leaves the bench alone.
    EXPECT_EQ(std::tuple(host.relinks, host.benchSorts, host.failures.size()), std::tuple(1, 0, 0u));
}

// The rules as a plain table of turns: what a player's status cell, row colour and Order must be.
struct Model {
    // turn -> slot of each player (0 off court); in [0] the player named by the "C" mark
    std::map<int, std::array<int, 13>> rows;
    std::array<bool, 13> takesPart{};

    int slot(int turn, int player) const { return rows.count(turn) ? rows.at(turn)[player] : 0; }
    // Text, Order, row colour, status colour.
    std::tuple<std::string, int, int, int> expected(int turn, int player) const {
        if (!takesPart[player]) return {"", -2, 2, 2};
        if (const int here = slot(turn, player); here > 0) {
            int run = 0;
            while (turn - 1 - run >= 1 && slot(turn - 1 - run, player) > 0) ++run;
            const int color = here <= 2 ? 35 : 40;
            return {run == 0 ? "Challenger" : std::to_string(run) + "連勝中", -1, color, color};
        }
        int waited = 1;
        while (turn - waited >= 1 && slot(turn - waited, player) == 0) ++waited;
        if (waited > 1) return {std::to_string(waited) + "ターン待ち", waited, 2, 2};
        if (slot(turn - 2, player) == 0) return {"瞬\u3000殺\u3000\u3000", 1, 2, 38};
        return {"", 1, 2, 2};
    }
};

TEST_F(Commit, RandomGamesAgreeWithASecondModel) {
    Model model;
    // Players 2 and 3 do not take part (0 and -1 in their entry cells).
    edit([&](XlApp& app) {
        for (int i = 1; i <= 12; ++i) {
            const double entry = i == 2 ? 0 : i == 3 ? -1 : 1;
            app.cells(cellmap::kEntryRow, cellmap::entryColumn(i)).setValue(entry);
            model.takesPart[i] = entry > 0;
        }
    });
    std::mt19937 random(20261206);
    int turn = 1;
    for (int step = 0; step < 240; ++step) {
        std::vector<int> players{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
        std::shuffle(players.begin(), players.end(), random);
        court({players[0], players[1], players[2], players[3]});
        const int missIndex = random() % 3 == 0 ? 0 : players[random() % 4];
        if (turn > 3 && random() % 10 == 0) turn -= 1 + random() % 3;  // stepped back to re-record
        host.caption = step % 7 == 0 ? "Hyper" : "Normal";             // 35 of the 240 commits

        ASSERT_TRUE(commit(turn, missIndex)) << host.failures.back();
        std::array<int, 13> slots{missIndex};
        for (int k = 1; k <= 4; ++k) slots[board.CourtSlot[k]] = k;
        model.rows[turn] = slots;

        if (step % 20 == 19 || step == 0) {
            testing::Saved saved(dataPath);
            ASSERT_EQ(saved.at(19, 2), CellValue::ofNumber(turn));
            for (int player = 1; player <= 12; ++player) {
                SCOPED_TRACE("turn " + std::to_string(turn) + " player " + std::to_string(player));
                const CellValue shown = saved.at(player + 1, 4);
                EXPECT_EQ(
                    std::tuple(shown.kind == xls::ValueKind::Empty ? std::string() : shown.text,
                               int{(*orders)[player]}, saved.fill(player + 1, 2), saved.fill(player + 1, 4)),
                    model.expected(turn, player));
            }
            // A turn recorded again keeps neither the court nor the mark of its first record.
            for (const auto& [t, row] : model.rows)
                for (int player = 1; player <= 12; ++player)
                    EXPECT_EQ(std::pair(saved.at(t + 40, cellmap::positionColumn(player)),
                                        saved.at(t + 40, cellmap::markColumn(player))),
                              std::pair(row[player] ? CellValue::ofNumber(row[player]) : CellValue::empty(),
                                        player == row[0] ? CellValue::ofText("C") : CellValue::empty()))
                        << "turn " << t << " player " << player;
            EXPECT_EQ((*orders)[21], -1);  // the placeholders stand aside on the bench
        }
        ++turn;
    }
    EXPECT_EQ(host.benchSorts, 35);
    // That an independent reader sees each turn as played is the real-window whole game's check.
}

// A turn recorded with the wrong name and corrected afterwards, turns later, leaves the workbook
// an independent reader sees (values and fills) and the Orders of a game in which that turn was
// recorded right from the start.
TEST(Correction, EqualsAGameRecordedRightFromTheStart) {
    const std::string dump =
        "import sys, xlrd\n"
        "b = xlrd.open_workbook(sys.argv[1], formatting_info=True)\n"
        "s = [s for s in b.sheets() if s.sheet_selected][0]\n"
        "for r in range(s.nrows):\n"
        "    for c in range(s.ncols):\n"
        "        xf = b.xf_list[s.cell_xf_index(r, c)]\n"
        "        print(r, c, repr(s.cell_value(r, c)), xf.background.pattern_colour_index)\n";
    std::mt19937 random(20261208);
    for (int game = 0; game < 3; ++game) {
        testing::ScratchFolder folders[2];
        testing::RecordingHost hosts[2];
        Board boards[2];
        XlApp app;
        const std::filesystem::path paths[2] = {testing::withSampleWorkbook(folders[0]),
                                                testing::withSampleWorkbook(folders[1])};
        const int corrected = 1 + static_cast<int>(random() % 50);
        int rightName = 0;
        BenchOrders orders[2];
        for (int turn = 1; turn <= 50; ++turn) {
            std::vector<int> players{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
            std::shuffle(players.begin(), players.end(), random);
            const int named = random() % 3 == 0 ? 0 : players[random() % 4];
            if (turn == corrected) rightName = players[(std::find(players.begin(), players.begin() + 4, named) - players.begin() + 1) % 4];
            for (int g = 0; g < 2; ++g) {
                for (int k = 1; k <= 4; ++k) boards[g].dropOnCourtSlot(players[static_cast<std::size_t>(k - 1)], k);
                const int miss = g == 1 && turn == corrected ? rightName : named;
                ScoreContext context{hosts[g], &app, paths[g], boards[g]};
                const OperationResult result = CommitTurn(context, static_cast<std::int16_t>(turn), static_cast<std::int16_t>(miss));
                ASSERT_TRUE(result.ok && result.orders);
                orders[g] = *result.orders;
            }
        }
        ScoreContext context{hosts[0], &app, paths[0], boards[0]};
        const OperationResult correction = CorrectTurn(context, corrected, rightName);
        ASSERT_TRUE(correction.ok) << hosts[0].failures.back();
        SCOPED_TRACE("turn " + std::to_string(corrected) + " corrected to " + std::to_string(rightName));
        const std::filesystem::path script = folders[0] / "dump.py";
        testing::writeFile(script, dump);
        EXPECT_EQ(testing::pythonOutput(script, {paths[0].string()}), testing::pythonOutput(script, {paths[1].string()}));
        EXPECT_EQ(correction.orders, orders[1]);
    }
    // A turn not yet recorded, or a player who was not on court, is refused with the file as it was.
    testing::ScratchFolder folder;
    testing::RecordingHost host;
    Board board;
    XlApp app;
    const std::filesystem::path path = testing::withSampleWorkbook(folder);
    ScoreContext context{host, &app, path, board};
    for (int k = 1; k <= 4; ++k) board.dropOnCourtSlot(k, k);
    ASSERT_TRUE(CommitTurn(context, 1, 0).ok);
    const std::string before = testing::readFile(path);
    EXPECT_FALSE(CorrectTurn(context, 2, 0).ok);
    EXPECT_FALSE(CorrectTurn(context, 1, 5).ok);
    EXPECT_EQ(testing::readFile(path), before);
    EXPECT_EQ(host.failures.size(), 2u);
}

}  // namespace
}  // namespace pellix
