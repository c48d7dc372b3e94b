#pragma once

// The score workbooks the benchmarks work on: the base workbook with a number of recorded turns of
// random courts and marks, made once per size in PELLIX_BENCH_DIR (default: the system's
// temporary folder).

#include "workbook/score_host.h"

#include <array>
#include <filesystem>
#include <random>
#include <string>

namespace pellix::bench {

struct Court {
    std::array<int, 5> slot{};  // slot k = 1..4 holds player slot[k]
    int miss = 0;
};

Court courtOfTurn(std::mt19937& random);

// The folder the benchmarks' workbooks are made in.
std::filesystem::path benchFolder();

std::filesystem::path workbookWithTurns(int turns);

// The window as far as a commit needs it, without a window: status messages and sounds go
// nowhere; the relink re-reads the saved file as the sheet view does, when asked to.
class QuietHost : public ScoreHost {
public:
    explicit QuietHost(bool relinkReads) : relinkReads_(relinkReads) {}
    void SetStatus(const std::string&) override {}
    void playSound(const std::string&) override {}
    void showFailure(const std::string& message) override;
    void relinkSheetView() override;
    void sortBench(const pellix::BenchOrders&) override {}
    std::string viewCaption() const override { return "Normal"; }
    void setViewCaption(const std::string&) override {}
    void setPrizeVisible(bool) override {}
    void setTurnText(const std::string&) override {}
    bool setTokenPicture(int, const std::filesystem::path&) override { return true; }
    bool setQvnPicture(const std::filesystem::path&) override { return true; }
    bool setCourtPicture(const std::filesystem::path&) override { return true; }
    void setPrizeCaption(const std::string&) override {}
    std::filesystem::path dataPath;

private:
    bool relinkReads_;
};

}  // namespace pellix::bench
