// The window on its program folder, offscreen: start-up on a good folder and on folders whose
// workbook or pictures cannot be used, the close, the display switch and the data reset, and the
// parts of the layout that the window computes.

#include "shell/sheet_view.h"
#include "test_support.h"
#include "workbook/score_routines.h"

#include <QFontInfo>
#include <QScreen>

#include <unistd.h>

namespace pellix {
namespace {

namespace fs = std::filesystem;
using testing::ProgramFolder;
using testing::RecordingForm;

bool shows(const QPixmap& shown, const fs::path& file) {
    return !shown.isNull() && shown.toImage().convertToFormat(QImage::Format_ARGB32) ==
                                  QImage(QString::fromStdString(file.string())).convertToFormat(QImage::Format_ARGB32);
}

fs::path tokenPicture(const ProgramFolder& folder, int token) {
    return folder.path() / "image" / QStringLiteral("p%1.gif").arg(token, 2, 10, QLatin1Char('0')).toStdString();
}

TEST(StartUp, AGoodFolderShowsItsPicturesTurnAndSheetAndTheCloseLetsGo) {
    ProgramFolder folder;
    RecordingForm form(folder);
    form.show();
    form.Form_Load();

    EXPECT_EQ(form.statuses, std::vector<std::string>{"Status : OK"});
    EXPECT_TRUE(form.messageBoxes.empty());
    for (int token = 1; token <= 12; ++token) EXPECT_TRUE(shows(form.picUser[token]->picture(), tokenPicture(folder, token)));
    EXPECT_TRUE(shows(form.picQVN->pixmap(), folder / "QVN.bmp"));
    EXPECT_TRUE(shows(form.courtPicture(), folder / "image" / "CourtFrame.gif"));
    EXPECT_EQ(form.txtTurn->text(), QStringLiteral("1"));
    EXPECT_EQ(form.lblPrize->text(), QString::fromUtf8(kTitlesBanner));
    EXPECT_EQ(form.OLEWorkSheet->sheetModel().data(form.OLEWorkSheet->sheetModel().index(21, 2), Qt::DisplayRole).toString(),
              QStringLiteral("p01.gif"));
    for (int k = 1; k <= 4; ++k) EXPECT_EQ(form.board.CourtSlot[k], 20 + k);
    EXPECT_TRUE(form.lblGuide->text().contains(QStringLiteral("4 人")));
    EXPECT_TRUE(form.sound->played.empty());

    form.close();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.xlApp, nullptr);
    EXPECT_EQ(form.lblStatus->text(), QStringLiteral(" Status : OK"));
}

// One box under the step's name says what failed, the file's full path and what to do; the rest
// of the load still shows.
TEST(StartUp, AWorkbookThatCannotBeOpenedIsExplained) {
    struct Case {
        const char* name;
        std::function<void(const ProgramFolder&)> spoil;
        const char* advice;
    };
    std::vector<Case> cases{
        {"missing", [](const ProgramFolder& f) { fs::remove(f.dataPath()); }, "data.xls がありません"},
        {"empty", [](const ProgramFolder& f) { testing::writeFile(f.dataPath(), ""); }, "空です"},
        {"damaged", [](const ProgramFolder& f) { testing::writeFile(f.dataPath(), "not a workbook"); }, "バックアップ"},
        {"a folder", [](const ProgramFolder& f) { fs::remove(f.dataPath()); fs::create_directory(f.dataPath()); }, "フォルダ"},
    };
    if (::geteuid() != 0)
        cases.push_back({"unreadable", [](const ProgramFolder& f) { fs::permissions(f.dataPath(), fs::perms::none); }, "権限"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramFolder folder;
        c.spoil(folder);
        RecordingForm form(folder);
        form.Form_Load();
        ASSERT_EQ(form.messageBoxes.size(), 1u);
        const QString& message = form.messageBoxes[0];
        EXPECT_TRUE(message.startsWith(QStringLiteral("Form_Load\n\n")));
        EXPECT_TRUE(message.contains(QString::fromStdString(folder.dataPath().string())));
        EXPECT_TRUE(message.contains(QString::fromUtf8(c.advice))) << message.toStdString();
        EXPECT_EQ(form.xlApp, nullptr);
        EXPECT_EQ(form.lblStatus->text(), QStringLiteral(" Status : data.xls を開けませんでした"));
        EXPECT_FALSE(form.courtPicture().isNull());
    }
}

// Without pictures the game can still be scored: tokens show their number and name, the court its
// slots, and the status line says once which files are missing. A picture named in the workbook is
// found whatever its letter case and folder separators.
TEST(StartUp, MissingPicturesAreNamedAndDrawnPlainly) {
    ProgramFolder folder;
    folder.setCell(23, 3, xls::CellValue::ofText("P03.GIF"));
    folder.setCell(24, 3, xls::CellValue::ofText("nobody.gif"));
    fs::create_directories(folder / "image" / "guests");
    fs::copy_file(tokenPicture(folder, 11), folder / "image" / "guests" / "g.gif");
    folder.setCell(32, 3, xls::CellValue::ofText("guests\\g.gif"));
    RecordingForm named(folder);
    named.Form_Load();
    EXPECT_EQ(named.lblStatus->text(), QStringLiteral(" Status : OK - 画像が見つかりません: image/nobody.gif"));
    EXPECT_TRUE(shows(named.picUser[2]->picture(), tokenPicture(folder, 3)));
    EXPECT_TRUE(named.picUser[3]->picture().isNull());
    EXPECT_TRUE(shows(named.picUser[11]->picture(), tokenPicture(folder, 11)));

    fs::remove_all(folder / "image");
    fs::remove(folder / "QVN.bmp");
    RecordingForm form(folder);
    form.resize(form.initialSize({}));
    form.Form_Load();
    EXPECT_TRUE(form.messageBoxes.empty());
    EXPECT_EQ(form.lblStatus->text(),
              QStringLiteral(" Status : OK - 画像が見つかりません: image/p01.gif, image/P03.GIF, image/nobody.gif ほか 11 件"));
    const QImage one = form.picUser[1]->grab().toImage();
    const QImage two = form.picUser[2]->grab().toImage();
    const QImage placeholder = form.picUser[21]->grab().toImage();
    EXPECT_NE(one, two);
    EXPECT_NE(one.pixelColor(one.width() / 2, 6), placeholder.pixelColor(one.width() / 2, 6));
    const QImage window = form.grab().toImage();
    const QColor inCourt = window.pixelColor(form.picCourt[3]->geometry().topLeft() + QPoint(5, 60));
    EXPECT_GT(inCourt.green(), inCourt.red() + 40);
    EXPECT_EQ(form.picQVN->text(), QStringLiteral("QVN"));
}

TEST(StartUp, TheTurnBoxShowsTheTurnAfterTheRecordedOne) {
    const std::pair<xls::CellValue, const char*> cases[] = {
        {xls::CellValue::empty(), "1"},        {xls::CellValue::ofNumber(2.5), "3.5"},
        {xls::CellValue::ofText("12 "), "13"}, {xls::CellValue::ofText("abc"), "7878"},
    };
    for (const auto& [b19, shown] : cases) {
        ProgramFolder folder;
        folder.setCell(19, 2, b19);
        RecordingForm form(folder);
        form.Form_Load();
        EXPECT_EQ(form.txtTurn->text(), QString::fromUtf8(shown));
    }
}

class Operations : public ::testing::Test {
protected:
    void SetUp() override {
        form.Form_Load();
        form.sound->played.clear();
    }
    bool row14Hidden() {
        const auto book = xls::Workbook::open(folder.dataPath());
        for (const auto& row : book.shown(book.activeSheet()).rows)
            if (row.row == 13) return row.hidden;
        return false;
    }
    void expectFormat(bool hyper) {
        EXPECT_EQ(form.chkView->isChecked(), hyper);
        EXPECT_EQ(form.chkView->text(), hyper ? QStringLiteral("Hyper") : QStringLiteral("Normal"));
        EXPECT_EQ(form.lblPrize->isHidden(), !hyper);
        EXPECT_EQ(row14Hidden(), hyper);
    }
    ProgramFolder folder;
    RecordingForm form{folder};
};

TEST_F(Operations, TheSwitchShowsTheFormatTheFileHolds) {
    form.chkView->click();
    expectFormat(true);
    EXPECT_EQ(form.sound->played, std::vector<std::string>{"きん.wav"});
    EXPECT_EQ(form.lblStatus->text(), QStringLiteral(" Status : OK"));
    form.chkView->click();
    expectFormat(false);

    testing::writeFile(folder / ".~lock.data.xls#", ",Someone,someone,pc,06.12.2026 13:50,file:///x;");
    const std::string before = testing::readFile(folder.dataPath());
    form.chkView->click();
    expectFormat(false);
    ASSERT_EQ(form.messageBoxes.size(), 1u);
    EXPECT_TRUE(form.messageBoxes[0].contains("Someone"));
    EXPECT_EQ(testing::readFile(folder.dataPath()), before);
}

// The reset asks first, with Cancel as the default; OK clears the record and shows it all in the
// normal format. One that fails keeps the turn and says why.
TEST_F(Operations, TheResetAsksThenClearsTheRecord) {
    form.fillCourt();
    form.txtTurn->setText("12");
    form.cmdSave_Click();
    form.chkView->click();  // waits for the turn: nothing happens
    form.picQVN_Click();
    EXPECT_TRUE(form.messageBoxes.empty());
    form.cmdMiss_Click();
    form.chkView->click();
    expectFormat(true);
    const std::string before = testing::readFile(folder.dataPath());

    form.picQVN_Click();
    ASSERT_EQ(form.messageBoxes.size(), 1u);
    EXPECT_EQ(form.messageBoxes[0], QStringLiteral("データを初期化しますか？"));
    EXPECT_EQ(testing::readFile(folder.dataPath()), before);
    EXPECT_EQ(form.txtTurn->text(), "13");

    form.answer = QMessageBox::Ok;
    form.picQVN_Click();
    EXPECT_EQ(form.txtTurn->text(), "1");
    expectFormat(false);
    EXPECT_EQ(folder.cell(19, 2), xls::CellValue::ofNumber(0));
    EXPECT_EQ(folder.slotOf(12, 1), 0);

    form.txtTurn->setText("13");
    fs::remove(folder.dataPath());
    form.picQVN_Click();
    EXPECT_EQ(form.txtTurn->text(), "13");
    ASSERT_EQ(form.messageBoxes.size(), 4u);  // the question, then what went wrong
    EXPECT_TRUE(form.messageBoxes[3].contains("Set Excel Application"));
    EXPECT_TRUE(form.lblStatus->text().startsWith(QStringLiteral(" Status : 失敗しました")));
}

// The sheet view takes the room the window has beyond the layout, above the banner when it shows;
// the smallest window fits a 1366x768 screen with a panel. Tokens and the turn box lie above the
// areas they overlap, and the Gothic faces resolve to the installed IPA faces.
TEST(Layout, TheSheetViewTakesTheRoomAndTokensLieOnTop) {
    ProgramFolder folder;
    RecordingForm form(folder);
    form.resize(form.initialSize({}));
    form.show();
    const QRect sheet = form.OLEWorkSheet->geometry();
    EXPECT_EQ(sheet.bottom(), form.height() - 1);  // no banner: down to the window's edge
    form.setPrizeVisible(true);
    const QRect banner = form.lblPrize->geometry();
    EXPECT_LT(form.OLEWorkSheet->geometry().bottom(), banner.top());
    EXPECT_LT(banner.bottom(), form.height() - 1);
    form.resize(form.width() + 100, form.height() + 50);
    EXPECT_EQ(form.OLEWorkSheet->width(), sheet.width() + 100);
    EXPECT_EQ(form.lblPrize->geometry(), banner.translated(0, 50).adjusted(0, 0, 100, 0));
    EXPECT_LE(form.minimumHeight(), 768 - 40 - 30);

    form.resize(form.minimumSize());
    for (QWidget* widget : {static_cast<QWidget*>(form.picUser[21]), static_cast<QWidget*>(form.picUser[24]),
                            static_cast<QWidget*>(form.txtTurn)})
        EXPECT_EQ(form.childAt(widget->geometry().center()), widget) << widget->objectName().toStdString();
    EXPECT_EQ(QFontInfo(form.cmdSave->font()).family(), QStringLiteral("IPAPGothic"));
    EXPECT_EQ(QFontInfo(form.txtTurn->font()).family(), QStringLiteral("IPAGothic"));
    EXPECT_EQ(form.picUser[11]->toolTip(), QStringLiteral("ゲストさんB"));
}

}  // namespace
}  // namespace pellix
