#include "workbook/score_routines.h"

#include "workbook/cell_map.h"
#include "workbook/display_format.h"
#include "workbook/standings.h"
#include "workbook/xl_app.h"
#include "workbook/xls/cell_text.h"

#include <iterator>
#include <system_error>

namespace pellix {

void XlAppEnd::operator()(XlApp* xlApp) const {
    delete xlApp;
}

XlAppHandle connectWorkbooks() {
    return XlAppHandle(new XlApp);
}

namespace {

const char* const kChime = "きん.wav";
const char* const kCommitSound = "キラキラ.wav";
const std::string kFailedStatus = "Status : 失敗しました - ";
constexpr int kNameColumn = 2;  // B2:B13, the players' names

// What the stand-in's failures say is in English and names the file; the scorer reads the
// Japanese lead first and keeps the detail for whoever looks after the workbook.
std::string failureText(const std::string& step, const std::string& cause) {
    std::string text = "data.xls に記録できませんでした。ファイルは変更されていません。\n\n";
    if (!step.empty()) text += "手順: " + step + "\n";
    text += "原因: " + cause;
    return text;
}

bool mayWriteDespite(ScoreHost& host, const WorkbookLock& lock) {
    return host.writeDespiteLock(lock.lockFile, lock.holder, lock.since);
}

// What the journal keeps of an operation, read from the workbook as it stood before its writes.
OperationNote noteOf(const ScoreContext& context, const WorkbookOperation& operation, XlApp& xlApp) {
    using namespace cellmap;
    const auto name = [&](int player) -> std::string {
        if (player < 1 || player > kPlayers) return {};
        const CellValue value = xlApp.cells(statusRow(player), kNameColumn).Value();
        if (value.kind == ValueKind::Text) return value.text;
        if (value.kind == ValueKind::Number) return xls::numberText(value.number);
        return {};
    };
    OperationNote note;
    note.operation = operation.journalAs;
    note.turn = operation.turn;
    if (note.turn < 0) note.turn = lastTurnIn(xlApp.cells(kTurnRow, kTurnColumn).Value());
    for (int k = 1; k <= 4; ++k) note.court[k - 1] = name(context.board.CourtSlot[k]);
    note.named = name(operation.named);
    return note;
}

// The status area as a commit of `turn` leaves it: every taking-part player's standing with its
// colours, and every token's Order.
void writeStandings(XlApp& xlApp, int turn, BenchOrders& orders, const Announce& announce) {
    using namespace cellmap;
    orders = startingOrders();
    xlApp.range(kStatusArea).Interior().setColorIndex(kWhite);
    xlApp.range(kStatusTexts).setValue("");
    const TurnHistory history{
        [&](int player) { return xlApp.cells(kEntryRow, entryColumn(player)).Value(); },
        [&](int t, int player) { return xlApp.cells(turnRow(t), positionColumn(player)).Value(); },
    };
    for (int i = 1; i <= kPlayers; ++i) {
        announce("Writing Worksheet Status Data(" + std::to_string(i) + ")");
        const Standing standing = computeStanding(turn, i, history);
        if (!standing.takesPart) continue;
        orders[i] = standing.order;
        const std::string row = std::to_string(statusRow(i));
        if (standing.rowColor != kNoColor) xlApp.range("B" + row + ":D" + row).Interior().setColorIndex(standing.rowColor);
        if (standing.lostColor != kNoColor)
            xlApp.range("C" + row + ":D" + row).Interior().setColorIndex(standing.lostColor);
        xlApp.cells(statusRow(i), kStandingColumn).setValue(standing.text);
    }
}

OperationResult noStore(ScoreContext& context, const char* cause) {
    OperationResult result{false, "", cause};
    context.host.showFailure(result.message());
    return result;
}

}  // namespace

std::string OperationResult::message() const {
    return failureText(step, cause);
}


OperationResult runWorkbookOperation(ScoreContext& context, const WorkbookOperation& operation) {
    ScoreHost& host = context.host;
    std::string step;
    const Announce announce = [&](const std::string& status) {
        step = status;
        host.SetStatus(status);
    };

    VersionStore* const versions = operation.replace ? nullptr : context.versions;
    bool keeping = false;
    auto fail = [&](const std::string& cause) {
        if (keeping) versions->abandonOperation();
        if (context.xlApp && context.xlApp->book() && context.xlApp->book()->isOpen()) context.xlApp->book()->Close();
        OperationResult result{false, step, cause};
        // The status line must not go on naming a step as if it were still running.
        host.SetStatus(kFailedStatus + step);
        host.showFailure(result.message());
        return result;
    };

    announce("Set Excel Application");
    if (!operation.startSound.empty()) host.playSound(operation.startSound);
    OperationResult result;
    if (operation.replace) {
        try {
            announce("Excel Application Saveing");
            if (const auto lock = findWorkbookLock(context.DataPath); lock && !mayWriteDespite(host, *lock))
                return fail(lockMessage(*lock));
            operation.replace();
        } catch (const std::exception& error) {
            return fail(error.what());
        }
    } else {
        if (!context.xlApp)
            return fail(
                "data.xls を起動時に開けなかったため、ブックにつながっていません。"
                "data.xls を確かめてから、プログラムを起動しなおしてください。");
        XlApp& xlApp = *context.xlApp;
        OperationNote note;
        try {
            XlBook& xlBook = xlApp.Application().Workbooks().Open(context.DataPath);
            if (versions) note = noteOf(context, operation, xlApp);
            operation.writes(xlApp, announce);
            announce("Excel Application Saveing");
            if (const auto lock = findWorkbookLock(context.DataPath); lock && !mayWriteDespite(host, *lock))
                return fail(lockMessage(*lock));
            if (versions) {
                versions->beginOperation();
                keeping = true;
                xlBook.saveas(context.DataPath, versions->keeper());
            } else {
                xlBook.saveas(context.DataPath);
            }
            xlBook.Close();
        } catch (const std::exception& error) {
            return fail(error.what());
        }
        if (versions) result.notKept = !versions->finishOperation(note);
    }
    if (operation.afterSave) operation.afterSave();

    announce("OLE Read Excel File");
    try {
        host.relinkSheetView();
    } catch (const std::exception& error) {
        // The file already holds the operation; only the view lags behind, so say so and go on.
        host.showFailure(std::string("data.xls は保存しましたが、表示を更新できませんでした。\n") + error.what());
    }
    if (operation.afterRelink) operation.afterRelink();
    announce("Status : OK");
    host.playSound(kChime);
    return result;
}

// Runs an operation whose writes work out the standings again: the window gets their orders,
// and in "Hyper" the bench is sorted by them once the sheet view shows the file.
static OperationResult runWithOrders(ScoreContext& context, WorkbookOperation& operation, const BenchOrders& orders) {
    operation.afterRelink = [&] {
        if (formatOfCaption(context.host.viewCaption()) == DisplayFormat::Hyper) context.host.sortBench(orders);
    };
    OperationResult result = runWorkbookOperation(context, operation);
    if (result.ok) result.orders = orders;
    return result;
}

OperationResult CommitTurn(ScoreContext& context, std::int16_t turn, std::int16_t named) {
    // A turn below 1 would write into the rows above the turn rows, which belong to the owner; one
    // above the last that the reset clears would outlive a reset.
    if (turn < 1 || turn > cellmap::kLastResetTurn) {
        OperationResult result{false, "",
                               "第 " + std::to_string(turn) + " 節は記録できません。1 から "
                                   + std::to_string(cellmap::kLastResetTurn) + " までの節の番号を入れてください。"};
        context.host.showFailure(result.message());
        return result;
    }
    // A placeholder's number would land in the mark columns of the turn row.
    if (context.board.courtHasPlaceholder()) {
        OperationResult result{false, "",
                               "コートに選手が 4 人そろっていません。選手をコートに入れてから記録してください。"};
        context.host.showFailure(result.message());
        return result;
    }

    WorkbookOperation operation;
    operation.startSound = kCommitSound;
    operation.turn = turn;
    operation.named = named;
    BenchOrders orders{};
    operation.writes = [&](XlApp& xlApp, const Announce& announce) {
        using namespace cellmap;
        const Board& board = context.board;
        announce("Writing Worksheet Turn");
        xlApp.cells(kTurnRow, kTurnColumn).setValue(static_cast<double>(turn));

        announce("Writing Worksheet Position Data");
        const int r = turnRow(turn);
        xlApp.range("J" + std::to_string(r) + ":AH" + std::to_string(r)).setValue("");
        for (int k = 1; k <= 4; ++k)
            xlApp.cells(r, positionColumn(board.CourtSlot[k])).setValue(static_cast<double>(k));
        if (named > 0) xlApp.cells(r, markColumn(named)).setValue("C");
        writeStandings(xlApp, turn, orders, announce);
    };
    return runWithOrders(context, operation, orders);
}

OperationResult CorrectTurn(ScoreContext& context, int turn, int named) {
    WorkbookOperation operation;
    operation.startSound = kCommitSound;
    operation.journalAs = Operation::Correction;
    operation.turn = turn;
    operation.named = named;
    BenchOrders orders{};
    operation.writes = [&orders, turn, named](XlApp& xlApp, const Announce& announce) {
        using namespace cellmap;
        const int last = lastTurnIn(xlApp.cells(kTurnRow, kTurnColumn).Value());
        if (turn < 1 || turn > last)
            throw std::runtime_error("第 " + std::to_string(turn) + " 節は記録されていません (記録は第 "
                                     + std::to_string(last) + " 節まで)");
        const int r = turnRow(turn);
        if (named != 0 && !greaterThanZero(xlApp.cells(r, positionColumn(named)).Value()))
            throw std::runtime_error("選手 " + std::to_string(named) + " は第 " + std::to_string(turn)
                                     + " 節のコートにいません");
        announce("Writing Worksheet Miss Data");
        for (int player = 1; player <= kPlayers; ++player) xlApp.cells(r, markColumn(player)).setValue("");
        if (named != 0) xlApp.cells(r, markColumn(named)).setValue("C");
        // The standings of the last turn, as if the turns had been recorded so from the start.
        writeStandings(xlApp, last, orders, announce);
    };
    return runWithOrders(context, operation, orders);
}

std::optional<BenchOrders> ordersAsOf(int turn, const TurnHistory& history) {
    if (turn < 1) return std::nullopt;
    BenchOrders orders = startingOrders();
    for (int i = 1; i <= cellmap::kPlayers; ++i) {
        const Standing standing = computeStanding(turn, i, history);
        if (standing.takesPart) orders[i] = standing.order;
    }
    return orders;
}

OperationResult ResetData(ScoreContext& context) {
    WorkbookOperation operation;
    operation.journalAs = Operation::Reset;
    operation.writes = [&context](XlApp& xlApp, const Announce& announce) {
        using namespace cellmap;
        // The whole record is kept before it is wiped; a reset that cannot keep it does not run.
        if (context.versions) context.versions->archiveForReset();
        announce("Writing Worksheet Turn");
        xlApp.cells(kTurnRow, kTurnColumn).setValue(0.0);
        announce("Writing Worksheet Range Clear");
        xlApp.range(kResetTurnRows).setValue("");
        xlApp.range(kStatusArea).Interior().setColorIndex(kWhite);
        xlApp.range(kStatusTexts).setValue("");
        announce("Writing Worksheet Change Rowheight");
        // Rows 2 to 14, as the switch to "Normal" shows them: a reset made in "Hyper" leaves the
        // file, the caption, the box and the banner all in one format.
        xlApp.rows("2:14").setRowheight(kShownRowHeight);
    };
    // The window says turn 1 and "Normal" only once the file holds the cleared record.
    operation.afterSave = [&] {
        context.host.setTurnText("1");
        context.host.setViewCaption(captionOf(DisplayFormat::Normal));
        context.host.setPrizeVisible(false);
    };
    return runWorkbookOperation(context, operation);
}

OperationResult ApplyViewFormat(ScoreContext& context, bool mode) {
    WorkbookOperation operation;
    operation.journalAs = Operation::DisplaySwitch;
    operation.writes = [mode](XlApp& xlApp, const Announce& announce) {
        using namespace cellmap;
        announce("Writing Worksheet Change Rowheight");
        if (!mode) {
            xlApp.rows("2:14").setRowheight(kShownRowHeight);
            return;
        }
        for (int k = 1; k <= kPlayers; ++k) {
            const bool takesPart = greaterThanZero(xlApp.cells(kEntryRow, entryColumn(k)).Value());
            xlApp.rows(statusRow(k)).setRowheight(takesPart ? kShownRowHeight : 0);
        }
        xlApp.rows(kRowBelowStatus).setRowheight(0);
    };
    // The caption records the format for the commit; it changes with the file, not before.
    operation.afterSave = [&context, mode] {
        context.host.setViewCaption(captionOf(mode ? DisplayFormat::Hyper : DisplayFormat::Normal));
        context.host.setPrizeVisible(mode);
    };
    return runWorkbookOperation(context, operation);
}

OperationResult UndoOperation(ScoreContext& context) {
    if (!context.versions || !context.versions->undoable()) return noStore(context, "取り消せる操作がありません。");
    WorkbookOperation operation;
    operation.replace = [&context] { context.versions->undo(); };
    return runWorkbookOperation(context, operation);
}

OperationResult RedoOperation(ScoreContext& context) {
    if (!context.versions || !context.versions->redoable()) return noStore(context, "やり直せる操作がありません。");
    WorkbookOperation operation;
    operation.replace = [&context] { context.versions->redo(); };
    return runWorkbookOperation(context, operation);
}

}  // namespace pellix
