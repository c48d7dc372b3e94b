// Commits turn after turn into a workbook until it is killed: the child process of the crash
// safety test. Prints "committed N" after each commit that returned.

#include "score_test_support.h"
#include "workbook/cell_map.h"
#include "workbook/score_routines.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: commit_loop DATA.XLS\n");
        return 2;
    }
    using namespace pellix;
    const std::filesystem::path dataPath = argv[1];
    pellix::testing::RecordingHost host;
    Board board;
    XlApp xlApp;
    int turn = 1;
    {
        XlApp reader;
        XlBook& book = reader.Workbooks().Open(dataPath);
        const CellValue last = reader.cells(cellmap::kTurnRow, cellmap::kTurnColumn).Value();
        if (last.kind == ValueKind::Number) turn = static_cast<int>(last.number) + 1;
        book.Close();
    }
    for (;; ++turn) {
        // A court that changes with every turn, so every turn row differs from the one before.
        for (int k = 1; k <= 4; ++k) board.dropOnCourtSlot((turn + 3 * k) % 12 + 1, k);
        ScoreContext context{host, &xlApp, dataPath, board, static_cast<std::int16_t>(board.CourtSlot[turn % 4 + 1])};
        host.clear();
        if (!CommitTurn(context, static_cast<std::int16_t>(turn)).ok) {
            std::fprintf(stderr, "%s\n", host.failures.empty() ? "commit failed" : host.failures.back().c_str());
            return 1;
        }
        std::printf("committed %d\n", turn);
        std::fflush(stdout);
    }
}
