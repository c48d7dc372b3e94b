// The data reset, the point display formats and the failures every writing operation shares.

#include "score_test_support.h"
#include "workbook/cell_map.h"
#include "workbook/score_routines.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pellix {
namespace {

using xls::CellValue;
namespace fs = std::filesystem;

class OperationFixture : public testing::ScoreFixture {
protected:
    void edit(const std::function<void(XlApp&)>& edits) {
        XlApp app;
        XlBook& book = app.Workbooks().Open(dataPath);
        edits(app);
        book.saveas(dataPath);
        book.Close();
    }
    // Hidden flag and height of rows 1-based `first`..`last`.
    std::vector<std::pair<bool, int>> rows(int first, int last) {
        const auto book = xls::Workbook::open(dataPath);
        const auto shown = book.shown(book.activeSheet());
        std::vector<std::pair<bool, int>> result(static_cast<std::size_t>(last - first + 1), {false, -1});
        for (const auto& row : shown.rows)
            if (row.row + 1 >= first && row.row + 1 <= last)
                result[static_cast<std::size_t>(row.row + 1 - first)] = {row.hidden, row.heightTwips};
        return result;
    }
};

TEST_F(OperationFixture, ResetClearsTheRecordAndKeepsTheOwnersCells) {
    for (int k = 1; k <= 4; ++k) board.dropOnCourtSlot(k, k);
    ScoreContext ctx = context();
    for (std::int16_t t = 1; t <= 3; ++t) ASSERT_TRUE(CommitTurn(ctx, t).ok);
    edit([](XlApp& app) {
        app.cells(2141, 10).setValue(4.0);  // turn 2101, beyond what a reset clears
        app.cells(41, 5).setValue("note");  // E41: outside the turn row's J..AH
    });
    // B2:B13, C22:C33, AJ37:AU37 and the two cells above.
    const auto ownersCells = [&] {
        const auto book = xls::Workbook::open(dataPath);
        const int sheet = book.activeSheet();
        std::vector<CellValue> cells{book.cell(sheet, 2140, 9), book.cell(sheet, 40, 4)};
        for (int i = 1; i <= 12; ++i)
            for (auto [row, column] : {std::pair{i, 1}, {i + 20, 2}, {36, i + 34}})
                cells.push_back(book.cell(sheet, row, column));
        return cells;
    };
    const auto before = ownersCells();
    ASSERT_TRUE(ApplyViewFormat(ctx, true).ok);
    host.clear();
    host.turnText = "4";
    ASSERT_TRUE(ResetData(ctx).ok);
    EXPECT_EQ(host.statuses,
              (std::vector<std::string>{"Set Excel Application", "Writing Worksheet Turn",
                                        "Writing Worksheet Range Clear", "Writing Worksheet Change Rowheight",
                                        "Excel Application Saveing", "OLE Read Excel File", "Status : OK"}));
    EXPECT_EQ(host.sounds, std::vector<std::string>{"きん.wav"});
    EXPECT_EQ(host.turnText, "1");
    EXPECT_EQ(host.caption, "Normal");
    EXPECT_FALSE(host.prizeVisible);

    EXPECT_EQ(ownersCells(), before);
    const auto after = xls::Workbook::open(dataPath);
    const int sheet = after.activeSheet();
    EXPECT_EQ(after.cell(sheet, 18, 1), CellValue::ofNumber(0));
    for (int row = 40; row <= 42; ++row)
        for (int column = 9; column <= 33; ++column) EXPECT_EQ(after.cell(sheet, row, column), CellValue::empty());
    for (int i = 1; i <= 12; ++i) EXPECT_EQ(after.cell(sheet, i, 3), CellValue::empty());
    for (const auto& cell : after.shown(sheet).cells)
        if (cell.row >= 1 && cell.row <= 12 && cell.column >= 1 && cell.column <= 3) {
            EXPECT_EQ(cell.fillColorIndex, 2);
        }
    // Row 14 too: "Hyper" had hidden it.
    EXPECT_EQ(rows(2, 14), (std::vector<std::pair<bool, int>>(13, {false, 330})));
}

TEST_F(OperationFixture, HyperHidesRowsByEntryAndNormalShowsThemAgain) {
    edit([](XlApp& app) {
        const CellValue entries[] = {CellValue::ofNumber(1),   CellValue::empty(),       CellValue::ofNumber(0),
                                     CellValue::ofNumber(-2),  CellValue::ofText("yes"), CellValue::ofNumber(0.5),
                                     CellValue::ofNumber(1),   CellValue::ofNumber(1),   CellValue::ofNumber(1),
                                     CellValue::ofError(0x2A), CellValue::ofNumber(3),   CellValue::ofNumber(1)};
        for (int i = 1; i <= 12; ++i) app.cells(37, i + 35).setValue(entries[i - 1]);
    });
    ScoreContext ctx = context();
    ASSERT_TRUE(ApplyViewFormat(ctx, true).ok);
    EXPECT_EQ(host.caption, "Hyper");
    EXPECT_TRUE(host.prizeVisible);
    EXPECT_EQ(host.statuses,
              (std::vector<std::string>{"Set Excel Application", "Writing Worksheet Change Rowheight",
                                        "Excel Application Saveing", "OLE Read Excel File", "Status : OK"}));
    const auto rowsAfterHyper = rows(2, 14);
    const bool shown[] = {true, false, false, false, false, true, true, true, true, false, true, true, false};
    for (int k = 0; k < 13; ++k) {
        EXPECT_EQ(rowsAfterHyper[k].first, !shown[k]) << "row " << k + 2;
        if (shown[k]) {
            EXPECT_EQ(rowsAfterHyper[k].second, 330);
        }
    }
    ASSERT_TRUE(ApplyViewFormat(ctx, false).ok);
    EXPECT_EQ(host.caption, "Normal");
    EXPECT_FALSE(host.prizeVisible);
    EXPECT_EQ(rows(2, 14), (std::vector<std::pair<bool, int>>(13, {false, 330})));
}

// Every way the file can be out of reach: the scorer is told the step and the cause, the file
// keeps every byte, the window keeps its turn and caption.
TEST_F(OperationFixture, FailuresLeaveTheFileAndTheWindowAsTheyWere) {
    for (int k = 1; k <= 4; ++k) board.dropOnCourtSlot(k, k);
    const std::string before = testing::readFile(dataPath);
    const fs::path lock = folder / ".~lock.data.xls#", ownerFile = folder / "~$data.xls", moved = folder / "moved.xls";
    const auto moveAway = [&] { fs::rename(dataPath, moved); };
    const auto moveBack = [&] {
        fs::remove(dataPath);
        fs::rename(moved, dataPath);
    };
    rlimit unlimited{};
    ::getrlimit(RLIMIT_FSIZE, &unlimited);
    struct Case {
        const char* name;
        std::function<void()> arrange, undo;
        const char* step;
        const char* cause;
    };
    const char* open = "Set Excel Application";
    const char* save = "Excel Application Saveing";
    std::vector<Case> cases{
        {"missing", moveAway, moveBack, open, ""},
        {"damaged",
         [&] {
             moveAway();
             testing::writeFile(dataPath, "not a workbook");
         },
         moveBack, open, ""},
        {"directory",
         [&] {
             moveAway();
             fs::create_directory(dataPath);
         },
         moveBack, open, ""},
        {"locked by LibreOffice",
         [&] { testing::writeFile(lock, ",Hanako Yamada,hanako,pc,06.12.2026 13:50,file:///x;"); },
         [&] { fs::remove(lock); }, save, "Hanako Yamada"},
        {"locked by the other suite", [&] { testing::writeFile(ownerFile, std::string("\x04Taro", 5)); },
         [&] { fs::remove(ownerFile); }, save, "Taro"},
        // The size limit makes the write fail halfway, as a full disk would.
        {"disk full",
         [&] {
             std::signal(SIGXFSZ, SIG_IGN);
             rlimit limited = unlimited;
             limited.rlim_cur = 4096;
             ::setrlimit(RLIMIT_FSIZE, &limited);
         },
         [&] {
             ::setrlimit(RLIMIT_FSIZE, &unlimited);
             std::signal(SIGXFSZ, SIG_DFL);
         },
         save, ""},
        {"read-only file", [&] { ::chmod(dataPath.c_str(), 0444); }, [&] { ::chmod(dataPath.c_str(), 0644); }, save,
         ""},
    };
    if (::geteuid() != 0)
        cases.push_back({"read-only folder", [&] { ::chmod(folder.path().c_str(), 0555); },
                         [&] { ::chmod(folder.path().c_str(), 0755); }, save, ""});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        host.clear();
        host.turnText = "8";
        host.caption = "Normal";
        ScoreContext ctx = context();
        const OperationResult commit = CommitTurn(ctx, 8);
        EXPECT_FALSE(commit.ok);
        EXPECT_EQ(commit.step, c.step);
        EXPECT_FALSE(ResetData(ctx).ok);
        EXPECT_FALSE(ApplyViewFormat(ctx, true).ok);
        ASSERT_EQ(host.failures.size(), 3u);
        EXPECT_EQ(host.statuses.back(), std::string("Status : 失敗しました - ") + c.step);
        EXPECT_NE(host.failures[0].find(c.step), std::string::npos) << host.failures[0];
        EXPECT_NE(host.failures[0].find(c.cause), std::string::npos) << host.failures[0];
        EXPECT_EQ(host.turnText, "8");
        EXPECT_EQ(host.caption, "Normal");
        EXPECT_FALSE(host.prizeVisible);
        EXPECT_FALSE(host.busy);
        EXPECT_EQ(std::count(host.sounds.begin(), host.sounds.end(), "きん.wav"), 0);
        c.undo();
        EXPECT_EQ(testing::readFile(dataPath), before);
    }

    // Without a connection (the workbook could not be opened at start) every operation says so.
    ScoreContext none{host, nullptr, dataPath, board, 0};
    host.clear();
    EXPECT_FALSE(CommitTurn(none, 1).ok);
    EXPECT_FALSE(ResetData(none).ok);
    EXPECT_FALSE(ApplyViewFormat(none, false).ok);
    ASSERT_EQ(host.failures.size(), 3u);
    for (const auto& failure : host.failures) EXPECT_NE(failure.find("起動時に開けなかった"), std::string::npos);
}

TEST(WorkbookLock, ReadsTheHolderFromEitherLockFile) {
    testing::ScratchFolder folder;
    EXPECT_FALSE(findWorkbookLock(folder / "data.xls").has_value());
    // The owner file keeps the name twice: a length byte and ANSI text, and at 0x37 a 16-bit
    // length and UTF-16 text.
    std::string owner(0x37, '\0');
    owner.replace(0, 4,
                  "\x03"
                  "abc");
    testing::writeFile(folder / "~$data.xls", owner + std::string("\x04\x00J\0o\0h\0n\0", 10));
    const auto lock = findWorkbookLock(folder / "data.xls");
    ASSERT_TRUE(lock.has_value());
    EXPECT_EQ(lock->holder, "John");
    testing::writeFile(folder / "~$data.xls", std::string("\x01Z"));  // the short form alone, one letter
    EXPECT_EQ(findWorkbookLock(folder / "data.xls").value_or(WorkbookLock{}).holder, "Z");
}

}  // namespace
}  // namespace pellix
