// The handlers that run a whole workbook operation: the point display switch and the data reset.
// Both only between turns: never inside a countdown (a reset would change the turn the countdown
// records) nor inside another operation, whose status messages let queued clicks run.

#include "shell/main_form.h"

#include <QSignalBlocker>

namespace pellix {

namespace {

// Ends the operation however the handler leaves.
struct OperationScope {
    explicit OperationScope(TurnMachine& machine) : turn(machine), started(machine.beginOperation()) {}
    ~OperationScope() {
        if (started) turn.endOperation();
    }
    OperationScope(const OperationScope&) = delete;
    OperationScope& operator=(const OperationScope&) = delete;
    TurnMachine& turn;
    const bool started;
};

}  // namespace

void MainForm::setBusy(bool) {
    webFollows();
}

void MainForm::chkView_Click() {
    const bool mode = chkView->isChecked();
    bool applied = false;
    {
        const OperationScope operation(*turn_);
        if (operation.started) {
            ScoreContext context = scoreContext();
            applied = ApplyViewFormat(context, mode).ok;
        }
    }
    // The caption only changes once the file holds the format; the box follows the caption.
    if (!applied) {
        const QSignalBlocker blocker(chkView);
        chkView->setChecked(!mode);
    }
}

void MainForm::picQVN_Click() {
    const OperationScope operation(*turn_);
    if (!operation.started) return;
    // A stray Enter must not wipe the record: Cancel is the default.
    if (ask(QStringLiteral("データを初期化しますか？"), QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel)
        != QMessageBox::Ok)
        return;
    ScoreContext context = scoreContext();
    if (ResetData(context).ok) forgetNamedPlayer();
}

}  // namespace pellix
