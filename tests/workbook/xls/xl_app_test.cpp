// The stand-in for the spreadsheet application: addresses as the score routines write them and
// one operation frame on a real file, whose edits the score routines' tests check in detail.

#include "kit.h"

#include "workbook/xl_app.h"

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

TEST(XlApp, OneOperationFrameWritesAndSavesAndNothingIsOpenBeforeAfterOrAfterAFailedOpen) {
    const testing::ScratchFolder folder;
    const auto path = folder / "data.xls";
    xls::testing::BookPlan book;
    book.sheets[0].cells = {xls::testing::rk(18, 1, 41), xls::testing::rk(36, 35, 1)};
    testing::writeFile(path, xls::testing::buildFile(book));
    XlApp xlApp;
    EXPECT_XLS_ERROR(xlApp.cells(19, 2), "");  // nothing open yet
    XlBook& xlBook = xlApp.Application().Workbooks().Open(path);
    EXPECT_EQ(xlApp.cells(37, 36).Value(), CellValue::ofNumber(1));
    xlApp.cells(19, 2).setValue(42);
    xlApp.range("B2:D13").Interior().setColorIndex(35);
    xlApp.rows(14).setRowheight(0);
    xlBook.saveas(path);
    xlBook.Close();
    EXPECT_XLS_ERROR(xlApp.cells(19, 2).Value(), "");  // closed
    const auto saved = xls::Workbook::open(path);
    EXPECT_EQ(saved.cell(0, 18, 1), CellValue::ofNumber(42));
    EXPECT_EQ(saved.shown(0).cells.size(), 38u);  // B2:D13 filled, B19 and AJ37
    for (const auto& cell : saved.shown(0).cells) EXPECT_EQ(cell.fillColorIndex, cell.row < 13 ? 35 : -1);
    for (const auto& row : saved.shown(0).rows) EXPECT_EQ(row.hidden, row.row == 13) << row.row;

    xlApp.Application().Workbooks().Open(path);
    EXPECT_XLS_ERROR(xlApp.Application().Workbooks().Open(folder / "missing.xls"), "missing.xls");
    EXPECT_XLS_ERROR(xlApp.cells(1, 1), "");
    EXPECT_XLS_ERROR(xlApp.cells(0, 1), "");
}

}  // namespace
}  // namespace pellix
