// The stand-in for the spreadsheet application: addresses as the score routines write them and
// one operation frame (open, write, colour, heights, save, close) on a real file.

#include "kit.h"

#include "workbook/xl_app.h"
#include "workbook/xls/cell_text.h"

namespace pellix {
namespace {

TEST(Addresses, RangeAndRowTextsReadAsTheirBlocksAndColumnsAsLetters) {
    const std::vector<std::pair<const char*, std::array<int, 4>>> ranges = {
        {"B2:D13", {2, 2, 13, 4}}, {"J41:AH41", {41, 10, 41, 34}},        {"b19", {19, 2, 19, 2}},
        {"C2:D13", {2, 3, 13, 4}}, {"IV65536", {65536, 256, 65536, 256}}, {"D13:B2", {2, 2, 13, 4}}};
    for (const auto& [text, block] : ranges) {
        const CellBlock parsed = parseRangeAddress(text);
        EXPECT_EQ((std::array{parsed.firstRow, parsed.firstColumn, parsed.lastRow, parsed.lastColumn}), block) << text;
    }
    for (const char* bad : {"", "B", "19", "B0", "IW1", "B2:", "B2 :D13", "B2:D13:E1", "A65537", "B-2"})
        EXPECT_XLS_ERROR(parseRangeAddress(bad), "");
    EXPECT_EQ(parseRowsAddress("2:13"), std::pair(2, 13));
    EXPECT_EQ(parseRowsAddress("14"), std::pair(14, 14));
    for (const char* bad : {"", "0", "2:", ":3", "a:b", "65537"}) EXPECT_XLS_ERROR(parseRowsAddress(bad), "");
}

TEST(XlApp, OneOperationFrameWritesReadsAndSavesAndAFailedOpenLeavesNothingOpen) {
    const testing::ScratchFolder folder;
    const auto path = folder / "data.xls";
    xls::testing::BookPlan book;
    book.sheets[0].cells = {xls::testing::rk(18, 1, 41), xls::testing::rk(36, 35, 1)};
    testing::writeFile(path, xls::testing::buildFile(book));
    XlApp xlApp;
    xlApp.DisplayAlerts = false;
    EXPECT_XLS_ERROR(xlApp.cells(19, 2), "");  // nothing open yet
    XlBook& xlBook = xlApp.Application().Workbooks().Open(path);
    EXPECT_EQ(xlApp.cells(19, 2).Value(), CellValue::ofNumber(41));
    EXPECT_EQ(xlApp.cells(37, 36).Value(), CellValue::ofNumber(1));
    xlApp.cells(19, 2).setValue(42);
    xlApp.range("J42:AH42").setValue("");
    xlApp.cells(42, 12).setValue(1);
    xlApp.cells(42, 27).setValue("C");
    xlApp.range("B2:D13").Interior().setColorIndex(2);
    xlApp.range("C2:D13").setValue("");
    xlApp.range("B4:D4").Interior().setColorIndex(35);
    xlApp.cells(4, 4).setValue("Challenger");
    xlApp.rows("2:13").setRowheight(16.5);
    xlApp.rows(14).setRowheight(0);
    xlBook.saveas(path);
    xlBook.Close();
    EXPECT_XLS_ERROR(xlApp.cells(19, 2).Value(), "");  // closed

    XlBook& again = xlApp.Application().Workbooks().Open(path);
    EXPECT_EQ(xlApp.cells(19, 2).Value(), CellValue::ofNumber(42));
    EXPECT_EQ(xlApp.cells(42, 12).Value(), CellValue::ofNumber(1));
    EXPECT_EQ(xlApp.cells(42, 27).Value(), CellValue::ofText("C"));
    EXPECT_EQ(xlApp.cells(4, 4).Value(), CellValue::ofText("Challenger"));
    int white = 0, green = 0, hidden = 0, custom = 0;
    const auto shown = again.workbook().shown(again.workbook().activeSheet());
    for (const auto& cell : shown.cells) white += cell.fillColorIndex == 2, green += cell.fillColorIndex == 35;
    for (const auto& row : shown.rows)
        hidden += row.hidden, custom += row.customHeight && row.heightTwips == 330 && !row.hidden;
    EXPECT_EQ((std::array{white, green, hidden, custom}), (std::array{33, 3, 1, 12}));
    again.Close();

    xlApp.Application().Workbooks().Open(path);
    EXPECT_XLS_ERROR(xlApp.Application().Workbooks().Open(folder / "missing.xls"), "missing.xls");
    EXPECT_XLS_ERROR(xlApp.cells(1, 1), "");
    EXPECT_XLS_ERROR(xlApp.cells(0, 1), "");
}

}  // namespace
}  // namespace pellix
