// The countdown, the miss inputs, the close of a turn and the turn navigation. The handlers
// forward to the turn machine; the TurnHost members below are what the window shows of a turn.

#include "input/turn_text.h"
#include "workbook/cell_map.h"
#include "shell/input_flush.h"
#include "shell/main_form.h"
#include "shell/sheet_view.h"
#include "shell/audience_board.h"
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
constexpr const char* kDecideCaption = "決定";

// The turn box accepts exactly the turns that the reset clears.
static_assert(kHighestTurn == cellmap::kLastResetTurn);

QString toQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

void MainForm::cmdSave_Click() { turn_->decide(); }
void MainForm::timDown_Timer() { turn_->tick(); }
void MainForm::timMiss_Timer() { turn_->timeUp(); }
void MainForm::cmdMiss_Click() { turn_->missButton(); }
void MainForm::picCourt_Click(int Index) { turn_->courtSlotClicked(Index); }
void MainForm::picUser_DragOver(int Index) { turn_->dragOver(Index); }

void MainForm::cmdSave_MouseUp() {
    if (inputFlush_) inputFlush_->flush();
}

void MainForm::cmdPrev_Click() { stepTurn(TurnStep::Previous); }
void MainForm::cmdNext_Click() { stepTurn(TurnStep::Next); }

void MainForm::stepTurn(TurnStep step) {
    const std::string text = txtTurn->text().toStdString();
    if (const std::optional<std::string> stepped = stepTurnText(text, step)) {
        txtTurn->setText(toQString(*stepped));
    } else if (!readNumber(text)) {
        // At a limit the button simply stops; text that is no number is worth a word.
        refused(Refusal::TurnNotANumber, {});
    }
}

// ---- TurnHost: the turn on screen ----

std::string MainForm::turnText() const { return txtTurn->text().toStdString(); }

void MainForm::countdownStarted() {
    // Every control is in its countdown state before the first status message, which lets queued
    // input run: a click on a court player in it closes a countdown that is complete.
    if (markedToken_ != 0 && picUser[markedToken_]) picUser[markedToken_]->setMarked(false);
    markedToken_ = 0;
    lblGuide->clear();  // the miss button stands there during the countdown
    cmdSave->setEnabled(false);
    txtTurn->setEnabled(false);
    cmdNext->setEnabled(false);
    cmdPrev->setEnabled(false);
    cmdMiss->setVisible(true);
    cmdSave->setText(toQString(kFirstCountdownCaption));
    timMiss->setInterval(kCountdownMs);
    timDown->setInterval(kTickMs);
    if (spectator_) {
        spectator_->showNamed(0);
        spectator_->showCountdown(cmdSave->text());
    }
    SetStatus("Status : Shout \"Come on !\"");
}

void MainForm::countdownTicked() {
    if (const std::optional<std::string> next = nextCountdownCaption(cmdSave->text().toStdString()))
        cmdSave->setText(toQString(*next));
    if (spectator_) spectator_->showCountdown(cmdSave->text());
}

void MainForm::closeBegins(std::int16_t named) {
    timMiss->setInterval(0);
    timDown->setInterval(0);
    cmdSave->setText(toQString(kClosingCaption));
    cmdMiss->setVisible(false);
    // The scorer sees at once whom the miss names, so that a wrong name is noticed.
    if (named > 0 && tokenExists(named) && picUser[named]) {
        markedToken_ = named;
        picUser[named]->setMarked(true);
        updateGuide();
    }
    if (spectator_) {
        spectator_->showCountdown({});
        spectator_->showNamed(markedToken_);
    }
    SetStatus("Status : Time Up");
}

bool MainForm::recordTurn(std::int16_t turn, std::int16_t named) {
    MissIndex = named;
    ScoreContext context = scoreContext();
    return CommitTurn(context, turn).ok;
}

void MainForm::restoreIdleControls(std::int16_t turn, bool recorded) {
    // A failed commit has told the scorer why; the turn number stays for another try.
    if (recorded) txtTurn->setText(toQString(nextTurnText(turn)));
    MissIndex = 0;
    txtTurn->setEnabled(true);
    cmdNext->setEnabled(true);
    cmdPrev->setEnabled(true);
    // A drop during the countdown may have brought a placeholder back onto the court.
    cmdSave->setEnabled(!board.courtHasPlaceholder());
    cmdSave->setText(toQString(kDecideCaption));
    updateGuide();
}

void MainForm::closeEnded(std::int16_t turn, bool recorded) {
    if (!recorded) {
        // The scorer has been told why; the status line must not go on saying "Time Up".
        SetStatus("Status : 第 " + std::to_string(turn) + " 節は記録されていません");
        return;
    }
    OLEWorkSheet->bringRowIntoView(turn + 40);
    boardFollows();
    SetStatus("Status : OK");
}

void MainForm::refused(Refusal why, const std::string& message) {
    switch (why) {
    case Refusal::TurnOutOfRange:
        showFailure(message);
        break;
    case Refusal::TurnNotANumber:
        SetStatus("「" + turnText() + "」は節の番号として読めません");
        break;
    case Refusal::CourtIncomplete:
        SetStatus("コートに選手が 4 人そろっていません");
        break;
    case Refusal::NotBetweenTurns:
        SetStatus("カウントダウン中はできません。ターンの記録が終わってからもう一度どうぞ");
        break;
    case Refusal::Busy:
        // The status line is showing the work that is running.
        break;
    }
}

void MainForm::closeWindow() {
    // Asked for from inside the close; the window closes once the close has returned.
    QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
}

}  // namespace pellix
