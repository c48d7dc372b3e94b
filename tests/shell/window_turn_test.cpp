// A turn through the window, offscreen: the countdown, each way of closing it, input that comes in
// while it closes, refusals, drops and the pointer on the tokens. The engine's and the turn
// machine's own rules have their tests; here each is seen once through the window. Timers are
// never waited for: their handlers are called directly.

#include "shell/vb_timer.h"
#include "test_support.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

namespace pellix {
namespace {

using testing::ProgramFolder;
using testing::RecordingForm;

class TurnRoad : public ::testing::Test {
protected:
    void SetUp() override {
        form.Form_Load();
        ASSERT_TRUE(form.messageBoxes.empty());
        form.fillCourt();
        ASSERT_TRUE(form.cmdSave->isEnabled());
    }
    void startCountdown() {
        form.txtTurn->setText(QStringLiteral("41"));
        form.cmdSave_Click();
        ASSERT_EQ(form.cmdSave->text(), QStringLiteral("3秒前"));
        EXPECT_EQ(form.lblStatus->text(), QStringLiteral(" Status : Shout \"Come on !\""));
        EXPECT_FALSE(form.cmdSave->isEnabled() || form.txtTurn->isEnabled() || form.cmdPrev->isEnabled() ||
                     form.cmdNext->isEnabled());
        EXPECT_TRUE(form.cmdMiss->isVisibleTo(&form));
    }
    // Runs `inside` at the close's first status message, where queued input gets in.
    void duringTheClose(std::function<void()> inside) { QTimer::singleShot(0, &form, std::move(inside)); }
    void expectIdle(const char* turn) {
        EXPECT_EQ(form.timMiss->Interval() + form.timDown->Interval(), 0);
        EXPECT_EQ(form.cmdSave->text(), QStringLiteral("決定"));
        EXPECT_FALSE(form.cmdMiss->isVisibleTo(&form));
        EXPECT_TRUE(form.txtTurn->isEnabled() && form.cmdPrev->isEnabled() && form.cmdNext->isEnabled());
        EXPECT_EQ(form.txtTurn->text(), QString::fromUtf8(turn));
    }
    ProgramFolder folder;
    RecordingForm form{folder};
};

struct CloseWay {
    const char* name;
    std::function<void(MainForm&)> close;
    int named;
};

class CloseWays : public TurnRoad, public ::testing::WithParamInterface<CloseWay> {};

TEST_P(CloseWays, RecordTheTurnAndReturnToIdle) {
    startCountdown();
    form.timDown_Timer();
    EXPECT_EQ(form.cmdSave->text(), QStringLiteral("2秒前"));
    QString statusAtClose;
    duringTheClose([&] { statusAtClose = form.lblStatus->text(); });
    GetParam().close(form);

    EXPECT_EQ(statusAtClose, QStringLiteral(" Status : Time Up"));
    EXPECT_EQ(form.lblStatus->text(), QStringLiteral(" Status : OK"));
    expectIdle("42");
    EXPECT_TRUE(form.cmdSave->isEnabled());
    EXPECT_EQ(folder.cell(19, 2), CellValue::ofNumber(41));
    for (int player = 1; player <= 4; ++player) {
        EXPECT_EQ(folder.slotOf(41, player), player);
        EXPECT_EQ(folder.marked(41, player), player == GetParam().named) << player;
        EXPECT_EQ(form.picUser[player]->marked(), player == GetParam().named) << player;
    }
    EXPECT_TRUE(form.messageBoxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Closes, CloseWays,
                         ::testing::Values(CloseWay{"TimeUp", [](MainForm& f) { f.timMiss_Timer(); }, 0},
                                           CloseWay{"MissButton", [](MainForm& f) { f.cmdMiss_Click(); }, 0},
                                           CloseWay{"CourtSlotClicked", [](MainForm& f) { f.picCourt_Click(3); }, 3},
                                           CloseWay{"DragAcross", [](MainForm& f) { f.picUser_DragOver(2); }, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

// Input that arrives while the close runs finds the countdown over: one turn is recorded, with the
// player named first. Drops wait, then land on the token that stood where they were made.
TEST_F(TurnRoad, InputDuringTheCloseChangesNothingAndDropsWait) {
    startCountdown();
    duringTheClose([&] {
        form.cmdMiss_Click();
        form.timMiss_Timer();
        form.timDown_Timer();
        form.picUser_DragOver(4);
        form.picCourt_Click(1);
        form.picUser_DragDrop(1, 7);   // bench token 7 onto court player 1
        form.picCourt_DragDrop(2, 8);  // bench token 8 onto court slot 2
        EXPECT_EQ(form.board.CourtSlot[1], 1);
    });
    form.picUser_DragOver(3);

    EXPECT_TRUE(folder.marked(41, 3));
    EXPECT_FALSE(folder.marked(41, 4) || folder.marked(41, 1));
    EXPECT_EQ(folder.slotOf(41, 1), 1);
    EXPECT_EQ(folder.slotOf(41, 7), 0);
    EXPECT_EQ(folder.slotOf(42, 1), 0);  // no second turn
    expectIdle("42");
    EXPECT_EQ(form.board.CourtSlot[1], 7);
    EXPECT_EQ(form.board.CourtSlot[2], 8);
    EXPECT_TRUE(form.cmdSave->isEnabled());
    EXPECT_TRUE(form.lblGuide->text().startsWith(QStringLiteral("C : 3 ")));
}

// The second click of a double click on 決定 comes in at the shout's status message.
TEST_F(TurnRoad, DoubleClickOnDecideStartsOneCountdown) {
    form.txtTurn->setText("41");
    QTimer::singleShot(0, &form, [this] { form.cmdSave_Click(); });
    form.cmdSave_Click();
    EXPECT_EQ(std::count(form.statuses.begin(), form.statuses.end(), "Status : Shout \"Come on !\""), 1);
    EXPECT_EQ(form.cmdSave->text(), QStringLiteral("3秒前"));
}

// A turn text that cannot start the countdown or be stepped is explained; nothing is recorded.
TEST_F(TurnRoad, RefusedTurnTextsAreExplained) {
    const struct {
        const char* text;
        void (MainForm::*press)();
        const char* shown;
        const char* status;  // part of the status line, or nullptr for a message box
    } cases[] = {
        {"abc", &MainForm::cmdSave_Click, "abc", "「abc」は節の番号として読めません"},
        {"0", &MainForm::cmdSave_Click, "0", nullptr},
        {"abc", &MainForm::cmdNext_Click, "abc", "「abc」"},
        {"7.5", &MainForm::cmdPrev_Click, "6.5", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        form.messageBoxes.clear();
        form.txtTurn->setText(QString::fromUtf8(c.text));
        (form.*c.press)();
        expectIdle(c.shown);
        if (c.status) {
            EXPECT_TRUE(form.lblStatus->text().contains(QString::fromUtf8(c.status)));
            EXPECT_TRUE(form.messageBoxes.empty());
        } else {
            ASSERT_EQ(form.messageBoxes.size(), 1u);
            EXPECT_TRUE(form.messageBoxes[0].contains(QStringLiteral("1 から 2060")));
        }
    }
    EXPECT_EQ(folder.cell(19, 2), CellValue::ofNumber(0));
}

// A commit that fails has told the scorer why; the turn number stays for another try.
TEST_F(TurnRoad, AFailedCommitKeepsTheTurnNumber) {
    namespace fs = std::filesystem;
    for (const bool placeholderBack : {false, true}) {
        SCOPED_TRACE(placeholderBack ? "a placeholder dropped back on court" : "a read-only data.xls");
        fs::permissions(folder.dataPath(), fs::perms::owner_read | (placeholderBack ? fs::perms::owner_write : fs::perms::none));
        form.messageBoxes.clear();
        startCountdown();
        if (placeholderBack) form.picUser_DragDrop(21, 4);  // court player 4 onto the placeholder
        form.cmdMiss_Click();
        EXPECT_EQ(form.messageBoxes.size(), 1u);
        expectIdle("41");
        EXPECT_EQ(form.cmdSave->isEnabled(), !placeholderBack);
        EXPECT_EQ(form.lblStatus->text(), QStringLiteral(" Status : 第 41 節は記録されていません"));
        EXPECT_EQ(folder.slotOf(41, 1), 0);
    }
}

// Every step of a turn from the keyboard, through the window's key filter.
TEST_F(TurnRoad, AWholeTurnByKeys) {
    form.picUser_DragDrop(2, 5);  // player 5 onto slot 2, to be brought back by keys
    const auto key = [&](Qt::Key code, Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool repeat = false) {
        QKeyEvent press(QEvent::KeyPress, code, modifiers, QString(), repeat);
        QApplication::sendEvent(form.cmdPrev, &press);
    };
    key(Qt::Key_2);
    EXPECT_TRUE(form.lblGuide->text().contains(QStringLiteral("コート 2")));
    key(Qt::Key_B);
    EXPECT_EQ(form.board.CourtSlot[2], 2);
    form.txtTurn->setText("41");
    key(Qt::Key_Space);
    key(Qt::Key_3, Qt::ControlModifier);
    key(Qt::Key_3, Qt::NoModifier, true);
    EXPECT_EQ(form.cmdSave->text(), QStringLiteral("3秒前"));
    key(Qt::Key_3);
    EXPECT_TRUE(folder.marked(41, 3));
    EXPECT_EQ(folder.slotOf(41, 2), 2);
    key(Qt::Key_PageUp);
    EXPECT_EQ(form.txtTurn->text(), QStringLiteral("41"));
}

// Drops between turns and during the countdown: the widgets follow the board, the fourth player on
// court is heard and lets 決定 be pressed (not during a countdown), a placeholder back on court
// does not; a sorted bench shows on screen.
TEST(Drops, WidgetsFollowTheBoardAndDecideFollowsTheCourt) {
    ProgramFolder folder;
    RecordingForm form(folder);
    form.Form_Load();
    for (int k = 1; k <= 3; ++k) form.picUser_DragDrop(20 + k, k + 4);
    form.picUser_DragDrop(2, 2);   // onto itself
    form.picCourt_DragDrop(7, 1);  // no such slot
    EXPECT_TRUE(form.sound->played.empty());
    EXPECT_FALSE(form.cmdSave->isEnabled());
    form.picCourt_DragDrop(4, 8);
    EXPECT_EQ(form.sound->played, std::vector<std::string>{"ポコ.wav"});
    EXPECT_TRUE(form.cmdSave->isEnabled());
    form.picUser_DragDrop(22, 6);  // court player 6 onto the placeholder on the bench
    EXPECT_FALSE(form.cmdSave->isEnabled());
    form.picUser_DragDrop(22, 9);
    form.txtTurn->setText("1");
    form.cmdSave_Click();
    form.picUser_DragDrop(1, 2);  // two bench tokens exchange places
    EXPECT_EQ(form.sound->played.size(), 3u);
    EXPECT_FALSE(form.cmdSave->isEnabled());
    form.cmdMiss_Click();
    EXPECT_TRUE(form.cmdSave->isEnabled());

    const double firstOnBench = form.board.place(2).left;
    for (int token = 1; token <= kTokenCount; ++token) form.board.Players[token].Order = -2;
    form.board.Players[4].Order = 1;
    form.sortBench();
    EXPECT_EQ(form.board.place(4).left, firstOnBench);
    for (int token : {1, 2, 3, 4, 5, 6, 7, 8, 9, 21, 22, 23, 24}) EXPECT_TRUE(form.shownAtItsPlace(token)) << token;
}

// The pointer on the tokens, as the window gets it: press, moves and release all go to the
// pressed token, the target is found under the pointer.
class Pointer : public ::testing::Test {
protected:
    void SetUp() override {
        form.show();
        form.Form_Load();
    }
    static QPoint centre(const QWidget* widget) { return widget->mapToGlobal(widget->rect().center()); }
    void send(int token, QEvent::Type type, QPoint global, Qt::MouseButtons held) {
        QWidget* widget = form.picUser[token];
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, QPointF(widget->mapFromGlobal(global)), QPointF(global), button, held, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }
    void drag(int token, QPoint to, int steps = 8) {
        const QPoint from = centre(form.picUser[token]);
        send(token, QEvent::MouseButtonPress, from, Qt::LeftButton);
        for (int step = 1; step <= steps; ++step)
            send(token, QEvent::MouseMove, from + (to - from) * step / steps, Qt::LeftButton);
        send(token, QEvent::MouseButtonRelease, to, Qt::NoButton);
    }
    ProgramFolder folder;
    RecordingForm form{folder};
};

TEST_F(Pointer, DragsLandOnTokensAndCourtAreasAndTapsName) {
    drag(5, centre(form.picUser[21]));
    EXPECT_EQ(form.board.CourtSlot[1], 5);
    EXPECT_TRUE(form.shownAtItsPlace(5) && form.shownAtItsPlace(21));
    EXPECT_FALSE(form.findChild<QLabel*>(QStringLiteral("dragPicture"))->isVisible());
    drag(7, form.picCourt[3]->mapToGlobal(QPoint(3, 3)));  // a corner of slot 3 beside its placeholder
    EXPECT_EQ(form.board.CourtSlot[3], 7);
    drag(22, centre(form.picUser[9]));  // placeholders are not dragged
    drag(9, form.mapToGlobal(QPoint(form.width() - 2, form.height() - 2)));  // onto nothing
    EXPECT_EQ(form.board.CourtSlot[2], 22);
    EXPECT_EQ(form.board.Players[9].Slot, 0);
    drag(1, centre(form.picUser[22]));
    drag(3, centre(form.picUser[24]));

    form.txtTurn->setText("5");
    drag(5, centre(form.picUser[5]), 0);  // a tap between turns names nobody
    form.cmdSave_Click();
    drag(6, centre(form.picUser[6]), 0);  // nor does one on the bench
    ASSERT_EQ(form.cmdSave->text(), QStringLiteral("3秒前"));
    drag(7, centre(form.picUser[7]), 0);
    EXPECT_TRUE(folder.marked(5, 7));
    EXPECT_EQ(form.txtTurn->text(), QStringLiteral("6"));

    // A move with the button no longer held ends the gesture without a drop.
    send(6, QEvent::MouseButtonPress, centre(form.picUser[6]), Qt::LeftButton);
    send(6, QEvent::MouseMove, centre(form.picUser[1]), Qt::NoButton);
    send(6, QEvent::MouseButtonRelease, centre(form.picUser[1]), Qt::NoButton);
    EXPECT_EQ(form.board.CourtSlot[2], 1);
}

// The substitution gesture: a bench player dragged across the court player who missed and released
// on him. The turn is recorded with the court as it stood, then the dragged player takes the slot.
TEST_F(Pointer, DragAcrossAndReleaseOnTheMissedPlayerNamesAndSubstitutes) {
    form.fillCourt();
    form.txtTurn->setText("5");
    form.cmdSave_Click();
    drag(6, centre(form.picUser[3]));
    EXPECT_TRUE(folder.marked(5, 3));
    EXPECT_EQ(folder.slotOf(5, 3), 3);
    EXPECT_EQ(folder.slotOf(5, 6), 0);
    EXPECT_EQ(form.board.CourtSlot[3], 6);
    EXPECT_TRUE(form.cmdSave->isEnabled());
}

}  // namespace
}  // namespace pellix
