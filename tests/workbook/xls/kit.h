#pragma once

// What the workbook tests share: a BIFF8 builder that lays the cell table out the way Excel does
// (ROW records, cells, a DBCELL per block of 32 rows, INDEX pointing at them), a structure
// checker written apart from the engine's writer, a record dump for readable byte diffs, and the
// comparison through xlrd, a reader nobody here wrote.

#include "support.h"

#include "workbook/xls/biff.h"
#include "workbook/xls/byte_order.h"
#include "workbook/xls/workbook.h"

#include <gmock/gmock.h>

#include <array>
#include <bit>
#include <map>
#include <optional>

namespace pellix::xls::testing {

using Bytes = std::vector<std::uint8_t>;
using pellix::testing::ScratchFolder;

inline const auto num = [](double value) { return CellValue::ofNumber(value); };
inline const auto str = [](std::string text) { return CellValue::ofText(std::move(text)); };

struct Record {
    std::uint16_t type = 0;
    Bytes data;
    std::uint32_t offset = 0;  // in the stream, of a record read back
};

Bytes le(std::uint64_t value, int size);  // `size` little-endian bytes
template <typename T>
std::vector<T> operator+(std::vector<T> a, const std::vector<T>& b) {
    return a.insert(a.end(), b.begin(), b.end()), a;
}
inline const auto f64 = [](double value) { return le(std::bit_cast<std::uint64_t>(value), 8); };
Bytes ustr(const std::u16string& text);  // XLUnicodeString, 8-bit when every character fits
inline const auto rkInt = [](int value) { return static_cast<std::uint32_t>(value) << 2 | 2u; };
inline const Bytes kTextResult = {0, 0, 0, 0, 0, 0, 0xFF, 0xFF};  // a formula's cached text result

inline Record cell(std::uint16_t type, int row, int column, const Bytes& body, std::uint16_t xf = 15) {
    return {type, le(row, 2) + le(column, 2) + le(xf, 2) + body};
}
inline Record rk(int row, int column, int value, std::uint16_t xf = 15) {
    return cell(kSidRk, row, column, le(rkInt(value), 4), xf);
}
inline Record number(int row, int column, double value, std::uint16_t xf = 15) {
    return cell(kSidNumber, row, column, f64(value), xf);
}
Record mulRk(int row, int first, const std::vector<std::pair<std::uint16_t, int>>& cells);
Record mulBlank(int row, int first, const std::vector<std::uint16_t>& formats);
inline Record formula(int row, int column, const Bytes& result, const Bytes& tokens = {0x1E, 0x01, 0x00},
                      std::uint16_t flags = 0) {
    return cell(kSidFormula, row, column, result + le(flags, 2) + le(0, 4) + le(tokens.size(), 2) + tokens);
}
inline Record groupMember(int row, int column, const Bytes& result, int anchorRow, int anchorColumn) {
    return formula(row, column, result, Bytes{0x01} + le(anchorRow, 2) + le(anchorColumn, 2), 0x0008);
}
// SHRFMLA or ARRAY over rows `firstRow` to `lastRow` of one column.
inline Record group(std::uint16_t type, int firstRow, int lastRow, int column,
                    const Bytes& tokens = {0x1E, 0x01, 0x00}) {
    return {type, le(firstRow, 2) + le(lastRow, 2) + le(column, 1) + le(column, 1)
                      + (type == kSidShrFmla ? le(0, 1) + le(lastRow - firstRow + 1, 1) : le(0, 6))
                      + le(tokens.size(), 2) + tokens};
}
inline Record rowRecord(int row, std::uint16_t heightTwips, std::uint8_t flags, std::uint16_t xf = 15) {
    return {kSidRow, le(row, 2) + le(0, 4) + le(heightTwips, 2) + le(0, 4) + Bytes{flags, 0x01} + le(xf, 2)};
}
inline Bytes cellFormat(std::uint16_t font, std::uint16_t format) {
    return le(font, 2) + le(format, 2) + le(0x0001, 2) + Bytes{0x20} + le(0, 11) + le(0x20C0, 2);
}

struct SheetPlan {
    std::string name = "Sheet1";
    std::vector<Record> cells;  // cell records (and their follow-ups) in stream order
    std::vector<Record> rows;   // ROW records with their own height, flags or format
    std::vector<Record> tail;   // records between the cell table and WINDOW2
    bool chart = false;
};

struct BookPlan {
    std::vector<SheetPlan> sheets{SheetPlan{}};
    int active = 0;
    std::vector<std::u16string> strings;     // the SST, one record
    std::optional<std::vector<Record>> sst;  // or SST and CONTINUE given raw
    std::vector<Bytes> formats;              // cell XFs from index 16 on
    std::vector<Record> globals;             // right after BOF
    bool xfCrc = false;
};

Bytes buildStream(const BookPlan& book);
// The stream in a compound document beside a SummaryInformation stream and a storage with a class id.
Bytes wrapStream(const Bytes& stream, int sectorSize = 512, const char* name = "Workbook");
inline const auto buildFile = [](const BookPlan& book) { return wrapStream(buildStream(book)); };
inline const auto openBook = [](const Bytes& file) { return Workbook::fromBytes(file, "data.xls"); };

extern const std::map<std::uint16_t, std::size_t> kCellRecords;  // cell record types and their fixed sizes
inline constexpr std::array<std::uint8_t, 16> kRootClassId = {0x20, 0x08, 0x02, 0, 0, 0, 0, 0,
                                                              0xC0, 0,    0,    0, 0, 0, 0, 0x46};
std::vector<Record> recordsOf(const Bytes& stream);
Bytes workbookStreamOf(const Bytes& file);
// One "type size hex" line per record, so that a byte mismatch reads as a record diff.
std::string dump(const Bytes& stream);

// Every broken invariant of the stream as one line: offsets, blocks, indexes, counts, order.
std::vector<std::string> streamProblems(const Bytes& stream, bool checkXfCrc = true);
// The problems of the saved file's stream that the original's does not have.
std::vector<std::string> newProblems(const Bytes& originalFile, const Bytes& savedFile, bool checkXfCrc = true);

// xlrd_compare.py's report on two files, empty when both read the same apart from the `edited`
// cells ("B19") and rows ("row:14") of the active sheet.
std::string xlrdDifferences(const Bytes& original, const Bytes& saved, const std::vector<std::string>& edited);

}  // namespace pellix::xls::testing
