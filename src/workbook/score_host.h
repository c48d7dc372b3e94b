#pragma once

// What the score routines need of the window: the status line, the sounds, the sheet view and the
// few controls they read or write. The window implements it; tests record what happens.

#include "board/board.h"

#include <filesystem>
#include <string>

namespace pellix {

class ScoreHost {
public:
    virtual ~ScoreHost() = default;

    // Shows " " + message in the status line and lets queued window events run.
    virtual void SetStatus(const std::string& message) = 0;
    // Plays a file of the program folder's sound/ folder ("きん.wav") without waiting.
    virtual void playSound(const std::string& fileName) = 0;
    // Tells the scorer that an operation failed (a modal message in the window).
    virtual void showFailure(const std::string& message) = 0;
    // OLEWorkSheet.CreateLink(DataPath): the sheet view re-reads the file.
    virtual void relinkSheetView() = 0;
    // Gives the board the bench orders a commit has just worked out and re-orders the bench on
    // screen by them (Board::SortBench, each exchange painted at once).
    virtual void sortBench(const BenchOrders& orders) = 0;

    virtual std::string viewCaption() const = 0;  // chkView.Caption: "Normal" or "Hyper"
    virtual void setViewCaption(const std::string& caption) = 0;
    virtual void setPrizeVisible(bool visible) = 0;         // lblPrize.Visible
    virtual void setTurnText(const std::string& text) = 0;  // txtTurn.Text

    // Pictures for the workbook load; each returns false when the file cannot be shown.
    virtual bool setTokenPicture(int token, const std::filesystem::path& file) = 0;
    virtual bool setQvnPicture(const std::filesystem::path& file) = 0;
    virtual bool setCourtPicture(const std::filesystem::path& file) = 0;
    virtual void setPrizeCaption(const std::string& caption) = 0;  // lblPrize.Caption
    // Another program's lock file stands beside data.xls (`lockFile`, held by `holder` since
    // `since`): true when the scorer says to write all the same (a lock a crash left behind).
    virtual bool writeDespiteLock(const std::filesystem::path& lockFile, const std::string& holder,
                                  const std::string& since) {
        (void)lockFile, (void)holder, (void)since;
        return false;
    }
};

}  // namespace pellix
