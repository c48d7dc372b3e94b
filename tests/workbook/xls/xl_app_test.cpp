// The stand-in for the spreadsheet application: addresses as the score routines write them and
// the open workbook its cells act on.

#include "kit.h"

#include "workbook/xl_app.h"

namespace pellix {
namespace {

// The score routines' own addresses are read in their tests; here the forms they do not write.
TEST(Addresses, RangeAndRowTextsReadAsTheirBlocksAndColumnsAsLetters) {
    for (const auto& [text, block] : std::vector<std::pair<const char*, std::array<int, 4>>>{
             {"b19", {19, 2, 19, 2}}, {"IV65536", {65536, 256, 65536, 256}}, {"D13:B2", {2, 2, 13, 4}}}) {
        const CellBlock parsed = parseRangeAddress(text);
        EXPECT_EQ((std::array{parsed.firstRow, parsed.firstColumn, parsed.lastRow, parsed.lastColumn}), block) << text;
    }
    for (const char* bad : {"", "B", "19", "B0", "IW1", "B2:", "B2 :D13", "B2:D13:E1", "A65537", "B-2"})
        EXPECT_XLS_ERROR(parseRangeAddress(bad), "");
    EXPECT_EQ(parseRowsAddress("14"), std::pair(14, 14));
    for (const char* bad : {"", "0", "2:", ":3", "a:b", "65537"}) EXPECT_XLS_ERROR(parseRowsAddress(bad), "");
}

// What the cells, fills and heights come to is for the score routines' tests, on the sample
// workbook; here a workbook without shared strings gets a table for its first text.
TEST(XlApp, CellsNeedAnOpenWorkbookAndAFailedOpenLeavesNoneOpen) {
    const testing::ScratchFolder folder;
    testing::writeFile(folder / "data.xls", xls::testing::buildFile({}));
    XlApp xlApp;
    EXPECT_XLS_ERROR(xlApp.cells(1, 1), "");  // nothing open yet
    XlBook& xlBook = xlApp.Application().Workbooks().Open(folder / "data.xls");
    xlApp.cells(19, 2).setValue("Challenger");
    xlBook.saveas(folder / "data.xls");
    xlBook.Close();
    EXPECT_XLS_ERROR(xlApp.cells(19, 2).Value(), "");  // closed
    xlApp.Application().Workbooks().Open(folder / "data.xls");
    EXPECT_EQ(xlApp.cells(19, 2).Value(), CellValue::ofText("Challenger"));
    EXPECT_XLS_ERROR(xlApp.cells(0, 1), "");
    EXPECT_XLS_ERROR(xlApp.Application().Workbooks().Open(folder / "missing.xls"), "missing.xls");
    EXPECT_XLS_ERROR(xlApp.cells(1, 1), "");
}

}  // namespace
}  // namespace pellix
