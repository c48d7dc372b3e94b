#pragma once

// The score workbook engine: a 97-2003 spreadsheet workbook (a BIFF8 "Workbook" stream inside a
// compound document) opened into memory, edited cell by cell and written back with every record
// that no edit touched kept as it was.
//
// Rows and columns are 0-based here (A1 is row 0, column 0). Every failure is an XlsError whose
// message names the file and what is wrong with it (xls_error.h); only a broken rule of the
// engine's own code stops the program instead.

#include "values/cell_value.h"
#include "files/atomic_file.h"
#include "files/xls_error.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace pellix::xls {

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
    // The same, handing the file it replaces to `beforeReplace` just before the replacement.
    void saveAs(const std::filesystem::path& path, const BeforeReplace& beforeReplace) const;

private:
    struct Impl;
    explicit Workbook(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace pellix::xls
