// Token drops and the bench order on screen. The board decides; these handlers show what it did.

#include "input/miss_entry.h"
#include "shell/main_form.h"
#include "shell/vb_timer.h"

#include <QCoreApplication>
#include <QPushButton>

namespace pellix {

namespace {

constexpr const char* kDropSound = "ポコ.wav";

}  // namespace

bool MainForm::acceptsDrops() const {
    // While a turn is being closed and recorded the court must stay as the close found it, and
    // the decide button off until the close ends; the same holds for every other workbook
    // operation, whose status messages also let queued drops in.
    if (operationRunning_) return false;
    return turnPhase(timMiss->Interval(), timDown->Interval(), cmdSave->text().toStdString()) != TurnPhase::Closing;
}

void MainForm::picUser_DragDrop(int Index, int source) {
    if (!acceptsDrops() || !tokenExists(Index)) return;
    const DropOutcome outcome = board.dropOnToken(source, Index);
    if (outcome == DropOutcome::Nothing) return;
    placeToken(source);
    placeToken(Index);
    if (outcome == DropOutcome::CourtIncomplete) {
        cmdSave->setEnabled(false);
        return;
    }
    playSound(kDropSound);
    // During a countdown the decide button stays off: a second press would start the countdown
    // over while the first still runs. The close turns it on again.
    if (turnPhase(timMiss->Interval(), timDown->Interval(), cmdSave->text().toStdString()) == TurnPhase::Idle)
        cmdSave->setEnabled(true);
}

void MainForm::picCourt_DragDrop(int Index, int source) {
    if (Index < 1 || Index > 4) return;
    // The target is the token standing in the slot at the moment of the drop.
    picUser_DragDrop(board.CourtSlot[Index], source);
}

void MainForm::sortBench() {
    board.SortBench([this] {
        for (int token = 1; token <= kTokenCount; ++token)
            if (tokenExists(token)) placeToken(token);
        // Each exchange shows at once: the scorer sees the bench shuffle pair by pair.
        QCoreApplication::processEvents();
    });
}

}  // namespace pellix
