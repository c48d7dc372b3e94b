// Reading a sheet's cell table: where it lies, its ROW records, and each row's cells, kept as the
// run of records they were read as until something needs them one by one.

#include "workbook/xls/sheet_cells.h"

#include "workbook/xls/cell_table_records.h"

#include <algorithm>

namespace pellix::xls {

using namespace cell_table;

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
            if (record.type == kSidDimensions && first == kNone) {
                dimensions = i;
                // The rows it claims, as a first guess of how many there are: the list then
                // need not grow row by row (a damaged count costs at most the sheet's limit).
                if (record.size >= 8)
                    rows_.reserve(std::min<std::size_t>(readU32(stream_ + record.offset + 8), kMaxRows));
            } else if (record.type == kSidWindow2 && window2 == kNone)
                window2 = i;
            else
                readSheetSetting(record);
            hold(i);
            continue;
        }
        if (first == kNone) first = i;
        for (std::size_t inside : held) keepUnknown(records_[inside], lastCell);
        held.clear();
        if (record.type == kSidRow) {
            if (const std::size_t after = readWholeBlock(i, strings, lastCell); after != 0) {
                end = after;
                i = after - 1;
                continue;
            }
        }
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

// A row block laid out as spreadsheet programs write it, and as a save writes it again: ROW
// records of 16 bytes for rows of one 32-row group in order, none of them seen before; then each
// row's cells back to back in column order; then a DBCELL holding the offsets a save computes.
// Such a block is read in one go: each row becomes a run, and a save copies the block whole
// while its rows stay as read. Any other layout, or a record the reading record by record would
// refuse, is left to that reading: returns 0 having changed nothing. Otherwise returns the index
// of the record after the DBCELL.
std::size_t SheetCells::readWholeBlock(std::size_t first, const SharedStrings& strings,
                                       std::optional<CellPlace>& lastCell) {
    struct BlockRow {
        std::uint16_t number = 0;
        std::uint16_t firstColumn = 0;
        std::uint16_t lastColumn = 0;
        std::uint32_t runBegin = 0;
        std::uint32_t runEnd = 0;  // 0 while the row has no cells
        std::uint32_t cells = 0;
    };
    std::array<BlockRow, 32> rows;
    std::size_t count = 0;
    std::size_t i = first;
    for (; i < records_.size() && records_[i].type == kSidRow; ++i) {
        const RecordView& record = records_[i];
        if (record.size != 16 || count == rows.size()) return 0;
        const std::uint16_t number = readU16(stream_ + record.offset + 4);
        if (count == 0 ? number < rows_.size() : number <= rows[count - 1].number || number / 32 != rows[0].number / 32)
            return 0;
        rows[count++].number = number;
    }
    if (i == records_.size()) return 0;
    const std::uint32_t blockBegin = records_[first].offset;
    const std::uint32_t cellsBegin = records_[i].offset;

    // The cells, with the checks parseCellRecord makes: each row's records are one run.
    const std::size_t size = records_.size();
    const std::size_t stringCount = strings.count();
    std::size_t open = count;    // the row whose cells come now (count: none yet)
    std::size_t lastRecord = 0;  // the last cell record
    while (i < size) {
        const RecordView& record = records_[i];
        const std::uint16_t type = record.type;
        const std::uint8_t* data = stream_ + record.offset + 4;
        int more = 0;  // columns after the first
        if (type == kSidRk || type == kSidLabelSst) {
            // Most cells of a score sheet, both of at least 10 bytes.
            if (record.size < 10 || (type == kSidLabelSst && readU32(data + 6) >= stringCount)) return 0;
        } else if (open != count && isFollowUp(type)) {
            // A STRING, SHRFMLA, ARRAY, TABLE or CONTINUE belongs to the cell record before it.
            rows[open].runEnd = static_cast<std::uint32_t>(++i);
            continue;
        } else if (!isCellRecord(type)) {
            break;
        } else if (record.size < minimumSize(type)) {
            return 0;
        } else if (type == kSidMulRk || type == kSidMulBlank) {
            const std::size_t each = type == kSidMulRk ? 6 : 2;
            more = static_cast<int>((record.size - 6) / each) - 1;
            if ((record.size - 6) % each != 0) return 0;
        }
        const std::uint16_t row = readU16(data);
        const std::uint16_t column = readU16(data + 2);
        const int lastColumn = column + more;
        if (lastColumn > 0xFFFF) return 0;
        if (open == count || row != rows[open].number) {
            // The first cell of a later row of the block.
            std::size_t k = open == count ? 0 : open + 1;
            while (k < count && rows[k].number < row) ++k;
            if (k == count || rows[k].number != row) return 0;
            open = k;
            rows[k].runBegin = static_cast<std::uint32_t>(i);
            rows[k].firstColumn = column;
        } else if (column <= rows[open].lastColumn) {
            return 0;
        }
        BlockRow& into = rows[open];
        into.runEnd = static_cast<std::uint32_t>(++i);
        into.lastColumn = static_cast<std::uint16_t>(lastColumn);
        into.cells += static_cast<std::uint32_t>(more + 1);
        lastRecord = i - 1;
    }

    // The DBCELL, with the offsets writeRowBlock gives the same rows and cells.
    if (i == records_.size() || records_[i].type != kSidDbCell) return 0;
    const RecordView& dbCell = records_[i];
    if (dbCell.size != 4 + 2 * count || (i + 1 < records_.size() && isFollowUp(records_[i + 1].type))) return 0;
    const std::uint8_t* offsets = stream_ + dbCell.offset + 4;
    if (readU32(offsets) != dbCell.offset - blockBegin
        || readU16(offsets + 4) != std::min<std::uint32_t>(cellsBegin - (blockBegin + 20), 0xFFFF))
        return 0;
    for (std::size_t k = 0; k + 1 < count; ++k) {
        const BlockRow& row = rows[k];
        const std::uint32_t length =
            row.runEnd == 0 ? 0 : records_[row.runEnd - 1].end() - records_[row.runBegin].offset;
        if (readU16(offsets + 6 + 2 * k) != std::min<std::uint32_t>(length, 0xFFFF)) return 0;
    }

    ensureRow(rows[count - 1].number);
    const auto block = static_cast<std::int32_t>(blocks_.size());
    for (std::size_t k = 0; k < count; ++k) {
        const BlockRow& row = rows[k];
        RowEntry& entry = rows_[row.number];
        std::copy_n(stream_ + records_[first + k].offset + 4, 16, entry.record.begin());
        entry.hasRecord = true;
        entry.block = block;
        if (row.runEnd != 0) {
            entry.runBegin = row.runBegin;
            entry.runEnd = row.runEnd;
            entry.runFirst = row.firstColumn;
            entry.runLast = row.lastColumn;
            entry.runCells = row.cells;
        }
    }
    blocks_.push_back({blockBegin, cellsBegin, dbCell.offset, dbCell.end(), static_cast<std::uint32_t>(count)});
    if (open != count) {
        const std::uint8_t* data = stream_ + records_[lastRecord].offset + 4;
        lastCell = CellPlace{readU16(data), readU16(data + 2)};
    }
    return i + 1;
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

// Why a cell record cannot be read, said where it lies; kept apart from the reading of every
// record, which runs over each cell of the sheet on every open.
[[noreturn, gnu::noinline, gnu::cold]] void SheetCells::refuseCellRecord(const RecordView& record,
                                                                         const SharedStrings& strings) const {
    const std::uint8_t* data = stream_ + record.offset + 4;
    const std::string where = "the cell record at offset " + std::to_string(record.offset);
    if (record.size < minimumSize(record.type)) damaged(where + " is cut short");
    if (record.type == kSidLabelSst)
        damaged("cell " + cellName(readU16(data), readU16(data + 2)) + " refers to shared string "
                + std::to_string(readU32(data + 6)) + ", but the table holds " + std::to_string(strings.count()));
    const std::size_t each = record.type == kSidMulRk ? 6 : 2;
    if ((record.size - 6) % each != 0) damaged(where + " has a broken length");
    damaged(where + " runs past the last column");
}

SheetCells::CellPlace SheetCells::parseCellRecord(std::size_t index, std::size_t next, const SharedStrings& strings) {
    const RecordView& record = records_[index];
    const std::uint8_t* data = stream_ + record.offset + 4;
    if (record.size < minimumSize(record.type)) refuseCellRecord(record, strings);
    const int row = readU16(data);
    const int column = readU16(data + 2);
    int last = column;
    if (record.type == kSidMulRk || record.type == kSidMulBlank) {
        const std::size_t each = record.type == kSidMulRk ? 6 : 2;
        last = column + static_cast<int>((record.size - 6) / each) - 1;
        if ((record.size - 6) % each != 0 || last > 0xFFFF) refuseCellRecord(record, strings);
    } else if (record.type == kSidLabelSst && readU32(data + 6) >= strings.count()) {
        refuseCellRecord(record, strings);
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

}  // namespace pellix::xls
