// A turn through the window, offscreen: the countdown, the ways of closing it that the real window
// does not play end to end (the window's own close, keys with modifiers), refusals, the display
// switch and the data reset, drops and a failed commit. The turn machine's and the engine's rules
// have their own tests (input that comes in while a turn closes is the machine's scripts'); here
// each is seen once through the window. Timers are never waited for: their handlers are called
// directly.

#include "test_support.h"

#include <QKeyEvent>

namespace pellix {
namespace {

// A window on a fresh program folder with players 1..4 on court.
struct Court {
    Court() {
        form.Form_Load();
        for (int k = 1; k <= 4; ++k) form.drag(k, form.picUser(kFirstPlaceholder - 1 + k));
    }
    void startCountdown() {
        form.txtTurn->setText(QStringLiteral("41"));
        form.cmdSave->click();
        ASSERT_EQ(form.cmdSave->text(), QStringLiteral("3秒前"));
        EXPECT_TRUE(form.cmdMiss->isVisibleTo(&form));
    }
    void expectIdle(const char* turn) {
        EXPECT_EQ(form.timMiss->Interval() + form.timDown->Interval(), 0);
        EXPECT_EQ(form.cmdSave->text(), QStringLiteral("決定"));
        EXPECT_FALSE(form.cmdMiss->isVisibleTo(&form));
        EXPECT_TRUE(form.cmdSave->isEnabled() && form.txtTurn->isEnabled() && form.cmdPrev->isEnabled()
                    && form.cmdNext->isEnabled());
        EXPECT_EQ(form.txtTurn->text(), QString::fromUtf8(turn));
    }
    testing::ProgramFolder folder;
    testing::RecordingForm form{folder};
};

class TurnRoad : public ::testing::Test, protected Court {};

// A close of the window and a slot key close the countdown, record the turn with the player they
// name and return to idle; the window records the turn first, then closes. A Ctrl chord and a held
// key name nobody; the key 3 does. The other ways are played through the real window end to end.
TEST(TurnRoads, AKeyOrTheWindowsCloseRecordsTheTurnAndReturnsToIdle) {
    for (const bool byKey : {true, false}) {
        SCOPED_TRACE(byKey ? "slot key" : "window closed");
        Court c;
        c.startCountdown();
        QString statusAtClose;
        // Runs at the close's first status message, where queued input gets in.
        QTimer::singleShot(0, &c.form, [&] { statusAtClose = c.form.lblStatus->text(); });
        if (byKey) {
            using E = QKeyEvent;
            c.form.key(E(E::KeyPress, Qt::Key_2, Qt::ControlModifier));
            c.form.key(E(E::KeyPress, Qt::Key_2, {}, "2", true));
            c.form.key(E(E::KeyPress, Qt::Key_3, {}, "3"));
        } else {
            c.form.close();
        }
        EXPECT_EQ(statusAtClose, QStringLiteral(" Status : Time Up"));
        c.expectIdle("42");
        EXPECT_EQ(c.folder.turnRow(41), byKey ? "123400000000 C3" : "123400000000");
        for (int player = 1; player <= 4; ++player) EXPECT_EQ(c.form.picUser(player)->marked(), byKey && player == 3);
        EXPECT_TRUE(c.form.messageBoxes.empty());
        EXPECT_EQ(QTest::qWaitFor([&] { return !c.form.workbookOpen(); }, 300), !byKey);
    }
}

// A turn text that cannot start the countdown is explained: in the status line when it is no
// number, in a box that gives the turns that can be recorded when it is out of range. Recording
// again a turn below the last recorded one asks first, naming the turns the next ones will
// overwrite; Cancel, the default, starts nothing.
TEST_F(TurnRoad, RefusedAndEarlierTurnsAreExplainedOrAsked) {
    form.txtTurn->setText("abc");
    form.cmdSave->click();
    expectIdle("abc");
    EXPECT_EQ(form.lblStatus->text(), QStringLiteral(" 「abc」は節の番号として読めません"));
    form.txtTurn->setText("0");
    form.cmdSave->click();
    expectIdle("0");
    folder.setCell(cellmap::kTurnRow, cellmap::kTurnColumn, CellValue::ofNumber(11));
    form.OLEWorkSheet->CreateLink(folder.dataPath());
    form.txtTurn->setText(QStringLiteral("7"));
    form.cmdSave->click();
    ASSERT_EQ(form.messageBoxes.size(), 2u);
    EXPECT_TRUE(form.messageBoxes[0].contains(QStringLiteral("1 から 2060")));
    EXPECT_TRUE(form.messageBoxes[1].contains(QStringLiteral("第 8 節から第 11 節"))) << form.messageBoxes[1].toStdString();
    expectIdle("7");
    form.answer = QMessageBox::Ok;
    form.cmdSave->click();
    form.cmdMiss->click();
    expectIdle("8");
    EXPECT_EQ(folder.turnRow(7), "123400000000");
}

// One click on the titles picture asks once; after a confirmed reset nobody is named any more.
// A real box opens clear of the status line.
TEST_F(TurnRoad, OneClickOnTheTitlesAsksOnceAndTheResetForgetsTheNamed) {
    startCountdown();
    QTest::mouseClick(form.picCourt(2), Qt::LeftButton);
    ASSERT_TRUE(form.picUser(2)->marked());
    form.answer = QMessageBox::Ok;
    QTest::mouseClick(form.picQVN, Qt::LeftButton);
    ASSERT_EQ(form.messageBoxes.size(), 1u);
    EXPECT_TRUE(form.messageBoxes[0].startsWith(QStringLiteral("データを初期化しますか？\n記録は ")));
    EXPECT_FALSE(form.picUser(2)->marked());
    EXPECT_FALSE(form.lblGuide->text().startsWith(QStringLiteral("C :")));
    EXPECT_EQ(folder.turnRow(41), "000000000000");

    testing::ProgramFolder other;
    testing::RecordingForm real(other, true);
    real.Form_Load();
    QRect box;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget* open = QApplication::activeModalWidget()) {
            box = open->frameGeometry();
            open->close();
        }
    });
    closer.start(10);
    for (int k = 1; k <= 4; ++k) real.drag(k, real.picUser(kFirstPlaceholder - 1 + k));
    real.txtTurn->setText(QStringLiteral("0"));
    real.cmdSave->click();  // out of range: said in a box
    ASSERT_FALSE(box.isEmpty());
    EXPECT_FALSE(box.intersects(QRect(real.lblStatus->mapToGlobal(QPoint()), real.lblStatus->size())));
}

// The display switch shows the format the file holds; neither it nor the reset runs during a
// countdown. (The reset's question is the next test's and the real-window games'; a switch that
// cannot save leaves the caption, the engine's operation tests.)
TEST_F(TurnRoad, TheSwitchShowsWhatTheFileHoldsAndWaitsForTheCountdown) {
    const auto expectFormat = [&](bool hyper) {
        EXPECT_EQ(form.chkView->isChecked(), hyper);
        EXPECT_EQ(form.chkView->text(), hyper ? QStringLiteral("Hyper") : QStringLiteral("Normal"));
        EXPECT_EQ(form.lblPrize->isHidden(), !hyper);
        // The sheet view reaches down to the banner, or to the window's edge without it.
        EXPECT_EQ(form.OLEWorkSheet->geometry().bottom() == form.height() - 1, !hyper);
        EXPECT_EQ(form.OLEWorkSheet->isRowHidden(13), hyper);  // as the file holds it
    };
    form.txtTurn->setText("12");
    form.cmdSave->click();
    form.chkView->click();
    QTest::mouseClick(form.picQVN, Qt::LeftButton);
    expectFormat(false);
    form.cmdMiss->click();
    form.chkView->click();
    expectFormat(true);
    EXPECT_EQ(form.sound->played.back(), "きん.wav");
    EXPECT_TRUE(form.messageBoxes.empty()) << "the refusals during the countdown are told in the status line";
}

// The widgets follow the board; the fourth player on court is heard and lets 決定 be pressed, but
// not during a countdown; a placeholder back on court does not, and a turn cannot be recorded with
// it.
TEST(Drops, WidgetsFollowTheBoardAndDecideFollowsTheCourt) {
    testing::ProgramFolder folder;
    testing::RecordingForm form(folder);
    form.Form_Load();
    for (int k = 1; k <= 3; ++k) form.drag(k + 4, form.picUser(20 + k));
    EXPECT_FALSE(form.cmdSave->isEnabled());
    form.drag(8, form.picCourt(4));
    EXPECT_EQ(form.sound->played, std::vector<std::string>{"ポコ.wav"});
    EXPECT_TRUE(form.cmdSave->isEnabled());
    form.cmdSave->click();
    form.drag(2, form.picUser(1));  // two bench tokens exchange places
    EXPECT_EQ(form.sound->played.size(), 2u);
    EXPECT_FALSE(form.cmdSave->isEnabled());
    // A placeholder back on court: the commit fails, says why, and the turn number stays.
    form.drag(5, form.picUser(21));
    form.cmdMiss->click();
    EXPECT_EQ(form.messageBoxes.size(), 1u);
    EXPECT_EQ(form.txtTurn->text(), QStringLiteral("1"));
    EXPECT_FALSE(form.cmdSave->isEnabled());
    EXPECT_EQ(form.lblStatus->text(), QStringLiteral(" Status : 第 1 節は記録されていません"));
    EXPECT_EQ(folder.turnRow(1), "000000000000");
    EXPECT_EQ(form.court(), (std::array<std::int16_t, 5>{0, 21, 6, 7, 8}));
}

}  // namespace
}  // namespace pellix
