// The handlers that run a whole workbook operation: the point display switch, the data reset,
// undo and redo, the correction of a recorded turn. All only between turns: never inside a
// countdown (a reset would change the turn the countdown records) nor inside another operation,
// whose status messages let queued clicks run.

#include "shell/correction_dialog.h"
#include "shell/main_form.h"
#include "shell/sheet_view.h"
#include "workbook/display_format.h"

#include <QAction>
#include <QSignalBlocker>

#include <fstream>

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

// What an undo or a redo takes back or does again, as the status line names it.
std::string described(const StepDescription& step) {
    if (!step.operation) return "操作";
    switch (*step.operation) {
    case Operation::Commit:
        return "第 " + std::to_string(step.turn) + " 節の記録";
    case Operation::Reset:
        return "データの初期化";
    case Operation::DisplaySwitch:
        return "表示形式の切り替え";
    case Operation::Correction:
        return "第 " + std::to_string(step.turn) + " 節の訂正";
    case Operation::Undo:
    case Operation::Redo:
    case Operation::Restore:
        break;
    }
    return "操作";
}

// The compound document's signature: anything else is no workbook at all.
bool looksLikeWorkbook(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    char head[8] = {};
    in.read(head, sizeof head);
    return in.gcount() == sizeof head && std::string_view(head, 8) == std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
}

}  // namespace

bool MainForm::finished(const OperationResult& result) {
    if (result.ok && result.orders) board.setOrders(*result.orders);
    if (result.ok && result.notKept)
        SetStatus("Status : OK - この操作は元に戻せません (history に前の版を残せませんでした)");
    return result.ok;
}

void MainForm::chkView_Click() {
    const bool mode = chkView->isChecked();
    bool applied = false;
    {
        const OperationScope operation(*turn_);
        if (operation.started && workbookStillThere()) {
            ScoreContext context = scoreContext();
            applied = finished(ApplyViewFormat(context, mode));
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
    const QString archive = QString::fromStdString((programFolder_ / "archive").string());
    if (ask(QStringLiteral("データを初期化しますか？\n記録は %1 に残ります。").arg(archive),
            QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel)
        != QMessageBox::Ok)
        return;
    if (!workbookStillThere()) return;
    ScoreContext context = scoreContext();
    if (finished(ResetData(context))) forgetNamedPlayer();
}

bool MainForm::writeDespiteLock(const std::filesystem::path& lockFile, const std::string& holder,
                                const std::string& since) {
    if (std::find(locksWrittenPast_.begin(), locksWrittenPast_.end(), lockFile) != locksWrittenPast_.end())
        return true;
    const QString who = QString::fromStdString(holder.empty() ? std::string("だれか") : holder);
    const QString when = since.empty() ? QString() : QStringLiteral(" (%1 から)").arg(QString::fromStdString(since));
    if (ask(QStringLiteral("data.xls は別のプログラムで開かれているようです: %1%2\n\n"
                           "そのプログラムで開いていないなら (前に落ちたときに残った印 %3 なら)、"
                           "このまま記録できます。記録しますか？")
                .arg(who, when, QString::fromStdString(lockFile.filename().string())),
            QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel, QMessageBox::Warning)
        != QMessageBox::Ok)
        return false;
    locksWrittenPast_.push_back(lockFile);
    return true;
}

bool MainForm::workbookStillThere() {
    if (looksLikeWorkbook(DataPath)) return true;
    const bool gone = !std::filesystem::exists(DataPath);
    const QString what = gone ? QStringLiteral("data.xls がありません (消されたか、移されました)。")
                              : QStringLiteral("data.xls が記録用のブックではなくなっています。");
    if (!versions_ || !versions_->canRestore()) {
        showFailure((what + QStringLiteral("\n戻せる版が history にありません。バックアップから戻してください。")).toStdString());
        return false;
    }
    if (ask(what + QStringLiteral("\n\nhistory に残っている最後の版を戻しますか？ (この操作はまだ行いません)"),
            QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok, QMessageBox::Warning)
        != QMessageBox::Ok)
        return false;
    try {
        versions_->restoreLastKept();
        relinkSheetView();
        SetStatus("Status : 最後に残っていた版を戻しました。もう一度どうぞ");
    } catch (const std::exception& error) {
        showFailure(std::string("版を戻せませんでした: ") + error.what());
    }
    return false;
}

void MainForm::installHistoryActions() {
    // Reached without the keyboard from the window's context menu; the keys are read with the
    // other keys of the window (main_form_input.cpp), so each has one path.
    const std::pair<const char*, void (MainForm::*)()> actions[] = {
        {"元に戻す\tCtrl+Z", &MainForm::undoLast},
        {"やり直す\tCtrl+Y", &MainForm::redoLast},
        {"記録を訂正…\tCtrl+E", &MainForm::correctTurn},
        {"最後の節のコートに戻す\tCtrl+R", &MainForm::restoreLastCourt},
    };
    for (const auto& [text, handler] : actions) {
        auto* action = new QAction(QString::fromUtf8(text), this);
        connect(action, &QAction::triggered, this, handler);
        addAction(action);
    }
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void MainForm::undoLast() {
    stepHistory(true);
}

void MainForm::redoLast() {
    stepHistory(false);
}

void MainForm::stepHistory(bool undo) {
    std::optional<std::array<int, 5>> court;
    {
        const OperationScope operation(*turn_);
        if (!operation.started) return;
        const std::optional<StepDescription> step =
            !versions_ ? std::nullopt : undo ? versions_->undoable() : versions_->redoable();
        if (!step) {
            SetStatus(undo ? "Status : 元に戻せる操作はありません" : "Status : やり直せる操作はありません");
            return;
        }
        if (!workbookStillThere()) return;
        // An undone turn's players go back on court as its row records them, read before the
        // file goes back.
        const bool turnUndone = undo && step->operation == Operation::Commit;
        if (turnUndone) court = ShownRecord(OLEWorkSheet->sheetModel().sheet()).court(step->turn);
        ScoreContext context = scoreContext();
        if (!(undo ? UndoOperation(context) : RedoOperation(context)).ok) return;

        // The window as the version now in data.xls leaves it.
        const xls::SheetShown& sheet = OLEWorkSheet->sheetModel().sheet();
        const ShownRecord record(sheet);
        if (const auto orders = ordersAsOf(record.lastTurn(), record.history())) board.setOrders(*orders);
        const bool hyper = std::any_of(sheet.rows.begin(), sheet.rows.end(), [](const xls::RowShown& row) {
            return row.row == cellmap::kRowBelowStatus - 1 && (row.hidden || row.heightTwips == 0);
        });
        setViewCaption(captionOf(hyper ? DisplayFormat::Hyper : DisplayFormat::Normal));
        setPrizeVisible(hyper);
        forgetNamedPlayer();
        if (step->operation == Operation::Commit)
            txtTurn->setText(QString::number(undo ? step->turn : step->turn + 1));
        else if (step->operation == Operation::Reset)
            txtTurn->setText(QString::number(record.lastTurn() + 1));
        if (hyper) sortBench(board.orders());
        SetStatus("Status : " + described(*step) + (undo ? " を元に戻しました" : " をやり直しました"));
    }
    if (court) standOnCourt(*court);
}

void MainForm::correctTurn() {
    const OperationScope operation(*turn_);
    if (!operation.started) return;
    const ShownRecord record(OLEWorkSheet->sheetModel().sheet());
    if (record.lastTurn() < 1) {
        SetStatus("Status : 訂正できる節がまだありません");
        return;
    }
    std::optional<std::pair<int, int>> choice;
    if (seams_.chooseCorrection) {
        choice = seams_.chooseCorrection(record);
    } else {
        CorrectionDialog dialog(record, [this](int player) { return QString::fromStdString(playerName(player)); },
                                this);
        if (dialog.exec() == QDialog::Accepted) choice = dialog.choice();
    }
    if (!choice || !workbookStillThere()) return;
    ScoreContext context = scoreContext();
    if (!finished(CorrectTurn(context, choice->first, choice->second))) return;
    forgetNamedPlayer();
    SetStatus("Status : 第 " + std::to_string(choice->first) + " 節を訂正しました");
}

void MainForm::restoreLastCourt() {
    if (turn_->phase() != TurnPhase::Idle) {
        refused(turn_->phase() == TurnPhase::Countdown ? Refusal::NotBetweenTurns : Refusal::Busy, {});
        return;
    }
    const ShownRecord record(OLEWorkSheet->sheetModel().sheet());
    if (record.lastTurn() < 1) {
        SetStatus("Status : 戻せるコートがまだありません");
        return;
    }
    standOnCourt(record.court(record.lastTurn()));
}

void MainForm::standOnCourt(const std::array<int, 5>& players) {
    for (int slot = 1; slot <= 4; ++slot) {
        const int player = players[static_cast<std::size_t>(slot)];
        if (isPlayerToken(player) && board.CourtSlot[slot] != player) carryOutDrop(board.CourtSlot[slot], player);
    }
}

}  // namespace pellix
