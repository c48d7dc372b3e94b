// Editing and saving: values keep their cell's format, MULRK/MULBLANK are cut around an edit,
// fills share formats, rows get heights, shared strings grow across CONTINUE records, shared
// formulas are dissolved into their cells, and every saved stream keeps its offsets right.

#include "kit.h"

#include "workbook/xls/formula_tokens.h"

#include <algorithm>
#include <regex>

namespace pellix::xls::testing {
namespace {

using ::testing::IsEmpty;

// The saved workbook read back, its stream checked on the way.
Workbook reopen(const Workbook& workbook) {
    EXPECT_THAT(streamProblems(workbookStreamOf(workbook.toBytes())), IsEmpty());
    return openBook(workbook.toBytes());
}

// The type of the record that holds cell (row, column) of the first sheet and the cell's format,
// (0, -1) when no record does.
std::pair<int, int> formatOf(const Workbook& workbook, int row, int column) {
    for (const Record& r : recordsOf(workbookStreamOf(workbook.toBytes()))) {
        if (!kCellRecords.count(r.type)) continue;
        const int first = readU16(r.data.data() + 2),
                  last = r.type == kSidMulRk || r.type == kSidMulBlank ? readU16(&r.data.back() - 1) : first;
        if (readU16(r.data.data()) == row && first <= column && column <= last)
            return {r.type, readU16(r.data.data() + 4 + (column - first) * (r.type == kSidMulRk ? 6 : 2))};
    }
    return {0, -1};
}

// Formats 16: font 1, 17: number format 10, 18: font 2, 19: font 3.
const std::vector<Bytes> kFormats = {cellFormat(1, 0), cellFormat(0, 10), cellFormat(2, 0), cellFormat(3, 0)};

// Rows 5 to 8 hold MULRKs and rows 9 to 12 MULBLANKs over C:F in formats 16 to 19, each edited
// in another column.
TEST(EditCells, WritingKeepsTheFormatAndTheOtherCellsOfAMulRecordAndEmptyingLeavesOnlyAFormattedBlank) {
    BookPlan book{.strings = {u"old"}, .formats = kFormats};
    book.sheets[0].cells = {formula(0, 0, kTextResult), Record{kSidString, ustr(u"keep me")}, rk(0, 1, 1),
                            cell(kSidLabelSst, 1, 1, le(0, 4), 17), number(1, 2, 1.0 / 3), rk(1, 3, 5, 16)};
    for (int k = 0; k < 8; ++k)
        book.sheets[0].cells.push_back(k < 4 ? mulRk(4 + k, 2, {{16, 1}, {17, 2}, {18, 3}, {19, 4}})
                                             : mulBlank(4 + k, 2, {16, 17, 18, 19}));
    book.sheets[0].rows = {rowRecord(2, 300, 0x80, 18)};  // row 3 has a format of its own
    Workbook workbook = openBook(buildFile(book));
    workbook.setCell(0, 2, 5, num(7));          // a new cell takes its row's format
    workbook.setCell(0, 1, 1, num(42));         // text -> number, format 17 stays
    workbook.setCell(0, 1, 2, str(""));         // default format: the cell goes
    workbook.setCell(0, 1, 3, CellValue());     // format 16: a formatted blank stays
    workbook.setCell(0, 1, 4, str("2連勝中"));  // a new cell takes the default format
    workbook.setCell(0, 0, 1, num(5));          // beside a text formula and its STRING
    workbook.setCell(0, 0, 2, str("new"));
    // The two kinds that share one record, and numbers on both sides of what an RK holds exactly
    // (a number cell takes the compact form only when it decodes back to the same bits).
    std::vector<CellValue> others{CellValue::ofBoolean(true), CellValue::ofError(7)};
    for (double value : {2.0 / 3, -1e300, 0.1, 12.345, -536870912.0, 536870912.0, 1e15, 2.5e-5, 123456789.0})
        others.push_back(num(value));
    for (std::size_t k = 0; k < others.size(); ++k) workbook.setCell(0, 3, k, others[k]);
    for (int k = 0; k < 8; ++k) workbook.setCell(0, 4 + k, 2 + k % 4, num(99));
    const Workbook saved = reopen(workbook);
    for (const Record& r : recordsOf(workbookStreamOf(saved.toBytes())))  // row 3's ROW spans its new cell in F
        if (r.type == kSidRow && readU16(r.data.data()) == 2)
            EXPECT_EQ(readU16(&r.data[2]) * 10 + readU16(&r.data[4]), 56);
    std::string compact;  // R for the numbers written as RK
    for (std::size_t k = 0; k < others.size(); ++k) {
        EXPECT_EQ(saved.cell(0, 3, k), others[k]) << k;
        compact += formatOf(saved, 3, k).first == kSidRk ? 'R' : '.';
    }
    EXPECT_EQ(compact, "....RRRR..R");
    EXPECT_EQ((std::vector{saved.cell(0, 1, 1), saved.cell(0, 1, 3), saved.cell(0, 1, 4), saved.cell(0, 0, 0)}),
              (std::vector{num(42), CellValue(), str("2連勝中"), str("keep me")}));
    // 42 as an RK, C2 gone, the formatted blank, the new text in the table, the new cell in row 3.
    EXPECT_EQ(
        (std::vector{formatOf(saved, 1, 1), formatOf(saved, 1, 2), formatOf(saved, 1, 3), formatOf(saved, 1, 4),
                     formatOf(saved, 2, 5)}),
        (std::vector<std::pair<int, int>>{{kSidRk, 17}, {0, -1}, {kSidBlank, 16}, {kSidLabelSst, 15}, {kSidRk, 18}}));
    for (int k = 0; k < 8; ++k) {
        for (int column = 2; column <= 5; ++column) {
            const CellValue written = k < 4 ? num(column - 1) : CellValue();
            EXPECT_EQ(saved.cell(0, 4 + k, column), column == 2 + k % 4 ? num(99) : written) << k;
            EXPECT_EQ(formatOf(saved, 4 + k, column).second, column + 14);
        }
    }
}

TEST(EditCells, AFillKeepsTheRestOfTheFormatSharingFormatsAndRowHeightsAreCustomOrHidden) {
    BookPlan book{.formats = kFormats, .xfCrc = true};
    book.sheets[0].cells = {rk(0, 0, 1, 17)};
    book.sheets[0].rows = {rowRecord(3, 400, 0x40)};
    Workbook workbook = openBook(buildFile(book));
    workbook.setRowHeight(0, 3, 16.5);
    workbook.setRowHeight(0, 3, 0);  // 16.5 first, hidden after: the height stays
    for (int row = 0; row < 100; ++row)
        for (int column = 0; column < 50; ++column) workbook.setFill(0, row, column, 35);
    EXPECT_EQ(workbook.cellFormatCount(), 22);  // one new format for the default cells, one for A1's
    for (int round = 0; round < 3; ++round)
        for (int colour : {2, 35, 40, 38}) workbook.setFill(0, 5, 5, colour);
    EXPECT_EQ(workbook.cellFormatCount(), 25);
    const Workbook saved = reopen(workbook);  // the XFCRC recomputed
    // A1 keeps its value; F6 (the 256th cell of 5000) ends at the last colour; row 4, first made
    // 16.5 points high and then hidden, keeps the height. The fuzz checks read fills and heights
    // back in every corpus file.
    const SheetShown shown = saved.shown(0);
    EXPECT_EQ((std::tuple{saved.cell(0, 0, 0), shown.cells.at(0).fillRgb, shown.cells.at(255).fillColorIndex,
                          shown.cells.size()}),
              (std::tuple{num(1), 0xCCFFCCu, 38, 5000u}));
    const RowShown row4 = *std::find_if(shown.rows.begin(), shown.rows.end(), [](auto& row) { return row.row == 3; });
    EXPECT_EQ((std::tuple{row4.heightTwips, row4.customHeight, row4.hidden}), std::tuple(330, true, true));
    // A1's new format is its old one with fill pattern 1 and foreground icv 42; the old ones stay.
    std::vector<Bytes> xfs;
    for (const Record& record : recordsOf(workbookStreamOf(saved.toBytes())))
        if (record.type == kSidXf) xfs.push_back(record.data);
    Bytes filled = cellFormat(0, 10);
    filled[9] = 0x40, filled[17] = 0x04, filled[18] = 0xAA, filled[19] = 0x20;
    EXPECT_EQ(xfs.at(formatOf(saved, 0, 0).second), filled);
    EXPECT_EQ(xfs[17], cellFormat(0, 10));
}

// Edited, only that sheet changes and the sheets behind it move whole (INDEX aside), with every
// block, DBCELL and INDEX recomputed, in 4 KiB sectors.
TEST(EditCells, RowsLandInTheirBlockAndEveryOffsetIsRecomputed) {
    BookPlan book{.strings = {u"a", u"b"}, .formats = kFormats};
    for (int row = 0; row <= 40; ++row) book.sheets[0].cells.push_back(rk(row, 1, row));
    book.sheets[0].cells.push_back(mulRk(41, 0, {{15, 1}, {16, 2}}));
    book.sheets.push_back({.name = "Second", .cells = {rk(0, 0, 77), cell(kSidLabelSst, 1, 0, le(1, 4), 16)}});
    book.sheets.push_back({.name = "Chart", .chart = true});
    const Bytes original = buildStream(book);
    Workbook workbook = openBook(wrapStream(original, 4096));
    workbook.setCell(0, 5, 8, num(0.5));    // inside the first block
    workbook.setCell(0, 100, 200, num(1));  // a new block, past DIMENSIONS
    workbook.setCell(0, 200, 3, str(std::string(300, 'x')));
    const Bytes file = workbook.toBytes(), saved = workbookStreamOf(file);
    EXPECT_EQ(Bytes(file.begin() + 0x1A, file.begin() + 0x20), (Bytes{4, 0, 0xFE, 0xFF, 12, 0}));  // 4 KiB sectors
    EXPECT_THAT(streamProblems(saved), IsEmpty());      // the edits reading back is for the fuzz checks
    const auto secondSheet = [](const Bytes& stream) {  // its records from its BOF on, INDEX left out
        const std::string records = dump(stream);
        const std::size_t sheet = records.find("\n0809 ", records.find("\n0809 ") + 1);
        return std::regex_replace(records.substr(sheet), std::regex("\n020B [^\n]*"), "");
    };
    EXPECT_EQ(secondSheet(saved), secondSheet(original));
    // On a sheet without cells the first row goes right after DIMENSIONS, before what follows the
    // table; without DIMENSIONS, right before WINDOW2.
    for (const bool dimensions : {true, false}) {
        Bytes stream = buildStream({.sheets = {{.tail = {{0x00E5, le(0, 2)}}}}});
        for (const Record& r : recordsOf(stream))
            if (r.type == kSidDimensions && !dimensions) writeU16(&stream[r.offset], 0x0FFF);
        Workbook empty = openBook(wrapStream(stream));
        empty.setCell(0, 3, 3, num(1));
        const std::string records = dump(workbookStreamOf(empty.toBytes()));
        const std::size_t row = records.find("\n0208 ", records.find("\n0809 "));
        EXPECT_GT(row, records.find(dimensions ? "\n0200 " : "\n00E5 ")) << dimensions;
        EXPECT_LT(row, records.find(dimensions ? "\n00E5 " : "\n023E ")) << dimensions;
    }
}

// A row block laid out as a save lays it out is copied whole while its rows stay as read, its
// cells read or not; one laid out otherwise (here a DBCELL that points a byte off) is written anew.
TEST(EditCells, BlocksAsASaveWritesThemAreCopiedAndOthersWrittenAnew) {
    BookPlan book;
    for (int row = 0; row < 96; ++row) book.sheets[0].cells.push_back(rk(row, row % 3, row));
    Bytes stream = buildStream(book);
    const std::vector<Record> records = recordsOf(stream);
    const std::uint32_t firstDbCell = std::ranges::find(records, kSidDbCell, &Record::type)->offset + 4;
    writeU32(stream.data() + firstDbCell, readU32(stream.data() + firstDbCell) + 1);
    Workbook workbook = openBook(wrapStream(stream));
    for (int row = 32; row < 64; ++row) EXPECT_EQ(workbook.cell(0, row, row % 3), num(row));
    workbook.setCell(0, 70, 4, num(1));
    const Bytes saved = workbookStreamOf(workbook.toBytes());
    EXPECT_THAT(streamProblems(saved), IsEmpty());
    const auto secondBlock = [](const Bytes& records) {  // after the first DBCELL, to the second
        const std::string lines = dump(records);
        const std::size_t first = lines.find('\n', lines.find("\n00D7 ") + 1);
        return lines.substr(first, lines.find("\n00D7 ", first + 1) - first);
    };
    EXPECT_EQ(secondBlock(saved), secondBlock(stream));
}

TEST(EditCells, AppendedStringsCrossSeveralContinueRecordsAndReadBack) {
    Workbook workbook = openBook(buildFile({.strings = {u"first"}}));
    std::vector<std::string> texts;
    const std::string tails[] = {std::string(37, 'a'), "ターン待ち連勝中瞬　殺", "𠮷野家🎾"};
    for (int i = 0; i < 1500; ++i) {  // 8-bit, 16-bit and surrogate pairs, split inside the characters
        texts.push_back(std::to_string(i) + tails[i % 3]);
        workbook.setCell(0, i, 0, str(texts.back()));
    }
    const Workbook saved = reopen(workbook);
    for (int i = 0; i < 1500; ++i) ASSERT_EQ(saved.cell(0, i, 0), str(texts[i])) << i;
}

TEST(SharedFormulas, RelativeReferencesResolveForTheCellAndEverythingElseIsKept) {
    const Bytes skipped = {0x17, 0x02, 0x00, 0x2C, 0x2C, 0x19, 0x04, 0x01, 0x00, 0x2C, 0x00, 0x2C, 0x00, 0x1F, 0,
                           0,    0,    0,    0,    0,    0xF0, 0x3F, 0x1E, 0x2C, 0x00, 0x41, 0x2C, 0x00, 0x03};
    const std::vector<std::tuple<Bytes, int, int, Bytes>> cases = {
        // shared tokens, cell, its own tokens (none: refused)
        {{0x4C, 0x00, 0x00, 0xFF, 0xC0}, 4, 3, {0x44, 0x04, 0x00, 0x02, 0xC0}},   // left neighbour
        {{0x2C, 0xFF, 0xFF, 0x07, 0x80}, 10, 0, {0x24, 0x09, 0x00, 0x07, 0x80}},  // absolute column
        {{0x2C, 0xFF, 0xFF, 0xFF, 0xC0}, 0, 0, {0x24, 0xFF, 0xFF, 0xFF, 0xC0}},   // wraps around the edges
        {{0x2D, 0, 0, 0, 0, 0, 0, 0xFF, 0xC0}, 4, 3, {0x25, 0, 0, 0x04, 0, 0, 0, 0x02, 0xC0}},  // $A$1:RC[-1]
        {{0x5A, 1, 0, 2, 0, 1, 0xC0, 0x3B, 0, 0, 0, 0, 3, 0, 0, 0, 1, 0xC0}, 5, 5,  // 3-D references
         {0x5A, 1, 0, 7, 0, 6, 0xC0, 0x3B, 0, 0, 0, 0, 8, 0, 0, 0, 6, 0xC0}},
        {skipped, 9, 9, skipped},              // a string, a choose table, a number, a function: kept
        {{0x18, 0x01}, 0, 0, {}},              // unknown token
        {{0x2C, 0x00}, 0, 0, {}},              // cut token
        {{0x17, 0x05, 0x00, 0x41}, 0, 0, {}},  // cut string
    };
    for (const auto& [shared, row, column, own] : cases) {
        const CellTokens result = sharedTokensForCell(shared, row, column);
        EXPECT_EQ(result.problem.empty() ? result.tokens : Bytes{}, own) << row << "," << column;
    }
}

// B2:B5 share "=A2*2" (B2 anchors it) and B4's cached result is text: writing any cell gives the
// others the formula as their own tokens, without the shared flag, their results kept, so xlrd
// reads them (formulas in R1C1 form) as before.
TEST(SharedFormulas, WritingAnyCellOfTheGroupGivesTheOthersTheFormulaAsTheirOwn) {
    BookPlan book;
    for (int row = 1; row <= 4; ++row) {
        book.sheets[0].cells.push_back(rk(row, 0, row));
        book.sheets[0].cells.push_back(groupMember(row, 1, row == 3 ? kTextResult : f64(7), 1, 1));
        const Bytes timesTwo = {0x4C, 0, 0, 0xFF, 0xC0, 0x1E, 0x02, 0x00, 0x05};  // =RC[-1]*2
        if (row == 1) book.sheets[0].cells.push_back(group(kSidShrFmla, 1, 4, 1, timesTwo));
        if (row == 3) book.sheets[0].cells.push_back(Record{kSidString, ustr(u"six")});
    }
    const Bytes original = buildFile(book);
    for (int written = 1; written <= 4; ++written) {
        SCOPED_TRACE("written row " + std::to_string(written + 1));
        Workbook workbook = openBook(original);
        workbook.setCell(0, written, 1, num(100));
        const Bytes saved = workbook.toBytes();
        EXPECT_EQ(reopen(workbook).cell(0, written, 1), num(100));
        for (const Record& record : recordsOf(workbookStreamOf(saved))) {  // no group left
            EXPECT_NE(record.type, kSidShrFmla);
            EXPECT_EQ(record.type == kSidFormula ? record.data[14] & 0x08 : 0, 0);  // nor a shared flag
        }
        EXPECT_EQ(xlrdDifferences(original, saved, {cellName(written, 1)}), "");
    }
}

TEST(SharedFormulas, ArraysAndTablesChangeOnlyAsAWhole) {
    const Bytes sum = {0x25, 0, 0, 1, 0, 0, 0, 0, 0, 0x19, 0x10, 0, 0}, seven = f64(7);
    const Record table{kSidTable, {0, 0, 1, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        cutShort{kSidShrFmla, le(0, 4) + Bytes{1, 1, 0, 2} + le(3, 2)};  // 3 bytes of formula claimed, none there
    const std::vector<std::pair<std::vector<Record>, std::string>> cases = {
        // refusal, or "" when written
        {{groupMember(0, 1, seven, 0, 1), group(kSidArray, 0, 1, 1, sum), groupMember(1, 1, seven, 0, 1)},
         "data.xls: cell B2 is part of an array formula over B1:B2, which can only be changed as a whole"},
        {{formula(0, 1, seven, {0x02, 0, 0, 1, 0}), table, formula(1, 1, seven, {0x02, 0, 0, 1, 0})},
         "data.xls: cell B2 is part of a data table over B1:B2, which can only be changed as a whole"},
        {{groupMember(0, 1, seven, 0, 1), cutShort, groupMember(1, 1, seven, 0, 1)},
         "data.xls is damaged: the shared formula of B1:B1 is cut short"},
        {{groupMember(1, 1, seven, 1, 1), group(kSidArray, 1, 1, 1, sum)}, ""},  // an array of one cell
        {{groupMember(1, 1, seven, 7, 7)}, ""},                                  // a dangling PtgExp
    };
    for (const auto& [cells, refusal] : cases) {
        SCOPED_TRACE(refusal);
        const Bytes original = buildFile({.sheets = {{.cells = cells}}});
        Workbook workbook = openBook(original);
        if (!refusal.empty()) {
            EXPECT_XLS_ERROR(workbook.setCell(0, 1, 1, num(1)), refusal);
            EXPECT_EQ(dump(workbookStreamOf(workbook.toBytes())), dump(workbookStreamOf(original)));
            continue;
        }
        workbook.setCell(0, 1, 1, num(1));
        EXPECT_EQ(reopen(workbook).cell(0, 1, 1), num(1));
        EXPECT_THAT(dump(workbookStreamOf(workbook.toBytes())), ::testing::Not(::testing::HasSubstr("\n0221 ")));
    }
}

}  // namespace
}  // namespace pellix::xls::testing
