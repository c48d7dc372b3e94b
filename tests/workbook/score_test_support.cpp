#include "score_test_support.h"

#include "workbook/cell_map.h"

namespace pellix::testing {

std::filesystem::path withSampleWorkbook(const ScratchFolder& folder) {
    const auto target = folder / "data.xls";
    std::filesystem::copy_file(std::filesystem::path(PELLIX_SOURCE_DIR) / "assets/sample/data.xls", target,
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(target, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    return target;
}

void ScoreFixture::edit(const std::function<void(XlApp&)>& edits) {
    XlApp app;
    XlBook& book = app.Workbooks().Open(dataPath);
    edits(app);
    book.saveas(dataPath);
    book.Close();
}

Saved::Saved(const std::filesystem::path& file) : book(xls::Workbook::open(file)), sheet(book.activeSheet()) {
    for (const auto& cell : book.shown(sheet).cells) fills[{cell.row + 1, cell.column + 1}] = cell.fillColorIndex;
}

xls::SheetShown sheetOf(const Record& record) {
    std::map<std::pair<int, int>, xls::CellValue> cells = record.extra;
    cells[{cellmap::kTurnRow, cellmap::kTurnColumn}] = record.lastTurn;
    for (std::size_t t = 0; t < record.turns.size(); ++t) {
        const int row = cellmap::turnRow(static_cast<int>(t) + 1);
        for (int player = 1; player <= cellmap::kPlayers; ++player) {
            const char c = record.turns[t][player - 1];
            const int slot = c >= 'a' && c <= 'd' ? c - 'a' + 1 : c >= '1' && c <= '4' ? c - '0' : 0;
            if (slot) cells[{row, cellmap::positionColumn(player)}] = xls::CellValue::ofNumber(slot);
            if (c == '*' || (c >= 'a' && c <= 'd'))
                cells[{row, cellmap::markColumn(player)}] = xls::CellValue::ofText("C");
        }
    }
    xls::SheetShown sheet;
    for (const auto& [place, value] : cells) sheet.cells.push_back({place.first - 1, place.second - 1, value});
    return sheet;
}

std::string runPython(const std::string& script) {
    const ScratchFolder folder;
    writeFile(folder / "check.py", script);
    return pythonOutput(folder / "check.py");
}

}  // namespace pellix::testing
