#pragma once

// Builds small BIFF8 workbooks record by record for tests: every cell kind a spreadsheet
// program writes, split shared strings, extra globals. The cell table is laid out the way
// Excel lays it out (ROW records, cells, DBCELL per block of 32 rows, INDEX pointing at them).

#include "workbook/xls/workbook.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace pellix::xls {

// Readable values in test failures.
inline void PrintTo(const CellValue& value, std::ostream* out)
{
    switch (value.kind) {
    case ValueKind::Empty: *out << "empty"; break;
    case ValueKind::Number: *out << "number " << value.number; break;
    case ValueKind::Text: *out << "text \"" << value.text << "\""; break;
    case ValueKind::Boolean: *out << "boolean " << value.boolean; break;
    case ValueKind::Error: *out << "error " << int(value.error); break;
    }
}

}  // namespace pellix::xls

namespace pellix::xls::testing {

struct Record {
    std::uint16_t type = 0;
    std::vector<std::uint8_t> data;
};

Record numberCell(int row, int column, std::uint16_t xf, double value);
Record rkCell(int row, int column, std::uint16_t xf, std::uint32_t rk);
Record mulRk(int row, int firstColumn, const std::vector<std::pair<std::uint16_t, std::uint32_t>>& cells);
Record labelSstCell(int row, int column, std::uint16_t xf, std::uint32_t index);
Record labelCell(int row, int column, std::uint16_t xf, const std::u16string& text, std::uint16_t type = 0x0204);
Record blankCell(int row, int column, std::uint16_t xf);
Record mulBlank(int row, int firstColumn, const std::vector<std::uint16_t>& formats);
Record boolErrCell(int row, int column, std::uint16_t xf, std::uint8_t value, bool error);
// A formula "=1" whose cached result is given raw (8 bytes) — see the helpers below.
Record formulaCell(int row, int column, std::uint16_t xf, const std::uint8_t (&result)[8], bool shared = false);
Record stringRecord(const std::u16string& text);
// A formula with the given tokens and flags; with PtgExp tokens (`groupMember`) one cell of the
// shared formula or array anchored at (anchorRow, anchorColumn).
Record formulaWithTokens(int row, int column, std::uint16_t xf, const std::uint8_t (&result)[8],
                         const std::vector<std::uint8_t>& tokens, std::uint16_t flags = 0);
Record groupMember(int row, int column, std::uint16_t xf, const std::uint8_t (&result)[8], int anchorRow, int anchorColumn);
// SHRFMLA over the range, by default with the tokens of "=1".
Record sharedFormula(int firstRow, int lastRow, int firstColumn, int lastColumn,
                     const std::vector<std::uint8_t>& tokens = {0x1E, 0x01, 0x00});
Record arrayFormula(int firstRow, int lastRow, int firstColumn, int lastColumn, const std::vector<std::uint8_t>& tokens);
Record rowRecord(int row, std::uint16_t heightTwips, std::uint8_t flags, std::uint16_t xf = 15);
// A plain XLUnicodeRichExtendedString, 8-bit when every character fits.
std::vector<std::uint8_t> sstString(const std::u16string& text);

// The 20 bytes of a cell format with font `font`, number format `format` and an optional fill.
std::vector<std::uint8_t> cellFormat(std::uint16_t font, std::uint16_t format, int fillIcv = -1);

struct SheetSpec {
    std::string name = "Sheet1";
    std::vector<Record> cells;  // cell records (and follow-ups) in stream order
    std::vector<Record> rows;   // ROW records with their own height or flags
    std::vector<Record> tail;   // records between the cell table and WINDOW2
    bool chart = false;         // a chart sheet instead of a worksheet
};

struct BookSpec {
    std::vector<SheetSpec> sheets{SheetSpec{}};
    int active = 0;
    std::vector<std::u16string> strings;                   // the SST, one record
    std::optional<std::vector<Record>> sstRecords;         // or SST + CONTINUE given raw
    std::vector<std::vector<std::uint8_t>> extraFormats;  // cell XFs from index 16 on
    std::vector<Record> extraGlobals;                      // right after BOF
    bool xfCrc = false;                                    // write an XFCRC after the XFs
};

std::vector<std::uint8_t> buildStream(const BookSpec& book);
// The stream inside a compound document (through libgsf), with a SummaryInformation stream
// and a storage with a class id beside it.
std::vector<std::uint8_t> buildFile(const BookSpec& book, int sectorSize = 512);
std::vector<std::uint8_t> wrapStream(const std::vector<std::uint8_t>& workbookStream, int sectorSize = 512,
                                     const char* streamName = "Workbook");

}  // namespace pellix::xls::testing
