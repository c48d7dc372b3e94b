// The data reset, the point display formats and the failures every writing operation shares.

#include "score_test_support.h"
#include "workbook/score_routines.h"
#include "workbook/xl_app.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pellix {
namespace {

using xls::CellValue;
namespace fs = std::filesystem;
using Operations = testing::ScoreFixture;

// Rows 2..14, the twelve status rows and the one below them: 'S' shown at the usual height, 'H'
// hidden, '?' anything else.
std::string statusRows(const fs::path& file) {
    std::string rows(13, '?');
    const auto book = xls::Workbook::open(file);
    for (const auto& row : book.shown(book.activeSheet()).rows)
        if (row.row >= 1 && row.row <= 13) rows[row.row - 1] = row.hidden ? 'H' : row.heightTwips == 330 ? 'S' : '?';
    return rows;
}
const std::string kAllShown(13, 'S');

TEST_F(Operations, ViewFormatsAndTheResetLeaveTheOwnersCells) {
    court({1, 2, 3, 4});
    for (int turn = 1; turn <= 3; ++turn) ASSERT_TRUE(commit(turn));
    // "Hyper" shows the players whose entry cell (AJ37:AU37) holds a number above zero.
    const CellValue entries[] = {CellValue::ofNumber(1),   CellValue::empty(),       CellValue::ofNumber(0),
                                 CellValue::ofNumber(-2),  CellValue::ofText("yes"), CellValue::ofNumber(0.5),
                                 CellValue::ofNumber(1),   CellValue::ofNumber(1),   CellValue::ofNumber(1),
                                 CellValue::ofError(0x2A), CellValue::ofNumber(3),   CellValue::ofNumber(1)};
    edit([&](XlApp& app) {
        for (int i = 1; i <= 12; ++i) app.cells(37, i + 35).setValue(entries[i - 1]);
        app.cells(2141, 10).setValue(4.0);  // turn 2101, beyond what a reset clears
        app.cells(41, 5).setValue("note");  // E41: outside the turn row's J..AH
    });
    // B2:B13, C22:C33, AJ37:AU37 and the two cells above.
    const auto ownersCells = [&] {
        const testing::Saved saved(dataPath);
        std::vector<CellValue> cells{saved.at(2141, 10), saved.at(41, 5)};
        for (int i = 1; i <= 12; ++i)
            for (auto [row, column] : {std::pair{i + 1, 2}, {i + 21, 3}, {37, i + 35}})
                cells.push_back(saved.at(row, column));
        return cells;
    };
    const auto before = ownersCells();
    ScoreContext ctx = context();
    ASSERT_TRUE(ApplyViewFormat(ctx, true).ok);
    EXPECT_EQ(std::tuple(host.caption, host.prizeVisible), std::tuple("Hyper", true));
    EXPECT_EQ(statusRows(dataPath), "SHHHHSSSSHSSH");
    ASSERT_TRUE(ApplyViewFormat(ctx, false).ok);
    EXPECT_EQ(std::tuple(host.caption, host.prizeVisible), std::tuple("Normal", false));
    EXPECT_EQ(statusRows(dataPath), kAllShown);

    // A reset made in "Hyper" leaves the file, the caption and the banner all in "Normal".
    ASSERT_TRUE(ApplyViewFormat(ctx, true).ok);
    ASSERT_TRUE(ResetData(ctx).ok);
    EXPECT_EQ(std::tuple(host.turnText, host.caption, host.prizeVisible), std::tuple("1", "Normal", false));
    EXPECT_EQ(ownersCells(), before);
    const testing::Saved saved(dataPath);
    EXPECT_EQ(saved.at(19, 2), CellValue::ofNumber(0));
    for (int row = 41; row <= 43; ++row)
        for (int column = 10; column <= 34; ++column) EXPECT_EQ(saved.at(row, column), CellValue::empty());
    for (int row = 2; row <= 13; ++row) {
        EXPECT_EQ(saved.at(row, 4), CellValue::empty());
        for (int column = 2; column <= 4; ++column) EXPECT_EQ(saved.fill(row, column), 2) << row << " " << column;
    }
    EXPECT_EQ(statusRows(dataPath), kAllShown);
}

// Every way the file can be out of reach: the scorer is told the step and the cause, the file
// keeps every byte, the window keeps its turn and caption.
TEST_F(Operations, FailuresLeaveTheFileAndTheWindowAsTheyWere) {
    court({1, 2, 3, 4});
    const std::string before = testing::readFile(dataPath);
    const fs::path lock = folder / ".~lock.data.xls#", ownerFile = folder / "~$data.xls";
    const auto bytes = [&] { return fs::is_regular_file(dataPath) ? testing::readFile(dataPath) : "(none)"; };
    rlimit unlimited{};
    ::getrlimit(RLIMIT_FSIZE, &unlimited);
    std::signal(SIGXFSZ, SIG_IGN);  // the size limit makes the write fail halfway, as a full disk would
    bool connected = true;          // false: the workbook could not be opened at start
    const auto restore = [&] {
        connected = true;
        ::setrlimit(RLIMIT_FSIZE, &unlimited);
        ::chmod(folder.path().c_str(), 0755);
        fs::remove(lock);
        fs::remove(ownerFile);
        fs::remove_all(dataPath);
        testing::writeFile(dataPath, before);
    };
    const auto diskFull = [&] {
        rlimit limited = unlimited;
        limited.rlim_cur = 4096;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    };
    const char* open = "Set Excel Application";
    const char* save = "Excel Application Saveing";
    // How the file is put out of reach, the step that fails, what the message names as the cause.
    std::vector<std::tuple<const char*, std::function<void()>, const char*, const char*>> cases{
        {"missing", [&] { fs::remove(dataPath); }, open, ""},
        {"damaged", [&] { testing::writeFile(dataPath, "not a workbook"); }, open, ""},
        {"locked by LibreOffice",
         [&] { testing::writeFile(lock, ",Hanako Yamada,hanako,pc,06.12.2026 13:50,file:///x;"); }, save,
         "Hanako Yamada"},
        // The other suite's owner file: a length byte and the name, and at 0x37 the name in UTF-16,
        // which is the one read when it is there.
        {"locked by the other suite", [&] { testing::writeFile(ownerFile, "\4Taro"); }, save, "Taro"},
        {"locked by the other suite, UTF-16 name",
         [&] {
             testing::writeFile(ownerFile, "\3abc" + std::string(0x33, '\0') + std::string("\4\0J\0o\0h\0n\0", 10));
         },
         save, "John"},
        {"disk full", diskFull, save, ""},
        {"read-only file", [&] { ::chmod(dataPath.c_str(), 0444); }, save, ""},
        {"no connection", [&] { connected = false; }, open, "起動時に開けなかった"},
    };
    if (::geteuid() != 0)
        cases.push_back({"read-only folder", [&] { ::chmod(folder.path().c_str(), 0555); }, save, ""});
    for (const auto& [name, arrange, step, cause] : cases) {
        SCOPED_TRACE(name);
        arrange();
        const std::string arranged = bytes();
        host.clear();
        host.turnText = "8";
        ScoreContext ctx{host, connected ? &xlApp : nullptr, dataPath, board};
        const OperationResult commit = CommitTurn(ctx, 8, 0);
        EXPECT_EQ(std::tuple(commit.ok, commit.step), std::tuple(false, step));
        EXPECT_FALSE(ResetData(ctx).ok);
        EXPECT_FALSE(ApplyViewFormat(ctx, true).ok);
        ASSERT_EQ(host.failures.size(), 3u);
        EXPECT_EQ(host.statuses.back(), std::string("Status : 失敗しました - ") + step);
        EXPECT_NE(host.failures[0].find(step), std::string::npos) << host.failures[0];
        EXPECT_NE(host.failures[0].find(cause), std::string::npos) << host.failures[0];
        EXPECT_EQ(std::tuple(host.turnText, host.caption, host.prizeVisible),
                  std::tuple("8", "Normal", false));
        EXPECT_EQ(std::count(host.sounds.begin(), host.sounds.end(), "きん.wav"), 0);
        EXPECT_EQ(bytes(), arranged);
        restore();
    }
    std::signal(SIGXFSZ, SIG_DFL);
}

}  // namespace
}  // namespace pellix
