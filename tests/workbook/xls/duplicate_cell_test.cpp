// A cell stored twice in the cell table reads as its later copy, as xlrd reads it; an edit
// elsewhere on the sheet writes the cell back once, and xlrd reads the saved file as the original.

#include "biff_builder.h"
#include "stream_checks.h"

#include "workbook/xls/workbook.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>


namespace pellix::xls {
namespace {

using namespace testing;

std::uint32_t rk(int value)
{
    return static_cast<std::uint32_t>(value) << 2 | 2u;
}

struct DuplicateCase {
    const char* name;
    std::vector<Record> cells;
    std::vector<std::pair<int, CellValue>> row0;  // column, value after reading
};

TEST(DuplicateCells, TheLaterCopyWinsAndTheSavedSheetHoldsTheCellOnce)
{
    const std::uint8_t text[8] = {0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    const std::vector<DuplicateCase> cases = {
        {"number over number", {numberCell(0, 0, 15, 1.5), numberCell(0, 0, 15, 2.5)}, {{0, CellValue::ofNumber(2.5)}}},
        {"text over number", {rkCell(0, 0, 15, rk(1)), labelSstCell(0, 0, 15, 0)}, {{0, CellValue::ofText("a")}}},
        {"number over text", {labelSstCell(0, 0, 15, 0), rkCell(0, 0, 15, rk(5))}, {{0, CellValue::ofNumber(5)}}},
        {"formatted blank over number", {rkCell(0, 0, 15, rk(1)), blankCell(0, 0, 16)}, {{0, CellValue::empty()}}},
        {"number over the middle of a MULRK",
         {mulRk(0, 0, {{15, rk(1)}, {16, rk(2)}, {15, rk(3)}}), numberCell(0, 1, 15, 9.5)},
         {{0, CellValue::ofNumber(1)}, {1, CellValue::ofNumber(9.5)}, {2, CellValue::ofNumber(3)}}},
        {"MULBLANK over two numbers",
         {rkCell(0, 1, 15, rk(1)), rkCell(0, 2, 15, rk(2)), mulBlank(0, 0, {16, 16, 16, 16})},
         {{1, CellValue::empty()}, {2, CellValue::empty()}}},
        {"MULRK partly over a MULBLANK",
         {mulBlank(0, 0, {16, 16, 16}), mulRk(0, 2, {{15, rk(7)}, {15, rk(8)}})},
         {{1, CellValue::empty()}, {2, CellValue::ofNumber(7)}, {3, CellValue::ofNumber(8)}}},
        {"number over a text formula", {formulaCell(0, 0, 15, text), stringRecord(u"old"), rkCell(0, 0, 15, rk(4))},
         {{0, CellValue::ofNumber(4)}}},
        {"copies out of column order",
         {rkCell(0, 2, 15, rk(1)), rkCell(0, 0, 15, rk(2)), rkCell(0, 2, 15, rk(3))},
         {{0, CellValue::ofNumber(2)}, {2, CellValue::ofNumber(3)}}},
    };
    for (const DuplicateCase& c : cases) {
        SCOPED_TRACE(c.name);
        BookSpec book;
        book.extraFormats = {cellFormat(1, 0)};
        book.strings = {u"a"};
        book.sheets[0].cells = c.cells;
        const auto original = buildFile(book);
        Workbook workbook = Workbook::fromBytes(original, "data.xls");
        for (const auto& [column, value] : c.row0)
            EXPECT_EQ(workbook.cell(0, 0, column), value) << "column " << column;

        workbook.setCell(0, 4, 4, CellValue::ofNumber(1));
        const auto saved = workbook.toBytes();
        const Workbook reopened = Workbook::fromBytes(saved, "data.xls");
        for (const auto& [column, value] : c.row0)
            EXPECT_EQ(reopened.cell(0, 0, column), value) << "column " << column;
        // Cells in strict column order, each once, and the shared-string count right.
        const auto before = streamProblems(workbookStreamOf(original));
        for (const std::string& problem : streamProblems(workbookStreamOf(saved)))
            EXPECT_THAT(before, ::testing::Contains(problem)) << "new problem: " << problem;
        EXPECT_EQ(xlrdDifferences(scratchFile("original.xls", original), scratchFile("saved.xls", saved), {"E5"}), "");
    }
}

TEST(DuplicateCells, ACopyThatDefinesASharedFormulaIsNotDropped)
{
    const std::uint8_t seven[8] = {0, 0, 0, 0, 0, 0, 0x1C, 0x40};
    BookSpec book;
    book.sheets[0].cells = {groupMember(0, 0, 15, seven, 0, 0), sharedFormula(0, 1, 0, 0), groupMember(1, 0, 15, seven, 0, 0)};
    book.sheets[0].cells.push_back(rkCell(0, 0, 15, rk(1)));
    // The later copy lands in row 0 again after row 1's cell: the builder keeps stream order.
    try {
        Workbook::fromBytes(buildFile(book), "data.xls");
        ADD_FAILURE() << "opened";
    } catch (const XlsError& error) {
        EXPECT_THAT(std::string(error.what()),
                    ::testing::StartsWith("data.xls is damaged: cell A1 is stored twice, and the copy the later one hides defines a "
                               "shared formula, array or table (record at offset "));
    }
}

}  // namespace
}  // namespace pellix::xls
