#pragma once

// The routines that read and write the score workbook: the load at start-up, the turn commit, the
// data reset and the point display formats. Every writing routine runs the same operation frame:
// open, its own writes, save over the file, close, relink the sheet view, chime. A failure anywhere
// stops the frame, leaves the file as it was and is shown to the scorer with the step and cause.

#include "board/board.h"
#include "workbook/score_host.h"
#include "workbook/standings.h"
#include "workbook/version_store.h"
#include "workbook/workbook_lock.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace pellix {

// The stand-in for the spreadsheet application (xl_app.h): the window holds one from start-up to
// the end without knowing the engine behind it; it is made and ended here.
class XlApp;
struct XlAppEnd {
    void operator()(XlApp* xlApp) const;
};
using XlAppHandle = std::unique_ptr<XlApp, XlAppEnd>;
[[nodiscard]] XlAppHandle connectWorkbooks();

struct ScoreContext {
    ScoreHost& host;
    XlApp* xlApp = nullptr;  // null after a failed start-up: there is no workbook connection
    std::filesystem::path DataPath;
    const Board& board;
    // Where the versions that operations replace are kept; null keeps none (nothing can be undone).
    VersionStore* versions = nullptr;
};

struct OperationResult {
    bool ok = true;
    std::string step;             // the status text of the step that failed
    std::string cause;            // what went wrong
    // The operation ran but the version it replaced could not be kept: it cannot be undone.
    bool notKept = false;
    // The bench orders the operation leaves, for the window's board; none when it changes none.
    std::optional<BenchOrders> orders;
    std::string message() const;  // what the scorer is shown
};

// Reads the roster pictures, the court and titles pictures, the next turn and the titles banner.
// Each failing step is skipped without a message.
void LoadSheet(ScoreContext& context);

// The text of the titles banner.
extern const char* const kTitlesBanner;

// Records turn `turn` with the court the board shows and `named` (0: nobody) named at the miss.
[[nodiscard]] OperationResult CommitTurn(ScoreContext& context, std::int16_t turn, std::int16_t named);
[[nodiscard]] OperationResult ResetData(ScoreContext& context);
[[nodiscard]] OperationResult ApplyViewFormat(ScoreContext& context, bool mode);
// Rewrites who missed in recorded turn `turn` (1..B19): `named` (0 for nobody) must stand on
// court in that turn's row. The standings, fills and Orders are worked out again as of the last
// recorded turn, as if the turns had been recorded so from the start.
[[nodiscard]] OperationResult CorrectTurn(ScoreContext& context, int turn, int named);
// Every Order as a commit of `turn` leaves it (none for a turn below 1: nothing changes): for a
// version put back by an undo or a redo, whose commit is not run again.
std::optional<BenchOrders> ordersAsOf(int turn, const TurnHistory& history);
// Put back the version before the last operation, or the one an undo took back, through the
// same frame (the sheet view re-reads the file afterwards). Fail when `context.versions` keeps
// nothing to go back or forth to.
[[nodiscard]] OperationResult UndoOperation(ScoreContext& context);
[[nodiscard]] OperationResult RedoOperation(ScoreContext& context);

// Shows a step in the status line; the frame remembers it to name the step if it fails.
using Announce = std::function<void(const std::string& status)>;

// One writing operation, run by the frame shared by the commit, the data reset and the display
// formats: " Set Excel Application", the start sound, open, `writes` (which announces its own
// steps), " Excel Application Saveing", save over the file, close, `afterSave`,
// " OLE Read Excel File", relink the sheet view, `afterRelink`, " Status : OK", the chime.
struct WorkbookOperation {
    std::string startSound;  // played right after the first status message, or none
    std::function<void(XlApp&, const Announce&)> writes;
    std::function<void()> afterSave;  // window changes that must only show once the file holds them
    std::function<void()> afterRelink;
    // How the journal names the operation, its turn (-1: the last turn recorded before it) and
    // the player named at the miss (0: none).
    Operation journalAs = Operation::Commit;
    int turn = -1;
    int named = 0;
    // Replaces the file by other means than opening and writing it (undo and redo); the frame
    // then neither opens nor saves the workbook.
    std::function<void()> replace;
};

[[nodiscard]] OperationResult runWorkbookOperation(ScoreContext& context, const WorkbookOperation& operation);



}  // namespace pellix
