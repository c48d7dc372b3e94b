#pragma once

// The sheet's limits and the texts a spreadsheet shows for its places and values: column
// letters, cell names, error values and numbers in the general format. The window, the dump and
// the engine's messages all take them from here.

#include <cstdint>
#include <string>

namespace pellix::xls {

struct CellValue;

// Rows and columns of a sheet.
inline constexpr int kMaxRows = 65536;
inline constexpr int kMaxColumns = 256;

// The letters of a 0-based column: 0 -> "A", 26 -> "AA", 255 -> "IV".
std::string columnName(int column);
// "A1"-style name of a 0-based cell.
std::string cellName(int row, int column);
// "#DIV/0!", "#N/A", ...; "#ERR!" for a code the spreadsheet does not define.
std::string errorText(std::uint8_t code);
// The general number format: up to 15 significant digits and no trailing zeros ("7", "16.5",
// "0.3" for 0.1 + 0.2, "1e+20").
std::string numberText(double number);
// A value as the sheet shows it: a number as above, a text as it is, "TRUE"/"FALSE", an error's
// text; nothing for an empty cell.
std::string shownText(const CellValue& value);

}  // namespace pellix::xls
