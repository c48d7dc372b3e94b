#pragma once

// A played evening written straight into a program folder's data.xls, for the statistics view and
// report tests: the names of players 1..5 and turns as the statistics tests write them, one
// character per player ('1'..'4' the slot, 'a'..'d' the slot with a "C", '.' off court).

#include "score_test_support.h"
#include "workbook/cell_map.h"
#include "workbook/xls/workbook.h"

#include <filesystem>
#include <string>
#include <vector>

namespace pellix::testing {

inline void writeEvening(const std::filesystem::path& dataPath, const std::vector<std::string>& names,
                         const std::vector<std::string>& turns) {
    Record record{xls::CellValue::ofNumber(static_cast<double>(turns.size())), turns, {}};
    for (std::size_t index = 0; index < names.size(); ++index)
        record.extra[{cellmap::statusRow(static_cast<int>(index) + 1), cellmap::kNameColumn}] =
            xls::CellValue::ofText(names[index]);
    xls::Workbook book = xls::Workbook::open(dataPath);
    for (const xls::CellShown& cell : sheetOf(record).cells)
        book.setCell(book.activeSheet(), cell.row, cell.column, cell.value);
    book.saveAs(dataPath);
}

}  // namespace pellix::testing
