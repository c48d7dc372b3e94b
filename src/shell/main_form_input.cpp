// The countdown, the miss inputs, the close of a turn and the turn navigation. The handlers
// forward to the turn machine; the TurnHost members below are what the window shows of a turn.

#include "input/key_map.h"
#include "input/turn_text.h"
#include "workbook/cell_map.h"
#include "workbook/live_titles.h"
#include "shell/input_flush.h"
#include "shell/main_form.h"
#include "shell/sheet_view.h"
#include "shell/audience_board.h"
#include "shell/token_widget.h"
#include "shell/vb_timer.h"

#include <QKeyEvent>
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

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void MainForm::cmdSave_Click() {
    turn_->decide();
}
void MainForm::timDown_Timer() {
    turn_->tick();
}
void MainForm::timMiss_Timer() {
    turn_->timeUp();
}
void MainForm::cmdMiss_Click() {
    turn_->missButton();
}
void MainForm::picCourt_Click(int Index) {
    turn_->courtSlotClicked(Index);
}

void MainForm::cmdSave_MouseUp() {
    if (inputFlush_) inputFlush_->flush();
}

void MainForm::cmdPrev_Click() {
    stepTurn(TurnStep::Previous);
}
void MainForm::cmdNext_Click() {
    stepTurn(TurnStep::Next);
}

void MainForm::stepTurn(TurnStep step) {
    if (!turn_->turnStepAllowed()) return;
    const std::string text = txtTurn->text().toStdString();
    if (const std::optional<std::string> stepped = stepTurnText(text, step)) {
        txtTurn->setText(toQString(*stepped));
    } else if (!readNumber(text)) {
        // At a limit the button simply stops; text that is no number is worth a word.
        refused(Refusal::TurnNotANumber, {});
    }
}

// ---- The keyboard ----

namespace {

Key keyOf(const QKeyEvent& event) {
    const int key = event.key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return Key::of(static_cast<char>('0' + key - Qt::Key_0));
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return Key::of(static_cast<char>('A' + key - Qt::Key_A));
    switch (key) {
    case Qt::Key_Space:
        return Key::named(Key::Kind::Space);
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return Key::named(Key::Kind::Enter);
    case Qt::Key_PageUp:
        return Key::named(Key::Kind::PageUp);
    case Qt::Key_PageDown:
        return Key::named(Key::Kind::PageDown);
    case Qt::Key_Escape:
        return Key::named(Key::Kind::Escape);
    case Qt::Key_F1:
        return Key::named(Key::Kind::F1);
    default:
        return {};
    }
}

}  // namespace

bool MainForm::handleKey(const QKeyEvent& event, bool inTurnBox) {
    // The history's keys, also in the turn box (whose own undo would only take back typing).
    if ((event.modifiers() & ~Qt::ShiftModifier) == Qt::ControlModifier) {
        const bool shift = event.modifiers() & Qt::ShiftModifier;
        void (MainForm::*handler)() = nullptr;
        if (event.key() == Qt::Key_Z) handler = shift ? &MainForm::redoLast : &MainForm::undoLast;
        if (event.key() == Qt::Key_Y && !shift) handler = &MainForm::redoLast;
        if (event.key() == Qt::Key_E && !shift) handler = &MainForm::correctTurn;
        if (event.key() == Qt::Key_R && !shift) handler = &MainForm::restoreLastCourt;
        if (handler) {
            if (!event.isAutoRepeat()) (this->*handler)();
            return true;
        }
    }
    // Other shortcuts with Ctrl or Alt belong to the controls; a held key names nobody twice.
    if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    const KeyAction action = keyAction(keyOf(event), turn_->phase(), chosenSlot_, inTurnBox);
    if (action.kind == KeyAction::Kind::None) return false;
    if (event.isAutoRepeat()) return true;
    switch (action.kind) {
    case KeyAction::Kind::Decide:
        chooseSlot(0);
        if (inputFlush_) inputFlush_->flush();
        cmdSave_Click();
        break;
    case KeyAction::Kind::NameSlot:
        picCourt_Click(action.index);
        break;
    case KeyAction::Kind::Miss:
        cmdMiss_Click();
        break;
    case KeyAction::Kind::Previous:
        cmdPrev_Click();
        break;
    case KeyAction::Kind::Next:
        cmdNext_Click();
        break;
    case KeyAction::Kind::ChooseSlot:
        chooseSlot(action.index);
        break;
    case KeyAction::Kind::Substitute: {
        const int slot = chosenSlot_;
        chooseSlot(0);
        picCourt_DragDrop(slot, action.index);
        break;
    }
    case KeyAction::Kind::Forget:
        chooseSlot(0);
        break;
    case KeyAction::Kind::Help:
        showKeyHelp();
        break;
    case KeyAction::Kind::None:
    case KeyAction::Kind::Ignore:
        break;
    }
    return true;
}

void MainForm::chooseSlot(int slot) {
    chosenSlot_ = slot;
    // While a slot is chosen every player token shows the letter that brings him there.
    for (int token = 1; token <= kTokenCount; ++token)
        if (isPlayerToken(token) && picUser[token]) picUser[token]->setKeyLetter(slot ? substitutionLetter(token) : 0);
    if (slot == 0) {
        updateGuide();
        return;
    }
    showGuide(QStringLiteral("コート %1 へ: 選手のキー A〜L (Esc でやめる)").arg(slot), false);
}

void MainForm::showKeyHelp() {
    ask(QStringLiteral("キーで記録する\n\n"
                       "Space / Enter\t決定 (カウントダウン開始)\n"
                       "1 2 3 4\tカウントダウン中: そのコートの選手がミス\n"
                       "0 / M\tカウントダウン中: 通常ミス\n"
                       "1〜4 → A〜L\tターンの間: そのコートに控えの選手を入れる\n"
                       "\t(選手 1 が A、選手 12 が L。コートを選ぶと各選手に文字が出ます)\n"
                       "Page Up / Page Down\t≪ / ≫\n"
                       "Esc\t選んだコートをやめる\n"
                       "Ctrl+Z / Ctrl+Y\t元に戻す / やり直す (Ctrl+Shift+Z でも)\n"
                       "Ctrl+E\t記録した節のミスを訂正する\n"
                       "Ctrl+R\t最後に記録した節のコートに戻す\n"
                       "F11\t観客用ボードを出す / 消す (Shift+F11 で全画面)\n"
                       "F9\t統計とレポート\n"
                       "F1\tこの一覧"),
        QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Information);
}

// ---- TurnHost: the turn on screen ----

std::string MainForm::turnText() const {
    return txtTurn->text().toStdString();
}

bool MainForm::workbookOpen() const {
    return xlApp != nullptr;
}

int MainForm::lastRecordedTurn() const {
    return ShownRecord(OLEWorkSheet->sheetModel().sheet()).lastTurn();
}

bool MainForm::confirmRerecord(std::int16_t turn, int lastRecorded) {
    const QString later = turn + 1 == lastRecorded ? QStringLiteral("第 %1 節").arg(lastRecorded)
                                                   : QStringLiteral("第 %1 節から第 %2 節").arg(turn + 1).arg(lastRecorded);
    return ask(QStringLiteral("第 %1 節を記録しなおします。\n\n記録済みの%2は、このあと記録する節で上書きされます。\n"
                              "よろしいですか？")
                   .arg(turn)
                   .arg(later),
               QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel, QMessageBox::Question)
           == QMessageBox::Ok;
}

void MainForm::countdownStarted() {
    // Every control is in its countdown state before the first status message, which lets queued
    // input run: a click on a court player in it closes a countdown that is complete.
    forgetNamedPlayer();
    chooseSlot(0);
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
    webFollows();
    SetStatus("Status : Shout \"Come on !\"");
}

void MainForm::forgetNamedPlayer() {
    if (markedToken_ != 0 && picUser[markedToken_]) picUser[markedToken_]->setMarked(false);
    markedToken_ = 0;
    updateGuide();
    if (spectator_) spectator_->showNamed(0);
    webFollows();
}

void MainForm::countdownTicked() {
    if (const std::optional<std::string> next = nextCountdownCaption(cmdSave->text().toStdString()))
        cmdSave->setText(toQString(*next));
    if (spectator_) spectator_->showCountdown(cmdSave->text());
    webFollows();
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
    webFollows();
    SetStatus("Status : Time Up");
}

bool MainForm::recordTurn(std::int16_t turn, std::int16_t named) {
    if (!workbookStillThere()) return false;
    ScoreContext context = scoreContext();
    return finished(CommitTurn(context, turn, named));
}

void MainForm::restoreIdleControls(std::int16_t turn, bool recorded) {
    // A failed commit has told the scorer why; the turn number stays for another try.
    if (recorded) txtTurn->setText(toQString(nextTurnText(turn)));
    txtTurn->setEnabled(true);
    cmdNext->setEnabled(true);
    cmdPrev->setEnabled(true);
    // A drop during the countdown may have brought a placeholder back onto the court.
    cmdSave->setEnabled(!board.courtHasPlaceholder());
    cmdSave->setText(toQString(kDecideCaption));
    updateGuide();
    webFollows();
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
    case Refusal::NoWorkbook:
        showFailure("data.xls を開けなかったので、記録できません。\n\n"
                    "data.xls を直すか置き換えてから、Pellix を起動しなおしてください。");
        break;
    }
}

void MainForm::closeWindow() {
    // Asked for from inside the close; the window closes once the close has returned.
    QMetaObject::invokeMethod(
        this, [this] { close(); }, Qt::QueuedConnection);
}

}  // namespace pellix
