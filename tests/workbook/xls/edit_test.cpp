// Editing and saving: values keep their cell's format, MULRK/MULBLANK are cut around an edit,
// fills share formats, rows get heights, the shared strings grow across CONTINUE records, and
// every saved stream keeps its offsets, blocks and indexes right.

#include "biff_builder.h"
#include "stream_checks.h"

#include "workbook/xls/biff.h"
#include "workbook/xls/byte_order.h"
#include "workbook/xls/workbook.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace pellix::xls {
namespace {

using namespace testing;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::uint32_t rkInt(int value)
{
    return static_cast<std::uint32_t>(value) << 2 | 2u;
}

Workbook reopen(const Workbook& workbook)
{
    return Workbook::fromBytes(workbook.toBytes(), "data.xls");
}

std::vector<std::string> problemsOf(const Workbook& workbook)
{
    return streamProblems(workbookStreamOf(workbook.toBytes()));
}

const CellShown* shownCell(const SheetShown& sheet, int row, int column)
{
    for (const CellShown& cell : sheet.cells)
        if (cell.row == row && cell.column == column)
            return &cell;
    return nullptr;
}

// Cell formats 16.. : 16 bold-ish font 1, 17 number format 10, 18 font 2, 19 font 3
BookSpec formattedBook()
{
    BookSpec book;
    book.extraFormats = {cellFormat(1, 0), cellFormat(0, 10), cellFormat(2, 0), cellFormat(3, 0)};
    return book;
}

struct SplitCase {
    const char* name;
    int column;  // edited column of a MULRK/MULBLANK over columns 2..5
};

TEST(EditCells, EditingOneCellOfAMulRecordKeepsEveryOtherCellAndItsFormat)
{
    for (bool numbers : {true, false}) {
        for (const SplitCase& split : {SplitCase{"first", 2}, SplitCase{"second", 3}, SplitCase{"third", 4},
                                       SplitCase{"last", 5}}) {
            SCOPED_TRACE(std::string(numbers ? "MULRK " : "MULBLANK ") + split.name);
            BookSpec book = formattedBook();
            book.sheets[0].cells = {numbers ? mulRk(4, 2, {{16, rkInt(1)}, {17, rkInt(2)}, {18, rkInt(3)}, {19, rkInt(4)}})
                                            : mulBlank(4, 2, {16, 17, 18, 19})};
            Workbook workbook = Workbook::fromBytes(buildFile(book), "data.xls");
            workbook.setCell(0, 4, split.column, CellValue::ofNumber(99));
            const Workbook saved = reopen(workbook);
            EXPECT_THAT(problemsOf(workbook), IsEmpty());
            for (int column = 2; column <= 5; ++column) {
                const CellValue expected = column == split.column ? CellValue::ofNumber(99)
                                           : numbers             ? CellValue::ofNumber(column - 1)
                                                                 : CellValue::empty();
                EXPECT_EQ(saved.cell(0, 4, column), expected) << "column " << column;
            }
            // Each cell, the edited one too, keeps its own format.
            const auto records = recordsOf(workbookStreamOf(saved.toBytes()));
            std::vector<std::pair<int, int>> formats;
            for (const auto& record : records) {
                if (record.type == kSidMulRk || record.type == kSidMulBlank) {
                    const int first = readU16(record.data.data() + 2);
                    const std::size_t each = record.type == kSidMulRk ? 6 : 2;
                    for (std::size_t k = 0; 4 + each * k + 2 < record.data.size(); ++k)
                        formats.emplace_back(first + static_cast<int>(k), readU16(record.data.data() + 4 + each * k));
                } else if (isCellRecord(record.type)) {
                    formats.emplace_back(readU16(record.data.data() + 2), readU16(record.data.data() + 4));
                }
            }
            EXPECT_THAT(formats, ElementsAre(std::pair{2, 16}, std::pair{3, 17}, std::pair{4, 18}, std::pair{5, 19}));
        }
    }
}

TEST(EditCells, WritingKeepsTheFormatAndEmptyingLeavesAFormattedBlank)
{
    BookSpec book = formattedBook();
    book.strings = {u"old"};
    book.sheets[0].cells = {labelSstCell(1, 1, 17, 0), numberCell(1, 2, 15, 1.0 / 3), rkCell(1, 3, 16, rkInt(5))};
    Workbook workbook = Workbook::fromBytes(buildFile(book), "data.xls");
    workbook.setCell(0, 1, 1, CellValue::ofNumber(42));     // text -> number, format 17 stays
    workbook.setCell(0, 1, 2, CellValue::ofText(""));       // default format: the cell goes
    workbook.setCell(0, 1, 3, CellValue::empty());          // format 16: a formatted blank stays
    workbook.setCell(0, 1, 4, CellValue::ofText("2連勝中"));  // a new cell takes the default format
    const Workbook saved = reopen(workbook);
    EXPECT_EQ(saved.cell(0, 1, 1), CellValue::ofNumber(42));
    EXPECT_EQ(saved.cell(0, 1, 2), CellValue::empty());
    EXPECT_EQ(saved.cell(0, 1, 3), CellValue::empty());
    EXPECT_EQ(saved.cell(0, 1, 4), CellValue::ofText("2連勝中"));
    const SheetShown sheet = saved.shown(0);
    EXPECT_EQ(shownCell(sheet, 1, 2), nullptr);
    ASSERT_NE(shownCell(sheet, 1, 3), nullptr);
    const auto records = recordsOf(workbookStreamOf(saved.toBytes()));
    std::vector<std::pair<int, int>> kinds;  // (format, record type) of row 1's cells
    for (const auto& record : records)
        if (isCellRecord(record.type) && readU16(record.data.data()) == 1)
            kinds.emplace_back(readU16(record.data.data() + 4), record.type);
    EXPECT_THAT(kinds, ElementsAre(std::pair{17, static_cast<int>(kSidRk)}, std::pair{16, static_cast<int>(kSidBlank)},
                                   std::pair{15, static_cast<int>(kSidLabelSst)}));
    EXPECT_THAT(problemsOf(workbook), IsEmpty());
}

TEST(EditCells, TextFormulaNeighboursKeepTheirStringRecord)
{
    const std::uint8_t text[8] = {0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    BookSpec book;
    book.sheets[0].cells = {formulaCell(0, 0, 15, text), stringRecord(u"keep me"), rkCell(0, 1, 15, rkInt(1))};
    Workbook workbook = Workbook::fromBytes(buildFile(book), "data.xls");
    workbook.setCell(0, 0, 1, CellValue::ofNumber(5));
    workbook.setCell(0, 0, 2, CellValue::ofText("new"));
    EXPECT_EQ(reopen(workbook).cell(0, 0, 0), CellValue::ofText("keep me"));
    EXPECT_THAT(problemsOf(workbook), IsEmpty());
}

TEST(Fills, AFillKeepsTheRestOfTheFormatAndSharesFormatsAcrossThousandsOfCells)
{
    BookSpec book = formattedBook();
    book.xfCrc = true;
    book.sheets[0].cells = {rkCell(0, 0, 17, rkInt(1))};
    Workbook workbook = Workbook::fromBytes(buildFile(book), "data.xls");
    const int before = workbook.cellFormatCount();
    for (int row = 0; row < 100; ++row)
        for (int column = 0; column < 50; ++column)
            workbook.setFill(0, row, column, 35);
    // One new format for the default cells, one for the cell with number format 10.
    EXPECT_EQ(workbook.cellFormatCount(), before + 2);
    for (int round = 0; round < 3; ++round)
        for (int colour : {2, 35, 40, 38})
            workbook.setFill(0, 5, 5, colour);
    EXPECT_EQ(workbook.cellFormatCount(), before + 5);

    const Workbook saved = reopen(workbook);
    EXPECT_THAT(problemsOf(workbook), IsEmpty());  // XFCRC recomputed, offsets right
    const auto sheet = saved.shown(0);
    const CellShown* a1 = shownCell(sheet, 0, 0);
    ASSERT_NE(a1, nullptr);
    EXPECT_EQ(a1->fillColorIndex, 35);
    EXPECT_EQ(a1->fillRgb, 0xCCFFCCu);
    EXPECT_EQ(a1->value, CellValue::ofNumber(1));
    const CellShown* f6 = shownCell(sheet, 5, 5);
    ASSERT_NE(f6, nullptr);
    EXPECT_EQ(f6->fillColorIndex, 38);
    EXPECT_EQ(shownCell(sheet, 99, 49)->fillColorIndex, 35);

    // The new format is the old one with fill pattern 1 and foreground icv 42.
    const auto records = recordsOf(workbookStreamOf(saved.toBytes()));
    std::vector<std::vector<std::uint8_t>> xfs;
    std::uint16_t a1Format = 0;
    for (const auto& record : records) {
        if (record.type == kSidXf)
            xfs.push_back(record.data);
        if (record.type == kSidRk && readU16(record.data.data()) == 0 && readU16(record.data.data() + 2) == 0)
            a1Format = readU16(record.data.data() + 4);
    }
    ASSERT_LT(a1Format, xfs.size());
    std::vector<std::uint8_t> expected = cellFormat(0, 10);
    writeU32(expected.data() + 14, 1u << 26);
    writeU16(expected.data() + 18, static_cast<std::uint16_t>(42 | (65 << 7)));
    expected[9] |= 0x40;
    EXPECT_EQ(xfs[a1Format], expected);
    // Formats that were there keep their place and bytes.
    EXPECT_EQ(xfs[17], cellFormat(0, 10));
}

TEST(Fills, ColourIndexesOutsideThePaletteAreRefused)
{
    Workbook workbook = Workbook::fromBytes(buildFile(BookSpec{}), "data.xls");
    EXPECT_THROW(workbook.setFill(0, 0, 0, 0), XlsError);
    EXPECT_THROW(workbook.setFill(0, 0, 0, 57), XlsError);
}

TEST(Rows, HeightsAreCustomAndZeroHidesKeepingTheHeight)
{
    BookSpec book;
    book.sheets[0].cells = {rkCell(40, 0, 15, rkInt(1))};
    book.sheets[0].rows = {rowRecord(3, 400, 0x40)};
    Workbook workbook = Workbook::fromBytes(buildFile(book), "data.xls");
    for (int row = 1; row <= 12; ++row)
        workbook.setRowHeight(0, row, 16.5);
    workbook.setRowHeight(0, 13, 0);
    workbook.setRowHeight(0, 3, 0);
    EXPECT_THROW(workbook.setRowHeight(0, 2, -1), XlsError);
    const Workbook saved = reopen(workbook);
    std::map<int, RowShown> rows;
    for (const RowShown& row : saved.shown(0).rows)
        rows[row.row] = row;
    EXPECT_EQ(rows[1].heightTwips, 330);
    EXPECT_TRUE(rows[1].customHeight);
    EXPECT_FALSE(rows[1].hidden);
    EXPECT_TRUE(rows[13].hidden);
    EXPECT_TRUE(rows[3].hidden);
    EXPECT_EQ(rows[3].heightTwips, 330);  // set to 16.5 first, hidden after: the height stays
    EXPECT_EQ(saved.cell(0, 40, 0), CellValue::ofNumber(1));
    EXPECT_THAT(problemsOf(workbook), IsEmpty());
}

TEST(RowBlocks, RowsLandInTheirBlockAndEveryOffsetIsRecomputed)
{
    BookSpec book;
    for (int row = 0; row <= 40; ++row)
        book.sheets[0].cells.push_back(rkCell(row, 1, 15, rkInt(row)));
    book.sheets.push_back(SheetSpec{"Second", {rkCell(0, 0, 15, rkInt(77))}, {}, {}, false});
    Workbook workbook = Workbook::fromBytes(buildFile(book), "data.xls");
    workbook.setCell(0, 5, 8, CellValue::ofNumber(0.5));     // inside the first block
    workbook.setCell(0, 100, 200, CellValue::ofNumber(1));  // a new block, past DIMENSIONS
    workbook.setCell(0, 200, 3, CellValue::ofText(std::string(300, 'x')));
    const Workbook saved = reopen(workbook);
    EXPECT_THAT(problemsOf(workbook), IsEmpty());
    EXPECT_EQ(saved.cell(0, 5, 8), CellValue::ofNumber(0.5));
    EXPECT_EQ(saved.cell(0, 100, 200), CellValue::ofNumber(1));
    EXPECT_EQ(saved.cell(0, 40, 1), CellValue::ofNumber(40));
    EXPECT_EQ(saved.cell(1, 0, 0), CellValue::ofNumber(77));  // the sheet behind moved
}

TEST(SharedStrings, AppendedStringsCrossSeveralContinueRecordsAndReadBack)
{
    BookSpec book;
    book.strings = {u"first"};
    Workbook workbook = Workbook::fromBytes(buildFile(book), "data.xls");
    std::vector<std::string> texts;
    for (int i = 0; i < 1500; ++i) {
        // 8-bit, 16-bit and surrogate pairs, long enough to split inside the characters.
        std::string text = std::to_string(i) + (i % 3 == 0 ? std::string(37, 'a') : i % 3 == 1 ? "ターン待ち連勝中瞬　殺" : "𠮷野家🎾");
        texts.push_back(text);
        workbook.setCell(0, i, 0, CellValue::ofText(text));
    }
    workbook.setCell(0, 0, 1, CellValue::ofText("first"));  // an existing string is reused
    const auto stream = workbookStreamOf(workbook.toBytes());
    EXPECT_THAT(streamProblems(stream), IsEmpty());
    std::size_t continues = 0;
    for (const auto& record : recordsOf(stream))
        continues += record.type == kSidContinue;
    EXPECT_GE(continues, 3u);
    const Workbook saved = reopen(workbook);
    for (int i = 0; i < 1500; ++i)
        ASSERT_EQ(saved.cell(0, i, 0), CellValue::ofText(texts[static_cast<std::size_t>(i)])) << i;
    EXPECT_EQ(saved.cell(0, 0, 1), CellValue::ofText("first"));
}

TEST(SharedStrings, AWorkbookWithoutStringsGetsATable)
{
    Workbook workbook = Workbook::fromBytes(buildFile(BookSpec{}), "data.xls");
    workbook.setCell(0, 3, 3, CellValue::ofText("Challenger"));
    EXPECT_THAT(problemsOf(workbook), IsEmpty());
    EXPECT_EQ(reopen(workbook).cell(0, 3, 3), CellValue::ofText("Challenger"));
}

TEST(Saving, AnUneditedWorkbookKeepsItsStreamByteForByte)
{
    BookSpec book = formattedBook();
    book.strings = {u"a", u"b"};
    book.sheets[0].cells = {labelSstCell(0, 0, 16, 1), mulRk(1, 0, {{15, rkInt(1)}, {16, rkInt(2)}})};
    book.sheets.push_back(SheetSpec{"Chart", {}, {}, {}, true});
    const auto stream = buildStream(book);
    const Workbook workbook = Workbook::fromBytes(wrapStream(stream), "data.xls");
    EXPECT_EQ(workbookStreamOf(workbook.toBytes()), stream);
}

TEST(Saving, OnlyTheEditedSheetChangesAndSheetsBehindItMoveWhole)
{
    BookSpec book;
    book.sheets = {SheetSpec{"One", {rkCell(0, 0, 15, rkInt(1))}, {}, {}, false},
                   SheetSpec{"Two", {rkCell(0, 0, 15, rkInt(2))}, {}, {}, false}};
    const auto original = buildStream(book);
    Workbook workbook = Workbook::fromBytes(wrapStream(original), "data.xls");
    workbook.setCell(0, 0, 1, CellValue::ofNumber(5));
    const auto saved = workbookStreamOf(workbook.toBytes());
    EXPECT_THAT(streamProblems(saved), IsEmpty());
    // The second sheet's records, INDEX aside, are the same bytes at a new place.
    const auto secondSheet = [](const std::vector<std::uint8_t>& stream) {
        const auto records = recordsOf(stream);
        std::uint32_t start = 0;
        int seen = 0;
        for (const auto& record : records)
            if (record.type == kSidBoundSheet8 && seen++ == 1)
                start = readU32(record.data.data());
        std::vector<std::uint8_t> bytes;
        bool inside = false;
        for (const auto& record : records) {
            inside = inside || record.offset == start;
            if (inside && record.type != kSidIndex)
                bytes.insert(bytes.end(), stream.begin() + record.offset, stream.begin() + record.offset + 4 + record.data.size());
        }
        return bytes;
    };
    EXPECT_FALSE(secondSheet(original).empty());
    EXPECT_EQ(secondSheet(saved), secondSheet(original));
}

TEST(Saving, FourKilobyteSectorsStayFourKilobyteSectors)
{
    BookSpec book;
    book.sheets[0].cells = {rkCell(0, 0, 15, rkInt(1))};
    Workbook workbook = Workbook::fromBytes(buildFile(book, 4096), "data.xls");
    workbook.setCell(0, 0, 0, CellValue::ofNumber(2));
    const auto bytes = workbook.toBytes();
    EXPECT_EQ(readU16(bytes.data() + 0x1E), 12);  // sector shift
    EXPECT_EQ(readU16(bytes.data() + 0x1A), 4);   // major version
    EXPECT_EQ(Workbook::fromBytes(bytes, "data.xls").cell(0, 0, 0), CellValue::ofNumber(2));
}

}  // namespace
}  // namespace pellix::xls
