// A sheet's cells: reading a cell's value and format, writing values, fills and row heights, and
// what the sheet view shows. Reading the table, formula groups and writing the row blocks are in
// cell_table_reader.cpp, shared_formulas.cpp and row_blocks.cpp.

#include "workbook/xls/sheet_cells.h"

#include "workbook/xls/cell_formats.h"
#include "workbook/xls/cell_table_records.h"

#include <algorithm>

namespace pellix::xls {

namespace {

std::string decodeUnicodeString(const std::uint8_t* data, std::size_t available) {
    std::string text;
    if (available < 3) return text;
    const std::size_t count = readU16(data);
    const bool highByte = data[2] & 0x01;
    const std::size_t fits = (available - 3) / (highByte ? 2 : 1);
    appendUtf16AsUtf8(text, data + 3, std::min(count, fits), highByte);
    return text;
}

}  // namespace

using namespace cell_table;

SheetCells::SheetCells(const std::uint8_t* stream, std::span<const RecordView> records, const SharedStrings& strings,
                       const std::string& displayName)
    : stream_(stream), records_(records), displayName_(displayName) {
    readCellTable(strings);
}

void SheetCells::damaged(const std::string& what) const {
    throwDamaged(displayName_, what);
}

std::vector<SheetCells::CellEntry>::iterator SheetCells::find(RowEntry& row, int column) const {
    materialize(row);
    auto after = std::upper_bound(row.cells.begin(), row.cells.end(), column,
                                  [](int c, const CellEntry& e) { return c < e.first; });
    if (after == row.cells.begin() || std::prev(after)->last < column) return row.cells.end();
    return std::prev(after);
}

const std::uint8_t* SheetCells::bytesOf(const CellEntry& entry) const {
    return entry.owned ? owned_[entry.source].data() : stream_ + entry.source;
}

std::uint16_t SheetCells::formatOf(const CellEntry& entry, int column) const {
    const std::uint8_t* data = bytesOf(entry) + 4;
    const int k = column - entry.first;
    if (entry.type == kSidMulRk) return readU16(data + 4 + 6 * k);
    if (entry.type == kSidMulBlank) return readU16(data + 4 + 2 * k);
    return readU16(data + 4);
}

CellValue SheetCells::valueOf(const CellEntry& entry, int column, const SharedStrings& strings) const {
    const std::uint8_t* header = bytesOf(entry);
    const std::uint8_t* data = header + 4;
    const std::size_t size = readU16(header + 2);
    switch (entry.type) {
    case kSidNumber:
        return CellValue::ofNumber(readF64(data + 6));
    case kSidRk:
        return CellValue::ofNumber(decodeRk(readU32(data + 6)));
    case kSidMulRk:
        return CellValue::ofNumber(decodeRk(readU32(data + 6 + 6 * (column - entry.first))));
    case kSidLabelSst: {
        const std::uint32_t index = readU32(data + 6);
        return index < strings.count() ? CellValue::ofText(strings.text(index)) : CellValue::empty();
    }
    case kSidLabel:
    case kSidRString:
        return CellValue::ofText(decodeUnicodeString(data + 6, size - 6));
    case kSidBoolErr:
        return data[7] ? CellValue::ofError(data[6]) : CellValue::ofBoolean(data[6] != 0);
    case kSidFormula: {
        if (readU16(data + 12) != 0xFFFF) return CellValue::ofNumber(readF64(data + 6));
        switch (data[6]) {
        case 0: {  // text: in the STRING record that follows
            for (std::size_t at = 4 + size; at + 4 <= entry.length;) {
                const std::uint8_t* next = header + at;
                const std::size_t nextSize = readU16(next + 2);
                if (at + 4 + nextSize > entry.length) break;
                if (readU16(next) == kSidString) return CellValue::ofText(decodeUnicodeString(next + 4, nextSize));
                at += 4 + nextSize;
            }
            return CellValue::ofText({});
        }
        case 1:
            return CellValue::ofBoolean(data[8] != 0);
        case 2:
            return CellValue::ofError(data[8]);
        case 3:
            return CellValue::ofText({});
        default:
            return CellValue::empty();
        }
    }
    default:
        return CellValue::empty();
    }
}

CellValue SheetCells::value(int row, int column, const SharedStrings& strings) const {
    if (static_cast<std::size_t>(row) >= rows_.size()) return CellValue::empty();
    RowEntry& entries = rows_[static_cast<std::size_t>(row)];
    auto entry = find(entries, column);
    return entry == entries.cells.end() ? CellValue::empty() : valueOf(*entry, column, strings);
}

std::uint16_t SheetCells::format(int row, int column) const {
    if (static_cast<std::size_t>(row) < rows_.size()) {
        RowEntry& entries = rows_[static_cast<std::size_t>(row)];
        if (auto entry = find(entries, column); entry != entries.cells.end()) return formatOf(*entry, column);
    }
    return emptyFormat(row, column);
}

std::uint16_t SheetCells::emptyFormat(int row, int column) const {
    if (static_cast<std::size_t>(row) < rows_.size()) {
        const RowEntry& entries = rows_[static_cast<std::size_t>(row)];
        if (entries.hasRecord && (entries.record[12] & kRowHasFormat))
            return readU16(entries.record.data() + 14) & 0x0FFF;
    }
    for (const ColumnFormat& columns : columnFormats_)
        if (column >= columns.first && column <= columns.last) return columns.format;
    return kDefaultCellFormat;
}

SheetCells::CellEntry SheetCells::makeEntry(std::uint16_t type, int first, int last, std::vector<std::uint8_t> bytes) {
    CellEntry entry;
    entry.first = static_cast<std::uint16_t>(first);
    entry.last = static_cast<std::uint16_t>(last);
    entry.type = type;
    own(entry, std::move(bytes));
    return entry;
}

void SheetCells::own(CellEntry& entry, std::vector<std::uint8_t> bytes) {
    entry.owned = true;
    entry.source = static_cast<std::uint32_t>(owned_.size());
    entry.length = static_cast<std::uint32_t>(bytes.size());
    owned_.push_back(std::move(bytes));
}

// The cells of a MULRK or MULBLANK left of `cutFirst` and right of `cutLast`, each kept with its
// own format: one cell becomes an RK or BLANK, more stay a MULRK or MULBLANK.
std::vector<SheetCells::CellEntry> SheetCells::splitMulti(const CellEntry& entry, int row, int cutFirst, int cutLast) {
    if (entry.first == entry.last || (cutFirst <= entry.first && cutLast >= entry.last)) return {};
    const bool numbers = entry.type == kSidMulRk;
    const std::size_t each = numbers ? 6 : 2;
    const std::vector<std::uint8_t> source(bytesOf(entry), bytesOf(entry) + entry.length);
    const std::uint8_t* cells = source.data() + 4 + 4;
    std::vector<CellEntry> pieces;
    const auto piece = [&](int first, int last) {
        const std::uint8_t* from = cells + each * static_cast<std::size_t>(first - entry.first);
        const std::size_t count = static_cast<std::size_t>(last - first + 1);
        if (count == 1) {
            auto bytes = cellRecord(numbers ? kSidRk : kSidBlank, row, first, readU16(from), numbers ? 4 : 0);
            if (numbers) std::copy_n(from + 2, 4, bytes.begin() + 10);
            pieces.push_back(makeEntry(numbers ? kSidRk : kSidBlank, first, first, std::move(bytes)));
            return;
        }
        std::vector<std::uint8_t> bytes;
        appendU16(bytes, entry.type);
        appendU16(bytes, static_cast<std::uint16_t>(6 + each * count));
        appendU16(bytes, static_cast<std::uint16_t>(row));
        appendU16(bytes, static_cast<std::uint16_t>(first));
        bytes.insert(bytes.end(), from, from + each * count);
        appendU16(bytes, static_cast<std::uint16_t>(last));
        pieces.push_back(makeEntry(entry.type, first, last, std::move(bytes)));
    };
    if (cutFirst > entry.first) piece(entry.first, cutFirst - 1);
    if (cutLast < entry.last) piece(cutLast + 1, entry.last);
    return pieces;
}

void SheetCells::setValue(int row, int column, const CellValue& value, SharedStrings& strings, int& labelChange) {
    RowEntry& cells = ensureRow(row);
    auto existing = find(cells, column);
    const bool exists = existing != cells.cells.end();
    if (exists) {
        if (const auto anchor = groupAnchor(*existing)) {
            ungroup(row, column, *anchor);
            existing = find(cells, column);
        }
    }
    const std::uint16_t format = exists ? formatOf(*existing, column) : this->format(row, column);
    const bool blank = exists && (existing->type == kSidBlank || existing->type == kSidMulBlank);

    std::vector<std::uint8_t> bytes;
    if (value.kind == ValueKind::Empty) {
        if (!exists || blank) return;  // already empty; its format stays
        // A formatted cell stays as a formatted blank; so does one that carries unknown records.
        if (format != emptyFormat(row, column) || existing->tail >= 0)
            bytes = cellRecord(kSidBlank, row, column, format, 0);
    } else {
        bytes = valueRecord(row, column, format, value, strings);
        if (value.kind == ValueKind::Text) ++labelChange;
    }
    if (exists && existing->type == kSidLabelSst) --labelChange;
    replaceCell(cells, row, column, existing, std::move(bytes));
}

void SheetCells::replaceCell(RowEntry& cells, int row, int column, std::vector<CellEntry>::iterator existing,
                             std::vector<std::uint8_t> bytes) {
    const bool exists = existing != cells.cells.end();
    std::vector<CellEntry> pieces;
    std::int32_t tail = -1;
    if (exists) {
        tail = existing->tail;
        if (existing->first != existing->last) pieces = splitMulti(*existing, row, column, column);
    }
    std::vector<CellEntry> replacement;
    for (const CellEntry& piece : pieces)
        if (piece.last < column) replacement.push_back(piece);
    if (!bytes.empty()) {
        const std::uint16_t type = readU16(bytes.data());
        replacement.push_back(makeEntry(type, column, column, std::move(bytes)));
    }
    for (const CellEntry& piece : pieces)
        if (piece.first > column) replacement.push_back(piece);
    if (tail >= 0 && !replacement.empty()) replacement.back().tail = tail;

    auto at = exists ? cells.cells.erase(existing)
                     : std::upper_bound(cells.cells.begin(), cells.cells.end(), column,
                                        [](int c, const CellEntry& e) { return c < e.first; });
    cells.cells.insert(at, replacement.begin(), replacement.end());
    cells.changed = true;
    edited_ = true;
}

void SheetCells::setFormat(int row, int column, std::uint16_t format) {
    RowEntry& cells = ensureRow(row);
    auto existing = find(cells, column);
    if (existing == cells.cells.end()) {
        auto at = std::upper_bound(cells.cells.begin(), cells.cells.end(), column,
                                   [](int c, const CellEntry& e) { return c < e.first; });
        cells.cells.insert(at, makeEntry(kSidBlank, column, column, cellRecord(kSidBlank, row, column, format, 0)));
        cells.changed = true;
        edited_ = true;
        return;
    }
    if (formatOf(*existing, column) == format) return;
    if (!existing->owned) {
        const std::uint8_t* bytes = bytesOf(*existing);
        own(*existing, {bytes, bytes + existing->length});
    }
    std::uint8_t* data = owned_[existing->source].data() + 4;
    const int k = column - existing->first;
    if (existing->type == kSidMulRk)
        writeU16(data + 4 + 6 * k, format);
    else if (existing->type == kSidMulBlank)
        writeU16(data + 4 + 2 * k, format);
    else
        writeU16(data + 4, format);
    edited_ = true;
}

void SheetCells::setRowHeight(int row, int heightTwips) {
    RowEntry& entry = ensureRow(row);
    if (!entry.hasRecord) {
        entry.record.fill(0);
        writeU16(entry.record.data(), static_cast<std::uint16_t>(row));
        writeU16(entry.record.data() + 6, defaultRowHeight_);
        entry.record[13] = 0x01;
        writeU16(entry.record.data() + 14, kDefaultCellFormat);
        entry.hasRecord = true;
    }
    if (heightTwips < 0) {
        entry.record[12] |= kRowHidden;
    } else {
        const std::uint16_t kept = readU16(entry.record.data() + 6) & 0x8000;
        writeU16(entry.record.data() + 6, static_cast<std::uint16_t>(kept | (heightTwips & 0x7FFF)));
        entry.record[12] = static_cast<std::uint8_t>((entry.record[12] | kRowCustomHeight) & ~kRowHidden);
    }
    entry.changed = true;
    edited_ = true;
}

void SheetCells::fillShown(SheetShown& shown, const SharedStrings& strings, const CellFormats& formats) const {
    shown.defaultRowHeightTwips = defaultRowHeight_;
    shown.defaultColumnWidth = defaultColumnWidth_;
    std::size_t cellCount = 0;
    std::size_t rowCount = 0;
    for (const RowEntry& row : rows_) {
        rowCount += row.hasRecord;
        if (row.isRun()) cellCount += row.runCells;
        for (const CellEntry& entry : row.cells) cellCount += static_cast<std::size_t>(entry.last - entry.first) + 1;
    }
    shown.rows.reserve(rowCount);
    shown.cells.reserve(cellCount);
    // The fill of each format, looked up once: a sheet uses few formats for many cells.
    struct Fill {
        int colorIndex = -1;
        std::uint32_t rgb = 0;
        bool known = false;
    };
    std::vector<Fill> fills(formats.count());
    const auto fillOf = [&](std::uint16_t format) -> const Fill& {
        static const Fill none;
        if (format >= fills.size()) return none;
        Fill& fill = fills[format];
        if (!fill.known) {
            fill.colorIndex = formats.fillColorIndex(format);
            if (fill.colorIndex >= 0) fill.rgb = formats.colorRgb(fill.colorIndex);
            fill.known = true;
        }
        return fill;
    };
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        const RowEntry& row = rows_[r];
        if (row.hasRecord)
            shown.rows.push_back({static_cast<int>(r), readU16(row.record.data() + 6) & 0x7FFF,
                                  (row.record[12] & kRowCustomHeight) != 0, (row.record[12] & kRowHidden) != 0});
        const auto showEntry = [&](const CellEntry& entry) {
            for (int column = entry.first; column <= entry.last; ++column) {
                const Fill& fill = fillOf(formatOf(entry, column));
                shown.cells.push_back({static_cast<int>(r), column, valueOf(entry, column, strings),
                                       entry.type == kSidFormula, fill.colorIndex,
                                       fill.colorIndex >= 0 ? fill.rgb : 0u});
            }
        };
        if (!row.isRun()) {
            for (const CellEntry& entry : row.cells) showEntry(entry);
            continue;
        }
        // A run is read in place. Its numbers (RK) and shared strings, most cells of a score
        // sheet, are shown straight from their records, as valueOf and formatOf read them.
        for (std::size_t i = row.runBegin; i < row.runEnd;) {
            const RecordView& record = records_[i];
            std::size_t next = i + 1;
            if (next < row.runEnd && isFollowUp(records_[next].type)) next = afterFollowUps(i, row.runEnd);
            if (record.type != kSidRk && record.type != kSidLabelSst) {
                showEntry(entryOfRecord(i, next));
                i = next;
                continue;
            }
            const std::uint8_t* data = stream_ + record.offset + 4;
            const Fill& fill = fillOf(readU16(data + 4));
            CellShown& cell = shown.cells.emplace_back();
            cell.row = static_cast<int>(r);
            cell.column = readU16(data + 2);
            if (record.type == kSidRk) {
                cell.value.kind = ValueKind::Number;
                cell.value.number = decodeRk(readU32(data + 6));
            } else if (const std::uint32_t index = readU32(data + 6); index < strings.count()) {
                cell.value.kind = ValueKind::Text;
                cell.value.text = strings.text(index);
            }
            cell.fillColorIndex = fill.colorIndex;
            cell.fillRgb = fill.colorIndex >= 0 ? fill.rgb : 0u;
            i = next;
        }
    }
    for (const ColumnFormat& columns : columnFormats_)
        shown.columns.push_back({columns.first, columns.last, columns.width, (columns.flags & 0x01) != 0});
    std::sort(shown.columns.begin(), shown.columns.end(),
              [](const ColumnsShown& a, const ColumnsShown& b) { return a.first < b.first; });
}

}  // namespace pellix::xls
