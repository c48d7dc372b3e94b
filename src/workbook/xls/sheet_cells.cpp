#include "workbook/xls/sheet_cells.h"

#include "workbook/xls/byte_order.h"
#include "workbook/xls/cell_formats.h"
#include "workbook/xls/formula_tokens.h"
#include "workbook/xls/shared_strings.h"

#include <algorithm>

namespace pellix::xls {

namespace {

constexpr std::uint16_t kSidWindow2 = 0x023E;
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// ROW flags, byte 12.
constexpr std::uint8_t kRowHidden = 0x20;        // fDyZero
constexpr std::uint8_t kRowCustomHeight = 0x40;  // fUnsynced
constexpr std::uint8_t kRowHasFormat = 0x80;     // fGhostDirty

// FORMULA: the flag fShrFmla (in the flags after the cached value), and the tokens that name
// the anchor of a shared formula or array (PtgExp) or of a data table (PtgTbl).
constexpr std::uint16_t kFormulaShared = 0x0008;
constexpr std::uint8_t kPtgExp = 0x01;
constexpr std::uint8_t kPtgTbl = 0x02;

bool isGroupRecord(std::uint16_t type) {
    return type == kSidShrFmla || type == kSidArray || type == kSidTable;
}

bool isTableRecord(std::uint16_t type) {
    return isCellRecord(type) || type == kSidRow || type == kSidDbCell;
}

// Records that belong to the cell record before them.
bool isFollowUp(std::uint16_t type) {
    return type == kSidString || type == kSidShrFmla || type == kSidArray || type == kSidTable || type == kSidContinue;
}

std::size_t minimumSize(std::uint16_t type) {
    switch (type) {
    case kSidNumber:
        return 14;
    case kSidRk:
        return 10;
    case kSidLabelSst:
        return 10;
    case kSidBlank:
        return 6;
    case kSidBoolErr:
        return 8;
    case kSidFormula:
        return 22;
    case kSidLabel:
    case kSidRString:
        return 9;
    case kSidMulRk:
        return 12;
    case kSidMulBlank:
        return 8;
    default:
        return 6;
    }
}

std::string decodeUnicodeString(const std::uint8_t* data, std::size_t available) {
    std::string text;
    if (available < 3) return text;
    const std::size_t count = readU16(data);
    const bool highByte = data[2] & 0x01;
    const std::size_t fits = (available - 3) / (highByte ? 2 : 1);
    appendUtf16AsUtf8(text, data + 3, std::min(count, fits), highByte);
    return text;
}

std::vector<std::uint8_t> cellRecord(std::uint16_t type, int row, int column, std::uint16_t format, std::size_t extra) {
    std::vector<std::uint8_t> bytes(4 + 6 + extra);
    writeU16(bytes.data(), type);
    writeU16(bytes.data() + 2, static_cast<std::uint16_t>(6 + extra));
    writeU16(bytes.data() + 4, static_cast<std::uint16_t>(row));
    writeU16(bytes.data() + 6, static_cast<std::uint16_t>(column));
    writeU16(bytes.data() + 8, format);
    return bytes;
}

// The record of a cell of `format` holding `value` (not empty): RK where the number fits it,
// else NUMBER; LABELSST; BOOLERR.
std::vector<std::uint8_t> valueRecord(int row, int column, std::uint16_t format, const CellValue& value,
                                      SharedStrings& strings) {
    std::vector<std::uint8_t> bytes;
    switch (value.kind) {
    case ValueKind::Empty:
        break;
    case ValueKind::Number:
        if (auto rk = encodeRk(value.number)) {
            bytes = cellRecord(kSidRk, row, column, format, 4);
            writeU32(bytes.data() + 10, *rk);
        } else {
            bytes = cellRecord(kSidNumber, row, column, format, 8);
            writeF64(bytes.data() + 10, value.number);
        }
        break;
    case ValueKind::Text:
        bytes = cellRecord(kSidLabelSst, row, column, format, 4);
        writeU32(bytes.data() + 10, strings.indexOf(value.text));
        break;
    case ValueKind::Boolean:
    case ValueKind::Error:
        bytes = cellRecord(kSidBoolErr, row, column, format, 2);
        bytes[10] = value.kind == ValueKind::Boolean ? static_cast<std::uint8_t>(value.boolean) : value.error;
        bytes[11] = value.kind == ValueKind::Error ? 1 : 0;
        break;
    }
    return bytes;
}

}  // namespace

SheetCells::SheetCells(const std::uint8_t* stream, std::span<const RecordView> records, const SharedStrings& strings,
                       const std::string& displayName)
    : stream_(stream), records_(records), displayName_(displayName) {
    readCellTable(strings);
}

SheetCells::CellEntry SheetCells::entryOfRecord(std::size_t record, std::size_t next) const {
    const RecordView& view = records_[record];
    const std::uint8_t* data = stream_ + view.offset + 4;
    CellEntry entry;
    entry.first = readU16(data + 2);
    entry.last = entry.first;
    if (view.type == kSidMulRk || view.type == kSidMulBlank)
        entry.last = static_cast<std::uint16_t>(entry.first + (view.size - 6) / (view.type == kSidMulRk ? 6 : 2) - 1);
    entry.type = view.type;
    entry.source = view.offset;
    entry.length = records_[next - 1].end() - view.offset;
    return entry;
}

void SheetCells::materialize(RowEntry& row) const {
    if (!row.isRun()) return;
    const std::size_t begin = row.runBegin;
    const std::size_t end = row.runEnd;
    row.runBegin = row.runEnd = 0;
    row.cells.reserve(row.cells.size() + row.runCells);
    for (std::size_t i = begin; i < end;) {
        const std::size_t next = afterFollowUps(i, end);
        row.cells.push_back(entryOfRecord(i, next));
        i = next;
    }
}

template <typename Visit>
void SheetCells::forEachEntry(const RowEntry& row, Visit visit) const {
    if (!row.isRun()) {
        for (const CellEntry& entry : row.cells) visit(entry);
        return;
    }
    for (std::size_t i = row.runBegin; i < row.runEnd;) {
        const std::size_t next = afterFollowUps(i, row.runEnd);
        visit(entryOfRecord(i, next));
        i = next;
    }
}

std::size_t SheetCells::afterFollowUps(std::size_t record, std::size_t limit) const {
    std::size_t next = record + 1;
    while (next < limit && isFollowUp(records_[next].type)) ++next;
    return next;
}

void SheetCells::readSheetSetting(const RecordView& record) {
    const std::uint8_t* data = stream_ + record.offset + 4;
    if (record.type == kSidDefaultRowHeight && record.size >= 4) {
        defaultRowHeight_ = readU16(data + 2) & 0x7FFF;
    } else if (record.type == kSidDefColWidth && record.size >= 2) {
        defaultColumnWidth_ = readU16(data);
    } else if (record.type == kSidColInfo && record.size >= 10) {
        columnFormats_.push_back({readU16(data), readU16(data + 2), readU16(data + 4),
                                  static_cast<std::uint16_t>(readU16(data + 6) & 0x0FFF), readU16(data + 8)});
    }
}

// One pass over the sheet: the cell table runs from its first ROW, cell or DBCELL record to the
// last one with its follow-up records. Other records inside it (a chart's substream, records
// unknown here) stay after the cell they followed; those after the table belong to the rest of
// the sheet, so they are held back until a later table record shows they lie inside it.
void SheetCells::readCellTable(const SharedStrings& strings) {
    std::size_t first = kNone;
    std::size_t end = kNone;
    std::size_t dimensions = kNone;
    std::size_t window2 = kNone;
    std::optional<CellPlace> lastCell;
    std::vector<std::size_t> held;
    const auto hold = [&](std::size_t i) {
        if (first != kNone) held.push_back(i);
    };
    int depth = 0;
    for (std::size_t i = 0; i < records_.size(); ++i) {
        const RecordView& record = records_[i];
        if (record.type == kSidBof) {
            ++depth;
            hold(i);
            continue;
        }
        if (record.type == kSidEof) {
            if (--depth >= 1) hold(i);
            continue;
        }
        if (depth != 1) {
            hold(i);
            continue;
        }
        if (!isTableRecord(record.type)) {
            if (record.type == kSidDimensions && first == kNone)
                dimensions = i;
            else if (record.type == kSidWindow2 && window2 == kNone)
                window2 = i;
            else
                readSheetSetting(record);
            hold(i);
            continue;
        }
        if (first == kNone) first = i;
        for (std::size_t inside : held) keepUnknown(records_[inside], lastCell);
        held.clear();
        const std::size_t next = afterFollowUps(i, records_.size());
        if (record.type == kSidRow || record.type == kSidDbCell) {
            if (record.type == kSidRow) readRowRecord(record);
            for (std::size_t followUp = i + 1; followUp < next; ++followUp) keepUnknown(records_[followUp], lastCell);
        } else {
            lastCell = parseCellRecord(i, next, strings);
        }
        end = next;
        i = next - 1;
    }
    if (first == kNone) {
        // No cells yet: new rows go after DIMENSIONS, where spreadsheet programs put them.
        first = dimensions != kNone ? dimensions + 1 : window2 != kNone ? window2 : records_.size() - 1;
        end = first;
    }
    tableBegin_ = first;
    tableEnd_ = end;
}

void SheetCells::keepUnknown(const RecordView& record, const std::optional<CellPlace>& lastCell) {
    const Range range{record.offset, 4u + record.size};
    std::vector<Range>* into = &lead_;
    if (lastCell) {
        RowEntry& row = rows_[static_cast<std::size_t>(lastCell->row)];
        materialize(row);
        auto entry = find(row, lastCell->column);
        if (entry->tail < 0) {
            entry->tail = static_cast<std::int32_t>(tails_.size());
            tails_.emplace_back();
        }
        into = &tails_[static_cast<std::size_t>(entry->tail)];
    }
    if (!into->empty() && into->back().offset + into->back().length == range.offset)
        into->back().length += range.length;
    else
        into->push_back(range);
}

void SheetCells::readRowRecord(const RecordView& record) {
    const std::uint8_t* data = stream_ + record.offset + 4;
    if (record.size < 16) damaged("the row record at offset " + std::to_string(record.offset) + " is cut short");
    RowEntry& row = ensureRow(readU16(data));
    if (row.hasRecord) damaged("row " + std::to_string(readU16(data) + 1) + " is described twice");
    std::copy_n(data, 16, row.record.begin());
    row.hasRecord = true;
}

SheetCells::CellPlace SheetCells::parseCellRecord(std::size_t index, std::size_t next, const SharedStrings& strings) {
    const RecordView& record = records_[index];
    const std::uint8_t* data = stream_ + record.offset + 4;
    if (record.size < minimumSize(record.type))
        damaged("the cell record at offset " + std::to_string(record.offset) + " is cut short");
    const int row = readU16(data);
    const int column = readU16(data + 2);
    int last = column;
    if (record.type == kSidMulRk || record.type == kSidMulBlank) {
        const std::size_t each = record.type == kSidMulRk ? 6 : 2;
        if ((record.size - 6) % each != 0)
            damaged("the cell record at offset " + std::to_string(record.offset) + " has a broken length");
        last = column + static_cast<int>((record.size - 6) / each) - 1;
        if (last > 0xFFFF)
            damaged("the cell record at offset " + std::to_string(record.offset) + " runs past the last column");
    } else if (record.type == kSidLabelSst && readU32(data + 6) >= strings.count()) {
        damaged("cell " + cellName(row, column) + " refers to shared string " + std::to_string(readU32(data + 6))
                + ", but the table holds " + std::to_string(strings.count()));
    }
    RowEntry& entries = ensureRow(row);
    // The usual case: the row's first cell starts a run, and each next cell right after it, in
    // column order, lengthens the run.
    if (!entries.hasCells()) {
        entries.runBegin = static_cast<std::uint32_t>(index);
        entries.runEnd = static_cast<std::uint32_t>(next);
        entries.runFirst = static_cast<std::uint16_t>(column);
        entries.runLast = static_cast<std::uint16_t>(last);
        entries.runCells = static_cast<std::uint32_t>(last - column + 1);
        return {row, column};
    }
    if (entries.isRun() && entries.runEnd == index && entries.runLast < column) {
        entries.runEnd = static_cast<std::uint32_t>(next);
        entries.runLast = static_cast<std::uint16_t>(last);
        entries.runCells += static_cast<std::uint32_t>(last - column + 1);
        return {row, column};
    }
    materialize(entries);
    const CellEntry entry = entryOfRecord(index, next);
    if (entries.cells.back().last < entry.first)
        entries.cells.push_back(entry);
    else
        insertParsed(row, entry, record.offset);
    return {row, column};
}

void SheetCells::damaged(const std::string& what) const {
    throwDamaged(displayName_, what);
}

void SheetCells::insertParsed(int row, CellEntry entry, std::uint32_t recordOffset) {
    std::vector<CellEntry>& cells = ensureRow(row).cells;
    // Out of column order is tolerated. A cell stored twice (some writers leave such copies)
    // reads as its later copy: the record stream is read in order and each cell record sets its
    // cell, as xlrd does. The earlier copy is dropped; a MULRK or MULBLANK keeps its other cells,
    // and unknown records that followed the earlier copy stay with the later one.
    const auto begin = std::lower_bound(cells.begin(), cells.end(), entry.first,
                                        [](const CellEntry& e, int column) { return e.last < column; });
    const auto end = std::upper_bound(begin, cells.end(), entry.last,
                                      [](int column, const CellEntry& e) { return column < e.first; });
    std::vector<CellEntry> left, right;
    for (auto earlier = begin; earlier != end; ++earlier) {
        if (groupRecordOf(*earlier) != 0)
            damaged("cell " + cellName(row, std::max<int>(earlier->first, entry.first))
                    + " is stored twice, and the copy the later one hides defines a shared formula, array or table"
                    + " (record at offset " + std::to_string(recordOffset) + ")");
        if (earlier->type == kSidLabelSst) ++droppedLabels_;
        if (earlier->tail >= 0) {
            if (entry.tail < 0) {
                entry.tail = earlier->tail;
            } else {
                auto& into = tails_[static_cast<std::size_t>(entry.tail)];
                const auto& from = tails_[static_cast<std::size_t>(earlier->tail)];
                into.insert(into.end(), from.begin(), from.end());
            }
        }
        for (const CellEntry& piece : splitMulti(*earlier, row, entry.first, entry.last))
            (piece.last < entry.first ? left : right).push_back(piece);
    }
    auto at = cells.erase(begin, end);
    at = cells.insert(at, right.begin(), right.end());
    at = cells.insert(at, entry);
    cells.insert(at, left.begin(), left.end());
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

// The cell whose shared formula, array or table this formula cell belongs to: its tokens are
// just PtgExp or PtgTbl naming that cell ([MS-XLS] 2.5.198.58, 2.5.198.86), or the cell itself
// carries the record that defines the group.
std::optional<SheetCells::CellPlace> SheetCells::groupAnchor(const CellEntry& entry) const {
    if (entry.type != kSidFormula) return std::nullopt;
    const std::uint8_t* bytes = bytesOf(entry);
    const std::size_t size = readU16(bytes + 2);
    if (size >= 27 && readU16(bytes + 24) == 5 && (bytes[26] == kPtgExp || bytes[26] == kPtgTbl))
        return CellPlace{readU16(bytes + 27), readU16(bytes + 29)};
    if (const std::size_t at = groupRecordOf(entry); at != 0) return CellPlace{readU16(bytes + at + 4), bytes[at + 8]};
    return std::nullopt;
}

// Where in the cell's bytes a SHRFMLA, ARRAY or TABLE follows its formula; 0 when none does.
std::size_t SheetCells::groupRecordOf(const CellEntry& entry) const {
    if (entry.type != kSidFormula) return 0;
    const std::uint8_t* bytes = bytesOf(entry);
    for (std::size_t at = 4 + readU16(bytes + 2); at + 4 <= entry.length; at += 4 + readU16(bytes + at + 2))
        if (isGroupRecord(readU16(bytes + at)) && readU16(bytes + at + 2) >= 6) return at;
    return 0;
}

// The cell's record and follow-ups with every SHRFMLA, ARRAY or TABLE (and the CONTINUE records
// that carry on one of them) left out; `formula` replaces the cell's own record.
std::vector<std::uint8_t> SheetCells::withoutGroupRecords(const CellEntry& entry,
                                                          std::vector<std::uint8_t> formula) const {
    const std::uint8_t* bytes = bytesOf(entry);
    bool dropping = false;
    for (std::size_t at = 4 + readU16(bytes + 2); at + 4 <= entry.length;) {
        const std::uint16_t type = readU16(bytes + at);
        const std::size_t length = 4 + readU16(bytes + at + 2);
        if (isGroupRecord(type))
            dropping = true;
        else if (type != kSidContinue)
            dropping = false;
        if (!dropping) formula.insert(formula.end(), bytes + at, bytes + at + length);
        at += length;
    }
    return formula;
}

// Before cell (`row`, `column`) of a group is written, the group is dissolved the way the
// spreadsheet program does it: every other cell of a shared formula gets the formula as its own
// tokens, with references relative to the cell resolved ([MS-XLS] 2.4.260 ShrFmla), and keeps
// its cached result. An array formula or a data table over more cells than the written one is
// refused, as the spreadsheet program refuses to change part of one.
void SheetCells::ungroup(int row, int column, CellPlace anchor) {
    struct Holder {
        CellEntry* entry = nullptr;
        std::size_t at = 0;
    };
    const auto groupIn = [&](CellEntry& entry) -> Holder {
        const std::size_t at = groupRecordOf(entry);
        const std::uint8_t* bytes = bytesOf(entry);
        if (at != 0 && readU16(bytes + at + 4) == anchor.row && bytes[at + 8] == anchor.column) return {&entry, at};
        return {};
    };
    Holder holder;
    if (static_cast<std::size_t>(anchor.row) < rows_.size()) {
        auto& anchorRow = rows_[static_cast<std::size_t>(anchor.row)];
        if (auto at = find(anchorRow, anchor.column); at != anchorRow.cells.end()) holder = groupIn(*at);
    }
    for (std::size_t r = 0; r < rows_.size() && holder.entry == nullptr; ++r) {
        materialize(rows_[r]);
        for (CellEntry& entry : rows_[r].cells)
            if (holder.entry == nullptr) holder = groupIn(entry);
    }
    if (holder.entry == nullptr) return;  // a PtgExp naming no group: nothing is shared, the cell is written as asked

    const std::uint8_t* group = bytesOf(*holder.entry) + holder.at;
    const std::uint16_t groupType = readU16(group);
    const int firstRow = readU16(group + 4);
    const int lastRow = readU16(group + 6);
    const int firstColumn = group[8];
    const int lastColumn = group[9];
    const std::string range = cellName(firstRow, firstColumn) + ":" + cellName(lastRow, lastColumn);
    // Every member is rebuilt before any is replaced, so a refusal leaves the sheet as it was.
    std::vector<std::pair<CellEntry*, std::vector<std::uint8_t>>> rebuilt;
    bool holderRebuilt = false;
    if (groupType != kSidShrFmla) {
        if (firstRow != row || lastRow != row || firstColumn != column || lastColumn != column)
            throw XlsError(displayName_ + ": cell " + cellName(row, column) + " is part of "
                           + (groupType == kSidArray ? "an array formula" : "a data table") + " over " + range
                           + ", which can only be changed as a whole");
    } else {
        rebuildSharedFormulaCells(row, column, anchor, group, rebuilt);
        for (const auto& [entry, bytes] : rebuilt) holderRebuilt = holderRebuilt || entry == holder.entry;
    }
    if (!holderRebuilt) {
        const std::uint8_t* bytes = bytesOf(*holder.entry);
        rebuilt.emplace_back(holder.entry, withoutGroupRecords(*holder.entry, {bytes, bytes + 4 + readU16(bytes + 2)}));
    }
    for (auto& [entry, bytes] : rebuilt) own(*entry, std::move(bytes));
    edited_ = true;
}

// The cells of the shared formula `group` (a SHRFMLA record) anchored at `anchor`, each with the
// formula as its own tokens and without the shared flag.
void SheetCells::rebuildSharedFormulaCells(int row, int column, CellPlace anchor, const std::uint8_t* group,
                                           std::vector<std::pair<CellEntry*, std::vector<std::uint8_t>>>& rebuilt) {
    const std::size_t groupSize = readU16(group + 2);
    const int firstRow = readU16(group + 4);
    const int lastRow = readU16(group + 6);
    const int firstColumn = group[8];
    const int lastColumn = group[9];
    const std::string range = cellName(firstRow, firstColumn) + ":" + cellName(lastRow, lastColumn);
    // ShrFmla: RefU, reserved, cUse, then cce, rgce and rgcb to the end of the record.
    const std::size_t count = groupSize >= 10 ? readU16(group + 12) : 0;
    if (groupSize < 10 || 10 + count > groupSize) damaged("the shared formula of " + range + " is cut short");
    const std::span<const std::uint8_t> shared(group + 14, count);
    const std::vector<std::uint8_t> extra(group + 14 + count, group + 4 + groupSize);
    for (int r = firstRow; r <= lastRow && static_cast<std::size_t>(r) < rows_.size(); ++r) {
        materialize(rows_[static_cast<std::size_t>(r)]);
        for (CellEntry& entry : rows_[static_cast<std::size_t>(r)].cells) {
            if (entry.first < firstColumn || entry.first > lastColumn || entry.type != kSidFormula) continue;
            const std::uint8_t* bytes = bytesOf(entry);
            if (readU16(bytes + 2) < 27 || bytes[26] != kPtgExp) continue;
            const auto member = groupAnchor(entry);
            if (!member || member->row != anchor.row || member->column != anchor.column) continue;
            const CellTokens tokens = sharedTokensForCell(shared, r, entry.first);
            if (!tokens.problem.empty())
                throw XlsError(displayName_ + ": cell " + cellName(row, column) + " shares the formula of " + range
                               + ", which holds " + tokens.problem + " that cannot be given to each cell");
            const std::size_t size = 22 + tokens.tokens.size() + extra.size();
            if (size > kMaxRecordData)
                throw XlsError(displayName_ + ": the formula shared by " + range + " is too long to give to each cell");
            std::vector<std::uint8_t> formula(bytes, bytes + 4 + 20);
            writeU16(formula.data() + 2, static_cast<std::uint16_t>(size));
            writeU16(formula.data() + 18, static_cast<std::uint16_t>(readU16(formula.data() + 18) & ~kFormulaShared));
            appendU16(formula, static_cast<std::uint16_t>(tokens.tokens.size()));
            formula.insert(formula.end(), tokens.tokens.begin(), tokens.tokens.end());
            formula.insert(formula.end(), extra.begin(), extra.end());
            rebuilt.emplace_back(&entry, withoutGroupRecords(entry, std::move(formula)));
        }
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
        forEachEntry(row, [&](const CellEntry& entry) {
            for (int column = entry.first; column <= entry.last; ++column) {
                CellShown& cell = shown.cells.emplace_back();
                cell.row = static_cast<int>(r);
                cell.column = column;
                cell.value = valueOf(entry, column, strings);
                cell.formula = entry.type == kSidFormula;
                const Fill& fill = fillOf(formatOf(entry, column));
                cell.fillColorIndex = fill.colorIndex;
                if (fill.colorIndex >= 0) cell.fillRgb = fill.rgb;
            }
        });
    }
    for (const ColumnFormat& columns : columnFormats_)
        shown.columns.push_back({columns.first, columns.last, columns.width, (columns.flags & 0x01) != 0});
    std::sort(shown.columns.begin(), shown.columns.end(),
              [](const ColumnsShown& a, const ColumnsShown& b) { return a.first < b.first; });
}

std::vector<int> SheetCells::writtenRows() const {
    std::vector<int> rows;
    for (std::size_t r = 0; r < rows_.size(); ++r)
        if (rows_[r].hasRecord || rows_[r].hasCells()) rows.push_back(static_cast<int>(r));
    return rows;
}

void SheetCells::write(StreamSink& sink, Layout& layout) const {
    int depth = 0;
    writeRecordRange(sink, 0, tableBegin_, layout, depth);
    writeCellTable(sink, layout);
    writeRecordRange(sink, tableEnd_, records_.size(), layout, depth);
}

void SheetCells::writeRecordRange(StreamSink& sink, std::size_t begin, std::size_t end, Layout& layout,
                                  int& depth) const {
    for (std::size_t i = begin; i < end; ++i) {
        const RecordView& record = records_[i];
        if (record.type == kSidBof) ++depth;
        if (depth == 1 && record.type == kSidIndex) {
            writeIndex(sink, record, layout);
        } else if (depth == 1 && record.type == kSidDimensions && (record.size == 14 || record.size == 10)) {
            writeDimensions(sink, record);
        } else {
            if (depth == 1 && record.type == kSidDefColWidth) {
                if (sink.measuring()) {
                    layout.defColWidth = sink.position();
                    layout.hasDefColWidth = true;
                } else {
                    XLS_INVARIANT(layout.defColWidth == sink.position());
                }
            }
            sink.put(stream_ + record.offset, 4u + record.size);
        }
        if (record.type == kSidEof) --depth;
    }
}

void SheetCells::writeIndex(StreamSink& sink, const RecordView& original, const Layout& layout) const {
    const std::uint8_t* data = stream_ + original.offset + 4;
    const std::vector<int> rows = writtenRows();
    std::size_t blocks = 0;
    for (std::size_t k = 0; k < rows.size(); ++k)
        if (k == 0 || rows[k] / 32 != rows[k - 1] / 32) ++blocks;
    sink.putHeader(kSidIndex, 16 + 4 * blocks);
    sink.putU32(original.size >= 4 ? readU32(data) : 0);
    sink.putU32(rows.empty() ? 0 : static_cast<std::uint32_t>(rows.front()));
    sink.putU32(rows.empty() ? 0 : static_cast<std::uint32_t>(rows.back() + 1));
    sink.putU32(layout.hasDefColWidth ? layout.defColWidth : (original.size >= 12 ? readU32(data + 8) : 0));
    for (std::size_t b = 0; b < blocks; ++b)
        sink.putU32(sink.measuring() || b >= layout.dbCells.size() ? 0 : layout.dbCells[b]);
}

void SheetCells::writeDimensions(StreamSink& sink, const RecordView& original) const {
    std::uint32_t firstRow = 0, endRow = 0;
    std::uint16_t firstColumn = 0xFFFF, endColumn = 0;
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        const RowEntry& row = rows_[r];
        if (!row.hasCells()) continue;
        if (endRow == 0) firstRow = static_cast<std::uint32_t>(r);
        endRow = static_cast<std::uint32_t>(r + 1);
        firstColumn = std::min(firstColumn, row.firstColumn());
        endColumn = std::max<std::uint16_t>(endColumn, static_cast<std::uint16_t>(row.lastColumn() + 1));
    }
    if (endRow == 0) firstColumn = 0;
    const std::uint8_t* data = stream_ + original.offset + 4;
    sink.putHeader(kSidDimensions, original.size);
    if (original.size == 14) {
        sink.putU32(firstRow);
        sink.putU32(endRow);
    } else {
        sink.putU16(static_cast<std::uint16_t>(firstRow));
        sink.putU16(static_cast<std::uint16_t>(endRow));
    }
    sink.putU16(firstColumn);
    sink.putU16(endColumn);
    sink.put(data + original.size - 2, 2);
}

void SheetCells::writeCellTable(StreamSink& sink, Layout& layout) const {
    for (const Range& range : lead_) sink.put(stream_ + range.offset, range.length);
    if (sink.measuring()) layout.dbCells.clear();
    const std::vector<int> rows = writtenRows();
    std::size_t block = 0;
    for (std::size_t k = 0; k < rows.size();) {
        std::size_t end = k;
        while (end < rows.size() && rows[end] / 32 == rows[k] / 32) ++end;
        writeRowBlock(sink, std::span(rows).subspan(k, end - k), block, layout);
        ++block;
        k = end;
    }
}

// One block of up to 32 rows: their ROW records, their cells, and the DBCELL that indexes them.
void SheetCells::writeRowBlock(StreamSink& sink, std::span<const int> rows, std::size_t block, Layout& layout) const {
    const std::uint32_t blockStart = sink.position();
    for (int row : rows) writeRowRecord(sink, row);
    // DBCELL ([MS-XLS] 2.4.78): the first offset runs from the second ROW record to the first
    // cell, each next one from the previous row's first cell; a row without cells sits where
    // its cells would start.
    std::vector<std::uint16_t> offsets;
    offsets.push_back(static_cast<std::uint16_t>(std::min<std::uint32_t>(sink.position() - (blockStart + 20), 0xFFFF)));
    // Cells read from the file and not edited mostly lie back to back in the stream: each run of
    // them is copied at once.
    std::uint32_t runBegin = 0;
    std::uint32_t runEnd = 0;
    const auto flush = [&] {
        sink.put(stream_ + runBegin, runEnd - runBegin);
        runBegin = runEnd = 0;
    };
    const auto copy = [&](std::uint32_t offset, std::uint32_t length) {
        if (runEnd != offset || runEnd == 0) {
            flush();
            runBegin = offset;
        }
        runEnd = offset + length;
    };
    for (std::size_t m = 0; m < rows.size(); ++m) {
        const std::uint32_t rowStart = sink.position();
        const RowEntry& row = rows_[static_cast<std::size_t>(rows[m])];
        if (row.isRun())
            copy(records_[row.runBegin].offset, records_[row.runEnd - 1].end() - records_[row.runBegin].offset);
        for (const CellEntry& entry : row.cells) {
            if (entry.owned) {
                flush();
                sink.put(bytesOf(entry), entry.length);
            } else {
                copy(entry.source, entry.length);
            }
            if (entry.tail >= 0)
                for (const Range& range : tails_[static_cast<std::size_t>(entry.tail)]) copy(range.offset, range.length);
        }
        flush();
        if (m + 1 < rows.size())
            offsets.push_back(static_cast<std::uint16_t>(std::min<std::uint32_t>(sink.position() - rowStart, 0xFFFF)));
    }
    const std::uint32_t dbCell = sink.position();
    if (sink.measuring())
        layout.dbCells.push_back(dbCell);
    else
        XLS_INVARIANT(block < layout.dbCells.size() && layout.dbCells[block] == dbCell);
    sink.putHeader(kSidDbCell, 4 + 2 * offsets.size());
    sink.putU32(dbCell - blockStart);
    for (std::uint16_t offset : offsets) sink.putU16(offset);
}

void SheetCells::writeRowRecord(StreamSink& sink, int rowNumber) const {
    const RowEntry& row = rows_[static_cast<std::size_t>(rowNumber)];
    std::array<std::uint8_t, 16> record = row.record;
    if (!row.hasRecord) {
        // Rows with cells but no ROW record (some writers leave them out) get a plain one.
        record.fill(0);
        writeU16(record.data(), static_cast<std::uint16_t>(rowNumber));
        writeU16(record.data() + 6, defaultRowHeight_);
        record[13] = 0x01;
        writeU16(record.data() + 14, kDefaultCellFormat);
    }
    if (row.changed || !row.hasRecord) {
        writeU16(record.data() + 2, row.hasCells() ? row.firstColumn() : 0);
        writeU16(record.data() + 4, row.hasCells() ? static_cast<std::uint16_t>(row.lastColumn() + 1) : 0);
    }
    sink.putHeader(kSidRow, 16);
    sink.put(record.data(), 16);
}

}  // namespace pellix::xls
