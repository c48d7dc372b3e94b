#pragma once

// One worksheet's cell table ([MS-XLS] 2.1.7.20.5 CELLTABLE): its rows and cell records, edited
// in memory and written back as row blocks with fresh ROW, DBCELL, INDEX and DIMENSIONS data.
//
// A cell record that no edit touched keeps its bytes (and its follow-up records: the STRING of a
// text formula result, SHRFMLA, ARRAY, TABLE, CONTINUE). Everything of the sheet outside the
// cell table is copied as it was.

#include "workbook/xls/biff.h"
#include "workbook/xls/stream_sink.h"
#include "workbook/xls/workbook.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace pellix::xls {

class SharedStrings;
class CellFormats;

class SheetCells {
public:
    // `records` run from the sheet's BOF to the EOF that balances it. Throws XlsError.
    SheetCells(const std::uint8_t* stream, std::span<const RecordView> records, const SharedStrings& strings,
               const std::string& displayName);

    CellValue value(int row, int column, const SharedStrings& strings) const;
    // The format the cell shows: its own, or for a cell without a record the row's or column's.
    std::uint16_t format(int row, int column) const;
    // The format of a cell that has no record: the row's, else the column's, else the default.
    std::uint16_t emptyFormat(int row, int column) const;

    // `labelChange` gets +1/-1 for each shared-string cell made or removed.
    void setValue(int row, int column, const CellValue& value, SharedStrings& strings, int& labelChange);
    void setFormat(int row, int column, std::uint16_t format);
    // `heightTwips` < 0 hides the row and keeps its height.
    void setRowHeight(int row, int heightTwips);

    bool edited() const { return edited_; }
    // Shared-string cells of the file that a later copy of the same cell hides: a rewritten
    // sheet no longer holds them.
    int droppedLabels() const { return droppedLabels_; }
    void fillShown(SheetShown& shown, const SharedStrings& strings, const CellFormats& formats) const;

    struct Layout {
        std::uint32_t defColWidth = 0;
        bool hasDefColWidth = false;
        std::vector<std::uint32_t> dbCells;
        // Found by the measuring run, for both runs: the rows written and their number of
        // blocks, the bounds DIMENSIONS gives, and which row blocks are copied whole.
        std::vector<int> rows;
        std::size_t blocks = 0;
        std::uint32_t firstRow = 0, endRow = 0;
        std::uint16_t firstColumn = 0, endColumn = 0;
        std::vector<bool> intact;
    };
    // Writes the whole sheet substream. Measuring fills `layout`; writing uses it for the INDEX.
    void write(StreamSink& sink, Layout& layout) const;

private:
    struct Range {
        std::uint32_t offset = 0;
        std::uint32_t length = 0;
    };
    struct CellEntry {
        std::uint16_t first = 0;  // columns covered: one, or a MULRK/MULBLANK span
        std::uint16_t last = 0;
        std::uint16_t type = 0;
        bool owned = false;        // bytes in owned_[source] rather than in the stream
        std::uint32_t source = 0;  // stream offset of the record header, or index into owned_
        std::uint32_t length = 0;  // the record with its follow-up records
        std::int32_t tail = -1;    // index into tails_: unknown records that followed this cell
    };
    // A row's cells are read from the file only when something needs them one by one. Until
    // then a row whose cell records lie back to back in column order, with nothing else among
    // them, is only that run of records: a save copies it whole, the sheet view reads it in place.
    struct RowEntry {
        std::vector<CellEntry> cells;  // sorted by column; empty while the row is a run
        std::array<std::uint8_t, 16> record{};
        bool hasRecord = false;
        bool changed = false;
        std::uint32_t runBegin = 0;  // record indexes of the run, none when equal
        std::uint32_t runEnd = 0;
        std::uint16_t runFirst = 0;  // its first and last column
        std::uint16_t runLast = 0;
        std::uint32_t runCells = 0;
        std::int32_t block = -1;  // index into blocks_ when the row came in a block read whole
        bool isRun() const { return runEnd > runBegin; }
        bool hasCells() const { return isRun() || !cells.empty(); }
        std::uint16_t firstColumn() const { return isRun() ? runFirst : cells.front().first; }
        std::uint16_t lastColumn() const { return isRun() ? runLast : cells.back().last; }
    };

    const std::uint8_t* bytesOf(const CellEntry& entry) const;
    std::uint16_t formatOf(const CellEntry& entry, int column) const;
    CellValue valueOf(const CellEntry& entry, int column, const SharedStrings& strings) const;
    struct CellPlace {
        int row = 0;
        int column = 0;
    };
    std::optional<CellPlace> groupAnchor(const CellEntry& entry) const;
    // Reading: the cell table's records, and where it lies in the sheet.
    void readCellTable(const SharedStrings& strings);
    void readSheetSetting(const RecordView& record);
    std::size_t afterFollowUps(std::size_t record, std::size_t limit) const;
    void keepUnknown(const RecordView& record, const std::optional<CellPlace>& lastCell);
    void readRowRecord(const RecordView& record);
    std::size_t readWholeBlock(std::size_t first, const SharedStrings& strings, std::optional<CellPlace>& lastCell);
    CellPlace parseCellRecord(std::size_t record, std::size_t next, const SharedStrings& strings);
    [[noreturn]] void refuseCellRecord(const RecordView& record, const SharedStrings& strings) const;
    std::size_t groupRecordOf(const CellEntry& entry) const;
    void ungroup(int row, int column, CellPlace anchor);
    void rebuildSharedFormulaCells(int row, int column, CellPlace anchor, const std::uint8_t* group,
                                   std::vector<std::pair<CellEntry*, std::vector<std::uint8_t>>>& rebuilt);
    void own(CellEntry& entry, std::vector<std::uint8_t> bytes);
    std::vector<std::uint8_t> withoutGroupRecords(const CellEntry& entry, std::vector<std::uint8_t> formula) const;
    RowEntry& ensureRow(int row) {
        if (static_cast<std::size_t>(row) >= rows_.size()) rows_.resize(static_cast<std::size_t>(row) + 1);
        return rows_[static_cast<std::size_t>(row)];
    }
    // The row's cells as entries, read from its run if it still is one.
    void materialize(RowEntry& row) const;
    CellEntry entryOfRecord(std::size_t record, std::size_t next) const;
    std::vector<CellEntry>::iterator find(RowEntry& row, int column) const;
    // Puts the cell record `bytes` (none: no record) in place of the cell's record, if any.
    void replaceCell(RowEntry& cells, int row, int column, std::vector<CellEntry>::iterator existing,
                     std::vector<std::uint8_t> bytes);
    CellEntry makeEntry(std::uint16_t type, int first, int last, std::vector<std::uint8_t> bytes);
    std::vector<CellEntry> splitMulti(const CellEntry& entry, int row, int cutFirst, int cutLast);
    void insertParsed(int row, CellEntry entry, std::uint32_t recordOffset);
    void writeRecordRange(StreamSink& sink, std::size_t begin, std::size_t end, Layout& layout, int& depth) const;
    void writeCellTable(StreamSink& sink, Layout& layout) const;
    void writeRowBlock(StreamSink& sink, std::span<const int> rows, std::size_t block, Layout& layout) const;
    bool blockIntact(std::span<const int> rows) const;
    void writeRowRecord(StreamSink& sink, int rowNumber) const;
    void writeIndex(StreamSink& sink, const RecordView& original, const Layout& layout) const;
    void writeDimensions(StreamSink& sink, const RecordView& original, const Layout& layout) const;
    void measureRows(Layout& layout) const;
    [[noreturn]] void damaged(const std::string& what) const;

    const std::uint8_t* stream_;
    std::span<const RecordView> records_;
    std::string displayName_;
    std::size_t tableBegin_ = 0;  // record indexes of the cell table
    std::size_t tableEnd_ = 0;
    mutable std::vector<RowEntry> rows_;  // rows stay runs until needed, also by const readers
    std::vector<Range> lead_;             // unknown records inside the table before its first cell
    std::vector<std::vector<Range>> tails_;
    std::vector<std::vector<std::uint8_t>> owned_;
    // A row block of the file whose layout is the one a save writes (see readWholeBlock): its
    // bytes from the first ROW record to the end of its DBCELL, where its cells begin, and how
    // many rows it holds.
    struct Block {
        std::uint32_t begin = 0;
        std::uint32_t cells = 0;
        std::uint32_t dbCell = 0;
        std::uint32_t end = 0;
        std::uint32_t rows = 0;
    };
    std::vector<Block> blocks_;
    struct ColumnFormat {
        std::uint16_t first, last, width, format, flags;
    };
    std::vector<ColumnFormat> columnFormats_;
    std::uint16_t defaultRowHeight_ = 255;
    std::uint16_t defaultColumnWidth_ = 8;
    bool edited_ = false;
    int droppedLabels_ = 0;
};

}  // namespace pellix::xls
