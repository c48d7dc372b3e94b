// Writing the cell table: the sheet's records around it as they were, with INDEX and DIMENSIONS
// computed afresh, and the rows as blocks of up to 32 ROW records, their cells and a DBCELL.

#include "workbook/xls/sheet_cells.h"

#include "workbook/xls/cell_table_records.h"

#include <algorithm>

namespace pellix::xls {

using namespace cell_table;

// The rows written (those with a ROW record or cells), their blocks, and the bounds of the cells.
void SheetCells::measureRows(Layout& layout) const {
    layout.rows.clear();
    layout.blocks = 0;
    layout.firstRow = layout.endRow = 0;
    layout.firstColumn = 0xFFFF;
    layout.endColumn = 0;
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        const RowEntry& row = rows_[r];
        if (!row.hasCells() && !row.hasRecord) continue;
        if (layout.rows.empty() || layout.rows.back() / 32 != static_cast<int>(r / 32)) ++layout.blocks;
        layout.rows.push_back(static_cast<int>(r));
        if (!row.hasCells()) continue;
        if (layout.endRow == 0) layout.firstRow = static_cast<std::uint32_t>(r);
        layout.endRow = static_cast<std::uint32_t>(r + 1);
        layout.firstColumn = std::min(layout.firstColumn, row.firstColumn());
        layout.endColumn = std::max<std::uint16_t>(layout.endColumn, static_cast<std::uint16_t>(row.lastColumn() + 1));
    }
    if (layout.endRow == 0) layout.firstColumn = 0;
}

void SheetCells::write(StreamSink& sink, Layout& layout) const {
    if (sink.measuring()) measureRows(layout);
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
            writeDimensions(sink, record, layout);
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
    const std::vector<int>& rows = layout.rows;
    const std::size_t blocks = layout.blocks;
    sink.putHeader(kSidIndex, 16 + 4 * blocks);
    sink.putU32(original.size >= 4 ? readU32(data) : 0);
    sink.putU32(rows.empty() ? 0 : static_cast<std::uint32_t>(rows.front()));
    sink.putU32(rows.empty() ? 0 : static_cast<std::uint32_t>(rows.back() + 1));
    sink.putU32(layout.hasDefColWidth ? layout.defColWidth : (original.size >= 12 ? readU32(data + 8) : 0));
    for (std::size_t b = 0; b < blocks; ++b)
        sink.putU32(sink.measuring() || b >= layout.dbCells.size() ? 0 : layout.dbCells[b]);
}

void SheetCells::writeDimensions(StreamSink& sink, const RecordView& original, const Layout& layout) const {
    const std::uint8_t* data = stream_ + original.offset + 4;
    sink.putHeader(kSidDimensions, original.size);
    if (original.size == 14) {
        sink.putU32(layout.firstRow);
        sink.putU32(layout.endRow);
    } else {
        sink.putU16(static_cast<std::uint16_t>(layout.firstRow));
        sink.putU16(static_cast<std::uint16_t>(layout.endRow));
    }
    sink.putU16(layout.firstColumn);
    sink.putU16(layout.endColumn);
    sink.put(data + original.size - 2, 2);
}

void SheetCells::writeCellTable(StreamSink& sink, Layout& layout) const {
    for (const Range& range : lead_) sink.put(stream_ + range.offset, range.length);
    if (sink.measuring()) {
        layout.dbCells.clear();
        layout.intact.clear();
    }
    const std::vector<int>& rows = layout.rows;
    std::size_t block = 0;
    for (std::size_t k = 0; k < rows.size();) {
        std::size_t end = k;
        while (end < rows.size() && rows[end] / 32 == rows[k] / 32) ++end;
        writeRowBlock(sink, std::span(rows).subspan(k, end - k), block, layout);
        ++block;
        k = end;
    }
}

// Whether `rows` are a block read whole (readWholeBlock) and still as read: the same rows, none
// changed, their cells the records read, back to back as in the file. Its bytes are then the
// ones writeRowBlock would write.
bool SheetCells::blockIntact(std::span<const int> rows) const {
    const std::int32_t index = rows_[static_cast<std::size_t>(rows.front())].block;
    if (index < 0) return false;
    const Block& block = blocks_[static_cast<std::size_t>(index)];
    if (rows.size() != block.rows) return false;
    std::uint32_t at = block.cells;
    for (int number : rows) {
        const RowEntry& row = rows_[static_cast<std::size_t>(number)];
        if (row.block != index || row.changed) return false;
        if (row.isRun()) {
            if (records_[row.runBegin].offset != at) return false;
            at = records_[row.runEnd - 1].end();
        }
        // A row read cell by cell since: any cell made, changed, removed or given unknown
        // records breaks the chain.
        for (const CellEntry& entry : row.cells) {
            if (entry.owned || entry.tail >= 0 || entry.source != at) return false;
            at += entry.length;
        }
    }
    return at == block.dbCell;
}

// One block of up to 32 rows: their ROW records, their cells, and the DBCELL that indexes them.
void SheetCells::writeRowBlock(StreamSink& sink, std::span<const int> rows, std::size_t block, Layout& layout) const {
    const std::uint32_t blockStart = sink.position();
    if (sink.measuring()) layout.intact.push_back(blockIntact(rows));
    if (layout.intact[block]) {
        const Block& whole = blocks_[static_cast<std::size_t>(rows_[static_cast<std::size_t>(rows.front())].block)];
        sink.put(stream_ + whole.begin, whole.end - whole.begin);
        const std::uint32_t dbCell = blockStart + (whole.dbCell - whole.begin);
        if (sink.measuring())
            layout.dbCells.push_back(dbCell);
        else
            XLS_INVARIANT(block < layout.dbCells.size() && layout.dbCells[block] == dbCell);
        return;
    }
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
                for (const Range& range : tails_[static_cast<std::size_t>(entry.tail)])
                    copy(range.offset, range.length);
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
