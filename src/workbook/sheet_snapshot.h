#pragma once

// The sheet as the window shows it, read through the engine: the values as a spreadsheet shows
// them, fills, row heights, hidden rows, column widths. The window's sheet view, the spectator
// board and whatever else shows the record read this snapshot; none of them knows the engine.

#include "values/cell_value.h"

#include <filesystem>
#include <string>

namespace pellix {

// The active sheet of `file`; throws xls::XlsError naming the file when it cannot be read.
xls::SheetShown readShownSheet(const std::filesystem::path& file);
// A cell value as the sheet shows it: "7", "16.5", "TRUE", "#N/A".
std::string shownText(const xls::CellValue& value);
// A column's letters: 0 is "A", 26 is "AA".
std::string columnLetters(int column);
// The rows and columns a sheet of the format can have.
extern const int kSheetRows;
extern const int kSheetColumns;

}  // namespace pellix
