// The road of one turn through the real window, offscreen: the countdown, each way of closing
// it, the commit into a scratch copy of the sample workbook, and the input that must change
// nothing. Timers are never waited for: their handlers are called directly.

#include "shell/token_widget.h"
#include "shell/vb_timer.h"
#include "test_support.h"
#include "workbook/xl_app.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace pellix {
namespace {

class TurnRoad : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.hasWorkbook());
        form_ = std::make_unique<testing::RecordingForm>(folder_.path());
        form_->Form_Load();
        ASSERT_TRUE(form_->messageBoxes.empty()) << form_->messageBoxes.front().toStdString();
    }

    testing::RecordingForm& form() { return *form_; }

    // Players 1..4 onto the four placeholders: slots 1..4 hold 1..4.
    void fillCourt() {
        for (int k = 1; k <= 4; ++k) form().picUser_DragDrop(20 + k, k);
        ASSERT_TRUE(form().cmdSave->isEnabled());
    }

    void startCountdown(const std::string& turn) {
        form().txtTurn->setText(QString::fromStdString(turn));
        form().cmdSave_Click();
        ASSERT_EQ(form().timMiss->Interval(), 3000);
        ASSERT_EQ(form().timDown->Interval(), 1000);
    }

    // Runs `inside` at the close's first status message, where queued input gets in.
    void duringTheClose(std::function<void()> inside) {
        QTimer::singleShot(0, form_.get(), [inside = std::move(inside)] { inside(); });
    }

    CellValue cell(int row, int column) {
        XlApp reader;
        reader.Application().Workbooks().Open(folder_.dataPath());
        return reader.cells(row, column).Value();
    }
    // The turn row as the commit wrote it: slot numbers in J..U, "C" in W..AH.
    int slotOf(int turn, int player) {
        const CellValue value = cell(turn + 40, player + 9);
        return value.kind == ValueKind::Number ? static_cast<int>(value.number) : 0;
    }
    bool marked(int turn, int player) { return cell(turn + 40, player + 22) == CellValue::ofText("C"); }

    void expectIdle() {
        EXPECT_EQ(form().timMiss->Interval(), 0);
        EXPECT_EQ(form().timDown->Interval(), 0);
        EXPECT_EQ(form().cmdSave->text(), QStringLiteral("決定"));
        EXPECT_FALSE(form().cmdMiss->isVisible() && form().isVisible());
        EXPECT_FALSE(form().cmdMiss->isVisibleTo(&form()));
        EXPECT_TRUE(form().txtTurn->isEnabled());
        EXPECT_TRUE(form().cmdPrev->isEnabled());
        EXPECT_TRUE(form().cmdNext->isEnabled());
        EXPECT_EQ(form().MissIndex, 0);
    }

    std::size_t messageCount() const { return form_->messageBoxes.size(); }

    testing::ProgramFolder folder_;
    std::unique_ptr<testing::RecordingForm> form_;
};

TEST_F(TurnRoad, CountdownStartsWithTheShout) {
    fillCourt();
    startCountdown("41");
    EXPECT_EQ(form().lblStatus->text(), QStringLiteral(" Status : Shout \"Come on !\""));
    EXPECT_EQ(form().cmdSave->text(), QStringLiteral("3秒前"));
    EXPECT_FALSE(form().cmdSave->isEnabled());
    EXPECT_FALSE(form().txtTurn->isEnabled());
    EXPECT_FALSE(form().cmdPrev->isEnabled());
    EXPECT_FALSE(form().cmdNext->isEnabled());
    EXPECT_TRUE(form().cmdMiss->isVisibleTo(&form()));

    for (const char* next : {"2秒前", "1秒前", "0秒前"}) {
        form().timDown_Timer();
        EXPECT_EQ(form().cmdSave->text(), QString::fromUtf8(next));
    }
}

// Every way of closing: the turn is recorded under the number in the box, the named player (if
// any) gets the "C", the box shows the next turn and the controls are idle again.
struct CloseCase {
    const char* name;
    std::function<void(MainForm&)> close;
    int named;  // player marked "C", 0 for none
};

void PrintTo(const CloseCase& c, std::ostream* out) { *out << c.name; }

class CloseWays : public TurnRoad, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseWays, RecordTheTurnAndReturnToIdle) {
    fillCourt();
    startCountdown("41");
    std::string statusAtClose;
    duringTheClose([&] { statusAtClose = form().lblStatus->text().toStdString(); });
    GetParam().close(form());

    EXPECT_EQ(statusAtClose, " Status : Time Up");
    EXPECT_EQ(form().lblStatus->text(), QStringLiteral(" Status : OK"));
    EXPECT_EQ(form().txtTurn->text(), QStringLiteral("42"));
    expectIdle();
    EXPECT_TRUE(form().cmdSave->isEnabled());
    EXPECT_EQ(cell(19, 2), CellValue::ofNumber(41));
    for (int player = 1; player <= 4; ++player) {
        EXPECT_EQ(slotOf(41, player), player);
        EXPECT_EQ(marked(41, player), player == GetParam().named) << "player " << player;
    }
    EXPECT_EQ(messageCount(), 0u);
    const auto& shown = form().statuses;
    const auto timeUp = std::find(shown.begin(), shown.end(), "Status : Time Up");
    EXPECT_NE(timeUp, shown.end());
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "Status : Time Up"), 1);
    EXPECT_NE(std::find(timeUp, shown.end(), "Set Excel Application"), shown.end());
}

INSTANTIATE_TEST_SUITE_P(
    Closes, CloseWays,
    ::testing::Values(CloseCase{"TimeUp", [](MainForm& f) { f.timMiss_Timer(); }, 0},
                      CloseCase{"MissButton", [](MainForm& f) { f.cmdMiss_Click(); }, 0},
                      CloseCase{"CourtSlotThreeClicked", [](MainForm& f) { f.picCourt_Click(3); }, 3},
                      CloseCase{"DragAcrossCourtPlayer", [](MainForm& f) { f.picUser_DragOver(2); }, 2}),
    [](const auto& info) { return std::string(info.param.name); });

// Input that arrives while the close runs (a second "通常ミス", a late tick, a drag across
// another court player, a court click) finds the countdown over: one turn is recorded, with the
// player named first. Drops wait: the turn is recorded with the court as the close found it, and
// then each drop lands on the token that stood where it was dropped when it came.
TEST_F(TurnRoad, InputDuringTheCloseChangesNothingAndDropsWait) {
    fillCourt();
    startCountdown("41");
    duringTheClose([&] {
        form().cmdMiss_Click();
        form().timMiss_Timer();
        form().timDown_Timer();
        form().picUser_DragOver(4);
        form().picCourt_Click(1);
        form().picUser_DragDrop(1, 7);  // bench token 7 onto court player 1
        form().picCourt_DragDrop(2, 8);  // bench token 8 onto court slot 2
        EXPECT_EQ(form().board.CourtSlot[1], 1);
        EXPECT_FALSE(form().cmdSave->isEnabled());
    });
    form().picUser_DragOver(3);

    EXPECT_EQ(form().txtTurn->text(), QStringLiteral("42"));
    EXPECT_TRUE(marked(41, 3));
    EXPECT_FALSE(marked(41, 4));
    EXPECT_FALSE(marked(41, 1));
    EXPECT_EQ(slotOf(41, 1), 1);
    EXPECT_EQ(slotOf(41, 7), 0);
    EXPECT_EQ(cell(19, 2), CellValue::ofNumber(41));
    EXPECT_EQ(slotOf(42, 1), 0);  // no second turn recorded
    expectIdle();
    EXPECT_EQ(form().board.CourtSlot[1], 7);
    EXPECT_EQ(form().board.CourtSlot[2], 8);
    EXPECT_TRUE(form().cmdSave->isEnabled());
    EXPECT_TRUE(form().picUser[3]->marked());
    EXPECT_TRUE(form().lblGuide->text().startsWith(QStringLiteral("C : 3 ")));
}

// The second click of a double click on "決定" comes in at the shout's status message.
TEST_F(TurnRoad, DoubleClickOnDecideStartsOneCountdown) {
    fillCourt();
    form().txtTurn->setText("41");
    QTimer::singleShot(0, form_.get(), [this] { form().cmdSave_Click(); });
    form().cmdSave_Click();
    const auto& shown = form().statuses;
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "Status : Shout \"Come on !\""), 1);
    EXPECT_EQ(form().cmdSave->text(), QStringLiteral("3秒前"));
    EXPECT_FALSE(form().cmdSave->isEnabled());
}

TEST_F(TurnRoad, DoubleClickOnMissRecordsOneTurn) {
    fillCourt();
    startCountdown("41");
    form().cmdMiss_Click();
    form().cmdMiss_Click();
    EXPECT_EQ(form().txtTurn->text(), QStringLiteral("42"));
    EXPECT_EQ(slotOf(42, 1), 0);
    EXPECT_EQ(form().timMiss->Interval(), 0);
}

TEST_F(TurnRoad, LateTicksAfterTheCloseChangeNothing) {
    fillCourt();
    startCountdown("41");
    form().timDown_Timer();
    form().cmdMiss_Click();
    form().timDown_Timer();
    form().timMiss_Timer();
    EXPECT_EQ(form().cmdSave->text(), QStringLiteral("決定"));
    EXPECT_EQ(form().txtTurn->text(), QStringLiteral("42"));
    expectIdle();
}

// During the countdown, a drag across a bench token, a guest or a placeholder names nobody.
TEST_F(TurnRoad, DragAcrossTokensOffTheCourtNamesNobody) {
    fillCourt();
    form().picUser_DragDrop(9, 21);  // placeholder 21 from the bench onto bench place 9
    startCountdown("41");
    for (int token : {5, 9, 10, 21, 22, 13, 0}) form().picUser_DragOver(token);
    EXPECT_EQ(form().timMiss->Interval(), 3000);
    EXPECT_EQ(form().MissIndex, 0);
    EXPECT_EQ(form().cmdSave->text(), QStringLiteral("3秒前"));
}

TEST_F(TurnRoad, ClicksAndDragsWhileIdleChangeNothing) {
    fillCourt();
    form().txtTurn->setText("41");
    for (int slot = 1; slot <= 4; ++slot) form().picCourt_Click(slot);
    for (int token = 1; token <= 4; ++token) form().picUser_DragOver(token);
    form().cmdMiss_Click();
    form().timMiss_Timer();
    form().timDown_Timer();
    EXPECT_EQ(form().MissIndex, 0);
    EXPECT_EQ(form().txtTurn->text(), QStringLiteral("41"));
    EXPECT_EQ(cell(41 + 40, 10).kind, ValueKind::Empty);
    expectIdle();
}

// Texts that cannot start a countdown: not a number (said in the status line), or a number that
// is no turn: below 1 (row 40 and above belong to the owner), or whose successor does not fit in
// 16 bits (said in a message that gives the turns that can be recorded).
TEST_F(TurnRoad, TurnTextsThatDoNotStartTheCountdown) {
    fillCourt();
    const std::pair<const char*, bool> cases[] = {
        {"abc", false}, {"", false}, {"1e5", false}, {"0", true}, {"-3", true}, {"32767", true}, {"-40000", true},
    };
    for (const auto& [text, boxed] : cases) {
        form().messageBoxes.clear();
        form().txtTurn->setText(QString::fromUtf8(text));
        form().cmdSave_Click();
        EXPECT_EQ(form().timMiss->Interval(), 0) << text;
        EXPECT_EQ(form().txtTurn->text(), QString::fromUtf8(text));
        EXPECT_TRUE(form().cmdSave->isEnabled()) << text;
        if (boxed) {
            ASSERT_EQ(messageCount(), 1u) << text;
            EXPECT_TRUE(form().messageBoxes.front().contains(QStringLiteral("1 から 2060"))) << text;
        } else {
            EXPECT_EQ(messageCount(), 0u) << text;
            EXPECT_TRUE(form().lblStatus->text().contains(QStringLiteral("読めません"))) << text;
        }
        expectIdle();
    }
}

TEST_F(TurnRoad, FullWidthAndFractionalTurnsAreRecordedRounded) {
    fillCourt();
    startCountdown("４１．５");  // rounds to the even 42
    form().cmdMiss_Click();
    EXPECT_EQ(cell(19, 2), CellValue::ofNumber(42));
    EXPECT_EQ(form().txtTurn->text(), QStringLiteral("43"));
}

// A commit that fails has told the scorer why; the turn number stays for another try and every
// control is idle again. Here a drop made during the countdown brought a placeholder back.
TEST_F(TurnRoad, FailedCommitKeepsTheTurnNumber) {
    fillCourt();
    startCountdown("41");
    form().picUser_DragDrop(21, 4);  // court player 4 onto the placeholder on the bench
    EXPECT_FALSE(form().cmdSave->isEnabled());
    form().cmdMiss_Click();

    EXPECT_EQ(messageCount(), 1u);
    EXPECT_EQ(form().txtTurn->text(), QStringLiteral("41"));
    EXPECT_EQ(cell(41 + 40, 10).kind, ValueKind::Empty);
    expectIdle();
    EXPECT_FALSE(form().cmdSave->isEnabled());  // a placeholder stands on the court
    EXPECT_EQ(form().lblStatus->text(), QStringLiteral(" Status : 第 41 節は記録されていません"));
}

// The buttons follow the stepping rules of the turn text (tested in full with them).
TEST_F(TurnRoad, NavigationSteps) {
    const std::tuple<const char*, bool, const char*> cases[] = {
        {"7.5", false, "6.5"}, {"0", false, "0"}, {"2100", true, "2101"}, {"2101", true, "2101"}, {"abc", true, "abc"},
    };
    for (const auto& [text, next, result] : cases) {
        form().txtTurn->setText(QString::fromUtf8(text));
        next ? form().cmdNext_Click() : form().cmdPrev_Click();
        EXPECT_EQ(form().txtTurn->text(), QString::fromUtf8(result)) << text << (next ? " next" : " previous");
    }
    EXPECT_TRUE(form().lblStatus->text().contains(QStringLiteral("「abc」"))) << form().lblStatus->text().toStdString();
}

}  // namespace
}  // namespace pellix
