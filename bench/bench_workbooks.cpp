#include "bench_workbooks.h"

#include "workbook/xl_app.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string>

namespace pellix::bench {

namespace fs = std::filesystem;

namespace {

const fs::path kBase = PELLIX_BENCH_BASE;

}  // namespace

fs::path benchFolder() {
    static const fs::path folder = [] {
        const char* chosen = std::getenv("PELLIX_BENCH_DIR");
        fs::path path = chosen ? fs::path(chosen) : fs::temp_directory_path() / "pellix-bench";
        fs::create_directories(path);
        return path;
    }();
    return folder;
}

Court courtOfTurn(std::mt19937& random) {
    Court court;
    std::array<int, 12> players{};
    for (int p = 0; p < 12; ++p) players[static_cast<std::size_t>(p)] = p + 1;
    std::shuffle(players.begin(), players.end(), random);
    for (int k = 1; k <= 4; ++k) court.slot[static_cast<std::size_t>(k)] = players[static_cast<std::size_t>(k - 1)];
    if (random() % 2) court.miss = court.slot[1 + random() % 4];
    return court;
}

// A score workbook with `turns` recorded turns, made once per size from the base workbook.
fs::path workbookWithTurns(int turns) {
    static std::map<int, fs::path> made;
    if (auto found = made.find(turns); found != made.end()) return found->second;
    const fs::path path = benchFolder() / ("turns_" + std::to_string(turns) + ".xls");
    fs::copy_file(kBase, path, fs::copy_options::overwrite_existing);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
    XlApp xlApp;
    auto& xlBook = xlApp.Application().Workbooks().Open(path);
    std::mt19937 random(20260);
    for (int turn = 1; turn <= turns; ++turn) {
        const Court court = courtOfTurn(random);
        for (int k = 1; k <= 4; ++k) xlApp.cells(turn + 40, court.slot[static_cast<std::size_t>(k)] + 9).setValue(k);
        if (court.miss > 0) xlApp.cells(turn + 40, court.miss + 22).setValue("C");
    }
    xlApp.cells(19, 2).setValue(turns);
    xlBook.saveas(path);
    xlBook.Close();
    made[turns] = path;
    return path;
}

void QuietHost::showFailure(const std::string& message) {
    throw std::runtime_error(message);
}

void QuietHost::relinkSheetView() {
    if (!relinkReads_) return;
    const auto book = xls::Workbook::open(dataPath);
    benchmark::DoNotOptimize(book.shown(book.activeSheet()));
}

}  // namespace pellix::bench
