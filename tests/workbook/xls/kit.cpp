#include "kit.h"

#include "workbook/xls/cell_formats.h"
#include "workbook/xls/compound_document.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <stdexcept>

namespace pellix::xls::testing {

Bytes le(std::uint64_t value, int size)
{
    Bytes out;
    for (int i = 0; i < size; ++i)
        out.push_back(i < 8 ? static_cast<std::uint8_t>(value >> (8 * i)) : 0);
    return out;
}

Bytes f64(double value)
{
    Bytes out(8);
    writeF64(out.data(), value);
    return out;
}

Bytes ustr(const std::u16string& text)
{
    const bool wide = std::any_of(text.begin(), text.end(), [](char16_t c) { return c > 0xFF; });
    Bytes out = le(text.size(), 2) + Bytes{static_cast<std::uint8_t>(wide)};
    for (char16_t c : text)
        out = out + le(c, wide ? 2 : 1);
    return out;
}

Record cell(std::uint16_t type, int row, int column, const Bytes& body, std::uint16_t xf)
{
    return {type, le(row, 2) + le(column, 2) + le(xf, 2) + body};
}

Record mulRk(int row, int first, const std::vector<std::pair<std::uint16_t, int>>& cells)
{
    Record record{kSidMulRk, le(row, 2) + le(first, 2)};
    for (const auto& [xf, value] : cells)
        record.data = record.data + le(xf, 2) + le(rkInt(value), 4);
    record.data = record.data + le(first + cells.size() - 1, 2);
    return record;
}

Record mulBlank(int row, int first, const std::vector<std::uint16_t>& formats)
{
    Record record{kSidMulBlank, le(row, 2) + le(first, 2)};
    for (std::uint16_t xf : formats)
        record.data = record.data + le(xf, 2);
    record.data = record.data + le(first + formats.size() - 1, 2);
    return record;
}

Record formula(int row, int column, const Bytes& result, const Bytes& tokens, std::uint16_t flags)
{
    return cell(kSidFormula, row, column, result + le(flags, 2) + le(0, 4) + le(tokens.size(), 2) + tokens);
}

Record groupMember(int row, int column, const Bytes& result, int anchorRow, int anchorColumn)
{
    return formula(row, column, result, Bytes{0x01} + le(anchorRow, 2) + le(anchorColumn, 2), 0x0008);
}

Record sharedFormula(int firstRow, int lastRow, int column, const Bytes& tokens)
{
    return {kSidShrFmla, le(firstRow, 2) + le(lastRow, 2) + le(column, 1) + le(column, 1) + le(0, 1)
                             + le(lastRow - firstRow + 1, 1) + le(tokens.size(), 2) + tokens};
}

Record arrayFormula(int firstRow, int lastRow, int column, const Bytes& tokens)
{
    return {kSidArray, le(firstRow, 2) + le(lastRow, 2) + le(column, 1) + le(column, 1) + le(0, 6) + le(tokens.size(), 2) + tokens};
}

Record rowRecord(int row, std::uint16_t heightTwips, std::uint8_t flags, std::uint16_t xf)
{
    return {kSidRow, le(row, 2) + le(0, 4) + le(heightTwips, 2) + le(0, 4) + Bytes{flags, 0x01} + le(xf, 2)};
}

Bytes cellFormat(std::uint16_t font, std::uint16_t format)
{
    return le(font, 2) + le(format, 2) + le(0x0001, 2) + Bytes{0x20} + le(0, 11) + le(0x20C0, 2);
}

namespace {

void put(Bytes& out, const Record& record)
{
    out = out + le(record.type, 2) + le(record.data.size(), 2) + record.data;
}

Record bof(std::uint16_t kind)
{
    return {kSidBof, le(0x0600, 2) + le(kind, 2) + le(0x07CC0DBB, 4) + le(0x80C9, 4) + le(0x0206, 4)};
}

int lastColumnOf(std::uint16_t type, const Bytes& data)
{
    const int first = readU16(data.data() + 2);
    if (type == kSidMulRk || type == kSidMulBlank)
        return first + static_cast<int>((data.size() - 6) / (type == kSidMulRk ? 6 : 2)) - 1;
    return first;
}

Bytes sheetStream(const SheetSpec& sheet, std::uint32_t start)
{
    Bytes out;
    if (sheet.chart) {
        put(out, bof(0x0020));
        put(out, {kSidEof, {}});
        return out;
    }
    std::map<int, std::vector<Record>> cellsByRow;  // each row's records with their follow-ups, in order
    int current = -1;
    for (const Record& record : sheet.cells) {
        if (isCellRecord(record.type))
            current = readU16(record.data.data());
        cellsByRow[current].push_back(record);
    }
    std::map<int, Record> rows;
    for (const auto& [row, records] : cellsByRow) {
        int first = 0xFFFF, last = 0;
        for (const Record& record : records)
            if (isCellRecord(record.type)) {
                first = std::min<int>(first, readU16(record.data.data() + 2));
                last = std::max(last, lastColumnOf(record.type, record.data) + 1);
            }
        rows[row] = rowRecord(row, 255, 0);
        writeU16(rows[row].data.data() + 2, static_cast<std::uint16_t>(first));
        writeU16(rows[row].data.data() + 4, static_cast<std::uint16_t>(last));
    }
    for (const Record& record : sheet.rows)
        rows[readU16(record.data.data())] = record;
    std::vector<int> numbers;
    for (const auto& [row, record] : rows)
        numbers.push_back(row);
    std::set<int> blocks;
    for (int row : numbers)
        blocks.insert(row / 32);

    put(out, bof(kBofWorksheet));
    const std::size_t indexAt = out.size() + 4;
    const std::uint32_t firstRow = numbers.empty() ? 0 : numbers.front(), lastRow = numbers.empty() ? 0 : numbers.back() + 1;
    put(out, {kSidIndex, le(0, 16) + Bytes(4 * blocks.size(), 0)});
    put(out, {kSidDefaultRowHeight, {0x00, 0x00, 0xFF, 0x00}});
    const std::uint32_t defColWidth = start + static_cast<std::uint32_t>(out.size());
    put(out, {kSidDefColWidth, {0x08, 0x00}});
    put(out, {kSidDimensions, le(firstRow, 4) + le(lastRow, 4) + le(0, 2) + le(256, 2) + le(0, 2)});
    std::vector<std::uint32_t> dbCells;
    for (std::size_t k = 0; k < numbers.size();) {
        std::size_t end = k;
        while (end < numbers.size() && numbers[end] / 32 == numbers[k] / 32)
            ++end;
        const std::size_t blockStart = out.size();
        for (std::size_t m = k; m < end; ++m)
            put(out, rows[numbers[m]]);
        Bytes offsets = le(out.size() - blockStart - 20, 2);
        for (std::size_t m = k; m < end; ++m) {
            const std::size_t rowStart = out.size();
            for (const Record& record : cellsByRow[numbers[m]])
                put(out, record);
            if (m + 1 < end)
                offsets = offsets + le(out.size() - rowStart, 2);
        }
        dbCells.push_back(start + static_cast<std::uint32_t>(out.size()));
        put(out, {kSidDbCell, le(out.size() - blockStart, 4) + offsets});
        k = end;
    }
    for (const Record& record : sheet.tail)
        put(out, record);
    put(out, {0x023E, Bytes{0xB6, 0x06, 0, 0, 0, 0, 0x40} + le(0, 11)});
    put(out, {kSidEof, {}});
    writeU32(out.data() + indexAt + 4, firstRow);
    writeU32(out.data() + indexAt + 8, lastRow);
    writeU32(out.data() + indexAt + 12, defColWidth);
    for (std::size_t b = 0; b < dbCells.size(); ++b)
        writeU32(out.data() + indexAt + 16 + 4 * b, dbCells[b]);
    return out;
}

}  // namespace

Bytes buildStream(const BookSpec& book)
{
    Bytes globals;
    put(globals, bof(kBofGlobals));
    for (const Record& record : book.globals)
        put(globals, record);
    put(globals, {kSidCodePage, {0xB0, 0x04}});
    put(globals, {kSidWindow1, le(0, 4) + le(0x3000, 2) + le(0x2000, 2) + le(0x38, 2) + le(book.active, 2) + le(0, 2) + le(1, 2) + le(0x258, 2)});
    for (int f = 0; f < 4; ++f)
        put(globals, {0x0031, Bytes{0xC8, 0, 0, 0, 0xFF, 0x7F, 0x90, 0x01, 0, 0, 0, 0, 0, 0, 5, 0, 'A', 'r', 'i', 'a', 'l'}});
    std::vector<Bytes> formats(15, le(0, 4) + le(0xFFF5, 2) + Bytes{0x20} + le(0, 11) + le(0x20C0, 2));
    formats.push_back(cellFormat(0, 0));
    formats.insert(formats.end(), book.formats.begin(), book.formats.end());
    std::vector<XfBytes> list;
    for (const Bytes& xf : formats) {
        put(globals, {kSidXf, xf});
        list.emplace_back();
        std::copy_n(xf.begin(), 20, list.back().begin());
    }
    if (book.xfCrc)
        put(globals, {kSidXfCrc, le(kSidXfCrc, 2) + le(0, 12) + le(formats.size(), 2) + le(CellFormats::checksum(list), 4)});
    put(globals, {0x0293, {0x00, 0x80, 0x00, 0xFF}});
    std::vector<std::size_t> boundSheetAt;
    for (const SheetSpec& sheet : book.sheets) {
        boundSheetAt.push_back(globals.size() + 4);
        put(globals, {kSidBoundSheet8, le(0, 5) + Bytes{static_cast<std::uint8_t>(sheet.chart ? 2 : 0)} + le(sheet.name.size(), 1)
                                           + Bytes{0} + Bytes(sheet.name.begin(), sheet.name.end())});
    }
    if (book.sst) {
        for (const Record& record : *book.sst)
            put(globals, record);
    } else if (!book.strings.empty()) {
        Record sst{kSidSst, le(book.strings.size(), 4) + le(book.strings.size(), 4)};
        for (const auto& text : book.strings)
            sst.data = sst.data + ustr(text);
        put(globals, sst);
    }
    put(globals, {kSidEof, {}});
    Bytes stream = globals;
    for (std::size_t s = 0; s < book.sheets.size(); ++s) {
        writeU32(stream.data() + boundSheetAt[s], static_cast<std::uint32_t>(stream.size()));
        stream = stream + sheetStream(book.sheets[s], static_cast<std::uint32_t>(stream.size()));
    }
    return stream;
}

Bytes wrapStream(const Bytes& stream, int sectorSize, const char* name)
{
    CompoundDocument document;
    document.sectorSize = sectorSize;
    document.rootClassId = {0x20, 0x08, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    CompoundEntry storage{.name = "_VBA_PROJECT_CUR", .storage = true, .hasClassId = true};
    storage.classId = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    storage.children.push_back(CompoundEntry{.name = "VBA", .data = Bytes(5000, 0x42)});
    document.children = {CompoundEntry{.name = name, .data = stream},
                         CompoundEntry{.name = "\x05SummaryInformation", .data = Bytes(300, 0x5A)}, storage};
    document.workbookStreamName = name;
    return writeCompoundDocument(document, stream, "test.xls");
}

std::vector<RawRecord> recordsOf(const Bytes& stream)
{
    std::vector<RawRecord> records;
    for (std::size_t at = 0; at + 4 <= stream.size() && at + 4 + readU16(&stream[at + 2]) <= stream.size();
         at += 4 + readU16(&stream[at + 2]))
        records.push_back({static_cast<std::uint32_t>(at), readU16(&stream[at]),
                           Bytes(stream.begin() + at + 4, stream.begin() + at + 4 + readU16(&stream[at + 2]))});
    return records;
}

Bytes workbookStreamOf(const Bytes& file)
{
    CompoundDocument document = readCompoundDocument(file, "saved.xls");
    CompoundEntry* workbook = document.stream("Workbook") ? document.stream("Workbook") : document.stream("Book");
    return workbook ? workbook->data : Bytes{};
}

std::string dump(const Bytes& stream)
{
    std::string out;
    char hex[8];
    for (const RawRecord& record : recordsOf(stream)) {
        std::snprintf(hex, sizeof hex, "%04X", record.type);
        out += hex + (" " + std::to_string(record.data.size()));
        for (std::uint8_t byte : record.data) {
            std::snprintf(hex, sizeof hex, " %02X", byte);
            out += hex;
        }
        out += '\n';
    }
    return out;
}

namespace {

// Offsets of the strings of the SST and its CONTINUEs, each with the header offset of the record
// it starts in. A string whose characters split inside a character is a problem.
std::vector<std::pair<std::uint32_t, std::uint32_t>> stringStarts(const std::vector<RawRecord>& records, std::size_t sst,
                                                                  std::vector<std::string>& problems)
{
    std::vector<std::pair<std::uint32_t, std::uint32_t>> starts;
    std::size_t record = sst, at = 8;
    const auto next = [&] {  // the next byte, moving into the next CONTINUE at a record's end
        while (at == records[record].data.size()) {
            if (++record == records.size() || records[record].type != kSidContinue)
                throw std::out_of_range("SST ends early");
            at = 0;
        }
        return records[record].data[at++];
    };
    const auto nextU16 = [&] {
        const std::size_t low = next();
        return low | std::size_t{next()} << 8;
    };
    try {
        for (std::uint32_t i = 0, unique = readU32(records[sst].data.data() + 4); i < unique; ++i) {
            if (at == records[record].data.size() && record + 1 < records.size() && records[record + 1].type == kSidContinue)
                ++record, at = 0;
            starts.emplace_back(records[record].offset + 4 + static_cast<std::uint32_t>(at), records[record].offset);
            std::size_t characters = nextU16(), extra = 0;
            const std::uint8_t flags = next();
            bool wide = flags & 1;
            if (flags & 0x08)
                extra += 4 * nextU16();
            if (flags & 0x04) {
                const std::size_t low = nextU16();
                extra += low | nextU16() << 16;
            }
            for (; characters > 0; --characters) {
                if (at == records[record].data.size()) {
                    wide = next() & 1;
                } else if (wide && at + 1 == records[record].data.size()) {
                    problems.push_back("string " + std::to_string(i) + " splits inside a character");
                    return starts;
                }
                next();
                if (wide)
                    next();
            }
            while (extra-- > 0)
                next();
        }
    } catch (const std::out_of_range&) {
        problems.push_back("SST ends before its last string");
    }
    return starts;
}

// The cell table of one worksheet: rows and cells in order, every DBCELL and INDEX offset right.
void checkSheet(const std::vector<RawRecord>& records, std::size_t begin, const std::string& label, std::vector<std::string>& problems)
{
    const auto problem = [&](const std::string& what) { problems.push_back(label + ": " + what); };
    std::map<std::uint32_t, std::uint16_t> typeAt;
    std::vector<std::uint32_t> rowNumbers, dbCells;
    std::vector<std::size_t> blockRows, blockCells;
    std::int64_t lastCell = -1;
    std::uint32_t minRow = UINT32_MAX, maxRow = 0, minColumn = UINT32_MAX, maxColumn = 0;
    const RawRecord *index = nullptr, *dimensions = nullptr;
    for (std::size_t i = begin, depth = 0; i < records.size(); ++i) {
        const RawRecord& record = records[i];
        typeAt[record.offset] = record.type;
        depth += record.type == kSidBof;
        if (record.type == kSidEof && --depth == 0)
            break;
        const std::uint32_t row = record.data.size() >= 4 ? readU16(record.data.data()) : 0;
        if (depth != 1) {
        } else if (record.type == kSidIndex) {
            index = &record;
        } else if (record.type == kSidDimensions) {
            dimensions = &record;
        } else if (record.type == kSidRow) {
            if (!blockCells.empty() || (!rowNumbers.empty() && row <= rowNumbers.back()))
                problem("ROW " + std::to_string(row) + " out of order");
            rowNumbers.push_back(row);
            blockRows.push_back(i);
        } else if (isCellRecord(record.type)) {
            const std::uint32_t column = readU16(record.data.data() + 2), last = lastColumnOf(record.type, record.data);
            if (std::int64_t{row} * 65536 + column <= lastCell)
                problem("cell " + cellName(row, column) + " out of order");
            lastCell = std::int64_t{row} * 65536 + last;
            blockCells.push_back(i);
            minRow = std::min(minRow, row), maxRow = std::max(maxRow, row);
            minColumn = std::min(minColumn, column), maxColumn = std::max(maxColumn, last);
            std::size_t next = i + 1;
            while (next < records.size() && (records[next].type == kSidShrFmla || records[next].type == kSidArray || records[next].type == kSidTable))
                ++next;
            if (record.type == kSidFormula && readU16(record.data.data() + 12) == 0xFFFF && record.data[6] == 0
                && (next == records.size() || records[next].type != kSidString))
                problem("text formula without its STRING record");
        } else if (record.type == kSidDbCell) {
            if (blockRows.empty()) {
                problem("DBCELL without rows");
                continue;
            }
            dbCells.push_back(record.offset);
            // The offsets again from the records: the first row's, then each row's first cell.
            const std::uint32_t firstRow = records[blockRows.front()].offset;
            Bytes expected = le(record.offset - firstRow, 4);
            std::uint32_t previous = firstRow + 20;
            for (std::size_t r = 0; r < blockRows.size(); ++r) {
                const auto rowStart = std::find_if(blockCells.begin(), blockCells.end(), [&](std::size_t c) {
                    return readU16(records[c].data.data()) >= readU16(records[blockRows[r]].data.data());
                });
                const std::uint32_t start = r == 0 ? records[blockRows.back()].offset + 20
                                            : rowStart == blockCells.end() ? record.offset : records[*rowStart].offset;
                expected = expected + le(start - previous, 2);
                previous = start;
            }
            if (record.data != expected)
                problem("a DBCELL has wrong offsets");
            for (std::size_t c : blockCells)
                if (readU16(records[c].data.data()) / 32 != rowNumbers[rowNumbers.size() - blockRows.size()] / 32)
                    problem("a cell sits in the wrong row block");
            blockRows.clear(), blockCells.clear();
        }
    }
    if (index != nullptr) {
        Bytes expected = le(0, 4) + le(rowNumbers.empty() ? readU32(index->data.data() + 4) : rowNumbers.front(), 4)
                         + le(rowNumbers.empty() ? readU32(index->data.data() + 8) : rowNumbers.back() + 1, 4)
                         + Bytes(index->data.begin() + 12, index->data.begin() + 16);
        for (std::uint32_t offset : dbCells)
            expected = expected + le(offset, 4);
        if (index->data != expected || typeAt[readU32(index->data.data() + 12)] != kSidDefColWidth)
            problem("INDEX does not point at the rows, DBCELLs and DEFCOLWIDTH");
    }
    if (dimensions != nullptr && dimensions->data.size() == 14 && minRow != UINT32_MAX
        && (readU32(dimensions->data.data()) > minRow || readU32(dimensions->data.data() + 4) <= maxRow
            || readU16(dimensions->data.data() + 8) > minColumn || readU16(dimensions->data.data() + 10) <= maxColumn))
        problem("DIMENSIONS do not cover every cell");
}

}  // namespace

std::vector<std::string> streamProblems(const Bytes& stream, bool checkXfCrc)
{
    std::vector<std::string> problems;
    const std::vector<RawRecord> records = recordsOf(stream);
    std::map<std::uint32_t, std::size_t> byOffset;
    std::vector<XfBytes> xfs;
    std::size_t sst = SIZE_MAX, labels = 0, globalsEnd = 0;
    const RawRecord *extSst = nullptr, *xfCrc = nullptr;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const RawRecord& record = records[i];
        byOffset[record.offset] = i;
        if (record.data.size() > kMaxRecordData)
            problems.push_back("record " + std::to_string(record.type) + " longer than 8224 bytes");
        if (globalsEnd != 0) {
            labels += record.type == kSidLabelSst;
        } else if (record.type == kSidEof) {
            globalsEnd = i;
        } else if (record.type == kSidXf) {
            xfs.emplace_back();
            std::copy_n(record.data.begin(), 20, xfs.back().begin());
        }
        xfCrc = globalsEnd == 0 && record.type == kSidXfCrc ? &record : xfCrc;
        extSst = globalsEnd == 0 && record.type == kSidExtSst ? &record : extSst;
        sst = globalsEnd == 0 && record.type == kSidSst ? i : sst;
    }
    for (std::size_t i = 0; i < globalsEnd; ++i) {
        if (records[i].type != kSidBoundSheet8)
            continue;
        const std::string name(records[i].data.begin() + 8, records[i].data.end());
        const auto found = byOffset.find(readU32(records[i].data.data()));
        if (found == byOffset.end() || records[found->second].type != kSidBof)
            problems.push_back("sheet " + name + " does not start at a BOF");
        else if (readU16(records[found->second].data.data() + 2) == kBofWorksheet)
            checkSheet(records, found->second, name, problems);
    }
    if (checkXfCrc && xfCrc != nullptr && xfCrc->data != le(kSidXfCrc, 2) + le(0, 12) + le(xfs.size(), 2) + le(CellFormats::checksum(xfs), 4))
        problems.push_back("XFCRC does not match the XF list");
    if (sst == SIZE_MAX)
        return problems;
    const auto starts = stringStarts(records, sst, problems);
    if (readU32(records[sst].data.data()) != labels)
        problems.push_back("SST counts " + std::to_string(readU32(records[sst].data.data())) + " labels, the sheets hold " + std::to_string(labels));
    for (std::size_t b = 0, each = extSst ? readU16(extSst->data.data()) : 0; extSst && 10 + 8 * b <= extSst->data.size(); ++b)
        if (b * each < starts.size()
            && Bytes(extSst->data.begin() + 2 + 8 * b, extSst->data.begin() + 8 + 8 * b)
                   != le(starts[b * each].first, 4) + le(starts[b * each].first - starts[b * each].second, 2))
            problems.push_back("EXTSST bucket " + std::to_string(b) + " points at the wrong place");
    return problems;
}

std::string xlrdDifferences(const std::filesystem::path& original, const std::filesystem::path& saved,
                            const std::vector<std::string>& edited)
{
    std::string command = "/usr/bin/python3 '" PELLIX_XLRD_COMPARE "' '" + original.string() + "' '" + saved.string() + "'";
    for (const std::string& place : edited)
        command += " " + place;
    std::string report;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    for (char buffer[4096]; std::fgets(buffer, sizeof buffer, pipe) != nullptr;)
        report += buffer;
    const int status = ::pclose(pipe);
    return status == 0 ? std::string() : "exit " + std::to_string(status) + ": " + report;
}

std::string xlrdDifferences(const Bytes& original, const Bytes& saved, const std::vector<std::string>& edited)
{
    const ScratchFolder folder;
    pellix::testing::writeFile(folder / "original.xls", original);
    pellix::testing::writeFile(folder / "saved.xls", saved);
    return xlrdDifferences(folder / "original.xls", folder / "saved.xls", edited);
}

}  // namespace pellix::xls::testing
