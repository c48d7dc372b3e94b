#pragma once

// Our stand-in for the spreadsheet application that the score routines drive: the same
// operations by the same names, carried out in process by the workbook engine. No spreadsheet
// program is ever started.
//
//   XlApp xlApp;
//   XlBook& xlBook = xlApp.Application().Workbooks().Open(DataPath);
//   xlApp.cells(19, 2).setValue(7);      xlApp.range("J41:AH41").setValue("");
//   xlApp.range("B2:D13").Interior().setColorIndex(2);
//   xlApp.rows("2:13").setRowheight(16.5);
//   xlBook.saveas(DataPath);             xlBook.Close();
//
// `cells`, `range` and `rows` act on the active sheet of the workbook last opened; rows and
// columns are 1-based, as in the spreadsheet's own object model. Every failure throws
// xls::XlsError with a message that names the file and the cause.

#include "files/atomic_file.h"
#include "workbook/xls/workbook.h"

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace pellix {

using xls::CellValue;
using xls::ValueKind;
using xls::XlsError;

class XlApp;

// One rectangle of cells, 1-based and inclusive.
struct CellBlock {
    int firstRow = 1;
    int firstColumn = 1;
    int lastRow = 1;
    int lastColumn = 1;
};

// "B2:D13", "J41:AH41", "B19" (case-insensitive, no blanks). Throws XlsError on anything else.
CellBlock parseRangeAddress(std::string_view address);
// "2:13", "14" ; returns {first, last}, 1-based. Throws XlsError on anything else.
std::pair<int, int> parseRowsAddress(std::string_view address);

class XlBook {
public:
    explicit XlBook(xls::Workbook workbook);
    // Writes the workbook over `FileName`, atomically.
    void saveas(const std::filesystem::path& FileName);
    // The same, handing the file it replaces to `beforeReplace` just before the replacement.
    void saveas(const std::filesystem::path& FileName, const xls::BeforeReplace& beforeReplace);
    // Closes without saving; the stand-in keeps no workbook open afterwards.
    void Close();
    bool isOpen() const { return open_; }
    xls::Workbook& workbook() { return workbook_; }

private:
    friend class XlApp;
    xls::Workbook workbook_;
    bool open_ = true;
};

class XlCell {
public:
    CellValue Value() const;
    void setValue(const CellValue& value);
    void setValue(double number) { setValue(CellValue::ofNumber(number)); }
    void setValue(std::string_view text);  // the empty text empties the cell

private:
    friend class XlApp;
    XlCell(XlBook& book, int row, int column) : book_(book), row_(row), column_(column) {}
    XlBook& book_;
    int row_;
    int column_;
};

class XlInterior {
public:
    void setColorIndex(int colorIndex);

private:
    friend class XlRange;
    XlInterior(XlBook& book, CellBlock block) : book_(book), block_(block) {}
    XlBook& book_;
    CellBlock block_;
};

class XlRange {
public:
    void setValue(const CellValue& value);
    void setValue(double number) { setValue(CellValue::ofNumber(number)); }
    void setValue(std::string_view text);
    XlInterior Interior() { return XlInterior(book_, block_); }

private:
    friend class XlApp;
    XlRange(XlBook& book, CellBlock block) : book_(book), block_(block) {}
    XlBook& book_;
    CellBlock block_;
};

class XlRows {
public:
    // Height in points; 0 hides the rows.
    void setRowheight(double points);

private:
    friend class XlApp;
    XlRows(XlBook& book, int firstRow, int lastRow) : book_(book), first_(firstRow), last_(lastRow) {}
    XlBook& book_;
    int first_;
    int last_;
};

class XlWorkbooks {
public:
    // Opens the file; its active sheet becomes the sheet that cells, range and rows address.
    XlBook& Open(const std::filesystem::path& FileName);

private:
    friend class XlApp;
    explicit XlWorkbooks(XlApp& app) : app_(app) {}
    XlApp& app_;
};

// Saves overwrite data.xls without asking: no prompt ever comes from the stand-in.
class XlApp {
public:
    XlApp& Application() { return *this; }
    XlWorkbooks Workbooks() { return XlWorkbooks(*this); }

    XlCell cells(int row, int column);
    XlRange range(std::string_view address);
    XlRows rows(std::string_view address);
    XlRows rows(int row);

    // The workbook last opened, or null before the first open.
    XlBook* book() { return book_.get(); }

private:
    friend class XlWorkbooks;
    XlBook& openBook();  // the open workbook; throws XlsError when none is open
    std::unique_ptr<XlBook> book_;
};

}  // namespace pellix
