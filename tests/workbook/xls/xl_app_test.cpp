// The stand-in for the spreadsheet application: the open workbook its cells act on. The addresses
// the score routines write, and what their cells, fills and heights come to, are read in the score
// routines' tests on the sample workbook.

#include "kit.h"

#include "workbook/xl_app.h"

namespace pellix {
namespace {

TEST(XlApp, CellsNeedAnOpenWorkbookAndAFailedOpenLeavesNoneOpen) {
    const testing::ScratchFolder folder;
    testing::writeFile(folder / "data.xls", xls::testing::buildFile({}));
    XlApp xlApp;
    EXPECT_XLS_ERROR(xlApp.cells(1, 1), "");  // nothing open yet
    xlApp.Application().Workbooks().Open(folder / "data.xls").Close();
    EXPECT_XLS_ERROR(xlApp.cells(19, 2).Value(), "");  // closed
    xlApp.Application().Workbooks().Open(folder / "data.xls");
    EXPECT_EQ(xlApp.cells(19, 2).Value(), CellValue());
    EXPECT_XLS_ERROR(xlApp.cells(0, 1), "");
    EXPECT_XLS_ERROR(xlApp.Application().Workbooks().Open(folder / "missing.xls"), "missing.xls");
    EXPECT_XLS_ERROR(xlApp.cells(1, 1), "");
}

}  // namespace
}  // namespace pellix
