#pragma once

// A played evening written straight into a program folder's data.xls, for the statistics view and
// report tests: the names of players 1..5 and turns as the statistics tests write them, one
// character per player ('1'..'4' the slot, 'a'..'d' the slot with a "C", '.' off court).

#include "workbook/cell_map.h"
#include "workbook/xls/workbook.h"

#include <filesystem>
#include <string>
#include <vector>

namespace pellix::testing {

inline void writeEvening(const std::filesystem::path& dataPath, const std::vector<std::string>& names,
                         const std::vector<std::string>& turns) {
    xls::Workbook book = xls::Workbook::open(dataPath);
    const int sheet = book.activeSheet();
    const auto put = [&](int row, int column, const xls::CellValue& value) {
        book.setCell(sheet, row - 1, column - 1, value);
    };
    for (std::size_t index = 0; index < names.size(); ++index)
        put(cellmap::statusRow(static_cast<int>(index) + 1), cellmap::kNameColumn,
            xls::CellValue::ofText(names[index]));
    put(cellmap::kTurnRow, cellmap::kTurnColumn, xls::CellValue::ofNumber(static_cast<double>(turns.size())));
    for (std::size_t turn = 1; turn <= turns.size(); ++turn)
        for (int player = 1; player <= cellmap::kPlayers; ++player) {
            const char mark = turns[turn - 1][static_cast<std::size_t>(player - 1)];
            const int row = cellmap::turnRow(static_cast<int>(turn));
            if (mark >= '1' && mark <= '4')
                put(row, cellmap::positionColumn(player), xls::CellValue::ofNumber(mark - '0'));
            if (mark >= 'a' && mark <= 'd') {
                put(row, cellmap::positionColumn(player), xls::CellValue::ofNumber(mark - 'a' + 1));
                put(row, cellmap::markColumn(player), xls::CellValue::ofText("C"));
            }
        }
    book.saveAs(dataPath);
}

}  // namespace pellix::testing
