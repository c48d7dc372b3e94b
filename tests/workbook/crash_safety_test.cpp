// A scorer's evening must survive the program dying at any instant. A child process commits
// turns in a loop and is killed with SIGKILL at random moments; after every kill the workbook
// must open and hold a complete record of either the turns the child reported or one more.

#include "score_test_support.h"
#include "workbook/cell_map.h"
#include "workbook/xls/workbook.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <csignal>
#include <random>
#include <thread>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pellix {
namespace {

// The court the child plays in turn t (it replays the same drops).
std::array<int, 5> courtOfTurn(Board& board, int turn) {
    for (int k = 1; k <= 4; ++k) board.dropOnCourtSlot((turn + 3 * k) % 12 + 1, k);
    return {0, board.CourtSlot[1], board.CourtSlot[2], board.CourtSlot[3], board.CourtSlot[4]};
}

struct Child {
    pid_t pid = -1;
    int output = -1;
    std::string printed;
};

Child startCommitLoop(const std::filesystem::path& dataPath) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], 1);
        ::close(pipeFds[0]);
        ::execl(PELLIX_COMMIT_LOOP, PELLIX_COMMIT_LOOP, dataPath.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    ::fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
    return {pid, pipeFds[0], {}};
}

void readPrinted(Child& child) {
    char buffer[4096];
    ssize_t count;
    while ((count = ::read(child.output, buffer, sizeof buffer)) > 0)
        child.printed.append(buffer, static_cast<std::size_t>(count));
}

// Waits until the child has reported its first commit: however loaded the machine, every round
// then kills a child in the middle of its work, not before it began.
bool waitForFirstReport(Child& child) {
    for (int waited = 0; waited < 30000; waited += 5) {
        readPrinted(child);
        if (child.printed.find("committed ") != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// The last "committed N" the child printed, or `previous` when it printed none.
int lastReported(Child& child, int previous) {
    readPrinted(child);
    const auto at = child.printed.rfind("committed ");
    if (at == std::string::npos) return previous;
    return std::atoi(child.printed.c_str() + at + 10);
}

TEST(CrashSafety, KilledWhileCommittingLeavesACompleteRecord) {
    testing::ScratchFolder folder;
    const auto dataPath = testing::withSampleWorkbook(folder);
    std::mt19937 random(7);
    int reported = 0;
    int kills = 0;
    int landedUnreported = 0;
    int recordedInAll = 0;
    Board replay;
    std::vector<std::array<int, 5>> courts{{}};  // courts[t] for turn t

    for (int round = 0; round < 300; ++round) {
        // A record holds 2060 turns: before it is full, the evening starts again on a fresh copy.
        if (reported > cellmap::kLastResetTurn - 200) {
            recordedInAll += reported;
            testing::withSampleWorkbook(folder);
            reported = 0;
            replay = Board{};
            courts = {{}};
        }
        Child child = startCommitLoop(dataPath);
        ASSERT_GT(child.pid, 0);
        const bool started = waitForFirstReport(child);
        if (started) std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
        ::kill(child.pid, SIGKILL);
        int status = 0;
        ::waitpid(child.pid, &status, 0);
        ASSERT_TRUE(started) << "the child never reported a commit: " << child.printed;
        ++kills;
        reported = lastReported(child, reported);
        ::close(child.output);

        std::optional<xls::Workbook> opened;
        ASSERT_NO_THROW(opened.emplace(xls::Workbook::open(dataPath))) << "after kill " << kills;
        const xls::Workbook& book = *opened;
        const int sheet = book.activeSheet();
        const xls::CellValue last = book.cell(sheet, cellmap::kTurnRow - 1, cellmap::kTurnColumn - 1);
        ASSERT_EQ(last.kind, xls::ValueKind::Number);
        const int turns = static_cast<int>(last.number);
        ASSERT_TRUE(turns == reported || turns == reported + 1)
            << "file holds " << turns << ", child reported " << reported;
        if (turns == reported + 1) ++landedUnreported;
        reported = turns;

        while (static_cast<int>(courts.size()) <= turns + 1)
            courts.push_back(courtOfTurn(replay, static_cast<int>(courts.size())));
        // Every turn row up to the last holds its court; the row after it is untouched.
        for (int t = std::max(1, turns - 3); t <= turns + 1; ++t) {
            for (int player = 1; player <= 12; ++player) {
                int slot = 0;
                for (int k = 1; k <= 4; ++k)
                    if (t <= turns && courts[t][k] == player) slot = k;
                const xls::CellValue cell =
                    book.cell(sheet, cellmap::turnRow(t) - 1, cellmap::positionColumn(player) - 1);
                ASSERT_EQ(cell, slot ? xls::CellValue::ofNumber(slot) : xls::CellValue::empty())
                    << "turn " << t << " player " << player;
            }
        }
        if (round % 50 == 49) {
            int exitCode = 0;
            const std::string output = testing::runPython(
                "import xlrd\nb = xlrd.open_workbook('" + dataPath.string() + "', formatting_info=True)\n"
                "s = [b.sheet_by_index(i) for i in range(b.nsheets) if b.sheet_by_index(i).sheet_selected][0]\n"
                "print(int(s.cell_value(18, 1)))\n",
                &exitCode);
            ASSERT_EQ(exitCode, 0) << output;
            EXPECT_EQ(output, std::to_string(turns) + "\n");
        }
    }
    // The temporary files of the killed saves are cleared by the next save once they are a
    // second old.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    xls::Workbook::open(dataPath).saveAs(dataPath);
    EXPECT_EQ(folder.entries(), 1u) << "temporary files left behind";
    recordedInAll += reported;
    std::printf("crash safety: %d kills, %d turns recorded, %d commits landed unreported\n", kills, recordedInAll,
                landedUnreported);
    EXPECT_GE(recordedInAll, kills);  // every child committed at least once
}

}  // namespace
}  // namespace pellix
