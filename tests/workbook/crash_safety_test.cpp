// A scorer's evening must survive the program dying at any instant. A child process commits
// turns in a loop and is killed with SIGKILL at random moments; after every kill the workbook
// must open and hold a complete record of either the turns the child reported or one more.

#include "score_test_support.h"
#include "workbook/cell_map.h"
#include "workbook/score_routines.h"
#include "workbook/xl_app.h"
#include "workbook/version_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <optional>
#include <random>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

namespace pellix {
namespace {

using xls::CellValue;

// Who stands in slot k in turn t: a court that changes every turn.
int playerIn(int turn, int slot) {
    return (turn + 3 * slot) % 12 + 1;
}

struct : Clock {
    LocalTime now() const override { return {}; }
} zeroClock;

// Runs `child` in a child process with the write end of a pipe, and once its first report has come
// (however loaded the machine, the kill then lands in the middle of its work) kills it with
// SIGKILL at a random moment; the last number it reported, -1 when none came.
template <typename Child>
int killAtRandom(std::mt19937& random, Child child) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) child(pipeFds[1]);
    ::close(pipeFds[1]);
    int reported = -1;
    if (::read(pipeFds[0], &reported, sizeof reported) == sizeof reported) {
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
        ::kill(pid, SIGKILL);
    }
    ::waitpid(pid, nullptr, 0);
    for (int next; ::read(pipeFds[0], &next, sizeof next) == sizeof next;) reported = next;
    ::close(pipeFds[0]);
    return reported;
}

// The child: commits turn after turn from `turn` on, writing each turn's number to `report` once
// its commit has returned, until it is killed (or, should it hang, its alarm ends it).
[[noreturn]] void commitForever(const std::filesystem::path& dataPath, int turn, int report) {
    ::alarm(60);
    testing::RecordingHost host;
    Board board;
    XlApp xlApp;
    for (;; ++turn) {
        for (int k = 1; k <= 4; ++k) board.dropOnCourtSlot(playerIn(turn, k), k);
        ScoreContext context{host, &xlApp, dataPath, board};
        host.clear();
        if (!CommitTurn(context, static_cast<std::int16_t>(turn), 0).ok) ::_exit(1);
        if (::write(report, &turn, sizeof turn) != sizeof turn) ::_exit(1);
    }
}

TEST(CrashSafety, KilledWhileCommittingLeavesACompleteRecord) {
    testing::ScratchFolder folder;
    const auto dataPath = testing::withSampleWorkbook(folder);
    std::mt19937 random(7);
    int recorded = 0, unreported = 0;
    for (int round = 0; round < 300; ++round) {
        // A record holds 2060 turns: before it is full, the evening starts again on a fresh copy.
        if (recorded > cellmap::kLastResetTurn - 200) {
            testing::withSampleWorkbook(folder);
            recorded = 0;
        }
        const int reported = killAtRandom(random, [&](int report) { commitForever(dataPath, recorded + 1, report); });
        ASSERT_GE(reported, 1) << "no commit came";
        std::optional<testing::Saved> saved;
        ASSERT_NO_THROW(saved.emplace(dataPath)) << "round " << round;
        const CellValue last = saved->at(cellmap::kTurnRow, cellmap::kTurnColumn);
        ASSERT_TRUE(last == CellValue::ofNumber(reported) || last == CellValue::ofNumber(reported + 1))
            << "file holds " << last.number << ", reported " << reported;
        const int turns = static_cast<int>(last.number);
        unreported += turns - reported;
        recorded = turns;
        // The last turn row holds its court; the row after it is untouched.
        for (int k = 1; k <= 4; ++k) {
            ASSERT_EQ(saved->at(cellmap::turnRow(turns), cellmap::positionColumn(playerIn(turns, k))),
                      CellValue::ofNumber(k));
            ASSERT_EQ(saved->at(cellmap::turnRow(turns + 1), cellmap::positionColumn(playerIn(turns + 1, k))),
                      CellValue::empty());
        }
    }
    // An independent reader opens the file the last kill left.
    EXPECT_EQ(testing::runPython("import xlrd\nb = xlrd.open_workbook('" + dataPath.string()
                                 + "')\nprint([int(s.cell_value(18, 1)) for s in b.sheets() if s.sheet_selected])\n"),
              "[" + std::to_string(recorded) + "]\n");
    // The temporary files of the killed saves are cleared by the next save once they are a
    // second old.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    xls::Workbook::open(dataPath).saveAs(dataPath);
    EXPECT_EQ(folder.entries(), 1u) << "temporary files left behind";
    std::printf("crash safety: %d commits landed unreported\n", unreported);
}


// The child: undoes everything and redoes it all again, over and over, reporting each step once
// it has returned, until it is killed.
[[noreturn]] void undoAndRedoForever(const std::filesystem::path& dataPath, int report) {
    ::alarm(60);
    VersionStore store(dataPath, zeroClock);
    for (int steps = 0;; ++steps) {
        const bool back = store.undoable().has_value();
        if (back) store.undo();
        else if (store.redoable()) while (store.redoable()) store.redo(), ++steps;
        else ::_exit(1);
        if (::write(report, &steps, sizeof steps) != sizeof steps) ::_exit(1);
    }
}

// SIGKILL at any instant of an undo or a redo leaves data.xls as one of the versions, whole, and
// a history that a restart reads back into the same place: every other version kept, and each
// where it belongs.
TEST(CrashSafety, KilledWhileUndoingOrRedoingLeavesOneOfTheVersionsAndItsHistory) {
    testing::ScratchFolder folder;
    const auto dataPath = testing::withSampleWorkbook(folder);
    constexpr int kStates = 5;
    std::vector<std::string> states{testing::readFile(dataPath)};
    {
        VersionStore store(dataPath, zeroClock);
        testing::RecordingHost host;
        Board board;
        XlApp xlApp;
        for (int turn = 1; turn < kStates; ++turn) {
            for (int k = 1; k <= 4; ++k) board.dropOnCourtSlot(playerIn(turn, k), k);
            ScoreContext context{host, &xlApp, dataPath, board, &store};
            ASSERT_TRUE(CommitTurn(context, static_cast<std::int16_t>(turn), 0).ok);
            states.push_back(testing::readFile(dataPath));
        }
    }
    std::mt19937 random(11);
    std::vector<int> seen(kStates);
    for (int round = 0; round < 150; ++round) {
        ASSERT_GE(killAtRandom(random, [&](int report) { undoAndRedoForever(dataPath, report); }), 0) << "no step";
        const auto holds = std::find(states.begin(), states.end(), testing::readFile(dataPath));
        ASSERT_NE(holds, states.end()) << "round " << round << ": data.xls is none of the versions";
        const int position = static_cast<int>(holds - states.begin());
        ++seen[position];
        const VersionStore store(dataPath, zeroClock);
        ASSERT_EQ(store.position(), position) << "round " << round;
        for (int state = 0; state < kStates; ++state) {
            char name[16];
            std::snprintf(name, sizeof name, "%08d.xls", state);
            const auto file = store.historyFolder() / name;
            if (state == position) ASSERT_FALSE(std::filesystem::exists(file)) << "round " << round << " " << name;
            else ASSERT_EQ(testing::readFile(file), states[state]) << "round " << round << " " << name;
        }
    }
    for (int state = 0; state < kStates; ++state) std::printf("undo and redo killed at version %d: %d times\n", state, seen[state]);
}

}  // namespace
}  // namespace pellix
