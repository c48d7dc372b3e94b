// One turn commit on score workbooks of 10, 500 and 2060 recorded turns, by the program's own
// CommitTurn: open, the turn cell, the emptied turn row, four slot numbers and the mark, the
// status colours and texts, the walk back over the history for twelve players, save, close.
// "commit_relinked" adds the sheet view's re-read of the saved file. "floor" is the least any
// save can cost on the same file: read its bytes and write them back atomically. "commit_kept"
// is "commit" with the version store keeping each replaced version in history/ (a hard link and
// the store's state file, pruned at 200 versions) and journalling the commit.

#include "bench_workbooks.h"
#include "workbook/score_routines.h"
#include "workbook/version_store.h"
#include "workbook/xl_app.h"
#include "files/atomic_file.h"

#include <benchmark/benchmark.h>

#include <array>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>

namespace {

namespace fs = std::filesystem;
using pellix::XlApp;
using pellix::bench::benchFolder;
using pellix::bench::Court;
using pellix::bench::courtOfTurn;
using pellix::bench::QuietHost;
using pellix::bench::workbookWithTurns;


// The last turn committed again, with a new court each time: the file keeps its size from one
// commit to the next.
void commitRepeatedly(benchmark::State& state, bool relinkReads, bool keepVersions = false) {
    const int turns = static_cast<int>(state.range(0));
    QuietHost host(relinkReads);
    host.dataPath = workbookWithTurns(turns);
    // Keeping versions: the same commits on a copy in a folder of its own, whose history/ the
    // store fills.
    pellix::SystemClock clock;
    std::optional<pellix::VersionStore> store;
    if (keepVersions) {
        const fs::path folder = benchFolder() / ("kept_" + std::to_string(turns));
        fs::remove_all(folder);
        fs::create_directories(folder);
        fs::copy_file(host.dataPath, folder / "data.xls");
        host.dataPath = folder / "data.xls";
        store.emplace(host.dataPath, clock);
    }
    XlApp xlApp;
    pellix::Board board;
    std::mt19937 random(7);
    for (auto _ : state) {
        const Court court = courtOfTurn(random);
        for (int k = 1; k <= 4; ++k) board.dropOnCourtSlot(court.slot[static_cast<std::size_t>(k)], k);
        pellix::ScoreContext context{host, &xlApp, host.dataPath, board, store ? &*store : nullptr};
        const pellix::OperationResult result =
            pellix::CommitTurn(context, static_cast<std::int16_t>(turns), static_cast<std::int16_t>(court.miss));
        if (!result.ok || result.notKept) state.SkipWithError("the commit failed or kept nothing");
    }
    state.counters["file_bytes"] = static_cast<double>(fs::file_size(host.dataPath));
}

void commit(benchmark::State& state) {
    commitRepeatedly(state, false);
}

void commitKept(benchmark::State& state) {
    commitRepeatedly(state, false, true);
}

void commitRelinked(benchmark::State& state) {
    commitRepeatedly(state, true);
}

void floor(benchmark::State& state) {
    const fs::path path = workbookWithTurns(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const auto bytes = pellix::xls::readWholeFile(path, "data.xls");
        pellix::xls::writeFileAtomically(path, bytes, "data.xls");
    }
    state.counters["file_bytes"] = static_cast<double>(fs::file_size(path));
}

}  // namespace

BENCHMARK(commit)->Name("commit")->Arg(10)->Arg(500)->Arg(2060)->Unit(benchmark::kMillisecond);
BENCHMARK(commitKept)->Name("commit_kept")->Arg(10)->Arg(500)->Arg(2060)->Unit(benchmark::kMillisecond);
BENCHMARK(commitRelinked)->Name("commit_relinked")->Arg(10)->Arg(500)->Arg(2060)->Unit(benchmark::kMillisecond);
BENCHMARK(floor)->Name("floor")->Arg(10)->Arg(500)->Arg(2060)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
