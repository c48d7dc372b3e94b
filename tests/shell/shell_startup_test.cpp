// Start-up and shutdown against real program folders: a good one, one without data.xls, one whose
// workbook cannot be read, a failing workbook connection, and workbooks with odd picture names
// and turn cells.

#include "test_support.h"

#include "shell/court_area.h"
#include "shell/sheet_view.h"
#include "shell/token_widget.h"
#include "workbook/score_routines.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include <unistd.h>

namespace pellix {
namespace {

namespace fs = std::filesystem;
using testing::pictureOf;
using testing::ProgramFolder;
using testing::RecordingForm;
using testing::samePicture;

const std::vector<std::string> kShutdown = {"Free Excel Applicaiton", "Free Excel Worksheet", "Status : OK"};

fs::path tokenPicture(const ProgramFolder& folder, int token) {
    char name[16];
    std::snprintf(name, sizeof name, "p%02d.gif", token);
    return folder.path() / "image" / name;
}

class StartUp : public ::testing::Test {
protected:
    void SetUp() override {
        if (!folder.hasWorkbook()) GTEST_SKIP() << "no sample workbook";
    }
    ProgramFolder folder;
};

TEST_F(StartUp, AGoodFolderShowsPicturesTurnBannerAndOk) {
    RecordingForm form(folder.path());
    form.Form_Load();

    EXPECT_EQ(form.lblStatus->text(), QStringLiteral(" Status : OK"));
    EXPECT_EQ(form.statuses, std::vector<std::string>{"Status : OK"});
    EXPECT_TRUE(form.messageBoxes.empty());
    ASSERT_NE(form.xlApp, nullptr);
    EXPECT_FALSE(form.xlApp->DisplayAlerts);
    EXPECT_EQ(form.DataPath, folder.path() / "data.xls");

    for (int token = 1; token <= 12; ++token) {
        EXPECT_TRUE(samePicture(form.picUser[token]->picture().toImage(), pictureOf(tokenPicture(folder, token))))
            << "token " << token;
    }
    for (int token = 21; token <= 24; ++token) EXPECT_TRUE(form.picUser[token]->picture().isNull()) << token;
    EXPECT_TRUE(samePicture(form.picQVN->pixmap().toImage(), pictureOf(folder.path() / "QVN.bmp")));
    EXPECT_TRUE(samePicture(form.courtPicture().toImage(), pictureOf(folder.path() / "image" / "CourtFrame.gif")));

    // The sample workbook is a fresh record: B19 is 0.
    EXPECT_EQ(form.txtTurn->text(), QStringLiteral("1"));
    EXPECT_EQ(form.lblPrize->text(), QString::fromUtf8(kTitlesBanner));
    EXPECT_FALSE(form.lblPrize->isVisibleTo(&form));

    // The sheet view now shows the workbook: the turn cell and a picture name.
    const SheetModel& sheet = form.OLEWorkSheet->sheetModel();
    EXPECT_EQ(sheet.data(sheet.index(18, 1), Qt::DisplayRole).toString(), QStringLiteral("0"));
    EXPECT_EQ(sheet.data(sheet.index(21, 2), Qt::DisplayRole).toString(), QStringLiteral("p01.gif"));

    // The court holds the placeholders; nobody is named.
    for (int k = 1; k <= 4; ++k) {
        EXPECT_EQ(form.board.CourtSlot[k], 20 + k);
        EXPECT_EQ(form.board.Players[20 + k].Slot, k);
    }
    EXPECT_EQ(form.MissIndex, 0);
    // Nothing is played at start-up.
    EXPECT_TRUE(form.sound->played.empty());
}

// A workbook that cannot be opened: one box under the step's name that says what failed, the
// file's full path and what to do; the status line says so; the rest of the load still shows.
TEST_F(StartUp, EachWorkbookThatCannotBeOpenedIsExplainedAndTheRestStillLoads) {
    struct Case {
        const char* name;
        std::function<void(const ProgramFolder&)> spoil;
        const char* advice;
    };
    std::vector<Case> cases{
        {"missing", [](const ProgramFolder& f) { f.remove("data.xls"); }, "data.xls がありません"},
        {"empty", [](const ProgramFolder& f) { f.write("data.xls", ""); }, "空です"},
        {"damaged", [](const ProgramFolder& f) { f.write("data.xls", "this is not a workbook at all"); }, "バックアップ"},
        {"a_folder", [](const ProgramFolder& f) { f.remove("data.xls"); fs::create_directory(f.dataPath()); }, "フォルダ"},
    };
    if (::geteuid() != 0)
        cases.push_back({"unreadable", [](const ProgramFolder& f) { fs::permissions(f.dataPath(), fs::perms::none); }, "権限"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramFolder scratch;
        c.spoil(scratch);
        RecordingForm form(scratch.path());
        form.Form_Load();

        ASSERT_EQ(form.messageBoxes.size(), 1u);
        const QString message = form.messageBoxes.front();
        EXPECT_TRUE(message.startsWith(QStringLiteral("Form_Load\n\n"))) << message.toStdString();
        EXPECT_TRUE(message.contains(QString::fromStdString(scratch.dataPath().string()))) << message.toStdString();
        EXPECT_TRUE(message.contains(QString::fromUtf8(c.advice))) << message.toStdString();
        EXPECT_EQ(form.xlApp, nullptr);
        EXPECT_EQ(form.lblStatus->text(), QStringLiteral(" Status : data.xls を開けませんでした"));
        EXPECT_EQ(form.txtTurn->text(), QStringLiteral("7878"));
        EXPECT_EQ(form.lblPrize->text(), QString::fromUtf8(kTitlesBanner));
        EXPECT_FALSE(form.courtPicture().isNull());
        EXPECT_FALSE(form.picQVN->pixmap().isNull());
        EXPECT_TRUE(form.OLEWorkSheet->sheetModel().sheet().cells.empty());
        for (int k = 1; k <= 4; ++k) EXPECT_EQ(form.board.CourtSlot[k], 20 + k);
        if (fs::exists(scratch.dataPath())) fs::permissions(scratch.dataPath(), fs::perms::owner_all);
    }
}

// Without pictures the game can still be scored: every player token shows its number and name,
// the court its four numbered slots, and the status line says once which files are missing.
TEST_F(StartUp, WithoutPicturesTokensAndCourtAreDrawnPlainly) {
    fs::remove_all(folder.path() / "image");
    folder.remove("QVN.bmp");
    RecordingForm form(folder.path());
    form.resize(form.twipsToPixels(MainForm::layoutSizeTwips().width()),
                form.twipsToPixels(MainForm::layoutSizeTwips().height()));
    form.Form_Load();

    EXPECT_TRUE(form.messageBoxes.empty());
    EXPECT_EQ(form.lblStatus->text(),
              QStringLiteral(" Status : OK - 画像が見つかりません: image/p01.gif, image/p02.gif, image/p03.gif ほか 11 件"));
    const QImage one = form.picUser[1]->grab().toImage();
    const QImage two = form.picUser[2]->grab().toImage();
    const QImage placeholder = form.picUser[21]->grab().toImage();
    EXPECT_FALSE(samePicture(one, two));
    EXPECT_NE(one.pixelColor(one.width() / 2, 6), placeholder.pixelColor(one.width() / 2, 6));
    const QImage window = form.grab().toImage();
    const QPoint inCourt = form.picCourt[3]->geometry().topLeft() + QPoint(5, 60);  // beside the placeholder
    EXPECT_GT(window.pixelColor(inCourt).green(), window.pixelColor(inCourt).red() + 40);
    EXPECT_EQ(form.picQVN->text(), QStringLiteral("QVN"));
}

TEST_F(StartUp, AConnectionThatCannotBeMadeLeavesTheWindowOpenWithoutOne) {
    FormSeams seams;
    seams.createXlApp = []() -> std::unique_ptr<XlApp> { throw std::runtime_error("no spreadsheet application"); };
    RecordingForm form(folder.path(), seams);
    form.Form_Load();

    ASSERT_EQ(form.messageBoxes.size(), 1u);
    EXPECT_TRUE(form.messageBoxes.front().startsWith(QStringLiteral("Form_Load\n\n")));
    EXPECT_TRUE(form.messageBoxes.front().contains(QStringLiteral("no spreadsheet application")));
    EXPECT_EQ(form.xlApp, nullptr);
    // The load never ran: nothing of it shows.
    EXPECT_EQ(form.txtTurn->text(), QStringLiteral("7878"));
    EXPECT_TRUE(form.courtPicture().isNull());
    for (int k = 1; k <= 4; ++k) EXPECT_EQ(form.board.CourtSlot[k], 20 + k);
}

TEST_F(StartUp, ShutdownShowsItsThreeMessagesAfterEitherStartUp) {
    for (const bool good : {true, false}) {
        SCOPED_TRACE(good ? "after a good start-up" : "after a failed start-up");
        ProgramFolder scratch;
        if (!good) scratch.remove("data.xls");
        RecordingForm form(scratch.path());
        form.Form_Load();
        form.statuses.clear();

        form.close();  // the window's close runs the unload, which never cancels

        EXPECT_EQ(form.statuses, kShutdown);
        EXPECT_EQ(form.lblStatus->text(), QStringLiteral(" Status : OK"));
        EXPECT_EQ(form.xlApp, nullptr);
        EXPECT_FALSE(form.isVisible());
    }
}

TEST_F(StartUp, SetStatusPutsOneSpaceFirst) {
    RecordingForm form(folder.path());
    form.SetStatus("");
    EXPECT_EQ(form.lblStatus->text(), QStringLiteral(" "));
    form.SetStatus("Set Excel Application");
    EXPECT_EQ(form.lblStatus->text(), QStringLiteral(" Set Excel Application"));
}

// A picture-name cell that names nothing usable blanks only its own token.
struct PictureNameCase {
    const char* story;
    xls::CellValue c24;
};

class PictureName : public StartUp, public ::testing::WithParamInterface<PictureNameCase> {};

TEST_P(PictureName, OnlyTokenThreeStaysBlank) {
    folder.setCell(24, 3, GetParam().c24);
    RecordingForm form(folder.path());
    form.Form_Load();

    // A file that was named and could not be shown is said once.
    const bool named = GetParam().c24.kind == xls::ValueKind::Text;
    EXPECT_EQ(form.lblStatus->text(), named ? QStringLiteral(" Status : OK - 画像が見つかりません: image/") +
                                                  QString::fromStdString(GetParam().c24.text)
                                            : QStringLiteral(" Status : OK"));
    EXPECT_TRUE(form.messageBoxes.empty());
    for (int token = 1; token <= 12; ++token) {
        const bool loaded = !form.picUser[token]->picture().isNull();
        EXPECT_EQ(loaded, token != 3) << "token " << token;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PictureName,
    ::testing::Values(PictureNameCase{"empty", xls::CellValue::empty()},
                      PictureNameCase{"missing file", xls::CellValue::ofText("nobody.gif")},
                      PictureNameCase{"not a picture", xls::CellValue::ofText("../data.xls")},
                      PictureNameCase{"a folder", xls::CellValue::ofText(".")}),
    [](const auto& info) {
        std::string name = info.param.story;
        for (char& c : name) if (c == ' ') c = '_';
        return name;
    });

TEST_F(StartUp, APictureNameWrittenOnWindowsStillFindsItsFile) {
    // Names come from a system that ignores letter case and separates folders with backslashes.
    folder.setCell(24, 3, xls::CellValue::ofText("P03.GIF"));
    fs::create_directories(folder.path() / "image" / "guests");
    fs::copy_file(tokenPicture(folder, 11), folder.path() / "image" / "guests" / "g11.gif");
    folder.setCell(32, 3, xls::CellValue::ofText("guests\\g11.gif"));
    RecordingForm form(folder.path());
    form.Form_Load();

    EXPECT_TRUE(samePicture(form.picUser[3]->picture().toImage(), pictureOf(tokenPicture(folder, 3))));
    EXPECT_TRUE(samePicture(form.picUser[11]->picture().toImage(), pictureOf(tokenPicture(folder, 11))));
}

struct TurnCase {
    const char* story;
    xls::CellValue b19;
    const char* shown;
};

class NextTurn : public StartUp, public ::testing::WithParamInterface<TurnCase> {};

TEST_P(NextTurn, ShowsTheCellPlusOne) {
    folder.setCell(19, 2, GetParam().b19);
    RecordingForm form(folder.path());
    form.Form_Load();
    EXPECT_EQ(form.txtTurn->text(), QString::fromUtf8(GetParam().shown));
    EXPECT_EQ(form.lblStatus->text(), QStringLiteral(" Status : OK"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NextTurn,
    ::testing::Values(TurnCase{"zero", xls::CellValue::ofNumber(0), "1"},
                      TurnCase{"seven", xls::CellValue::ofNumber(7), "8"},
                      TurnCase{"empty", xls::CellValue::empty(), "1"},
                      TurnCase{"last_turn_of_the_sheet", xls::CellValue::ofNumber(2060), "2061"},
                      TurnCase{"fraction", xls::CellValue::ofNumber(2.5), "3.5"},
                      TurnCase{"negative", xls::CellValue::ofNumber(-3), "-2"},
                      TurnCase{"number_typed_as_text", xls::CellValue::ofText("12"), "13"},
                      TurnCase{"text", xls::CellValue::ofText("abc"), "7878"}),
    [](const auto& info) { return std::string(info.param.story); });

}  // namespace
}  // namespace pellix
