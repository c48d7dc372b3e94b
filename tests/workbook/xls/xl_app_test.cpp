// The stand-in for the spreadsheet application: addresses as the score routines write them and
// one operation frame (open, write, colour, heights, save, close) on a real file.

#include "biff_builder.h"

#include "workbook/xl_app.h"
#include "workbook/xls/cell_text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace pellix {
namespace {

namespace fs = std::filesystem;
using xls::testing::BookSpec;
using xls::testing::buildFile;
using xls::testing::rkCell;

TEST(Addresses, RangeTextsReadAsTheirBlocks)
{
    struct Case {
        const char* text;
        CellBlock block;
    };
    for (const Case& c : {Case{"B2:D13", {2, 2, 13, 4}}, Case{"J41:AH41", {41, 10, 41, 34}}, Case{"b19", {19, 2, 19, 2}},
                          Case{"C2:D13", {2, 3, 13, 4}}, Case{"IV65536", {65536, 256, 65536, 256}},
                          Case{"D13:B2", {2, 2, 13, 4}}}) {
        SCOPED_TRACE(c.text);
        const CellBlock block = parseRangeAddress(c.text);
        EXPECT_EQ(block.firstRow, c.block.firstRow);
        EXPECT_EQ(block.firstColumn, c.block.firstColumn);
        EXPECT_EQ(block.lastRow, c.block.lastRow);
        EXPECT_EQ(block.lastColumn, c.block.lastColumn);
    }
    for (const char* bad : {"", "B", "19", "B0", "IW1", "B2:", "B2 :D13", "B2:D13:E1", "A65537", "B-2"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(parseRangeAddress(bad), XlsError);
    }
}

TEST(Addresses, RowTextsAndColumnLetters)
{
    EXPECT_EQ(parseRowsAddress("2:13"), std::pair(2, 13));
    EXPECT_EQ(parseRowsAddress("2:14"), std::pair(2, 14));
    EXPECT_EQ(parseRowsAddress("14"), std::pair(14, 14));
    for (const char* bad : {"", "0", "2:", ":3", "a:b", "65537"})
        EXPECT_THROW(parseRowsAddress(bad), XlsError) << bad;
    EXPECT_EQ(xls::columnName(0), "A");
    EXPECT_EQ(xls::columnName(25), "Z");
    EXPECT_EQ(xls::columnName(26), "AA");
    EXPECT_EQ(xls::columnName(33), "AH");
    EXPECT_EQ(xls::columnName(46), "AU");
    EXPECT_EQ(xls::columnName(255), "IV");
}

class XlAppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        path_ = fs::temp_directory_path() / ("pellix-xlapp-" + std::to_string(::getpid())) / "data.xls";
        fs::create_directories(path_.parent_path());
        BookSpec book;
        book.sheets[0].cells = {rkCell(18, 1, 15, 41u << 2 | 2u), rkCell(36, 35, 15, 1u << 2 | 2u)};
        const auto bytes = buildFile(book);
        std::ofstream(path_, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    void TearDown() override { fs::remove_all(path_.parent_path()); }
    fs::path path_;
};

TEST_F(XlAppTest, OneOperationFrameWritesReadsAndSaves)
{
    XlApp xlApp;
    xlApp.DisplayAlerts = false;
    EXPECT_THROW(xlApp.cells(19, 2), XlsError);  // nothing open yet
    XlBook& xlBook = xlApp.Application().Workbooks().Open(path_);
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
    xlBook.saveas(path_);
    xlBook.Close();
    EXPECT_THROW(xlApp.cells(19, 2).Value(), XlsError);  // closed

    XlBook& again = xlApp.Application().Workbooks().Open(path_);
    EXPECT_EQ(xlApp.cells(19, 2).Value(), CellValue::ofNumber(42));
    EXPECT_EQ(xlApp.cells(42, 12).Value(), CellValue::ofNumber(1));
    EXPECT_EQ(xlApp.cells(42, 27).Value(), CellValue::ofText("C"));
    EXPECT_EQ(xlApp.cells(4, 4).Value(), CellValue::ofText("Challenger"));
    const auto shown = again.workbook().shown(again.workbook().activeSheet());
    int white = 0, green = 0;
    for (const auto& cell : shown.cells) {
        white += cell.fillColorIndex == 2;
        green += cell.fillColorIndex == 35;
    }
    EXPECT_EQ(green, 3);
    EXPECT_EQ(white, 33);
    int hidden = 0, custom = 0;
    for (const auto& row : shown.rows) {
        hidden += row.hidden;
        custom += row.customHeight && row.heightTwips == 330 && !row.hidden;
    }
    EXPECT_EQ(hidden, 1);
    EXPECT_EQ(custom, 12);
    again.Close();
}

TEST_F(XlAppTest, AFailedOpenLeavesNoWorkbookOpen)
{
    XlApp xlApp;
    xlApp.Application().Workbooks().Open(path_);
    EXPECT_THROW(xlApp.Application().Workbooks().Open(path_.parent_path() / "missing.xls"), XlsError);
    EXPECT_THROW(xlApp.cells(1, 1), XlsError);
    EXPECT_THROW(xlApp.cells(0, 1), XlsError);
}

}  // namespace
}  // namespace pellix
