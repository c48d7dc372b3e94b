// The window on its program folder, offscreen: start-up on a good folder and on folders whose
// workbook or pictures cannot be used, and the close.

#include "test_support.h"

namespace pellix {
namespace {

namespace fs = std::filesystem;

bool shows(const QPixmap& shown, const fs::path& file) {
    return !shown.isNull()
           && shown.toImage().convertToFormat(QImage::Format_ARGB32)
                  == QImage(QString::fromStdString(file.string())).convertToFormat(QImage::Format_ARGB32);
}

fs::path tokenPicture(const testing::ProgramFolder& folder, int token) {
    return folder.path() / "image" / QStringLiteral("p%1.gif").arg(token, 2, 10, QLatin1Char('0')).toStdString();
}

// Each token shows the picture the workbook names for it, whatever its letter case and folder
// separators; one that is missing is named once in the status line and the token is drawn plainly
// with its number. The close lets the file go.
TEST(StartUp, PicturesAreFoundOrNamedAndDrawnPlainly) {
    testing::ProgramFolder folder;
    folder.setCell(19, 2, xls::CellValue::ofText("12 "));  // the last turn, typed as text
    folder.setCell(23, 3, xls::CellValue::ofText("P03.GIF"));
    folder.setCell(24, 3, xls::CellValue::ofText("nobody.gif"));
    fs::create_directories(folder / "image" / "guests");
    fs::copy_file(tokenPicture(folder, 11), folder / "image" / "guests" / "g.gif");
    folder.setCell(32, 3, xls::CellValue::ofText("guests\\g.gif"));
    testing::RecordingForm named(folder);
    named.show();
    named.Form_Load();
    EXPECT_EQ(named.lblStatus->text(), QStringLiteral(" Status : OK - 画像が見つかりません: image/nobody.gif"));
    for (int token = 1; token <= 12; ++token)
        EXPECT_EQ(shows(named.picUser(token)->picture(), tokenPicture(folder, token == 2 ? 3 : token)), token != 3)
            << token;
    EXPECT_TRUE(shows(named.picQVN->pixmap(), folder / "QVN.bmp"));
    EXPECT_TRUE(shows(named.courtPicture(), folder / "image" / "CourtFrame.gif"));
    EXPECT_EQ(named.txtTurn->text(), QStringLiteral("13"));
    EXPECT_TRUE(named.messageBoxes.empty());
    named.close();
    EXPECT_TRUE(!named.isVisible() && !named.workbookOpen());

    fs::remove_all(folder / "image");
    fs::remove(folder / "QVN.bmp");
    testing::RecordingForm form(folder);
    form.Form_Load();
    EXPECT_EQ(form.lblStatus->text(),
              QStringLiteral(
                  " Status : OK - 画像が見つかりません: image/p01.gif, image/P03.GIF, image/nobody.gif ほか 11 件"));
    EXPECT_NE(form.picUser(1)->grab().toImage(), form.picUser(2)->grab().toImage());
}

// One box under the step's name says what failed, the file's full path and what to do; the rest
// of the load still shows.
TEST(StartUp, AWorkbookThatCannotBeOpenedIsExplained) {
    // data.xls removed, or overwritten by something else.
    for (const char* advice : {"data.xls がありません", "バックアップ"}) {
        SCOPED_TRACE(advice);
        testing::ProgramFolder folder;
        const fs::path data = folder.dataPath();
        if (std::string_view(advice) == "バックアップ")
            testing::writeFile(data, "not a workbook");
        else
            fs::remove(data);
        testing::RecordingForm form(folder);
        form.Form_Load();
        ASSERT_EQ(form.messageBoxes.size(), 1u);
        const QString& message = form.messageBoxes[0];
        EXPECT_TRUE(message.startsWith(QStringLiteral("Form_Load\n\n")));
        EXPECT_TRUE(message.contains(QString::fromStdString(data.string())));
        EXPECT_TRUE(message.contains(QString::fromUtf8(advice))) << message.toStdString();
        EXPECT_FALSE(form.workbookOpen());
        EXPECT_EQ(form.lblStatus->text(), QStringLiteral(" Status : data.xls を直して、起動しなおしてください"));
        EXPECT_FALSE(form.courtPicture().isNull());

        // Nothing that would write the workbook starts: it says why in a box (that the turn, the
        // steps and the operations are all refused is the turn machine's test).
        EXPECT_EQ(form.txtTurn->text(), QString());
        for (int k = 1; k <= 4; ++k) form.drag(k, form.picCourt(k));
        form.txtTurn->setText(QStringLiteral("5"));
        form.cmdSave->click();
        form.chkView->click();
        ASSERT_EQ(form.messageBoxes.size(), 3u);
        for (std::size_t box = 1; box < 3; ++box)
            EXPECT_TRUE(form.messageBoxes[box].startsWith(QStringLiteral("data.xls を開けなかったので"))) << box;
        EXPECT_EQ(form.cmdSave->text(), QStringLiteral("決定"));
        EXPECT_EQ(form.txtTurn->text(), QStringLiteral("5"));
        EXPECT_FALSE(form.chkView->isChecked());
    }
}

}  // namespace
}  // namespace pellix
