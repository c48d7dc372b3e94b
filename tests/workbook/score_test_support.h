#pragma once

// A score host that records what the routines show and play, and a scratch program folder with a
// copy of the sample workbook.

#include "workbook/score_host.h"
#include "workbook/score_routines.h"

#include "support.h"

#include <gtest/gtest.h>

#include <filesystem>
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
    bool busy = false;
    std::vector<bool> busyChanges;

    void SetStatus(const std::string& message) override { statuses.push_back(message); }
    void playSound(const std::string& fileName) override { sounds.push_back(fileName); }
    void showFailure(const std::string& message) override { failures.push_back(message); }
    void relinkSheetView() override { ++relinks; }
    void sortBench() override { ++benchSorts; }
    std::string viewCaption() const override { return caption; }
    void setViewCaption(const std::string& text) override { caption = text; }
    void setPrizeVisible(bool visible) override { prizeVisible = visible; }
    void setTurnText(const std::string& text) override { turnText = text; }
    bool setTokenPicture(int, const std::filesystem::path&) override { return true; }
    bool setQvnPicture(const std::filesystem::path&) override { return true; }
    bool setCourtPicture(const std::filesystem::path&) override { return true; }
    void setPrizeCaption(const std::string&) override {}
    void setBusy(bool value) override {
        busy = value;
        busyChanges.push_back(value);
    }
    void clear() {
        statuses.clear();
        sounds.clear();
        failures.clear();
    }
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

    ScoreContext context(std::int16_t missIndex = 0) { return ScoreContext{host, &xlApp, dataPath, board, missIndex}; }
};

std::filesystem::path sampleWorkbook();
// Runs /usr/bin/python3 with the script on standard input; returns its standard output.
std::string runPython(const std::string& script, int* exitCode = nullptr);

}  // namespace pellix::testing
