#pragma once

// The score workbooks the benchmarks work on: the base workbook with a number of recorded turns of
// random courts and marks, made once per size in PELLIX_BENCH_DIR (default: the system's
// temporary folder).

#include <array>
#include <filesystem>
#include <random>

namespace pellix::bench {

struct Court {
    std::array<int, 5> slot{};  // slot k = 1..4 holds player slot[k]
    int miss = 0;
};

Court courtOfTurn(std::mt19937& random);

// The folder the benchmarks' workbooks are made in.
std::filesystem::path benchFolder();

std::filesystem::path workbookWithTurns(int turns);

}  // namespace pellix::bench
