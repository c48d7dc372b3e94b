// The handlers that run a whole workbook operation: the point display switch and the data reset.

#include "input/miss_entry.h"
#include "shell/main_form.h"
#include "shell/vb_timer.h"

#include <QSignalBlocker>

namespace pellix {

void MainForm::setBusy(bool busy) { operationRunning_ = busy; }

// The switch and the reset write the workbook too: only between turns, and never inside another
// operation (whose status messages let queued clicks run), or the later save would overwrite the
// earlier one, and a reset inside a countdown would change the turn the countdown records.
bool MainForm::mayStartWorkbookOperation() const {
    return !operationRunning_ &&
           turnPhase(timMiss->Interval(), timDown->Interval(), cmdSave->text().toStdString()) == TurnPhase::Idle;
}

void MainForm::chkView_Click() {
    const bool mode = chkView->isChecked();
    bool applied = false;
    if (mayStartWorkbookOperation()) {
        ScoreContext context = scoreContext();
        applied = ApplyViewFormat(context, mode).ok;
    }
    // The caption only changes once the file holds the format; the box follows the caption.
    if (!applied) {
        const QSignalBlocker blocker(chkView);
        chkView->setChecked(!mode);
    }
}

void MainForm::picQVN_Click() {
    if (!mayStartWorkbookOperation()) return;
    if (ask(QStringLiteral("データを初期化しますか？"), QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) != QMessageBox::Ok)
        return;
    ScoreContext context = scoreContext();
    (void)ResetData(context);
}

}  // namespace pellix
