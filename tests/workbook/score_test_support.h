#pragma once

// A score host that records what the routines show and play, a scratch program folder with a
// copy of the sample workbook, and the saved workbook read back.

#include "workbook/score_host.h"
#include "workbook/score_routines.h"
#include "workbook/xl_app.h"

#include "support.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pellix::testing {

class RecordingHost : public ScoreHost {
public:
    std::vector<std::string> statuses;
    std::vector<std::string> sounds;
    std::vector<std::string> failures;
    int relinks = 0;
    int benchSorts = 0;
    std::string caption = "Normal";
    std::string turnText = "7878";
    bool prizeVisible = false;

    void SetStatus(const std::string& message) override { statuses.push_back(message); }
    void playSound(const std::string& fileName) override { sounds.push_back(fileName); }
    void showFailure(const std::string& message) override { failures.push_back(message); }
    void relinkSheetView() override { ++relinks; }
    void sortBench(const BenchOrders&) override { ++benchSorts; }
    std::string viewCaption() const override { return caption; }
    void setViewCaption(const std::string& text) override { caption = text; }
    void setPrizeVisible(bool visible) override { prizeVisible = visible; }
    void setTurnText(const std::string& text) override { turnText = text; }
    bool setTokenPicture(int, const std::filesystem::path&) override { return true; }
    bool setQvnPicture(const std::filesystem::path&) override { return true; }
    bool setCourtPicture(const std::filesystem::path&) override { return true; }
    void setPrizeCaption(const std::string&) override {}
    void clear() { statuses.clear(), sounds.clear(), failures.clear(); }
};

// Copies the sample workbook into the folder as data.xls and returns its path.
std::filesystem::path withSampleWorkbook(const ScratchFolder& folder);

// A copy of the sample workbook, a recording host, a board and a workbook connection.
class ScoreFixture : public ::testing::Test {
protected:
    ScratchFolder folder;
    std::filesystem::path dataPath = withSampleWorkbook(folder);
    RecordingHost host;
    Board board;
    XlApp xlApp;

    std::optional<BenchOrders> orders;  // what the last commit returned

    ScoreContext context() { return ScoreContext{host, &xlApp, dataPath, board}; }
    void court(std::array<int, 4> players) {
        for (int k = 1; k <= 4; ++k) board.dropOnCourtSlot(players[k - 1], k);
    }
    bool commit(int turn, int missIndex = 0) {
        ScoreContext ctx = context();
        const OperationResult result = CommitTurn(ctx, static_cast<std::int16_t>(turn), static_cast<std::int16_t>(missIndex));
        orders = result.orders;
        return result.ok;
    }
    // Changes the workbook as its owner would between two operations.
    void edit(const std::function<void(XlApp&)>& edits);
};

// The saved workbook read back, 1-based as the sheet numbers cells.
struct Saved {
    explicit Saved(const std::filesystem::path& file);
    xls::CellValue at(int row, int column) const { return book.cell(sheet, row - 1, column - 1); }
    int fill(int row, int column) const { return fills.count({row, column}) ? fills.at({row, column}) : -1; }

    xls::Workbook book;
    int sheet;
    std::map<std::pair<int, int>, int> fills;
};

// A record in the sheet's cells, as the engine shows a sheet: B19 and, for each turn, one character
// per player: '1'..'4' the slot, 'a'..'d' the slot with the player named by a "C" mark, '*' named
// off the court, '.' off.
struct Record {
    xls::CellValue lastTurn;
    std::vector<std::string> turns;
    std::map<std::pair<int, int>, xls::CellValue> extra;  // (row, column) 1-based: other cells, odd ones typed by hand
};
xls::SheetShown sheetOf(const Record& record);

// Runs /usr/bin/python3 on the script; returns what it printed, error messages included, after
// "failed: " when it did not end well.
std::string runPython(const std::string& script);

}  // namespace pellix::testing
