// The turn commit through the real engine into a real workbook: the documented road of one
// commit, and random games checked against a second model of the rules written here.

#include "score_test_support.h"
#include "workbook/cell_map.h"
#include "workbook/score_routines.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <random>
#include <set>
#include <sstream>

namespace pellix {
namespace {

using testing::RecordingHost;
using testing::ScratchFolder;
using xls::CellValue;

// Reads the saved file back, 1-based as the sheet numbers cells.
struct Saved {
    explicit Saved(const std::filesystem::path& file)
        : book(xls::Workbook::open(file)), sheet(book.activeSheet()), shown(book.shown(sheet)) {
        for (const auto& cell : shown.cells) fills[{cell.row + 1, cell.column + 1}] = cell.fillColorIndex;
    }
    CellValue at(int row, int column) const { return book.cell(sheet, row - 1, column - 1); }
    int fill(int row, int column) const {
        const auto found = fills.find({row, column});
        return found == fills.end() ? -1 : found->second;
    }
    xls::Workbook book;
    int sheet;
    xls::SheetShown shown;
    std::map<std::pair<int, int>, int> fills;
};

class CommitFixture : public testing::ScoreFixture {
protected:

    // Four players onto the court slots 1..4, as drops do it.
    void court(std::array<int, 4> players) {
        for (int k = 1; k <= 4; ++k) board.dropOnCourtSlot(players[k - 1], k);
    }
    void setEntries(std::array<double, 12> entries) {
        XlApp app;
        XlBook& book = app.Workbooks().Open(dataPath);
        for (int i = 1; i <= 12; ++i) app.cells(cellmap::kEntryRow, cellmap::entryColumn(i)).setValue(entries[i - 1]);
        book.saveas(dataPath);
        book.Close();
    }
};

TEST_F(CommitFixture, OneCommitWritesTheDocumentedCellsInOrder) {
    court({3, 5, 7, 9});
    ScoreContext ctx = context(5);
    ASSERT_TRUE(CommitTurn(ctx, 1).ok);

    std::vector<std::string> expected{"Set Excel Application", "Writing Worksheet Turn", "Writing Worksheet Position Data"};
    for (int i = 1; i <= 12; ++i) expected.push_back("Writing Worksheet Status Data(" + std::to_string(i) + ")");
    expected.insert(expected.end(), {"Excel Application Saveing", "OLE Read Excel File", "Status : OK"});
    EXPECT_EQ(host.statuses, expected);
    EXPECT_EQ(host.sounds, (std::vector<std::string>{"キラキラ.wav", "きん.wav"}));
    EXPECT_EQ(host.relinks, 1);
    EXPECT_EQ(host.benchSorts, 0);  // "Normal" leaves the bench alone
    EXPECT_TRUE(host.failures.empty());

    Saved saved(dataPath);
    EXPECT_EQ(saved.at(19, 2), CellValue::ofNumber(1));
    for (int k = 1; k <= 4; ++k) EXPECT_EQ(saved.at(41, cellmap::positionColumn(std::array{3, 5, 7, 9}[k - 1])), CellValue::ofNumber(k));
    EXPECT_EQ(saved.at(41, 27), CellValue::ofText("C"));  // AA: the mark column of player 5
    int marks = 0;
    for (int column = 23; column <= 34; ++column) marks += saved.at(41, column).kind != xls::ValueKind::Empty;
    EXPECT_EQ(marks, 1);
    EXPECT_EQ(saved.at(4, 4), CellValue::ofText("Challenger"));  // player 3, slot 1
    EXPECT_EQ(saved.fill(4, 2), 35);
    EXPECT_EQ(saved.fill(8, 4), 40);  // player 7, slot 3
    EXPECT_EQ(board.Players[3].Order, -1);
    EXPECT_EQ(board.Players[21].Order, -1);
    EXPECT_EQ(board.Players[15].Order, -2);
}

TEST_F(CommitFixture, RecommitAfterChangingTheCourtLeavesNoOldSlot) {
    court({1, 2, 3, 4});
    ScoreContext first = context(2);
    ASSERT_TRUE(CommitTurn(first, 5).ok);
    court({5, 6, 7, 8});
    ScoreContext second = context();
    ASSERT_TRUE(CommitTurn(second, 5).ok);
    Saved saved(dataPath);
    for (int player = 1; player <= 4; ++player) EXPECT_EQ(saved.at(45, cellmap::positionColumn(player)).kind, xls::ValueKind::Empty);
    for (int column = 22; column <= 34; ++column) EXPECT_EQ(saved.at(45, column).kind, xls::ValueKind::Empty) << column;
    EXPECT_EQ(saved.at(45, cellmap::positionColumn(8)), CellValue::ofNumber(4));
}

TEST_F(CommitFixture, PlayersNotTakingPartStayWhiteAndEmpty) {
    setEntries({1, 0, -1, 1, 1, 1, 1, 1, 1, 1, 1, 1});
    court({1, 2, 3, 4});
    ScoreContext ctx = context();
    ASSERT_TRUE(CommitTurn(ctx, 3).ok);
    Saved saved(dataPath);
    EXPECT_EQ(saved.at(3, 4).kind, xls::ValueKind::Empty);  // player 2, on court but not taking part
    EXPECT_EQ(saved.fill(3, 2), 2);
    EXPECT_EQ(board.Players[2].Order, -2);
    EXPECT_EQ(board.Players[3].Order, -2);
    EXPECT_EQ(board.Players[1].Order, -1);
}

TEST_F(CommitFixture, HyperSortsTheBenchAfterTheRelink) {
    host.caption = "Hyper";
    court({1, 2, 3, 4});
    ScoreContext ctx = context();
    ASSERT_TRUE(CommitTurn(ctx, 1).ok);
    EXPECT_EQ(host.benchSorts, 1);
}

TEST_F(CommitFixture, RefusedTurnsWriteNothing) {
    const std::string before = testing::readFile(dataPath);
    court({1, 2, 3, 4});
    ScoreContext ctx = context();
    EXPECT_FALSE(CommitTurn(ctx, 0).ok);
    EXPECT_EQ(host.failures.size(), 1u);

    Board withPlaceholder;
    withPlaceholder.dropOnCourtSlot(1, 1);
    ScoreContext placeholderContext{host, &xlApp, dataPath, withPlaceholder, 0};
    EXPECT_FALSE(CommitTurn(placeholderContext, 1).ok);
    EXPECT_EQ(host.failures.size(), 2u);
    EXPECT_TRUE(host.statuses.empty());
    EXPECT_EQ(testing::readFile(dataPath), before);
}

// ---------------------------------------------------------------------------------------------
// Random games against a model that keeps the record as a plain table.

struct ModelGame {
    std::map<int, std::array<int, 13>> rows;  // turn -> slot of each player (0 off court)
    std::array<bool, 13> takesPart{};

    std::string expectedText(int turn, int player, int* order, int* rowColor, int* lostColor) const {
        auto slot = [&](int t) {
            const auto found = rows.find(t);
            return found == rows.end() ? 0 : found->second[player];
        };
        *rowColor = 2;
        *lostColor = 0;
        if (!takesPart[player]) {
            *order = -2;
            return "";
        }
        if (slot(turn) > 0) {
            *order = -1;
            *rowColor = slot(turn) <= 2 ? 35 : 40;
            int run = 0;
            while (turn - 1 - run >= 1 && slot(turn - 1 - run) > 0) ++run;
            return run == 0 ? "Challenger" : std::to_string(run) + "連勝中";
        }
        int waited = 1;
        while (turn - waited >= 1 && slot(turn - waited) == 0) ++waited;
        if (waited > 1) {
            *order = waited;
            return std::to_string(waited) + "ターン待ち";
        }
        *order = 1;
        if (slot(turn - 2) == 0) {
            *lostColor = 38;
            return "瞬\u3000殺\u3000\u3000";
        }
        return "";
    }
};

TEST_F(CommitFixture, RandomGamesAgreeWithASecondModel) {
    std::mt19937 random(20261206);
    ModelGame model;
    {
        Saved saved(dataPath);
        for (int i = 1; i <= 12; ++i) {
            const CellValue entry = saved.at(37, cellmap::entryColumn(i));
            model.takesPart[i] = entry.kind == xls::ValueKind::Number && entry.number > 0;
        }
    }
    int turn = 1;
    for (int step = 0; step < 240; ++step) {
        std::vector<int> players{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
        std::shuffle(players.begin(), players.end(), random);
        court({players[0], players[1], players[2], players[3]});
        const int missIndex = random() % 3 == 0 ? 0 : players[random() % 4];
        if (turn > 3 && random() % 10 == 0) turn -= 1 + random() % 3;  // stepped back to re-record

        ScoreContext ctx = context(static_cast<std::int16_t>(missIndex));
        ASSERT_TRUE(CommitTurn(ctx, static_cast<std::int16_t>(turn)).ok) << host.failures.back();
        std::array<int, 13> slots{};
        for (int k = 1; k <= 4; ++k) slots[board.CourtSlot[k]] = k;
        model.rows[turn] = slots;

        if (step % 20 == 19 || step == 0) {
            Saved saved(dataPath);
            ASSERT_EQ(saved.at(19, 2), CellValue::ofNumber(turn));
            for (int player = 1; player <= 12; ++player) {
                int order, rowColor, lostColor;
                const std::string text = model.expectedText(turn, player, &order, &rowColor, &lostColor);
                SCOPED_TRACE("turn " + std::to_string(turn) + " player " + std::to_string(player));
                const CellValue shown = saved.at(player + 1, 4);
                EXPECT_EQ(shown.kind == xls::ValueKind::Empty ? std::string() : shown.text, text);
                EXPECT_EQ(board.Players[player].Order, order);
                EXPECT_EQ(saved.fill(player + 1, 2), rowColor);
                EXPECT_EQ(saved.fill(player + 1, 4), lostColor ? lostColor : rowColor);
                EXPECT_EQ(saved.at(turn + 40, cellmap::markColumn(player)),
                          player == missIndex ? CellValue::ofText("C") : CellValue::empty());
            }
        }
        ++turn;
    }

    // An independent reader sees the same record.
    std::ostringstream script;
    script << "import xlrd\nb = xlrd.open_workbook('" << dataPath.string() << "', formatting_info=True)\n"
           << "s = b.sheet_by_index(b.sheet_names().index(b.sheet_by_index([i for i in range(b.nsheets) if b.sheet_by_index(i).sheet_selected][0]).name))\n"
           << "print(int(s.cell_value(18, 1)))\n"
           << "for t in sorted(" << [&] {
                  std::string turns = "[";
                  for (const auto& [t, slots] : model.rows) turns += std::to_string(t) + ",";
                  return turns + "]";
              }() << "):\n"
           << "    print(t, ' '.join(str(int(s.cell_value(t + 39, c))) if s.cell_value(t + 39, c) != '' else '-' for c in range(9, 21)))\n";
    int exitCode = 0;
    const std::string output = testing::runPython(script.str(), &exitCode);
    ASSERT_EQ(exitCode, 0) << output;
    std::ostringstream expected;
    expected << turn - 1 << "\n";
    for (const auto& [t, slots] : model.rows) {
        expected << t;
        for (int player = 1; player <= 12; ++player) expected << (player == 1 ? " " : " ") << (slots[player] ? std::to_string(slots[player]) : "-");
        expected << "\n";
    }
    EXPECT_EQ(output, expected.str());
}

}  // namespace
}  // namespace pellix
