// The handlers that run a whole workbook operation: the point display switch and the data reset.

#include "shell/main_form.h"

#include <QSignalBlocker>

namespace pellix {

void MainForm::setBusy(bool busy) { operationRunning_ = busy; }

void MainForm::chkView_Click() {
    const bool mode = chkView->isChecked();
    // A click that lands while another operation is writing the workbook (it lets queued clicks
    // run at each status message) would save over that operation's file: refuse it.
    bool applied = false;
    if (!operationRunning_) {
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
    if (operationRunning_) return;
    if (ask(QStringLiteral("データを初期化しますか？"), QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) != QMessageBox::Ok)
        return;
    ScoreContext context = scoreContext();
    (void)ResetData(context);
}

}  // namespace pellix
