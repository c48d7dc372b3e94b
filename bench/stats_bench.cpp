// The per-player statistics of a 2060-turn record. "stats" is the whole table from the sheet as
// the engine shows it (what the window has read already); "stats_file" is what pellix-xls stats
// does: open the file, read the sheet, the table, the CSV.

#include "bench_workbooks.h"
#include "workbook/player_stats.h"
#include "workbook/xl_app.h"

#include <benchmark/benchmark.h>

namespace {

void stats(benchmark::State& state) {
    const auto book = pellix::xls::Workbook::open(pellix::bench::workbookWithTurns(static_cast<int>(state.range(0))));
    const pellix::xls::SheetShown sheet = book.shown(book.activeSheet());
    for (auto _ : state) benchmark::DoNotOptimize(pellix::computeStats(pellix::ShownRecord(sheet)));
}

void statsFile(benchmark::State& state) {
    const auto path = pellix::bench::workbookWithTurns(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        pellix::XlApp xlApp;
        pellix::XlBook& xlBook = xlApp.Application().Workbooks().Open(path);
        const auto shown = xlBook.workbook().shown(xlBook.workbook().activeSheet());
        benchmark::DoNotOptimize(pellix::statsCsv(pellix::computeStats(pellix::ShownRecord(shown))));
        xlBook.Close();
    }
}

}  // namespace

BENCHMARK(stats)->Name("stats")->Arg(2060)->Unit(benchmark::kMillisecond);
BENCHMARK(statsFile)->Name("stats_file")->Arg(2060)->Unit(benchmark::kMillisecond);
