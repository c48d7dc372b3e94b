// Writing a cell of a shared formula: the other cells of the group get the formula as their own
// tokens (relative references resolved for each cell) and keep their cached results, so every
// reader sees the same formulas and values as before; arrays and tables change only as a whole.

#include "biff_builder.h"
#include "stream_checks.h"

#include "workbook/xls/biff.h"
#include "workbook/xls/byte_order.h"
#include "workbook/xls/formula_tokens.h"
#include "workbook/xls/workbook.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace pellix::xls {
namespace {

using namespace testing;
namespace fs = std::filesystem;

std::vector<std::uint8_t> bytes(std::initializer_list<int> values)
{
    std::vector<std::uint8_t> out;
    for (int value : values)
        out.push_back(static_cast<std::uint8_t>(value));
    return out;
}

struct TokenCase {
    const char* name;
    std::vector<std::uint8_t> shared;
    int row, column;
    std::vector<std::uint8_t> cell;  // empty: expect a problem
};

TEST(SharedFormulaTokens, RelativeReferencesResolveForTheCellAndEverythingElseIsKept)
{
    const std::vector<TokenCase> cases = {
        // PtgRefN (value class) row +0, column -1, both relative -> PtgRef to the cell's left.
        {"left neighbour", bytes({0x4C, 0x00, 0x00, 0xFF, 0xC0}), 4, 3, bytes({0x44, 0x04, 0x00, 0x02, 0xC0})},
        // Row -1 relative, column 7 absolute.
        {"absolute column", bytes({0x2C, 0xFF, 0xFF, 0x07, 0x80}), 10, 0, bytes({0x24, 0x09, 0x00, 0x07, 0x80})},
        // Offsets wrap around the sheet's edges: row 0 - 1 is the last row, column 0 - 1 the last column.
        {"wraps", bytes({0x2C, 0xFF, 0xFF, 0xFF, 0xC0}), 0, 0, bytes({0x24, 0xFF, 0xFF, 0xFF, 0xC0})},
        // PtgAreaN $A$1:RC[-1] -> PtgArea $A$1:C5 for cell D5.
        {"area", bytes({0x2D, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xC0}), 4, 3,
         bytes({0x25, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x02, 0xC0})},
        // PtgRef3d and PtgArea3d keep their id and sheet, their locations resolve.
        {"3d", bytes({0x5A, 0x01, 0x00, 0x02, 0x00, 0x01, 0xC0, 0x3B, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x01, 0xC0}),
         5, 5, bytes({0x5A, 0x01, 0x00, 0x07, 0x00, 0x06, 0xC0, 0x3B, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x06, 0xC0})},
        // A string holding bytes that look like PtgRefN, a choose jump table, numbers, a function.
        {"skipped tokens",
         bytes({0x17, 0x02, 0x00, 0x2C, 0x2C, 0x19, 0x04, 0x01, 0x00, 0x2C, 0x00, 0x2C, 0x00, 0x1F, 0, 0, 0, 0, 0, 0, 0xF0,
                0x3F, 0x1E, 0x2C, 0x00, 0x41, 0x2C, 0x00, 0x03}),
         9, 9,
         bytes({0x17, 0x02, 0x00, 0x2C, 0x2C, 0x19, 0x04, 0x01, 0x00, 0x2C, 0x00, 0x2C, 0x00, 0x1F, 0, 0, 0, 0, 0, 0, 0xF0,
                0x3F, 0x1E, 0x2C, 0x00, 0x41, 0x2C, 0x00, 0x03})},
        {"unknown token", bytes({0x18, 0x01}), 0, 0, {}},
        {"cut token", bytes({0x2C, 0x00}), 0, 0, {}},
        {"cut string", bytes({0x17, 0x05, 0x00, 0x41}), 0, 0, {}},
    };
    for (const TokenCase& c : cases) {
        SCOPED_TRACE(c.name);
        const CellTokens result = sharedTokensForCell(c.shared, c.row, c.column);
        if (c.cell.empty()) {
            EXPECT_THAT(result.problem, ::testing::Not(::testing::IsEmpty()));
        } else {
            EXPECT_EQ(result.problem, "");
            EXPECT_EQ(result.tokens, c.cell);
        }
    }
}

const std::uint8_t kSeven[8] = {0, 0, 0, 0, 0, 0, 0x1C, 0x40};
const std::uint8_t kText[8] = {0, 0, 0, 0, 0, 0, 0xFF, 0xFF};

// B2:B5 share "=A2*2" (B2 anchors it); B4's cached result is text. Column A holds numbers.
testing::BookSpec sharedFormulaBook()
{
    using namespace testing;
    BookSpec book;
    const auto shared = bytes({0x4C, 0x00, 0x00, 0xFF, 0xC0, 0x1E, 0x02, 0x00, 0x05});
    auto& cells = book.sheets[0].cells;
    for (int row = 1; row <= 4; ++row) {
        cells.push_back(rkCell(row, 0, 15, static_cast<std::uint32_t>(row) << 2 | 2u));
        cells.push_back(groupMember(row, 1, 15, row == 3 ? kText : kSeven, 1, 1));
        if (row == 1)
            cells.push_back(sharedFormula(1, 4, 1, 1, shared));
        if (row == 3)
            cells.push_back(stringRecord(u"six"));
    }
    return book;
}

TEST(SharedFormulas, WritingAnyCellOfTheGroupGivesTheOthersTheFormulaAsTheirOwn)
{
    const std::vector<std::uint8_t> original = testing::buildFile(sharedFormulaBook());
    const fs::path originalPath = scratchFile("shared.xls", original);
    for (int written : {1, 2, 3, 4}) {
        SCOPED_TRACE("written row " + std::to_string(written + 1));
        Workbook workbook = Workbook::fromBytes(original, "data.xls");
        workbook.setCell(0, written, 1, CellValue::ofNumber(100));
        const auto saved = workbook.toBytes();
        const Workbook reopened = Workbook::fromBytes(saved, "data.xls");
        for (int row = 1; row <= 4; ++row)
            EXPECT_EQ(reopened.cell(0, row, 1), row == written ? CellValue::ofNumber(100)
                                                 : row == 3        ? CellValue::ofText("six")
                                                                   : CellValue::ofNumber(7));

        // Each remaining cell holds "=A<row>*2" itself, without the shared flag.
        int formulas = 0;
        for (const auto& record : testing::recordsOf(testing::workbookStreamOf(saved))) {
            EXPECT_NE(record.type, kSidShrFmla);
            if (record.type != kSidFormula)
                continue;
            ++formulas;
            const int row = readU16(record.data.data());
            EXPECT_EQ(readU16(record.data.data() + 14) & 0x0008, 0);
            const std::vector<std::uint8_t> tokens(record.data.begin() + 22, record.data.end());
            EXPECT_EQ(tokens, bytes({0x44, row, 0x00, 0x00, 0xC0, 0x1E, 0x02, 0x00, 0x05}));
        }
        EXPECT_EQ(formulas, 3);
        EXPECT_THAT(testing::streamProblems(testing::workbookStreamOf(saved)), ::testing::IsEmpty());
        const fs::path savedPath = scratchFile("shared-saved.xls", saved);
        EXPECT_EQ(testing::xlrdDifferences(originalPath, savedPath, {cellName(written, 1)}), "");
    }
}

TEST(SharedFormulas, ArraysAndTablesChangeOnlyAsAWhole)
{
    using namespace testing;
    struct Case {
        const char* name;
        std::vector<Record> cells;
        const char* refusal;  // null: the write goes through
    };
    const auto sum = bytes({0x25, 0, 0, 1, 0, 0, 0, 0, 0, 0x19, 0x10, 0, 0});
    const std::vector<Case> cases = {
        {"array over two cells",
         {groupMember(0, 1, 15, kSeven, 0, 1), arrayFormula(0, 1, 1, 1, sum), groupMember(1, 1, 15, kSeven, 0, 1)},
         "data.xls: cell B2 is part of an array formula over B1:B2, which can only be changed as a whole"},
        {"data table",
         {formulaWithTokens(0, 1, 15, kSeven, bytes({0x02, 0, 0, 1, 0})), Record{0x0236, bytes({0, 0, 1, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
          formulaWithTokens(1, 1, 15, kSeven, bytes({0x02, 0, 0, 1, 0}))},
         "data.xls: cell B2 is part of a data table over B1:B2, which can only be changed as a whole"},
        {"array of one cell", {groupMember(1, 1, 15, kSeven, 1, 1), arrayFormula(1, 1, 1, 1, sum)}, nullptr},
        {"dangling PtgExp", {groupMember(1, 1, 15, kSeven, 7, 7)}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BookSpec book;
        book.sheets[0].cells = c.cells;
        const auto original = buildFile(book);
        Workbook workbook = Workbook::fromBytes(original, "data.xls");
        if (c.refusal != nullptr) {
            try {
                workbook.setCell(0, 1, 1, CellValue::ofNumber(1));
                ADD_FAILURE() << "written";
            } catch (const XlsError& error) {
                EXPECT_EQ(std::string(error.what()), c.refusal);
            }
            EXPECT_EQ(workbook.toBytes(), Workbook::fromBytes(original, "data.xls").toBytes());
            continue;
        }
        workbook.setCell(0, 1, 1, CellValue::ofNumber(1));
        const auto saved = workbook.toBytes();
        EXPECT_EQ(Workbook::fromBytes(saved, "data.xls").cell(0, 1, 1), CellValue::ofNumber(1));
        for (const auto& record : recordsOf(workbookStreamOf(saved)))
            EXPECT_NE(record.type, kSidArray);
        EXPECT_THAT(streamProblems(workbookStreamOf(saved)), ::testing::IsEmpty());
    }
}

}  // namespace
}  // namespace pellix::xls
