// Reading: every cell kind spreadsheet programs write, shared strings split across CONTINUE
// records, the active sheet, and the files that must be refused.

#include "biff_builder.h"

#include "workbook/xls/biff.h"
#include "workbook/xls/byte_order.h"
#include "workbook/xls/workbook.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

namespace pellix::xls {
namespace {

using namespace testing;
using ::testing::HasSubstr;

Workbook openBook(const BookSpec& book)
{
    return Workbook::fromBytes(buildFile(book), "data.xls");
}

std::uint32_t rkInt(int value)
{
    return static_cast<std::uint32_t>(value) << 2 | 2u;
}

void doubleBytes(double value, std::uint8_t (&out)[8])
{
    writeF64(out, value);
}

struct KindCase {
    const char* name;
    std::vector<Record> records;
    CellValue expected;
};

TEST(ReadCells, EveryCellKindReadsAsItsValue)
{
    std::uint8_t number[8];
    doubleBytes(2.5, number);
    const std::uint8_t text[8] = {0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    const std::uint8_t boolean[8] = {1, 0, 1, 0, 0, 0, 0xFF, 0xFF};
    const std::uint8_t error[8] = {2, 0, 0x07, 0, 0, 0, 0xFF, 0xFF};
    const std::uint8_t emptyText[8] = {3, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    const std::vector<KindCase> cases = {
        {"NUMBER", {numberCell(0, 0, 15, 1.0 / 3)}, CellValue::ofNumber(1.0 / 3)},
        {"RK integer", {rkCell(0, 0, 15, rkInt(-7))}, CellValue::ofNumber(-7)},
        {"RK integer/100", {rkCell(0, 0, 15, rkInt(314) | 1u)}, CellValue::ofNumber(3.14)},
        {"RK double", {rkCell(0, 0, 15, 0x3FF80000u)}, CellValue::ofNumber(1.5)},
        {"RK double/100", {rkCell(0, 0, 15, 0x405EC000u | 1u)}, CellValue::ofNumber(1.23)},
        {"MULRK middle", {mulRk(0, 0, {{15, rkInt(1)}, {15, rkInt(2)}, {15, rkInt(3)}})}, CellValue::ofNumber(1)},
        {"LABELSST", {labelSstCell(0, 0, 15, 1)}, CellValue::ofText("二番目")},
        {"LABEL", {labelCell(0, 0, 15, u"plain label")}, CellValue::ofText("plain label")},
        {"RSTRING", {labelCell(0, 0, 15, u"rich ラベル", kSidRString)}, CellValue::ofText("rich ラベル")},
        {"BLANK", {blankCell(0, 0, 15)}, CellValue::empty()},
        {"MULBLANK", {mulBlank(0, 0, {15, 15})}, CellValue::empty()},
        {"BOOLERR true", {boolErrCell(0, 0, 15, 1, false)}, CellValue::ofBoolean(true)},
        {"BOOLERR #DIV/0!", {boolErrCell(0, 0, 15, 0x07, true)}, CellValue::ofError(0x07)},
        {"FORMULA number", {formulaCell(0, 0, 15, number)}, CellValue::ofNumber(2.5)},
        {"FORMULA text", {formulaCell(0, 0, 15, text), stringRecord(u"結果")}, CellValue::ofText("結果")},
        {"FORMULA boolean", {formulaCell(0, 0, 15, boolean)}, CellValue::ofBoolean(true)},
        {"FORMULA error", {formulaCell(0, 0, 15, error)}, CellValue::ofError(0x07)},
        {"FORMULA empty text", {formulaCell(0, 0, 15, emptyText)}, CellValue::ofText("")},
    };
    for (const KindCase& kind : cases) {
        SCOPED_TRACE(kind.name);
        BookSpec book;
        book.strings = {u"first", u"二番目"};
        book.sheets[0].cells = kind.records;
        const Workbook workbook = openBook(book);
        EXPECT_EQ(workbook.cell(0, 0, 0), kind.expected);
        EXPECT_EQ(workbook.cell(0, 0, 5), CellValue::empty());
    }
}

TEST(ReadCells, MulRecordsCoverEachColumnWithItsOwnValue)
{
    BookSpec book;
    book.sheets[0].cells = {mulRk(3, 2, {{15, rkInt(10)}, {15, rkInt(20)}, {15, rkInt(30)}})};
    const Workbook workbook = openBook(book);
    EXPECT_EQ(workbook.cell(0, 3, 1), CellValue::empty());
    EXPECT_EQ(workbook.cell(0, 3, 2), CellValue::ofNumber(10));
    EXPECT_EQ(workbook.cell(0, 3, 3), CellValue::ofNumber(20));
    EXPECT_EQ(workbook.cell(0, 3, 4), CellValue::ofNumber(30));
    EXPECT_EQ(workbook.cell(0, 3, 5), CellValue::empty());
}

// A shared string table whose strings cross CONTINUE records: inside 8-bit characters,
// switching to 16-bit at the break, with rich-text runs and phonetic data across a break.
TEST(ReadStrings, StringsSplitAcrossContinueRecordsReadWhole)
{
    Record sst{kSidSst, {}};
    appendU32(sst.data, 3);
    appendU32(sst.data, 3);
    // "abcdef": "abc" here, "def" in the CONTINUE as 16-bit characters.
    appendU16(sst.data, 6);
    sst.data.push_back(0x00);
    sst.data.insert(sst.data.end(), {'a', 'b', 'c'});
    Record first{kSidContinue, {0x01, 'd', 0, 'e', 0, 'f', 0}};
    // A rich string with phonetic data whose runs are split across the next CONTINUE.
    appendU16(first.data, 2);
    first.data.push_back(0x0C);
    appendU16(first.data, 1);  // cRun
    appendU32(first.data, 4);  // cbExtRst
    first.data.insert(first.data.end(), {'x', 'y'});
    first.data.insert(first.data.end(), {0, 0});  // half of the run
    Record second{kSidContinue, {0, 0, 1, 2, 3, 4}};
    second.data.insert(second.data.end(), {1, 0, 0x00, 'z'});
    BookSpec book;
    book.sstRecords = std::vector<Record>{sst, first, second};
    book.sheets[0].cells = {labelSstCell(0, 0, 15, 0), labelSstCell(0, 1, 15, 1), labelSstCell(0, 2, 15, 2)};
    const Workbook workbook = openBook(book);
    EXPECT_EQ(workbook.cell(0, 0, 0), CellValue::ofText("abcdef"));
    EXPECT_EQ(workbook.cell(0, 0, 1), CellValue::ofText("xy"));
    EXPECT_EQ(workbook.cell(0, 0, 2), CellValue::ofText("z"));
}

TEST(ReadSheets, TheWindowRecordChoosesTheActiveSheet)
{
    BookSpec book;
    book.sheets = {SheetSpec{"One", {rkCell(0, 0, 15, rkInt(1))}, {}, {}, false},
                   SheetSpec{"Two", {rkCell(0, 0, 15, rkInt(2))}, {}, {}, false}};
    book.active = 1;
    const Workbook workbook = openBook(book);
    EXPECT_EQ(workbook.sheetCount(), 2);
    EXPECT_EQ(workbook.activeSheet(), 1);
    EXPECT_EQ(workbook.sheetName(1), "Two");
    EXPECT_EQ(workbook.cell(workbook.activeSheet(), 0, 0), CellValue::ofNumber(2));
    EXPECT_EQ(workbook.cell(0, 0, 0), CellValue::ofNumber(1));
}

TEST(ReadSheets, AnActiveIndexPastTheSheetsFallsBackToTheFirst)
{
    BookSpec book;
    book.active = 7;
    EXPECT_EQ(openBook(book).activeSheet(), 0);
}

struct RefusalCase {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::string message;
};

std::vector<std::uint8_t> withFirstRecordVersion(std::uint16_t version, const char* streamName = "Workbook")
{
    std::vector<std::uint8_t> stream = buildStream(BookSpec{});
    writeU16(stream.data() + 4, version);
    return wrapStream(stream, 512, streamName);
}

TEST(Refusals, EachKindOfBadFileGetsItsOwnMessage)
{
    BookSpec encrypted;
    encrypted.extraGlobals = {Record{kSidFilePass, {0x01, 0x00, 0x01, 0x00, 0x01, 0x00}}};
    std::vector<std::uint8_t> biff4 = {0x09, 0x04, 0x06, 0x00, 0x00, 0x00, 0x10, 0x00, 0, 0};
    std::vector<std::uint8_t> zip = {'P', 'K', 3, 4, 0, 0, 0, 0};
    std::vector<std::uint8_t> cutHeader(buildFile(BookSpec{}));
    cutHeader.resize(300);
    const std::vector<RefusalCase> cases = {
        {"empty file", {}, "data.xls is not a spreadsheet workbook"},
        {"a zip archive", zip, "data.xls is not a spreadsheet workbook"},
        {"bare BIFF4 stream", biff4, "data.xls was saved in an older spreadsheet format (BIFF4) that is not supported"},
        {"BIFF5 Book stream", withFirstRecordVersion(0x0500, "Book"),
         "data.xls was saved in an older spreadsheet format (BIFF5) that is not supported"},
        {"BIFF5 version in a Workbook stream", withFirstRecordVersion(0x0500),
         "data.xls was saved in an older spreadsheet format (BIFF5) that is not supported"},
        {"password", buildFile(encrypted), "data.xls is password-protected"},
        {"compound document without a Workbook", wrapStream({1, 2, 3}, 512, "Other"),
         "data.xls is not a spreadsheet workbook"},
        {"cut inside the header", cutHeader, "data.xls is damaged: the file is cut short (300 bytes)"},
    };
    for (const RefusalCase& refusal : cases) {
        SCOPED_TRACE(refusal.name);
        try {
            Workbook::fromBytes(refusal.bytes, "data.xls");
            ADD_FAILURE() << "opened";
        } catch (const XlsError& error) {
            EXPECT_EQ(std::string(error.what()), refusal.message);
        }
    }
}

TEST(Refusals, DamageInsideTheStreamSaysWhere)
{
    // A shared string that claims more characters than its record holds.
    Record sst{kSidSst, {}};
    appendU32(sst.data, 1);
    appendU32(sst.data, 1);
    appendU16(sst.data, 40);
    sst.data.push_back(0);
    sst.data.insert(sst.data.end(), 18, 'a');
    BookSpec shortString;
    shortString.sstRecords = std::vector<Record>{sst};
    // A label pointing past the table.
    BookSpec badIndex;
    badIndex.strings = {u"only"};
    badIndex.sheets[0].cells = {labelSstCell(2, 1, 15, 5)};
    // A sheet whose place in the stream holds no sheet.
    std::vector<std::uint8_t> stream = buildStream(BookSpec{});
    for (std::size_t at = 0; at + 4 <= stream.size();) {
        if (readU16(stream.data() + at) == kSidBoundSheet8)
            writeU32(stream.data() + at + 4, readU32(stream.data() + at + 4) + 2);
        at += 4 + readU16(stream.data() + at + 2);
    }
    // Cells, rows and columns naming a cell format past the last one (the default book has 16),
    // on a sheet that is not the active one: a fill would append that format.
    const auto missingFormat = [](Record record) {
        BookSpec book;
        book.sheets.push_back(SheetSpec{"Second", {}, {}, {}, false});
        book.sheets[1].cells = {numberCell(0, 0, 15, 1)};
        if (record.type == 0x0208)
            book.sheets[1].rows = {record};
        else if (record.type == 0x007D)
            book.sheets[1].tail = {record};
        else
            book.sheets[1].cells.push_back(record);
        return buildFile(book);
    };
    Record columns{0x007D, std::vector<std::uint8_t>(12, 0)};
    writeU16(columns.data.data() + 2, 3);
    writeU16(columns.data.data() + 6, 16);
    const std::vector<RefusalCase> cases = {
        {"format of a number", missingFormat(numberCell(4, 2, 16, 1)),
         "data.xls is damaged: cell C5 refers to cell format 16, but the workbook has 16"},
        {"format inside a run of blanks", missingFormat(mulBlank(4, 1, {15, 15, 300})),
         "data.xls is damaged: cell D5 refers to cell format 300, but the workbook has 16"},
        {"format of a row", missingFormat(rowRecord(6, 300, 0x80, 17)),
         "data.xls is damaged: row 7 refers to cell format 17, but the workbook has 16"},
        {"format of columns", missingFormat(columns),
         "data.xls is damaged: column A refers to cell format 16, but the workbook has 16"},
        {"short string", buildFile(shortString),
         "data.xls is damaged: shared string 0 runs past the record end (need 22 bytes, have 0)"},
        {"label past the table", buildFile(badIndex),
         "data.xls is damaged: cell B3 refers to shared string 5, but the table holds 1"},
        {"sheet position", wrapStream(stream), "data.xls is damaged: sheet \"Sheet1\" starts at offset "},
    };
    for (const RefusalCase& refusal : cases) {
        SCOPED_TRACE(refusal.name);
        try {
            Workbook::fromBytes(refusal.bytes, "data.xls");
            ADD_FAILURE() << "opened";
        } catch (const XlsError& error) {
            EXPECT_THAT(std::string(error.what()), HasSubstr(refusal.message));
        }
    }
}

TEST(Refusals, OpeningAMissingFileNamesIt)
{
    try {
        Workbook::open("/nonexistent/folder/data.xls");
        ADD_FAILURE() << "opened";
    } catch (const XlsError& error) {
        EXPECT_EQ(std::string(error.what()), "cannot open data.xls: No such file or directory");
    }
}

TEST(RkNumbers, ValuesTakeTheCompactFormOnlyWhenItDecodesBackExactly)
{
    struct Case {
        double value;
        bool compact;
    };
    const std::vector<Case> cases = {
        {0, true}, {7, true}, {-7, true}, {1.5, true}, {123456789, true}, {0.1, true}, {3.14, true},
        {12.345, true}, {1.0 / 3, false}, {2.5e-5, false}, {1e15, false}, {-536870912, true},
        {536870912, true}, {1e300, false}, {-0.0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const auto rk = encodeRk(c.value);
        EXPECT_EQ(rk.has_value(), c.compact);
        if (rk) {
            const double back = decodeRk(*rk);
            EXPECT_EQ(std::memcmp(&back, &c.value, sizeof back), 0);
        }
    }
}

}  // namespace
}  // namespace pellix::xls
