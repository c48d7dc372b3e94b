// Mistakes are cheap in the window, offscreen (the real-window history game plays undo, redo, the
// reset and the restart): what undo and redo say, a recorded turn's miss is corrected, the last
// court comes back, and a data.xls that went away or another program's stale lock does not stop
// the game.

#include "shell/correction_dialog.h"
#include "test_support.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QTableWidget>

namespace pellix {
namespace {

namespace fs = std::filesystem;
using testing::readFile;

void press(testing::RecordingForm& form, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
    form.key(QKeyEvent(QEvent::KeyPress, key, modifiers));
}

// Players 1..4 in slots 1..4, turn `turn` closed by naming the player in `slot` (0: 通常ミス).
void playTurn(testing::RecordingForm& form, int slot) {
    for (int k = 1; k <= 4; ++k)
        if (form.court()[k] != k) form.drag(k, form.picCourt(k));
    form.cmdSave->click();
    if (slot) {
        QTest::mouseClick(form.picCourt(slot), Qt::LeftButton);
    } else {
        form.cmdMiss->click();
    }
}

// The messages of undo and redo (the real-window history game checks the workbooks); the reset
// names archive/ and is undone; a recorded turn's miss is corrected, through the dialog that offers
// it; Ctrl+R puts the last court back.
TEST(History, UndoRedoAndTheResetSayWhatTheyDidAndAMissIsCorrected) {
    testing::ProgramFolder folder;
    testing::RecordingForm form(folder);
    form.Form_Load();
    playTurn(form, 2);
    form.drag(9, form.picCourt(2));  // the named player already substituted
    press(form, Qt::Key_Z);
    EXPECT_FALSE(form.picUser(2)->marked());
    EXPECT_EQ(form.lblStatus->text(), QStringLiteral(" Status : 第 1 節の記録 を元に戻しました"));
    press(form, Qt::Key_Y);
    press(form, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);  // nothing left to redo
    EXPECT_EQ(form.lblStatus->text(), QStringLiteral(" Status : やり直せる操作はありません"));
    playTurn(form, 0);
    const std::string beforeReset = readFile(folder.dataPath());
    form.answer = QMessageBox::Ok;
    QTest::mouseClick(form.picQVN, Qt::LeftButton);
    EXPECT_TRUE(form.messageBoxes.back().contains(QString::fromStdString((folder / "archive").string())));
    press(form, Qt::Key_Z);
    EXPECT_EQ(readFile(folder.dataPath()), beforeReset);
    EXPECT_EQ(form.txtTurn->text(), QStringLiteral("3"));
    // The correction dialog lists the recorded turns latest first with their players and who was
    // named, and offers the chosen turn's four players or nobody, the one named first.
    const ShownRecord record(form.OLEWorkSheet->sheetModel().sheet());
    CorrectionDialog dialog(record, [](int player) { return QStringLiteral("p%1").arg(player); });
    auto* turns = dialog.findChild<QTableWidget*>(QStringLiteral("turns"));
    auto* missed = dialog.findChild<QComboBox*>(QStringLiteral("missed"));
    ASSERT_TRUE(turns && missed);
    EXPECT_FALSE(dialog.choice());
    ASSERT_EQ(turns->rowCount(), 2);
    EXPECT_EQ(turns->item(1, 0)->text(), QStringLiteral("1"));
    EXPECT_EQ(turns->item(1, 5)->text(), QStringLiteral("2 p2"));
    turns->selectRow(1);
    ASSERT_EQ(missed->count(), 5);
    EXPECT_EQ(missed->currentData().toInt(), 2);
    missed->setCurrentIndex(missed->findData(4));
    EXPECT_EQ(dialog.choice(), std::optional(std::pair(1, 4)));

    form.correction = [](const ShownRecord&) { return std::optional<std::pair<int, int>>({1, 4}); };
    press(form, Qt::Key_E);
    EXPECT_EQ(folder.turnRow(1), "123400000000 C4");
    EXPECT_EQ(folder.turnRow(2), "123400000000");
    EXPECT_EQ(form.lblStatus->text(), QStringLiteral(" Status : 第 1 節を訂正しました"));

    for (int k = 1; k <= 4; ++k) form.drag(k + 4, form.picCourt(k));
    press(form, Qt::Key_R);
    EXPECT_EQ(form.court(), (std::array<std::int16_t, 5>{0, 1, 2, 3, 4}));
    EXPECT_TRUE(form.cmdSave->isEnabled());
}

// A data.xls deleted while the program runs: the next operation says so and offers the last
// version kept; another program's lock left behind is named with its date, and written past once
// the scorer says so, for the rest of the evening.
TEST(History, AVanishedWorkbookOrAStaleLockDoesNotStopTheGame) {
    testing::ProgramFolder folder;
    testing::RecordingForm form(folder);
    form.Form_Load();
    const std::string before = readFile(folder.dataPath());
    playTurn(form, 1);
    fs::remove(folder.dataPath());
    form.answer = QMessageBox::Ok;
    playTurn(form, 1);
    ASSERT_EQ(form.messageBoxes.size(), 1u);
    EXPECT_TRUE(form.messageBoxes[0].startsWith(QStringLiteral("data.xls がありません")));
    EXPECT_EQ(readFile(folder.dataPath()), before);
    EXPECT_EQ(form.txtTurn->text(), QStringLiteral("2"));

    testing::writeFile(folder / ".~lock.data.xls#", ",Old Laptop,scorer,hall,01.12.2026 19:00,file:///x;");
    playTurn(form, 0);
    playTurn(form, 0);
    ASSERT_EQ(form.messageBoxes.size(), 2u);
    EXPECT_TRUE(form.messageBoxes[1].contains(QStringLiteral("LibreOffice, Old Laptop"))) << form.messageBoxes[1].toStdString();
    EXPECT_EQ(folder.turnRow(3), "123400000000");
}

}  // namespace
}  // namespace pellix
