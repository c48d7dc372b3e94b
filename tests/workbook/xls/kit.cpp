#include "kit.h"

#include "workbook/xls/compound_document.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

namespace pellix::xls::testing {

// The cell records and the data size of each, 0 where it varies.
const std::map<std::uint16_t, std::size_t> kCellRecords = {
    {kSidRk, 10},     {kSidNumber, 14}, {kSidBlank, 6},   {kSidLabelSst, 10}, {kSidBoolErr, 8},
    {kSidFormula, 0}, {kSidLabel, 0},   {kSidRString, 0}, {kSidMulRk, 0},     {kSidMulBlank, 0}};

Bytes le(std::uint64_t value, int size) {
    Bytes out;
    for (int i = 0; i < size; ++i) out.push_back(i < 8 ? static_cast<std::uint8_t>(value >> (8 * i)) : 0);
    return out;
}

Bytes ustr(const std::u16string& text) {
    const bool wide = std::any_of(text.begin(), text.end(), [](char16_t c) { return c > 0xFF; });
    Bytes out = le(text.size(), 2) + Bytes{static_cast<std::uint8_t>(wide)};
    for (char16_t c : text) out = out + le(c, wide ? 2 : 1);
    return out;
}

Record mulRk(int row, int first, const std::vector<std::pair<std::uint16_t, int>>& cells) {
    Bytes data = le(row, 2) + le(first, 2);
    for (const auto& [xf, value] : cells) data = data + le(xf, 2) + le(rkInt(value), 4);
    return {kSidMulRk, data + le(first + cells.size() - 1, 2)};
}

Record mulBlank(int row, int first, const std::vector<std::uint16_t>& formats) {
    Bytes data = le(row, 2) + le(first, 2);
    for (std::uint16_t xf : formats) data = data + le(xf, 2);
    return {kSidMulBlank, data + le(first + formats.size() - 1, 2)};
}

namespace {

// The XF list's CRC, bit by bit: polynomial 0xAF, most significant bit first, no final xor.
std::uint32_t xfCrcOf(const std::vector<Bytes>& xfs) {
    std::uint32_t crc = 0;
    for (const Bytes& xf : xfs)
        for (std::uint8_t byte : xf) {
            crc ^= std::uint32_t{byte} << 24;
            for (int bit = 0; bit < 8; ++bit) crc = crc & 0x80000000u ? (crc << 1) ^ 0xAFu : crc << 1;
        }
    return crc;
}

const auto put = [](Bytes& out, const Record& r) { out = out + le(r.type, 2) + le(r.data.size(), 2) + r.data; };

Record bof(std::uint16_t kind) {
    return {kSidBof, le(0x0600, 2) + le(kind, 2) + le(0x07CC0DBB, 4) + le(0x80C9, 4) + le(0x0206, 4)};
}

Bytes sheetStream(const SheetPlan& sheet, std::uint32_t start) {
    Bytes out;
    put(out, bof(sheet.chart ? 0x0020 : kBofWorksheet));
    std::map<int, std::vector<Record>> cells;  // by row, each with its follow-ups, in stream order
    std::map<int, Record> rows;
    for (int current = -1; const Record& record : sheet.cells) {
        if (kCellRecords.count(record.type)) {
            current = readU16(record.data.data());
            rows.try_emplace(current, rowRecord(current, 255, 0));
        }
        cells[current].push_back(record);
    }
    for (const Record& record : sheet.rows) rows[readU16(record.data.data())] = record;
    std::set<int> blocks;
    for (const auto& row : rows) blocks.insert(row.first / 32);
    const std::uint32_t firstRow = rows.empty() ? 0 : rows.begin()->first,
                        lastRow = rows.empty() ? 0 : rows.rbegin()->first + 1;
    const std::size_t indexAt = out.size() + 4, defColWidth = out.size() + 20 + 4 * blocks.size() + 8;
    if (!sheet.chart) {
        put(out, {kSidIndex, le(0, 4) + le(firstRow, 4) + le(lastRow, 4) + le(start + defColWidth, 4)
                                 + Bytes(4 * blocks.size(), 0)});
        put(out, {kSidDefaultRowHeight, {0x00, 0x00, 0xFF, 0x00}});
        put(out, {kSidDefColWidth, {0x08, 0x00}});
        put(out, {kSidDimensions, le(firstRow, 4) + le(lastRow, 4) + le(0, 2) + le(256, 2) + le(0, 2)});
    }
    for (int block : blocks) {
        const auto begin = rows.lower_bound(block * 32), end = rows.lower_bound(block * 32 + 32);
        const std::size_t blockStart = out.size();
        for (auto row = begin; row != end; ++row) put(out, row->second);
        Bytes offsets = le(out.size() - blockStart - 20, 2);
        for (auto row = begin; row != end; ++row) {
            const std::size_t rowStart = out.size();
            for (const Record& record : cells[row->first]) put(out, record);
            if (std::next(row) != end) offsets = offsets + le(out.size() - rowStart, 2);
        }
        writeU32(out.data() + indexAt + 16 + 4 * std::distance(blocks.begin(), blocks.find(block)), start + out.size());
        put(out, {kSidDbCell, le(out.size() - blockStart, 4) + offsets});
    }
    for (const Record& record : sheet.tail) put(out, record);
    if (!sheet.chart) put(out, {0x023E, Bytes{0xB6, 0x06, 0, 0, 0, 0, 0x40} + le(0, 11)});
    put(out, {kSidEof, {}});
    return out;
}

}  // namespace

Bytes buildStream(const BookPlan& book) {
    Bytes globals;
    for (const Record& record : std::vector<Record>{bof(kBofGlobals)} + book.globals) put(globals, record);
    put(globals, {0x0042, {0xB0, 0x04}});  // CODEPAGE: UTF-16
    put(globals, {kSidWindow1, le(0, 4) + le(0x3000, 2) + le(0x2000, 2) + le(0x38, 2) + le(book.active, 2) + le(0, 2)
                                   + le(1, 2) + le(0x258, 2)});
    for (int f = 0; f < 4; ++f)
        put(globals,
            {0x0031, Bytes{0xC8, 0, 0, 0, 0xFF, 0x7F, 0x90, 0x01, 0, 0, 0, 0, 0, 0, 5, 0, 'A', 'r', 'i', 'a', 'l'}});
    std::vector<Bytes> formats(15, le(0, 4) + le(0xFFF5, 2) + Bytes{0x20} + le(0, 11) + le(0x20C0, 2));
    formats = formats + std::vector<Bytes>{cellFormat(0, 0)} + book.formats;
    for (const Bytes& xf : formats) put(globals, {kSidXf, xf});
    if (book.xfCrc)
        put(globals, {kSidXfCrc, le(kSidXfCrc, 2) + le(0, 12) + le(formats.size(), 2) + le(xfCrcOf(formats), 4)});
    put(globals, {0x0293, {0x00, 0x80, 0x00, 0xFF}});
    std::vector<std::size_t> boundSheetAt;
    for (const SheetPlan& sheet : book.sheets) {
        boundSheetAt.push_back(globals.size() + 4);
        put(globals,
            {kSidBoundSheet8, le(0, 5) + Bytes{static_cast<std::uint8_t>(sheet.chart ? 2 : 0)}
                                  + le(sheet.name.size(), 1) + Bytes{0} + Bytes(sheet.name.begin(), sheet.name.end())});
    }
    Record sst{kSidSst, le(book.strings.size(), 4) + le(book.strings.size(), 4)};
    for (const auto& text : book.strings) sst.data = sst.data + ustr(text);
    for (const Record& record : book.sst ? *book.sst : std::vector<Record>(!book.strings.empty(), sst))
        put(globals, record);
    put(globals, {kSidEof, {}});
    Bytes stream = globals;
    for (std::size_t s = 0; s < book.sheets.size(); ++s) {
        writeU32(stream.data() + boundSheetAt[s], static_cast<std::uint32_t>(stream.size()));
        stream = stream + sheetStream(book.sheets[s], static_cast<std::uint32_t>(stream.size()));
    }
    return stream;
}

Bytes wrapStream(const Bytes& stream, int sectorSize, const char* name) {
    const CompoundEntry storage{.name = "_VBA_PROJECT_CUR",
                                .storage = true,
                                .hasClassId = true,
                                .classId = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
                                .children = {{.name = "VBA", .data = Bytes(5000, 0x42)}}};
    const CompoundDocument document{
        sectorSize,
        kRootClassId,
        {{.name = name, .data = stream}, {.name = "\x05SummaryInformation", .data = Bytes(300, 0x5A)}, storage},
        name};
    Bytes file;
    writeCompoundDocument(document, stream, "test.xls",
                          [&](std::span<const std::uint8_t> bytes) { file.assign(bytes.begin(), bytes.end()); });
    return file;
}

std::vector<Record> recordsOf(const Bytes& stream) {
    std::vector<Record> records;
    for (std::size_t at = 0; at + 4 <= stream.size() && at + 4 + readU16(&stream[at + 2]) <= stream.size();
         at += 4 + readU16(&stream[at + 2]))
        records.push_back({readU16(&stream[at]),
                           Bytes(stream.begin() + at + 4, stream.begin() + at + 4 + readU16(&stream[at + 2])),
                           static_cast<std::uint32_t>(at)});
    return records;
}

Bytes workbookStreamOf(const Bytes& file) {
    CompoundDocument document = readCompoundDocument(file, "saved.xls");
    return (document.stream("Workbook") ? document.stream("Workbook") : document.stream("Book"))->data;
}

std::string dump(const Bytes& stream) {
    std::string out;
    char hex[16];
    for (const Record& record : recordsOf(stream)) {
        out += std::string(hex, std::snprintf(hex, sizeof hex, "%04X %zu", record.type, record.data.size()));
        for (std::uint8_t byte : record.data) out += std::string(hex, std::snprintf(hex, sizeof hex, " %02X", byte));
        out += '\n';
    }
    return out;
}

std::vector<std::string> streamProblems(const Bytes& stream, bool checkXfCrc) {
    std::vector<std::string> problems;
    const std::vector<Record> records = recordsOf(stream);
    std::map<std::uint32_t, std::string> sheetAt;  // the worksheets' BOF offsets, from BOUNDSHEET8
    std::vector<Bytes> xfs;
    std::size_t labels = 0, depth = 0, substream = 0;
    const Record *sst = nullptr, *extSst = nullptr, *xfCrc = nullptr;
    std::string sheet;  // the name of the worksheet being walked, empty outside one
    struct {            // what the walk over its cell table has seen so far
        std::vector<const Record*> blockRows;
        std::map<std::uint32_t, std::uint32_t> firstCellOfRow;  // in the block, by row
        Bytes dbCells;
        std::int64_t lastCell = -1, lastRow = -1, firstRow = -1;
        std::uint32_t defColWidth = 0;
        const Record *index = nullptr, *dimensions = nullptr;
    } w, fresh;
    const auto problem = [&](const std::string& what) { problems.push_back(sheet + ": " + what); };
    for (const Record& record : records) {
        if (record.data.size() > kMaxRecordData)
            problems.push_back("record " + std::to_string(record.type) + " longer than 8224 bytes");
        const std::uint32_t row = record.data.size() >= 4 ? readU16(record.data.data()) : 0;
        if (record.type == kSidBof && depth++ == 0 && substream++ > 0) {
            if (const auto named = sheetAt.find(record.offset); named != sheetAt.end()) {
                sheet = readU16(record.data.data() + 2) == kBofWorksheet ? named->second : "";
                w = fresh;
                sheetAt.erase(named);
            }
        } else if (record.type == kSidEof && depth > 0 && --depth == 0 && !sheet.empty()) {
            if (w.index != nullptr
                && w.index->data
                       != le(0, 4) + le(std::max<std::int64_t>(w.firstRow, 0), 4) + le(w.lastRow + 1, 4)
                              + le(w.defColWidth, 4) + w.dbCells)
                problem("INDEX does not point at the rows, DBCELLs and DEFCOLWIDTH");
            sheet.clear();
        } else if (!sheet.empty() && depth == 1 && record.type == kSidRow) {
            if (!w.firstCellOfRow.empty() || row <= w.lastRow) problem("ROW " + std::to_string(row) + " out of order");
            // Bit 8 of the flags is always set (Excel refuses a row without it).
            if (record.data.size() != 16 || !(record.data[13] & 0x01))
                problem("ROW " + std::to_string(row) + " malformed");
            w.lastRow = row, w.firstRow = w.firstRow < 0 ? row : w.firstRow;
            w.blockRows.push_back(&record);
        } else if (const auto cell = kCellRecords.find(record.type);
                   !sheet.empty() && depth == 1 && cell != kCellRecords.end()) {
            // The last column from the record's size, not from its own last-column field.
            const std::size_t each = record.type == kSidMulRk ? 6 : record.type == kSidMulBlank ? 2 : 0;
            const std::uint32_t column = readU16(record.data.data() + 2),
                                last = each ? column + (record.data.size() - 6) / each - 1 : column;
            if (cell->second != 0 && record.data.size() != cell->second)
                problem("cell " + cellName(row, column) + " has a record of the wrong size");
            if (std::int64_t{row} * 65536 + column <= w.lastCell)
                problem("cell " + cellName(row, column) + " out of order");
            if (!w.blockRows.empty() && row / 32 != readU16(w.blockRows[0]->data.data()) / 32)
                problem("a cell sits in the wrong row block");
            if (const Record* d = w.dimensions; d != nullptr && d->data.size() == 14
                                                && (row < readU32(&d->data[0]) || row >= readU32(&d->data[4])
                                                    || column < readU16(&d->data[8]) || last >= readU16(&d->data[10])))
                problem("a cell lies outside DIMENSIONS");
            w.lastCell = std::int64_t{row} * 65536 + last;
            w.firstCellOfRow.try_emplace(row, record.offset);
        } else if (!sheet.empty() && depth == 1 && record.type == kSidDbCell && !w.blockRows.empty()) {
            // The offsets again from the records: to the first row, then between each row's first cells.
            Bytes expected = le(record.offset - w.blockRows.front()->offset, 4);
            std::uint32_t previous = w.blockRows.front()->offset + 20;
            for (const Record* rowRecord : w.blockRows) {
                const auto first = w.firstCellOfRow.lower_bound(readU16(rowRecord->data.data()));
                const std::uint32_t start = rowRecord == w.blockRows.front()  ? w.blockRows.back()->offset + 20
                                            : first == w.firstCellOfRow.end() ? record.offset
                                                                              : first->second;
                expected = expected + le(start - previous, 2);
                previous = start;
            }
            if (record.data != expected) problem("a DBCELL has wrong offsets");
            w.dbCells = w.dbCells + le(record.offset, 4);
            w.blockRows.clear(), w.firstCellOfRow.clear();
        }
        if (!sheet.empty() && depth == 1) {
            w.defColWidth = record.type == kSidDefColWidth ? record.offset : w.defColWidth;
            w.index = record.type == kSidIndex ? &record : w.index;
            w.dimensions = record.type == kSidDimensions ? &record : w.dimensions;
        }
        labels += substream > 1 && record.type == kSidLabelSst;
        if (substream != 1 || depth != 1) continue;
        if (record.type == kSidXf) xfs.emplace_back(record.data.begin(), record.data.begin() + 20);
        if (record.type == kSidBoundSheet8)
            sheetAt[readU32(record.data.data())] = std::string(record.data.begin() + 8, record.data.end());
        xfCrc = record.type == kSidXfCrc ? &record : xfCrc;
        extSst = record.type == kSidExtSst ? &record : extSst;
        sst = record.type == kSidSst ? &record : sst;
    }
    for (const auto& [offset, name] : sheetAt) problems.push_back("sheet " + name + " does not start at a BOF");
    if (checkXfCrc && xfCrc != nullptr
        && xfCrc->data != le(kSidXfCrc, 2) + le(0, 12) + le(xfs.size(), 2) + le(xfCrcOf(xfs), 4))
        problems.push_back("XFCRC does not match the XF list");
    if (sst == nullptr) return problems;
    if (readU32(sst->data.data()) != labels)
        problems.push_back("SST counts " + std::to_string(readU32(sst->data.data())) + " labels, the sheets hold "
                           + std::to_string(labels));
    // Each EXTSST bucket points into the SST or a CONTINUE of it, the first at the first string.
    for (std::size_t b = 0; extSst != nullptr && 10 + 8 * b <= extSst->data.size(); ++b) {
        const std::uint32_t at = readU32(extSst->data.data() + 2 + 8 * b),
                            header = at - readU16(extSst->data.data() + 6 + 8 * b);
        const auto found = std::lower_bound(records.begin(), records.end(), header,
                                            [](const Record& r, std::uint32_t offset) { return r.offset < offset; });
        if ((b == 0 && at != sst->offset + 12) || found == records.end() || found->offset != header
            || found->offset < sst->offset || (found->offset > sst->offset && found->type != kSidContinue)
            || at >= header + 4 + found->data.size())
            problems.push_back("EXTSST bucket " + std::to_string(b) + " points at the wrong place");
    }
    return problems;
}

std::vector<std::string> newProblems(const Bytes& originalFile, const Bytes& savedFile, bool checkXfCrc) {
    const auto before = streamProblems(workbookStreamOf(originalFile), checkXfCrc);
    std::vector<std::string> problems;
    for (const std::string& problem : streamProblems(workbookStreamOf(savedFile), checkXfCrc))
        if (std::find(before.begin(), before.end(), problem) == before.end()) problems.push_back(problem);
    return problems;
}

std::string xlrdDifferences(const Bytes& original, const Bytes& saved, const std::vector<std::string>& edited) {
    const ScratchFolder folder;
    pellix::testing::writeFile(folder / "original.xls", original);
    pellix::testing::writeFile(folder / "saved.xls", saved);
    std::vector<std::string> arguments{(folder / "original.xls").string(), (folder / "saved.xls").string()};
    arguments.insert(arguments.end(), edited.begin(), edited.end());
    const std::string output = pellix::testing::pythonOutput(PELLIX_XLRD_COMPARE, arguments);
    return output.starts_with("failed: ") ? output : std::string();
}

}  // namespace pellix::xls::testing
