// The data reset, the point display formats and the failures every writing operation shares.

#include "score_test_support.h"
#include "workbook/cell_map.h"
#include "workbook/score_routines.h"

#include <gtest/gtest.h>

#include <fstream>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pellix {
namespace {

using testing::RecordingHost;
using testing::ScratchFolder;
using xls::CellValue;

class OperationFixture : public testing::ScoreFixture {
protected:

    void edit(const std::function<void(XlApp&)>& edits) {
        XlApp app;
        XlBook& book = app.Workbooks().Open(dataPath);
        edits(app);
        book.saveas(dataPath);
        book.Close();
    }
    xls::SheetShown shown() {
        const auto book = xls::Workbook::open(dataPath);
        return book.shown(book.activeSheet());
    }
    const xls::RowShown* row(const xls::SheetShown& sheet, int row1) {
        for (const auto& row : sheet.rows)
            if (row.row == row1 - 1) return &row;
        return nullptr;
    }
    void playTurns(int turns) {
        for (int k = 1; k <= 4; ++k) board.dropOnCourtSlot(k, k);
        for (int t = 1; t <= turns; ++t) {
            ScoreContext ctx = context();
            ASSERT_TRUE(CommitTurn(ctx, static_cast<std::int16_t>(t)).ok);
        }
    }
};

TEST_F(OperationFixture, ResetClearsTheRecordAndKeepsTheOwnersCells) {
    playTurns(3);
    edit([](XlApp& app) {
        app.cells(2141, 10).setValue(4.0);  // turn 2101, beyond what a reset clears
        app.cells(41, 5).setValue("note");  // E41: outside the turn row's J..AH
    });
    const auto book = xls::Workbook::open(dataPath);
    const int sheet = book.activeSheet();
    std::vector<CellValue> ownerCells;
    for (int i = 1; i <= 12; ++i) {
        ownerCells.push_back(book.cell(sheet, i, 1));           // B2:B13
        ownerCells.push_back(book.cell(sheet, i + 20, 2));      // C22:C33
        ownerCells.push_back(book.cell(sheet, 36, i + 34));     // AJ37:AU37
    }

    host.clear();
    ScoreContext hyper = context();
    ASSERT_TRUE(ApplyViewFormat(hyper, true).ok);
    ASSERT_TRUE(host.prizeVisible);
    host.clear();
    host.turnText = "4";
    ScoreContext ctx = context();
    ASSERT_TRUE(ResetData(ctx).ok);
    EXPECT_EQ(host.statuses, (std::vector<std::string>{"Set Excel Application", "Writing Worksheet Turn",
                                                       "Writing Worksheet Range Clear", "Writing Worksheet Change Rowheight",
                                                       "Excel Application Saveing", "OLE Read Excel File", "Status : OK"}));
    EXPECT_EQ(host.sounds, std::vector<std::string>{"きん.wav"});
    EXPECT_EQ(host.turnText, "1");
    EXPECT_EQ(host.caption, "Normal");
    EXPECT_FALSE(host.prizeVisible);

    const auto after = xls::Workbook::open(dataPath);
    EXPECT_EQ(after.cell(sheet, 18, 1), CellValue::ofNumber(0));
    for (int row = 41; row <= 43; ++row)
        for (int column = 10; column <= 34; ++column) EXPECT_EQ(after.cell(sheet, row - 1, column - 1).kind, xls::ValueKind::Empty);
    EXPECT_EQ(after.cell(sheet, 2140, 9), CellValue::ofNumber(4));
    EXPECT_EQ(after.cell(sheet, 40, 4), CellValue::ofText("note"));
    std::vector<CellValue> ownerAfter;
    for (int i = 1; i <= 12; ++i) {
        ownerAfter.push_back(after.cell(sheet, i, 1));
        ownerAfter.push_back(after.cell(sheet, i + 20, 2));
        ownerAfter.push_back(after.cell(sheet, 36, i + 34));
        EXPECT_EQ(after.cell(sheet, i, 3).kind, xls::ValueKind::Empty);
    }
    EXPECT_EQ(ownerAfter, ownerCells);
    const auto sheetShown = after.shown(sheet);
    for (const auto& cell : sheetShown.cells)
        if (cell.row >= 1 && cell.row <= 12 && cell.column >= 1 && cell.column <= 3) {
            EXPECT_EQ(cell.fillColorIndex, 2);
        }
    for (int r = 2; r <= 14; ++r) {  // row 14 too: "Hyper" had hidden it
        const auto* shownRow = row(sheetShown, r);
        ASSERT_NE(shownRow, nullptr);
        EXPECT_EQ(shownRow->heightTwips, 330);
        EXPECT_FALSE(shownRow->hidden);
    }
}

TEST_F(OperationFixture, HyperHidesRowsByEntryAndNormalShowsThemAgain) {
    edit([](XlApp& app) {
        const std::array<CellValue, 12> entries{CellValue::ofNumber(1), CellValue::empty(), CellValue::ofNumber(0),
                                                CellValue::ofNumber(-2), CellValue::ofText("yes"), CellValue::ofNumber(0.5),
                                                CellValue::ofNumber(1), CellValue::ofNumber(1), CellValue::ofNumber(1),
                                                CellValue::ofError(0x2A), CellValue::ofNumber(3), CellValue::ofNumber(1)};
        for (int i = 1; i <= 12; ++i) app.cells(37, i + 35).setValue(entries[i - 1]);
    });
    ScoreContext ctx = context();
    ASSERT_TRUE(ApplyViewFormat(ctx, true).ok);
    EXPECT_EQ(host.caption, "Hyper");
    EXPECT_TRUE(host.prizeVisible);
    EXPECT_EQ(host.statuses, (std::vector<std::string>{"Set Excel Application", "Writing Worksheet Change Rowheight",
                                                       "Excel Application Saveing", "OLE Read Excel File", "Status : OK"}));
    const std::array<bool, 12> shownRows{true, false, false, false, false, true, true, true, true, false, true, true};
    auto sheet = shown();
    for (int k = 1; k <= 12; ++k) {
        const auto* r = row(sheet, k + 1);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->hidden, !shownRows[k - 1]) << "player " << k;
        if (shownRows[k - 1]) {
            EXPECT_EQ(r->heightTwips, 330);
        }
    }
    ASSERT_NE(row(sheet, 14), nullptr);
    EXPECT_TRUE(row(sheet, 14)->hidden);

    ASSERT_TRUE(ApplyViewFormat(ctx, false).ok);
    EXPECT_EQ(host.caption, "Normal");
    EXPECT_FALSE(host.prizeVisible);
    sheet = shown();
    for (int r = 2; r <= 14; ++r) {
        EXPECT_FALSE(row(sheet, r)->hidden) << r;
        EXPECT_EQ(row(sheet, r)->heightTwips, 330);
    }
}

// Every way the file can be out of reach: the scorer is told the step and the cause, the file
// keeps every byte, the window keeps its turn and caption.
TEST_F(OperationFixture, FailuresLeaveTheFileAndTheWindowAsTheyWere) {
    for (int k = 1; k <= 4; ++k) board.dropOnCourtSlot(k, k);
    const std::string before = testing::readFile(dataPath);

    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::function<void()> undo;
        const char* step;
    };
    const std::filesystem::path lock = folder.path() / ".~lock.data.xls#";
    const std::filesystem::path ownerFile = folder.path() / "~$data.xls";
    const std::filesystem::path moved = folder.path() / "moved.xls";
    const bool root = ::geteuid() == 0;
    std::vector<Case> cases{
        {"missing", [&] { std::filesystem::rename(dataPath, moved); }, [&] { std::filesystem::rename(moved, dataPath); },
         "Set Excel Application"},
        {"damaged", [&] { std::filesystem::rename(dataPath, moved); std::ofstream(dataPath) << "not a workbook"; },
         [&] { std::filesystem::rename(moved, dataPath); }, "Set Excel Application"},
        {"directory", [&] { std::filesystem::rename(dataPath, moved); std::filesystem::create_directory(dataPath); },
         [&] { std::filesystem::remove(dataPath); std::filesystem::rename(moved, dataPath); }, "Set Excel Application"},
        {"locked_by_libreoffice", [&] { std::ofstream(lock) << ",Hanako Yamada,hanako,pc,06.12.2026 13:50,file:///x;"; },
         [&] { std::filesystem::remove(lock); }, "Excel Application Saveing"},
        {"locked_by_the_other_suite", [&] { std::ofstream(ownerFile) << std::string("\x04Taro", 5); },
         [&] { std::filesystem::remove(ownerFile); }, "Excel Application Saveing"},
    };
    // The disk fills up halfway through the save: the size limit makes the write fail as a full
    // disk would.
    rlimit unlimited{};
    ::getrlimit(RLIMIT_FSIZE, &unlimited);
    cases.push_back({"disk_full",
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
                     "Excel Application Saveing"});
    cases.push_back({"read_only_file", [&] { ::chmod(dataPath.c_str(), 0444); }, [&] { ::chmod(dataPath.c_str(), 0644); },
                     "Excel Application Saveing"});
    if (!root) {
        cases.push_back({"read_only_folder", [&] { ::chmod(folder.path().c_str(), 0555); },
                         [&] { ::chmod(folder.path().c_str(), 0755); }, "Excel Application Saveing"});
    }
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
        const OperationResult reset = ResetData(ctx);
        EXPECT_FALSE(reset.ok);
        const OperationResult view = ApplyViewFormat(ctx, true);
        EXPECT_FALSE(view.ok);
        ASSERT_EQ(host.failures.size(), 3u);
        EXPECT_EQ(host.statuses.back(), std::string("Status : 失敗しました - ") + c.step);
        EXPECT_NE(host.failures[0].find(c.step), std::string::npos) << host.failures[0];
        const std::string name = c.name;
        if (name == "locked_by_libreoffice") {
            EXPECT_NE(host.failures[0].find("Hanako Yamada"), std::string::npos);
        }
        if (name == "locked_by_the_other_suite") {
            EXPECT_NE(host.failures[0].find("Taro"), std::string::npos);
        }
        EXPECT_EQ(host.turnText, "8");
        EXPECT_EQ(host.caption, "Normal");
        EXPECT_FALSE(host.prizeVisible);
        EXPECT_FALSE(host.busy);
        EXPECT_EQ(std::count(host.sounds.begin(), host.sounds.end(), "きん.wav"), 0);
        c.undo();
        EXPECT_EQ(testing::readFile(dataPath), before);
    }
}

TEST_F(OperationFixture, WithoutAConnectionEveryOperationSaysSo) {
    ScoreContext ctx{host, nullptr, dataPath, board, 0};
    for (int k = 1; k <= 4; ++k) board.dropOnCourtSlot(k, k);
    EXPECT_FALSE(CommitTurn(ctx, 1).ok);
    EXPECT_FALSE(ResetData(ctx).ok);
    EXPECT_FALSE(ApplyViewFormat(ctx, false).ok);
    ASSERT_EQ(host.failures.size(), 3u);
    for (const auto& failure : host.failures) EXPECT_NE(failure.find("起動時に開けなかった"), std::string::npos);
}

TEST(WorkbookLock, ReadsTheHolderFromEitherLockFile) {
    ScratchFolder folder;
    const auto data = folder.path() / "data.xls";
    EXPECT_FALSE(findWorkbookLock(data).has_value());
    // The owner file keeps the name twice: a length byte and ANSI text, and at 0x37 a 16-bit
    // length and UTF-16 text.
    std::string owner(0x37, '\0');
    owner[0] = 3;
    owner.replace(1, 3, "abc");
    owner += std::string("\x04\x00", 2) + std::string("J\0o\0h\0n\0", 8);
    std::ofstream(folder.path() / "~$data.xls", std::ios::binary) << owner;
    const auto lock = findWorkbookLock(data);
    ASSERT_TRUE(lock.has_value());
    EXPECT_EQ(lock->holder, "John");
}

}  // namespace
}  // namespace pellix
