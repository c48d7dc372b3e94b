#pragma once

// The score workbook engine: a 97-2003 spreadsheet workbook (a BIFF8 "Workbook" stream inside a
// compound document) opened into memory, edited cell by cell and written back with every record
// that no edit touched kept as it was.
//
// Rows and columns are 0-based here (A1 is row 0, column 0). Every failure is an XlsError whose
// message names the file and what is wrong with it (xls_error.h); only a broken rule of the
// engine's own code stops the program instead.

#include "workbook/xls/xls_error.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
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

class Workbook {
public:
    // Throws XlsError: not a compound document, no Workbook stream, older format, encrypted, damaged.
    static Workbook open(const std::filesystem::path& path);
    static Workbook fromBytes(std::span<const std::uint8_t> bytes, const std::string& displayName);

    Workbook(Workbook&&) noexcept;
    Workbook& operator=(Workbook&&) noexcept;
    ~Workbook();

    const std::string& displayName() const;
    int sheetCount() const;
    std::string sheetName(int sheet) const;
    // The sheet the workbook's window record selects: the one active when the file was saved.
    int activeSheet() const;

    CellValue cell(int sheet, int row, int column) const;
    // Writes a value keeping the cell's format; an Empty value empties the cell, and a formatted
    // cell stays as a formatted blank. A cell of a shared formula is first parted from it: the
    // group's other cells keep the same formula as their own. Throws XlsError for a cell of an
    // array formula or data table over more cells, which can only be changed as a whole.
    void setCell(int sheet, int row, int column, const CellValue& value);
    // A solid fill of palette colour `colorIndex` (1..56), keeping the rest of the cell's format.
    void setFill(int sheet, int row, int column, int colorIndex);
    // A custom row height in points; 0 hides the row (its former height is kept for unhiding).
    void setRowHeight(int sheet, int row, double points);

    SheetShown shown(int sheet) const;
    int cellFormatCount() const;  // number of XF records

    // The whole compound document as it would be saved.
    std::vector<std::uint8_t> toBytes() const;
    // Writes a temporary file beside `path`, flushes it to disk and renames it over `path`,
    // keeping the permissions of the file it replaces. On failure `path` is left untouched.
    void saveAs(const std::filesystem::path& path) const;

private:
    struct Impl;
    explicit Workbook(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace pellix::xls
