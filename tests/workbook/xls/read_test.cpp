// Reading: every cell kind, shared strings split across CONTINUE records, the active sheet, cells
// stored twice, the files that must be refused with their own message, and the texts the window
// and the dump show for places and values.

#include "kit.h"

#include "workbook/xls/cell_text.h"

#include <cstring>

namespace pellix::xls::testing {
namespace {

struct ReadCase {
    const char* name;
    std::vector<Record> cells;
    std::vector<std::pair<int, CellValue>> row0;  // column, value read
};

void expectRow0(const Workbook& workbook, const ReadCase& c) {
    for (const auto& [column, value] : c.row0) EXPECT_EQ(workbook.cell(0, 0, column), value) << "column " << column;
}

TEST(ReadCells, EveryCellKindReadsAsItsValue) {
    const Bytes boolean = {1, 0, 1, 0, 0, 0, 0xFF, 0xFF}, error = {2, 0, 0x07, 0, 0, 0, 0xFF, 0xFF},
                emptyText = {3, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    const CellValue empty = CellValue::empty();
    const std::vector<ReadCase> cases = {
        {"NUMBER", {number(0, 0, 1.0 / 3)}, {{0, CellValue::ofNumber(1.0 / 3)}, {1, empty}}},
        {"RK integer", {rk(0, 0, -7)}, {{0, CellValue::ofNumber(-7)}}},
        {"RK integer/100", {cell(kSidRk, 0, 0, le(rkInt(314) | 1u, 4))}, {{0, CellValue::ofNumber(3.14)}}},
        {"RK double", {cell(kSidRk, 0, 0, le(0x3FF80000u, 4))}, {{0, CellValue::ofNumber(1.5)}}},
        {"RK double/100", {cell(kSidRk, 0, 0, le(0x405EC001u, 4))}, {{0, CellValue::ofNumber(1.23)}}},
        {"MULRK",
         {mulRk(0, 2, {{15, 10}, {15, 20}, {15, 30}})},
         {{1, empty},
          {2, CellValue::ofNumber(10)},
          {3, CellValue::ofNumber(20)},
          {4, CellValue::ofNumber(30)},
          {5, empty}}},
        {"LABELSST", {cell(kSidLabelSst, 0, 0, le(1, 4))}, {{0, CellValue::ofText("二番目")}}},
        {"LABEL", {cell(kSidLabel, 0, 0, ustr(u"plain label"))}, {{0, CellValue::ofText("plain label")}}},
        {"LABEL with lone surrogates",
         {cell(kSidLabel, 0, 0,
               ustr(u"a\xDC00"
                    u"b\xD800"))},
         {{0, CellValue::ofText("a\uFFFDb\uFFFD")}}},
        {"RSTRING",
         {cell(kSidRString, 0, 0, ustr(u"rich ラベル") + le(1, 2) + le(0, 2) + le(1, 2))},
         {{0, CellValue::ofText("rich ラベル")}}},
        {"BLANK and MULBLANK", {cell(kSidBlank, 0, 0, {}), mulBlank(0, 1, {15, 15})}, {{0, empty}, {2, empty}}},
        {"BOOLERR true", {cell(kSidBoolErr, 0, 0, {1, 0})}, {{0, CellValue::ofBoolean(true)}}},
        {"BOOLERR #DIV/0!", {cell(kSidBoolErr, 0, 0, {0x07, 1})}, {{0, CellValue::ofError(0x07)}}},
        {"FORMULA number", {formula(0, 0, f64(2.5))}, {{0, CellValue::ofNumber(2.5)}}},
        {"FORMULA text", {formula(0, 0, kTextResult), stringRecord(u"結果")}, {{0, CellValue::ofText("結果")}}},
        {"FORMULA boolean", {formula(0, 0, boolean)}, {{0, CellValue::ofBoolean(true)}}},
        {"FORMULA error", {formula(0, 0, error)}, {{0, CellValue::ofError(0x07)}}},
        {"FORMULA empty text", {formula(0, 0, emptyText)}, {{0, CellValue::ofText("")}}},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        BookPlan book;
        book.strings = {u"first", u"二番目"};
        book.sheets[0].cells = c.cells;
        expectRow0(openBook(buildFile(book)), c);
    }
}

// Split inside 8-bit characters switching to 16-bit at the break, and a rich string with
// phonetic data whose runs cross the next CONTINUE.
TEST(ReadCells, SharedStringsSplitAcrossContinueRecordsReadWhole) {
    BookPlan book;
    book.sst = std::vector<Record>{{kSidSst, le(3, 4) + le(3, 4) + le(6, 2) + Bytes{0, 'a', 'b', 'c'}},
                                   {kSidContinue, Bytes{1, 'd', 0, 'e', 0, 'f', 0} + le(2, 2) + Bytes{0x0C} + le(1, 2)
                                                      + le(4, 4) + Bytes{'x', 'y', 0, 0}},
                                   {kSidContinue, {0, 0, 1, 2, 3, 4, 1, 0, 0x00, 'z'}}};
    book.sheets[0].cells = {cell(kSidLabelSst, 0, 0, le(0, 4)), cell(kSidLabelSst, 0, 1, le(1, 4)),
                            cell(kSidLabelSst, 0, 2, le(2, 4))};
    expectRow0(openBook(buildFile(book)),
               {"", {}, {{0, CellValue::ofText("abcdef")}, {1, CellValue::ofText("xy")}, {2, CellValue::ofText("z")}}});
}

TEST(ReadCells, TheWindowRecordChoosesTheActiveSheetAndAnIndexPastTheSheetsMeansTheFirst) {
    BookPlan book;
    book.sheets = {SheetPlan{"One", {rk(0, 0, 1)}, {}, {}, false}, SheetPlan{"Two", {rk(0, 0, 2)}, {}, {}, false}};
    book.active = 1;
    const Workbook workbook = openBook(buildFile(book));
    EXPECT_EQ((std::tuple{workbook.sheetCount(), workbook.activeSheet(), workbook.sheetName(1)}),
              (std::tuple{2, 1, std::string("Two")}));
    EXPECT_EQ((std::vector{workbook.cell(0, 0, 0), workbook.cell(1, 0, 0)}),
              (std::vector{CellValue::ofNumber(1), CellValue::ofNumber(2)}));
    book.active = 7;
    EXPECT_EQ(openBook(buildFile(book)).activeSheet(), 0);
}

// A cell stored twice reads as its later copy, as xlrd reads it; an edit elsewhere writes it back once.
TEST(ReadCells, TheLaterCopyOfADuplicateCellWinsAndTheSavedSheetHoldsItOnce) {
    const CellValue empty = CellValue::empty();
    const std::vector<ReadCase> cases = {
        {"number over number", {number(0, 0, 1.5), number(0, 0, 2.5)}, {{0, CellValue::ofNumber(2.5)}}},
        {"text over number", {rk(0, 0, 1), cell(kSidLabelSst, 0, 0, le(0, 4))}, {{0, CellValue::ofText("a")}}},
        {"number over text", {cell(kSidLabelSst, 0, 0, le(0, 4)), rk(0, 0, 5)}, {{0, CellValue::ofNumber(5)}}},
        {"formatted blank over number", {rk(0, 0, 1), cell(kSidBlank, 0, 0, {}, 16)}, {{0, empty}}},
        {"number over the middle of a MULRK",
         {mulRk(0, 0, {{15, 1}, {16, 2}, {15, 3}}), number(0, 1, 9.5)},
         {{0, CellValue::ofNumber(1)}, {1, CellValue::ofNumber(9.5)}, {2, CellValue::ofNumber(3)}}},
        {"MULBLANK over two numbers",
         {rk(0, 1, 1), rk(0, 2, 2), mulBlank(0, 0, {16, 16, 16, 16})},
         {{1, empty}, {2, empty}}},
        {"MULRK partly over a MULBLANK",
         {mulBlank(0, 0, {16, 16, 16}), mulRk(0, 2, {{15, 7}, {15, 8}})},
         {{1, empty}, {2, CellValue::ofNumber(7)}, {3, CellValue::ofNumber(8)}}},
        {"number over a text formula",
         {formula(0, 0, kTextResult), stringRecord(u"old"), rk(0, 0, 4)},
         {{0, CellValue::ofNumber(4)}}},
        {"copies out of column order",
         {rk(0, 2, 1), rk(0, 0, 2), rk(0, 2, 3)},
         {{0, CellValue::ofNumber(2)}, {2, CellValue::ofNumber(3)}}},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        BookPlan book;
        book.formats = {cellFormat(1, 0)};
        book.strings = {u"a"};
        book.sheets[0].cells = c.cells;
        const Bytes original = buildFile(book);
        Workbook workbook = openBook(original);
        expectRow0(workbook, c);
        workbook.setCell(0, 4, 4, CellValue::ofNumber(1));
        const Bytes saved = workbook.toBytes();
        expectRow0(openBook(saved), c);
        EXPECT_THAT(newProblems(original, saved), ::testing::IsEmpty());
        EXPECT_EQ(xlrdDifferences(original, saved, {"E5"}), "");
    }
}

TEST(Refusals, EachKindOfBadFileGetsItsOwnMessage) {
    const auto withVersion = [](std::uint16_t version, const char* name) {
        Bytes stream = buildStream(BookPlan{});
        writeU16(stream.data() + 4, version);
        return wrapStream(stream, 512, name);
    };
    BookPlan encrypted;
    encrypted.globals = {Record{kSidFilePass, {0x01, 0x00, 0x01, 0x00, 0x01, 0x00}}};
    Bytes cutHeader = buildFile(BookPlan{});
    cutHeader.resize(300);
    BookPlan shortString;  // claims 40 characters, holds 18
    shortString.sst = std::vector<Record>{{kSidSst, le(1, 4) + le(1, 4) + le(40, 2) + Bytes(19, 0)}};
    BookPlan pastTable;
    pastTable.strings = {u"only"};
    pastTable.sheets[0].cells = {cell(kSidLabelSst, 2, 1, le(5, 4))};
    Bytes misplaced = buildStream(BookPlan{});
    for (const RawRecord& record : recordsOf(misplaced))
        if (record.type == kSidBoundSheet8)
            writeU32(misplaced.data() + record.offset + 4, readU32(record.data.data()) + 2);
    // Cells, rows and columns naming a cell format past the last of the 16, on a sheet that is
    // not the active one: a fill would append that format.
    const auto missingFormat = [](const Record& record) {
        BookPlan book;
        book.sheets.push_back(SheetPlan{"Second", {number(0, 0, 1)}, {}, {}, false});
        (record.type == kSidRow       ? book.sheets[1].rows
         : record.type == kSidColInfo ? book.sheets[1].tail
                                      : book.sheets[1].cells)
            .push_back(record);
        return buildFile(book);
    };
    const std::vector<std::pair<Bytes, std::string>> cases = {
        {{}, "data.xls is not a spreadsheet workbook"},
        {{'P', 'K', 3, 4, 0, 0, 0, 0}, "data.xls is not a spreadsheet workbook"},
        {wrapStream({1, 2, 3}, 512, "Other"), "data.xls is not a spreadsheet workbook"},
        {{0x09, 0x04, 0x06, 0x00, 0x00, 0x00, 0x10, 0x00, 0, 0},
         "data.xls was saved in an older spreadsheet format (BIFF4) that is not supported"},
        {withVersion(0x0500, "Book"),
         "data.xls was saved in an older spreadsheet format (BIFF5) that is not supported"},
        {withVersion(0x0500, "Workbook"),
         "data.xls was saved in an older spreadsheet format (BIFF5) that is not supported"},
        {buildFile(encrypted), "data.xls is password-protected"},
        {cutHeader, "data.xls is damaged: the file is cut short (300 bytes)"},
        {missingFormat(number(4, 2, 1, 16)),
         "data.xls is damaged: cell C5 refers to cell format 16, but the workbook has 16"},
        {missingFormat(mulBlank(4, 1, {15, 15, 300})),
         "data.xls is damaged: cell D5 refers to cell format 300, but the workbook has 16"},
        {missingFormat(rowRecord(6, 300, 0x80, 17)),
         "data.xls is damaged: row 7 refers to cell format 17, but the workbook has 16"},
        {missingFormat({kSidColInfo, le(0, 2) + le(3, 2) + le(0, 2) + le(16, 2) + le(0, 4)}),
         "data.xls is damaged: column A refers to cell format 16, but the workbook has 16"},
        {buildFile(shortString),
         "data.xls is damaged: shared string 0 runs past the record end (need 22 bytes, have 0)"},
        {buildFile(pastTable), "data.xls is damaged: cell B3 refers to shared string 5, but the table holds 1"},
        {wrapStream(misplaced), "data.xls is damaged: sheet \"Sheet1\" starts at offset "},
    };
    for (const auto& [bytes, message] : cases) EXPECT_XLS_ERROR(openBook(bytes), message);
    // A later copy must not hide the cell that defines a shared formula.
    BookPlan hidden;
    hidden.sheets[0].cells = {groupMember(0, 0, f64(7), 0, 0), sharedFormula(0, 1, 0), groupMember(1, 0, f64(7), 0, 0),
                              rk(0, 0, 1)};
    EXPECT_XLS_ERROR(openBook(buildFile(hidden)),
                     "data.xls is damaged: cell A1 is stored twice, and the copy the later one hides "
                     "defines a shared formula, array or table (record at offset ");
}

TEST(RkNumbers, ValuesTakeTheCompactFormOnlyWhenItDecodesBackExactly) {
    const std::vector<std::pair<double, bool>> cases = {
        {0, true},     {7, true},          {-7, true},        {1.5, true},      {123456789, true},
        {0.1, true},   {3.14, true},       {12.345, true},    {1.0 / 3, false}, {2.5e-5, false},
        {1e15, false}, {-536870912, true}, {536870912, true}, {1e300, false},   {-0.0, true},
    };
    for (const auto& [value, compact] : cases) {
        const auto coded = encodeRk(value);
        ASSERT_EQ(coded.has_value(), compact) << value;
        const double back = coded ? decodeRk(*coded) : value;
        EXPECT_EQ(std::memcmp(&back, &value, sizeof back), 0) << value;
    }
}

TEST(CellText, ColumnLettersAndCellNames) {
    const std::pair<int, const char*> columns[] = {{0, "A"},   {25, "Z"},  {26, "AA"},
                                                   {51, "AZ"}, {52, "BA"}, {255, "IV"}};
    for (const auto& [column, letters] : columns) EXPECT_EQ(columnName(column), letters) << column;
    EXPECT_EQ(cellName(kMaxRows - 1, kMaxColumns - 1), "IV65536");
}

TEST(CellText, ValuesAsTheSheetShowsThem) {
    const std::pair<CellValue, const char*> cases[] = {
        {CellValue::empty(), ""},
        {CellValue::ofNumber(123456789012345678.0), "1.23456789012346e+17"},
        {CellValue::ofNumber(0.000012345), "1.2345e-05"},
        {CellValue::ofNumber(-2.5), "-2.5"},
        {CellValue::ofText("2連勝中"), "2連勝中"},
        {CellValue::ofBoolean(true), "TRUE"},
        {CellValue::ofBoolean(false), "FALSE"},
        {CellValue::ofError(0x00), "#NULL!"},
        {CellValue::ofError(0x07), "#DIV/0!"},
        {CellValue::ofError(0x0F), "#VALUE!"},
        {CellValue::ofError(0x17), "#REF!"},
        {CellValue::ofError(0x1D), "#NAME?"},
        {CellValue::ofError(0x24), "#NUM!"},
        {CellValue::ofError(0x2A), "#N/A"},
        {CellValue::ofError(0x2B), "#ERR!"},
    };
    for (const auto& [value, shown] : cases) EXPECT_EQ(shownText(value), shown);
}

}  // namespace
}  // namespace pellix::xls::testing
