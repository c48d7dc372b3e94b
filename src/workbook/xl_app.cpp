#include "workbook/xl_app.h"

#include "workbook/xls/cell_text.h"

#include <cctype>

namespace pellix {

namespace {

using xls::kMaxColumns;
using xls::kMaxRows;

[[noreturn]] void badAddress(std::string_view address, const char* what) {
    throw XlsError("\"" + std::string(address) + "\" is not " + what);
}

// Letters then digits: "B2", "AH41". Returns false on anything else.
bool parseCellAddress(std::string_view text, int& row, int& column) {
    std::size_t i = 0;
    column = 0;
    while (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i]))) {
        column = column * 26 + (std::toupper(static_cast<unsigned char>(text[i])) - 'A' + 1);
        if (column > kMaxColumns) return false;
        ++i;
    }
    if (i == 0 || i == text.size()) return false;
    row = 0;
    for (; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
        row = row * 10 + (text[i] - '0');
        if (row > kMaxRows) return false;
    }
    return row >= 1;
}

bool parseRowNumber(std::string_view text, int& row) {
    if (text.empty()) return false;
    row = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        row = row * 10 + (c - '0');
        if (row > kMaxRows) return false;
    }
    return row >= 1;
}

void checkCell(int row, int column) {
    if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns)
        throw XlsError("cells(" + std::to_string(row) + ", " + std::to_string(column) + ") lies outside the sheet");
}

}  // namespace

CellBlock parseRangeAddress(std::string_view address) {
    const std::size_t colon = address.find(':');
    CellBlock block;
    if (colon == std::string_view::npos) {
        if (!parseCellAddress(address, block.firstRow, block.firstColumn)) badAddress(address, "a cell address");
        block.lastRow = block.firstRow;
        block.lastColumn = block.firstColumn;
        return block;
    }
    if (!parseCellAddress(address.substr(0, colon), block.firstRow, block.firstColumn)
        || !parseCellAddress(address.substr(colon + 1), block.lastRow, block.lastColumn))
        badAddress(address, "a range address");
    if (block.firstRow > block.lastRow) std::swap(block.firstRow, block.lastRow);
    if (block.firstColumn > block.lastColumn) std::swap(block.firstColumn, block.lastColumn);
    return block;
}

std::pair<int, int> parseRowsAddress(std::string_view address) {
    const std::size_t colon = address.find(':');
    int first = 0;
    int last = 0;
    if (colon == std::string_view::npos) {
        if (!parseRowNumber(address, first)) badAddress(address, "a row address");
        return {first, first};
    }
    if (!parseRowNumber(address.substr(0, colon), first) || !parseRowNumber(address.substr(colon + 1), last))
        badAddress(address, "a row address");
    if (first > last) std::swap(first, last);
    return {first, last};
}

XlBook::XlBook(xls::Workbook workbook) : workbook_(std::move(workbook)) {}

void XlBook::saveas(const std::filesystem::path& FileName) {
    if (!open_) throw XlsError("cannot save " + FileName.filename().string() + ": the workbook is already closed");
    workbook_.saveAs(FileName);
}

void XlBook::saveas(const std::filesystem::path& FileName, const xls::BeforeReplace& beforeReplace) {
    if (!open_) throw XlsError("cannot save " + FileName.filename().string() + ": the workbook is already closed");
    workbook_.saveAs(FileName, beforeReplace);
}

void XlBook::Close() {
    open_ = false;
}

CellValue XlCell::Value() const {
    return book_.workbook().cell(book_.workbook().activeSheet(), row_ - 1, column_ - 1);
}

void XlCell::setValue(const CellValue& value) {
    book_.workbook().setCell(book_.workbook().activeSheet(), row_ - 1, column_ - 1, value);
}

void XlCell::setValue(std::string_view text) {
    setValue(text.empty() ? CellValue::empty() : CellValue::ofText(std::string(text)));
}

void XlInterior::setColorIndex(int colorIndex) {
    xls::Workbook& workbook = book_.workbook();
    const int sheet = workbook.activeSheet();
    for (int row = block_.firstRow; row <= block_.lastRow; ++row)
        for (int column = block_.firstColumn; column <= block_.lastColumn; ++column)
            workbook.setFill(sheet, row - 1, column - 1, colorIndex);
}

void XlRange::setValue(const CellValue& value) {
    xls::Workbook& workbook = book_.workbook();
    const int sheet = workbook.activeSheet();
    for (int row = block_.firstRow; row <= block_.lastRow; ++row)
        for (int column = block_.firstColumn; column <= block_.lastColumn; ++column)
            workbook.setCell(sheet, row - 1, column - 1, value);
}

void XlRange::setValue(std::string_view text) {
    setValue(text.empty() ? CellValue::empty() : CellValue::ofText(std::string(text)));
}

void XlRows::setRowheight(double points) {
    xls::Workbook& workbook = book_.workbook();
    const int sheet = workbook.activeSheet();
    for (int row = first_; row <= last_; ++row) workbook.setRowHeight(sheet, row - 1, points);
}

XlBook& XlWorkbooks::Open(const std::filesystem::path& FileName) {
    // The book opened before is let go first, as the application closes it without saving.
    app_.book_.reset();
    app_.book_ = std::make_unique<XlBook>(xls::Workbook::open(FileName));
    return *app_.book_;
}

XlBook& XlApp::openBook() {
    if (!book_ || !book_->isOpen()) throw XlsError("no workbook is open");
    return *book_;
}

XlCell XlApp::cells(int row, int column) {
    checkCell(row, column);
    return XlCell(openBook(), row, column);
}

XlRange XlApp::range(std::string_view address) {
    const CellBlock block = parseRangeAddress(address);
    return XlRange(openBook(), block);
}

XlRows XlApp::rows(std::string_view address) {
    const auto [first, last] = parseRowsAddress(address);
    return XlRows(openBook(), first, last);
}

XlRows XlApp::rows(int row) {
    if (row < 1 || row > kMaxRows) throw XlsError("row " + std::to_string(row) + " lies outside the sheet");
    return XlRows(openBook(), row, row);
}

}  // namespace pellix
