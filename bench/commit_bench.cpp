// One turn commit on score workbooks of 10, 500 and 2060 recorded turns, done through the
// stand-in for the spreadsheet application exactly as the turn commit does it: open, the turn
// cell, the emptied turn row, four slot numbers and the mark, the status colours and texts, the
// walk back over the history for twelve players, save, close. "floor" is the least any save can
// cost on the same file: read its bytes and write them back atomically.

#include "workbook/xl_app.h"
#include "workbook/xls/atomic_file.h"

#include <benchmark/benchmark.h>

#include <array>
#include <filesystem>
#include <map>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;
using pellix::CellValue;
using pellix::ValueKind;
using pellix::XlApp;

const fs::path kBase = PELLIX_BENCH_BASE;

fs::path benchFolder()
{
    static const fs::path folder = [] {
        const char* chosen = std::getenv("PELLIX_BENCH_DIR");
        fs::path path = chosen ? fs::path(chosen) : fs::temp_directory_path() / "pellix-bench";
        fs::create_directories(path);
        return path;
    }();
    return folder;
}

struct Court {
    std::array<int, 5> slot{};  // slot k = 1..4 holds player slot[k]
    int miss = 0;
};

Court courtOfTurn(std::mt19937& random)
{
    Court court;
    std::array<int, 12> players{};
    for (int p = 0; p < 12; ++p)
        players[static_cast<std::size_t>(p)] = p + 1;
    std::shuffle(players.begin(), players.end(), random);
    for (int k = 1; k <= 4; ++k)
        court.slot[static_cast<std::size_t>(k)] = players[static_cast<std::size_t>(k - 1)];
    if (random() % 2)
        court.miss = court.slot[1 + random() % 4];
    return court;
}

// A score workbook with `turns` recorded turns, made once per size from the base workbook.
fs::path workbookWithTurns(int turns)
{
    static std::map<int, fs::path> made;
    if (auto found = made.find(turns); found != made.end())
        return found->second;
    const fs::path path = benchFolder() / ("turns_" + std::to_string(turns) + ".xls");
    fs::copy_file(kBase, path, fs::copy_options::overwrite_existing);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
    XlApp xlApp;
    auto& xlBook = xlApp.Application().Workbooks().Open(path);
    std::mt19937 random(20260);
    for (int turn = 1; turn <= turns; ++turn) {
        const Court court = courtOfTurn(random);
        for (int k = 1; k <= 4; ++k)
            xlApp.cells(turn + 40, court.slot[static_cast<std::size_t>(k)] + 9).setValue(k);
        if (court.miss > 0)
            xlApp.cells(turn + 40, court.miss + 22).setValue("C");
    }
    xlApp.cells(19, 2).setValue(turns);
    xlBook.saveas(path);
    xlBook.Close();
    made[turns] = path;
    return path;
}

double numberIn(const CellValue& value)
{
    return value.kind == ValueKind::Number ? value.number : 0;
}

bool isEmpty(const CellValue& value)
{
    return value.kind == ValueKind::Empty || (value.kind == ValueKind::Text && value.text.empty());
}

void commitTurn(XlApp& xlApp, const fs::path& dataPath, int turn, const Court& court)
{
    auto& xlBook = xlApp.Application().Workbooks().Open(dataPath);
    xlApp.cells(19, 2).setValue(turn);
    const int r = turn + 40;
    xlApp.range("J" + std::to_string(r) + ":AH" + std::to_string(r)).setValue("");
    for (int k = 1; k <= 4; ++k)
        xlApp.cells(r, court.slot[static_cast<std::size_t>(k)] + 9).setValue(k);
    if (court.miss > 0)
        xlApp.cells(r, court.miss + 22).setValue("C");
    xlApp.range("B2:D13").Interior().setColorIndex(2);
    xlApp.range("C2:D13").setValue("");
    for (int i = 1; i <= 12; ++i) {
        if (!(numberIn(xlApp.cells(37, i + 35).Value()) > 0))
            continue;
        std::string standing;
        const int c = i + 9;
        const std::string row = std::to_string(i + 1);
        if (numberIn(xlApp.cells(r, c).Value()) > 0) {
            for (int j = turn - 1; j >= 1 && numberIn(xlApp.cells(j + 40, c).Value()) > 0; --j)
                standing = std::to_string(turn - j) + "連勝中";
            if (standing.empty())
                standing = "Challenger";
            xlApp.range("B" + row + ":D" + row).Interior().setColorIndex(numberIn(xlApp.cells(r, c).Value()) < 3 ? 35 : 40);
        } else {
            for (int j = turn - 1; j >= 1 && isEmpty(xlApp.cells(j + 40, c).Value()); --j)
                standing = std::to_string(turn - j + 1) + "ターン待ち";
            if (standing.empty() && isEmpty(xlApp.cells(turn + 38, c).Value())) {
                standing = "瞬　殺　　";
                xlApp.range("C" + row + ":D" + row).Interior().setColorIndex(38);
            }
        }
        xlApp.cells(i + 1, 4).setValue(standing);
    }
    xlBook.saveas(dataPath);
    xlBook.Close();
}

void commit(benchmark::State& state)
{
    const int turns = static_cast<int>(state.range(0));
    const fs::path path = workbookWithTurns(turns);
    XlApp xlApp;
    xlApp.DisplayAlerts = false;
    std::mt19937 random(7);
    for (auto _ : state) {
        // The last turn committed again: the file keeps its size from one commit to the next.
        commitTurn(xlApp, path, turns, courtOfTurn(random));
    }
    state.counters["file_bytes"] = static_cast<double>(fs::file_size(path));
}

void floor(benchmark::State& state)
{
    const fs::path path = workbookWithTurns(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const auto bytes = pellix::xls::readWholeFile(path, "data.xls");
        pellix::xls::writeFileAtomically(path, bytes, "data.xls");
    }
    state.counters["file_bytes"] = static_cast<double>(fs::file_size(path));
}

}  // namespace

BENCHMARK(commit)->Name("commit")->Arg(10)->Arg(500)->Arg(2060)->Unit(benchmark::kMillisecond);
BENCHMARK(floor)->Name("floor")->Arg(10)->Arg(500)->Arg(2060)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
