// Formula groups in the cell table: the cells of a shared formula, an array formula or a data
// table name their anchor, which carries the SHRFMLA, ARRAY or TABLE record. Writing one cell of
// a shared formula first gives every other cell of the group the formula as its own.

#include "workbook/xls/sheet_cells.h"

#include "workbook/xls/cell_table_records.h"
#include "workbook/xls/formula_tokens.h"

namespace pellix::xls {

using namespace cell_table;

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

}  // namespace pellix::xls
