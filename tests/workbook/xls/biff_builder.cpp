#include "biff_builder.h"

#include "workbook/xls/biff.h"
#include "workbook/xls/byte_order.h"
#include "workbook/xls/cell_formats.h"
#include "workbook/xls/compound_document.h"

#include <algorithm>
#include <map>

namespace pellix::xls::testing {

namespace {

std::vector<std::uint8_t> cellHeader(int row, int column, std::uint16_t xf)
{
    std::vector<std::uint8_t> data;
    appendU16(data, static_cast<std::uint16_t>(row));
    appendU16(data, static_cast<std::uint16_t>(column));
    appendU16(data, xf);
    return data;
}

void appendF64(std::vector<std::uint8_t>& out, double value)
{
    std::uint8_t bytes[8];
    writeF64(bytes, value);
    out.insert(out.end(), bytes, bytes + 8);
}

void appendUnicode(std::vector<std::uint8_t>& out, const std::u16string& text)
{
    const bool wide = std::any_of(text.begin(), text.end(), [](char16_t c) { return c > 0xFF; });
    appendU16(out, static_cast<std::uint16_t>(text.size()));
    out.push_back(wide ? 1 : 0);
    for (char16_t c : text) {
        out.push_back(static_cast<std::uint8_t>(c));
        if (wide)
            out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
}

void put(std::vector<std::uint8_t>& out, const Record& record)
{
    appendU16(out, record.type);
    appendU16(out, static_cast<std::uint16_t>(record.data.size()));
    out.insert(out.end(), record.data.begin(), record.data.end());
}

Record bof(std::uint16_t kind)
{
    Record record{0x0809, {}};
    appendU16(record.data, 0x0600);
    appendU16(record.data, kind);
    appendU16(record.data, 0x0DBB);
    appendU16(record.data, 0x07CC);
    appendU32(record.data, 0x000080C9);
    appendU32(record.data, 0x00000206);
    return record;
}

std::vector<std::uint8_t> styleFormat()
{
    std::vector<std::uint8_t> xf(20, 0);
    writeU16(xf.data() + 4, 0xFFF5);
    xf[6] = 0x20;
    writeU16(xf.data() + 18, 0x20C0);
    return xf;
}

std::vector<std::uint8_t> sheetStream(const SheetSpec& sheet, std::uint32_t start)
{
    std::vector<std::uint8_t> out;
    if (sheet.chart) {
        put(out, bof(0x0020));
        put(out, Record{0x000A, {}});
        return out;
    }
    // Cells grouped by row, keeping each row's records (with their follow-ups) in order.
    std::map<int, std::vector<Record>> cellsByRow;
    int currentRow = -1;
    for (const Record& record : sheet.cells) {
        if (isCellRecord(record.type))
            currentRow = readU16(record.data.data());
        cellsByRow[currentRow].push_back(record);
    }
    std::map<int, Record> rowRecords;
    for (const auto& [row, records] : cellsByRow) {
        Record rowRecord = testing::rowRecord(row, 255, 0);
        int first = 0xFFFF, last = 0;
        for (const Record& record : records) {
            if (!isCellRecord(record.type))
                continue;
            const int column = readU16(record.data.data() + 2);
            int lastColumn = column;
            if (record.type == 0x00BD)
                lastColumn = column + static_cast<int>((record.data.size() - 6) / 6) - 1;
            if (record.type == 0x00BE)
                lastColumn = column + static_cast<int>((record.data.size() - 6) / 2) - 1;
            first = std::min(first, column);
            last = std::max(last, lastColumn + 1);
        }
        writeU16(rowRecord.data.data() + 2, static_cast<std::uint16_t>(first));
        writeU16(rowRecord.data.data() + 4, static_cast<std::uint16_t>(last));
        rowRecords[row] = rowRecord;
    }
    for (const Record& record : sheet.rows)
        rowRecords[readU16(record.data.data())] = record;

    std::vector<int> rows;
    for (const auto& [row, record] : rowRecords)
        rows.push_back(row);
    std::size_t blocks = 0;
    for (std::size_t k = 0; k < rows.size(); ++k)
        if (k == 0 || rows[k] / 32 != rows[k - 1] / 32)
            ++blocks;

    put(out, bof(0x0010));
    const std::size_t indexAt = out.size();
    put(out, Record{0x020B, std::vector<std::uint8_t>(16 + 4 * blocks, 0)});
    put(out, Record{0x0225, {0x00, 0x00, 0xFF, 0x00}});
    const std::uint32_t defColWidth = start + static_cast<std::uint32_t>(out.size());
    put(out, Record{0x0055, {0x08, 0x00}});
    Record dimensions{0x0200, {}};
    appendU32(dimensions.data, rows.empty() ? 0 : rows.front());
    appendU32(dimensions.data, rows.empty() ? 0 : rows.back() + 1);
    appendU16(dimensions.data, 0);
    appendU16(dimensions.data, 256);
    appendU16(dimensions.data, 0);
    put(out, dimensions);

    std::vector<std::uint32_t> dbCells;
    for (std::size_t k = 0; k < rows.size();) {
        std::size_t end = k;
        while (end < rows.size() && rows[end] / 32 == rows[k] / 32)
            ++end;
        const std::size_t blockStart = out.size();
        for (std::size_t m = k; m < end; ++m)
            put(out, rowRecords[rows[m]]);
        std::vector<std::uint16_t> offsets{static_cast<std::uint16_t>(out.size() - blockStart - 20)};
        for (std::size_t m = k; m < end; ++m) {
            const std::size_t rowStart = out.size();
            for (const Record& record : cellsByRow[rows[m]])
                put(out, record);
            if (m + 1 < end)
                offsets.push_back(static_cast<std::uint16_t>(out.size() - rowStart));
        }
        dbCells.push_back(start + static_cast<std::uint32_t>(out.size()));
        Record dbCell{0x00D7, {}};
        appendU32(dbCell.data, static_cast<std::uint32_t>(out.size() - blockStart));
        for (std::uint16_t offset : offsets)
            appendU16(dbCell.data, offset);
        put(out, dbCell);
        k = end;
    }
    for (const Record& record : sheet.tail)
        put(out, record);
    put(out, Record{0x023E, {0xB6, 0x06, 0, 0, 0, 0, 0x40, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}});
    put(out, Record{0x000A, {}});

    std::uint8_t* index = out.data() + indexAt + 4;
    writeU32(index + 4, rows.empty() ? 0 : rows.front());
    writeU32(index + 8, rows.empty() ? 0 : rows.back() + 1);
    writeU32(index + 12, defColWidth);
    for (std::size_t b = 0; b < dbCells.size(); ++b)
        writeU32(index + 16 + 4 * b, dbCells[b]);
    return out;
}

}  // namespace

Record numberCell(int row, int column, std::uint16_t xf, double value)
{
    Record record{0x0203, cellHeader(row, column, xf)};
    appendF64(record.data, value);
    return record;
}

Record rkCell(int row, int column, std::uint16_t xf, std::uint32_t rk)
{
    Record record{0x027E, cellHeader(row, column, xf)};
    appendU32(record.data, rk);
    return record;
}

Record mulRk(int row, int firstColumn, const std::vector<std::pair<std::uint16_t, std::uint32_t>>& cells)
{
    Record record{0x00BD, {}};
    appendU16(record.data, static_cast<std::uint16_t>(row));
    appendU16(record.data, static_cast<std::uint16_t>(firstColumn));
    for (const auto& [xf, rk] : cells) {
        appendU16(record.data, xf);
        appendU32(record.data, rk);
    }
    appendU16(record.data, static_cast<std::uint16_t>(firstColumn + cells.size() - 1));
    return record;
}

Record labelSstCell(int row, int column, std::uint16_t xf, std::uint32_t index)
{
    Record record{0x00FD, cellHeader(row, column, xf)};
    appendU32(record.data, index);
    return record;
}

Record labelCell(int row, int column, std::uint16_t xf, const std::u16string& text, std::uint16_t type)
{
    Record record{type, cellHeader(row, column, xf)};
    appendUnicode(record.data, text);
    if (type == 0x00D6) {  // RSTRING: one formatting run
        appendU16(record.data, 1);
        appendU16(record.data, 0);
        appendU16(record.data, 1);
    }
    return record;
}

Record blankCell(int row, int column, std::uint16_t xf)
{
    return Record{0x0201, cellHeader(row, column, xf)};
}

Record mulBlank(int row, int firstColumn, const std::vector<std::uint16_t>& formats)
{
    Record record{0x00BE, {}};
    appendU16(record.data, static_cast<std::uint16_t>(row));
    appendU16(record.data, static_cast<std::uint16_t>(firstColumn));
    for (std::uint16_t xf : formats)
        appendU16(record.data, xf);
    appendU16(record.data, static_cast<std::uint16_t>(firstColumn + formats.size() - 1));
    return record;
}

Record boolErrCell(int row, int column, std::uint16_t xf, std::uint8_t value, bool error)
{
    Record record{0x0205, cellHeader(row, column, xf)};
    record.data.push_back(value);
    record.data.push_back(error ? 1 : 0);
    return record;
}

Record formulaCell(int row, int column, std::uint16_t xf, const std::uint8_t (&result)[8], bool shared)
{
    Record record{0x0006, cellHeader(row, column, xf)};
    record.data.insert(record.data.end(), result, result + 8);
    appendU16(record.data, shared ? 0x0008 : 0x0000);
    appendU32(record.data, 0);
    if (shared) {  // tExp pointing at itself: the anchor of a shared formula
        appendU16(record.data, 5);
        record.data.push_back(0x01);
        appendU16(record.data, static_cast<std::uint16_t>(row));
        appendU16(record.data, static_cast<std::uint16_t>(column));
    } else {  // tInt 1
        appendU16(record.data, 3);
        record.data.push_back(0x1E);
        appendU16(record.data, 1);
    }
    return record;
}

Record stringRecord(const std::u16string& text)
{
    Record record{0x0207, {}};
    appendUnicode(record.data, text);
    return record;
}

Record formulaWithTokens(int row, int column, std::uint16_t xf, const std::uint8_t (&result)[8],
                         const std::vector<std::uint8_t>& tokens, std::uint16_t flags)
{
    Record record{0x0006, cellHeader(row, column, xf)};
    record.data.insert(record.data.end(), result, result + 8);
    appendU16(record.data, flags);
    appendU32(record.data, 0);
    appendU16(record.data, static_cast<std::uint16_t>(tokens.size()));
    record.data.insert(record.data.end(), tokens.begin(), tokens.end());
    return record;
}

Record groupMember(int row, int column, std::uint16_t xf, const std::uint8_t (&result)[8], int anchorRow, int anchorColumn)
{
    std::vector<std::uint8_t> exp{0x01};
    appendU16(exp, static_cast<std::uint16_t>(anchorRow));
    appendU16(exp, static_cast<std::uint16_t>(anchorColumn));
    return formulaWithTokens(row, column, xf, result, exp, 0x0008);
}

Record sharedFormula(int firstRow, int lastRow, int firstColumn, int lastColumn, const std::vector<std::uint8_t>& tokens)
{
    Record record{0x04BC, {}};
    appendU16(record.data, static_cast<std::uint16_t>(firstRow));
    appendU16(record.data, static_cast<std::uint16_t>(lastRow));
    record.data.push_back(static_cast<std::uint8_t>(firstColumn));
    record.data.push_back(static_cast<std::uint8_t>(lastColumn));
    record.data.push_back(0);
    record.data.push_back(static_cast<std::uint8_t>((lastRow - firstRow + 1) * (lastColumn - firstColumn + 1)));
    appendU16(record.data, static_cast<std::uint16_t>(tokens.size()));
    record.data.insert(record.data.end(), tokens.begin(), tokens.end());
    return record;
}

Record arrayFormula(int firstRow, int lastRow, int firstColumn, int lastColumn, const std::vector<std::uint8_t>& tokens)
{
    Record record{0x0221, {}};
    appendU16(record.data, static_cast<std::uint16_t>(firstRow));
    appendU16(record.data, static_cast<std::uint16_t>(lastRow));
    record.data.push_back(static_cast<std::uint8_t>(firstColumn));
    record.data.push_back(static_cast<std::uint8_t>(lastColumn));
    appendU16(record.data, 0);
    appendU32(record.data, 0);
    appendU16(record.data, static_cast<std::uint16_t>(tokens.size()));
    record.data.insert(record.data.end(), tokens.begin(), tokens.end());
    return record;
}

Record rowRecord(int row, std::uint16_t heightTwips, std::uint8_t flags, std::uint16_t xf)
{
    Record record{0x0208, std::vector<std::uint8_t>(16, 0)};
    writeU16(record.data.data(), static_cast<std::uint16_t>(row));
    writeU16(record.data.data() + 6, heightTwips);
    record.data[12] = flags;
    record.data[13] = 0x01;
    writeU16(record.data.data() + 14, xf);
    return record;
}

std::vector<std::uint8_t> sstString(const std::u16string& text)
{
    std::vector<std::uint8_t> out;
    appendUnicode(out, text);
    return out;
}

std::vector<std::uint8_t> cellFormat(std::uint16_t font, std::uint16_t format, int fillIcv)
{
    std::vector<std::uint8_t> xf(20, 0);
    writeU16(xf.data(), font);
    writeU16(xf.data() + 2, format);
    writeU16(xf.data() + 4, 0x0001);
    xf[6] = 0x20;
    writeU16(xf.data() + 18, 0x20C0);
    if (fillIcv >= 0) {
        writeU32(xf.data() + 14, 1u << 26);
        writeU16(xf.data() + 18, static_cast<std::uint16_t>(fillIcv | (65 << 7)));
        xf[9] = 0x40;
    }
    return xf;
}

std::vector<std::uint8_t> buildStream(const BookSpec& book)
{
    std::vector<std::uint8_t> globals;
    put(globals, bof(0x0005));
    for (const Record& record : book.extraGlobals)
        put(globals, record);
    put(globals, Record{0x0042, {0xB0, 0x04}});
    Record window{0x003D, std::vector<std::uint8_t>(18, 0)};
    writeU16(window.data.data() + 4, 0x3000);
    writeU16(window.data.data() + 6, 0x2000);
    writeU16(window.data.data() + 8, 0x0038);
    writeU16(window.data.data() + 10, static_cast<std::uint16_t>(book.active));
    writeU16(window.data.data() + 14, 1);
    writeU16(window.data.data() + 16, 0x0258);
    put(globals, window);
    for (int f = 0; f < 4; ++f) {
        Record font{0x0031, {0xC8, 0x00, 0x00, 0x00, 0xFF, 0x7F, 0x90, 0x01, 0, 0, 0, 0, 0, 0}};
        font.data.push_back(5);
        font.data.push_back(0);
        for (char c : std::string("Arial"))
            font.data.push_back(static_cast<std::uint8_t>(c));
        put(globals, font);
    }
    std::vector<std::vector<std::uint8_t>> formats;
    for (int i = 0; i < 15; ++i)
        formats.push_back(styleFormat());
    formats.push_back(cellFormat(0, 0));
    for (const auto& extra : book.extraFormats)
        formats.push_back(extra);
    for (const auto& xf : formats)
        put(globals, Record{0x00E0, xf});
    if (book.xfCrc) {
        std::vector<XfBytes> list;
        for (const auto& xf : formats) {
            XfBytes bytes;
            std::copy_n(xf.begin(), 20, bytes.begin());
            list.push_back(bytes);
        }
        Record crc{0x087C, std::vector<std::uint8_t>(20, 0)};
        writeU16(crc.data.data(), 0x087C);
        writeU16(crc.data.data() + 14, static_cast<std::uint16_t>(formats.size()));
        writeU32(crc.data.data() + 16, CellFormats::checksum(list));
        put(globals, crc);
    }
    put(globals, Record{0x0293, {0x00, 0x80, 0x00, 0xFF}});
    std::vector<std::size_t> boundSheetAt;
    for (const SheetSpec& sheet : book.sheets) {
        boundSheetAt.push_back(globals.size());
        Record bound{0x0085, {0, 0, 0, 0, 0, static_cast<std::uint8_t>(sheet.chart ? 2 : 0)}};
        bound.data.push_back(static_cast<std::uint8_t>(sheet.name.size()));
        bound.data.push_back(0);
        for (char c : sheet.name)
            bound.data.push_back(static_cast<std::uint8_t>(c));
        put(globals, bound);
    }
    if (book.sstRecords) {
        for (const Record& record : *book.sstRecords)
            put(globals, record);
    } else if (!book.strings.empty()) {
        Record sst{0x00FC, {}};
        appendU32(sst.data, static_cast<std::uint32_t>(book.strings.size()));
        appendU32(sst.data, static_cast<std::uint32_t>(book.strings.size()));
        for (const auto& text : book.strings)
            appendUnicode(sst.data, text);
        put(globals, sst);
    }
    put(globals, Record{0x000A, {}});

    std::vector<std::uint8_t> stream = globals;
    for (std::size_t s = 0; s < book.sheets.size(); ++s) {
        writeU32(stream.data() + boundSheetAt[s] + 4, static_cast<std::uint32_t>(stream.size()));
        const auto sheet = sheetStream(book.sheets[s], static_cast<std::uint32_t>(stream.size()));
        stream.insert(stream.end(), sheet.begin(), sheet.end());
    }
    return stream;
}

std::vector<std::uint8_t> wrapStream(const std::vector<std::uint8_t>& workbookStream, int sectorSize,
                                     const char* streamName)
{
    CompoundDocument document;
    document.sectorSize = sectorSize;
    document.rootClassId = {0x20, 0x08, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    CompoundEntry workbook;
    workbook.name = streamName;
    workbook.data = workbookStream;
    document.children.push_back(workbook);
    CompoundEntry summary;
    summary.name = "\x05SummaryInformation";
    summary.data.assign(300, 0x5A);
    document.children.push_back(summary);
    CompoundEntry storage;
    storage.name = "_VBA_PROJECT_CUR";
    storage.storage = true;
    storage.hasClassId = true;
    storage.classId = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    CompoundEntry module;
    module.name = "VBA";
    module.data.assign(5000, 0x42);
    storage.children.push_back(module);
    document.children.push_back(storage);
    document.workbookStreamName = streamName;
    return writeCompoundDocument(document, workbookStream, "test.xls");
}

std::vector<std::uint8_t> buildFile(const BookSpec& book, int sectorSize)
{
    return wrapStream(buildStream(book), sectorSize);
}

}  // namespace pellix::xls::testing
