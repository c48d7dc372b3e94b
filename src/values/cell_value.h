#pragma once

// The values of a workbook's cells and what a spreadsheet shows of a sheet: the types the score
// routines and the window take from the engine. Nothing of the engine's internals: this header
// includes no other of the engine's.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace pellix::xls {

enum class ValueKind { Empty, Number, Text, Boolean, Error };

struct CellValue {
    ValueKind kind = ValueKind::Empty;
    double number = 0;       // Number
    std::string text;        // Text, UTF-8
    bool boolean = false;    // Boolean
    std::uint8_t error = 0;  // Error: the spreadsheet's error code (0x07 #DIV/0!, 0x2A #N/A, ...)

    static CellValue empty() { return {}; }
    static CellValue ofNumber(double n) { return {ValueKind::Number, n, {}, false, 0}; }
    static CellValue ofText(std::string t) { return {ValueKind::Text, 0, std::move(t), false, 0}; }
    static CellValue ofBoolean(bool b) { return {ValueKind::Boolean, 0, {}, b, 0}; }
    static CellValue ofError(std::uint8_t code) { return {ValueKind::Error, 0, {}, false, code}; }
    bool operator==(const CellValue&) const = default;
};

// What a spreadsheet shows of one sheet: used by the window's sheet view and by `pellix-xls dump`.
struct CellShown {
    int row = 0;
    int column = 0;
    CellValue value;  // a formula shows its cached result
    bool formula = false;
    int fillColorIndex = -1;    // the ColorIndex (palette icv - 7) of a patterned fill, -1 for none
    std::uint32_t fillRgb = 0;  // 0xRRGGBB from the workbook's palette, valid when fillColorIndex >= 0
};

struct RowShown {
    int row = 0;
    int heightTwips = 0;  // 1/20 point
    bool customHeight = false;
    bool hidden = false;
};

struct ColumnsShown {
    int first = 0;
    int last = 0;
    int width256 = 0;  // in 1/256 of the width of the default font's zero
    bool hidden = false;
};

struct SheetShown {
    std::string name;
    std::vector<CellShown> cells;       // non-empty or formatted cells, sorted by row then column
    std::vector<RowShown> rows;         // rows with a ROW record, sorted
    std::vector<ColumnsShown> columns;  // column ranges with their own width, sorted
    int defaultRowHeightTwips = 255;
    int defaultColumnWidth = 8;  // in characters
};

}  // namespace pellix::xls
