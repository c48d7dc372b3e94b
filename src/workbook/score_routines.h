#pragma once

// The routines that read and write the score workbook: the load at start-up, the turn commit, the
// data reset and the point display formats. Every writing routine runs the same operation frame:
// open, its own writes, save over the file, close, relink the sheet view, chime. A failure anywhere
// stops the frame, leaves the file as it was and is shown to the scorer with the step and cause.

#include "board/board.h"
#include "workbook/score_host.h"
#include "workbook/xl_app.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace pellix {

struct ScoreContext {
    ScoreHost& host;
    XlApp* xlApp = nullptr;  // null after a failed start-up: there is no workbook connection
    std::filesystem::path DataPath;
    Board& board;
    std::int16_t MissIndex = 0;
};

struct OperationResult {
    bool ok = true;
    std::string step;   // the status text of the step that failed
    std::string cause;  // what went wrong
    std::string message() const;  // what the scorer is shown
};

// Reads the roster pictures, the court and titles pictures, the next turn and the titles banner.
// Each failing step is skipped without a message.
void LoadSheet(ScoreContext& context);

// The text of the titles banner.
extern const char* const kTitlesBanner;

[[nodiscard]] OperationResult CommitTurn(ScoreContext& context, std::int16_t turn);
[[nodiscard]] OperationResult ResetData(ScoreContext& context);
[[nodiscard]] OperationResult ApplyViewFormat(ScoreContext& context, bool mode);

// The frame shared by every writing routine. `writes` does the routine's own work on the open
// workbook and announces its steps with SetStatus; `afterRelink` runs after the sheet view is
// relinked and before " Status : OK".
[[nodiscard]] OperationResult runWorkbookOperation(ScoreContext& context,
                                                   const std::function<void(XlApp&)>& writes,
                                                   const std::function<void()>& afterRelink = {});

}  // namespace pellix
