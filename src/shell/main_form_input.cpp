// The countdown, the miss inputs, the close of a turn and the turn navigation. The phase of a
// turn lives in the controls themselves: the two timer intervals and the decide button's caption.

#include "input/miss_entry.h"
#include "input/turn_text.h"
#include "shell/input_flush.h"
#include "shell/main_form.h"
#include "shell/token_widget.h"
#include "shell/vb_timer.h"

#include <QLineEdit>
#include <QPushButton>

namespace pellix {

namespace {

constexpr int kCountdownMs = 3000;
constexpr int kTickMs = 1000;
constexpr const char* kFirstCountdownCaption = "3秒前";
constexpr const char* kClosingCaption = "保存中";

QString toQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

void MainForm::cmdSave_Click() {
    if (operationRunning_ || !cmdSave->isEnabled()) return;
    if (turnPhase(timMiss->Interval(), timDown->Interval(), cmdSave->text().toStdString()) != TurnPhase::Idle) return;

    const TurnToCommit check = turnToCommit(txtTurn->text().toStdString());
    if (check.refusal == TurnToCommit::Refusal::NotANumber) return;
    if (check.refusal == TurnToCommit::Refusal::OutOfRange) {
        showFailure(check.message);
        return;
    }

    // The turn controls go off before the first status message: it lets queued clicks run, and a
    // second click on the decide button must not start a second countdown inside the first.
    cmdSave->setEnabled(false);
    txtTurn->setEnabled(false);
    cmdNext->setEnabled(false);
    cmdPrev->setEnabled(false);
    SetStatus("Status : Shout \"Come on !\"");
    cmdMiss->setVisible(true);
    cmdSave->setText(toQString(kFirstCountdownCaption));
    timMiss->setInterval(kCountdownMs);
    timDown->setInterval(kTickMs);
}

void MainForm::timDown_Timer() {
    if (const std::optional<std::string> next = nextCountdownCaption(cmdSave->text().toStdString()))
        cmdSave->setText(toQString(*next));
}

void MainForm::timMiss_Timer() {
    if (turnPhase(timMiss->Interval(), timDown->Interval(), cmdSave->text().toStdString()) != TurnPhase::Countdown)
        return;
    // Another workbook operation holds the file (its status messages let this tick in): the
    // countdown runs on and the next tick closes the turn.
    if (operationRunning_) return;

    // Both timers stop before anything can let queued input run: every later tick, click or
    // drag-over finds the countdown over, so one countdown closes once.
    timMiss->setInterval(0);
    timDown->setInterval(0);
    SetStatus("Status : Time Up");
    cmdSave->setText(toQString(kClosingCaption));
    cmdMiss->setVisible(false);

    // A drag across a court player closes the turn in the middle of the drag: the window system
    // still holds the drag, and saving (with its status messages and any message box) inside it
    // is more than it survives. The turn is recorded the moment the drag ends.
    if (tokenDragInProgress()) {
        closeHeldForDrag_ = true;
        return;
    }
    recordClosedTurn();
}

void MainForm::finishHeldClose() {
    if (!closeHeldForDrag_) return;
    closeHeldForDrag_ = false;
    recordClosedTurn();
}

void MainForm::recordClosedTurn() {
    // The text was checked when the countdown started and its box has been off since.
    const TurnToCommit check = turnToCommit(txtTurn->text().toStdString());
    bool recorded = false;
    if (check.refusal == TurnToCommit::Refusal::None) {
        ScoreContext context = scoreContext();
        context.MissIndex = MissIndex;
        recorded = CommitTurn(context, check.turn).ok;
    } else if (check.refusal == TurnToCommit::Refusal::OutOfRange) {
        showFailure(check.message);
    }
    // A failed commit has told the scorer why; the turn stays for another try.
    if (recorded) txtTurn->setText(toQString(nextTurnText(check.turn)));
    MissIndex = 0;

    txtTurn->setEnabled(true);
    cmdNext->setEnabled(true);
    cmdPrev->setEnabled(true);
    // A drop during the countdown may have brought a placeholder back onto the court.
    cmdSave->setEnabled(!board.courtHasPlaceholder());
    cmdSave->setText(toQString(kDecideCaption));
    // After a failure the status line keeps naming the step that failed.
    if (recorded) SetStatus("Status : OK");
}

void MainForm::cmdMiss_Click() { timMiss_Timer(); }

void MainForm::picCourt_Click(int Index) {
    if (operationRunning_) return;
    if (turnPhase(timMiss->Interval(), timDown->Interval(), cmdSave->text().toStdString()) != TurnPhase::Countdown)
        return;
    const std::optional<std::int16_t> named = playerNamedBySlotClick(board, Index);
    if (!named) return;
    MissIndex = *named;
    timMiss_Timer();
}

void MainForm::picUser_DragOver(int Index) {
    if (operationRunning_) return;
    if (turnPhase(timMiss->Interval(), timDown->Interval(), cmdSave->text().toStdString()) != TurnPhase::Countdown)
        return;
    const std::optional<std::int16_t> named = playerNamedByDragOver(board, Index);
    if (!named) return;
    MissIndex = *named;
    timMiss_Timer();
}

void MainForm::cmdSave_MouseUp() {
    if (inputFlush_) inputFlush_->flush();
}

void MainForm::cmdPrev_Click() {
    if (const std::optional<std::string> stepped = stepTurnText(txtTurn->text().toStdString(), TurnStep::Previous))
        txtTurn->setText(toQString(*stepped));
}

void MainForm::cmdNext_Click() {
    if (const std::optional<std::string> stepped = stepTurnText(txtTurn->text().toStdString(), TurnStep::Next))
        txtTurn->setText(toQString(*stepped));
}

}  // namespace pellix
