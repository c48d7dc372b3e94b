// The window's parts on their own: the sheet view.

#include "test_support.h"

#include <QScrollBar>

namespace pellix {
namespace {

using testing::ProgramFolder;

// Values, fills, sizes and hidden rows and columns the way a spreadsheet shows them; a text wider
// than its cell runs on over empty neighbours and stops at one with a value.
TEST(SheetView, ShowsTheSheetTheWayASpreadsheetDoes) {
    const std::string wide(40, 'W');
    xls::SheetShown sheet;
    sheet.cells = {{1, 1, CellValue::ofText("佐藤"), false, 35, 0xCCFFCC},
                   {1, 3, CellValue::ofText(wide)},
                   {4, 0, CellValue::ofText(wide)},
                   {4, 2, CellValue::ofNumber(7)},
                   {2099, 33, CellValue::ofNumber(1e20)}};
    sheet.rows = {{1, 330, true, false}, {2, 0, true, true}, {3, 330, true, true}};
    sheet.columns = {{2, 2, 256 * 20, false}, {6, 7, 256 * 3, true}};
    SheetView view;
    view.showSheet(sheet);
    const SheetModel& model = view.sheetModel();
    const auto shown = [&](int row, int column, int role = Qt::DisplayRole) {
        return model.data(model.index(row, column), role);
    };

    EXPECT_EQ(shown(2099, 33).toString(), QStringLiteral("1e+20"));  // a number shown as a spreadsheet shows it
    EXPECT_EQ(shown(1, 1, Qt::BackgroundRole).value<QBrush>().color(), QColor(0xCC, 0xFF, 0xCC));
    EXPECT_FALSE(shown(1, 3, Qt::BackgroundRole).isValid());
    EXPECT_TRUE(shown(4, 2, Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
    EXPECT_EQ(view.rowHeight(1), view.rowHeightPixels(330));
    EXPECT_EQ(view.rowHeight(0), view.rowHeightPixels(255));
    EXPECT_TRUE(view.isRowHidden(2) && view.isRowHidden(3) && view.isColumnHidden(6) && view.isColumnHidden(7));
    EXPECT_FALSE(view.isRowHidden(4) || view.isColumnHidden(5));
    EXPECT_EQ(view.columnWidth(2), view.columnWidthPixels(256 * 20));
    EXPECT_GT(view.columnSpan(1, 3), 1);
    EXPECT_EQ(view.columnSpan(4, 0), 2);
    EXPECT_EQ(view.columnSpan(1, 1), 1);
}

// The first link shows the top-left; a turn row brought into view shows beneath rows 1 to 13,
// which stay where they are; a re-read keeps where the scorer scrolled to, and a file that cannot
// be read keeps what was shown. A view too short for the standings and two rows shows the
// standings instead.
TEST(SheetView, TheStandingsStayInViewAboveTheTurnRows) {
    ProgramFolder folder;
    testing::writeFile(folder / "broken.xls", std::string(4096, 'x'));
    SheetView view;
    view.resize(1000, 500);
    view.show();
    view.CreateLink(folder.dataPath());
    const auto* kept = view.findChild<QTableView*>(QStringLiteral("keptRows"));
    ASSERT_TRUE(kept);
    EXPECT_FALSE(kept->isVisible());  // at the top the rows are seen where they are
    view.scrollTo(view.sheetModel().index(5, 30));
    const int left = view.horizontalScrollBar()->value();
    const QImage atTop = view.grab().toImage();
    view.bringRowIntoView(90);

    ASSERT_TRUE(kept->isVisible());
    // Drawn as the rows were at the top, and nothing of the rows beneath shows through.
    EXPECT_EQ(view.grab().toImage().copy(kept->geometry()), atTop.copy(kept->geometry()));
    const QRect turn = view.visualRect(view.sheetModel().index(89, 1));
    EXPECT_EQ(kept->geometry().top(), view.viewport()->y());
    EXPECT_EQ(kept->rowAt(0), 0);
    EXPECT_EQ(kept->rowViewportPosition(12) + kept->rowHeight(12), kept->height());
    EXPECT_GE(turn.top(), kept->height());
    EXPECT_LE(turn.bottom(), view.viewport()->height());
    EXPECT_EQ(kept->horizontalScrollBar()->value(), left);

    view.CreateLink(folder.dataPath());
    EXPECT_THROW(view.CreateLink(folder / "broken.xls"), xls::XlsError);
    EXPECT_EQ(view.visualRect(view.sheetModel().index(89, 1)), turn);
    EXPECT_EQ(view.horizontalScrollBar()->value(), left);
    EXPECT_EQ(view.sheetModel().data(view.sheetModel().index(21, 2), Qt::DisplayRole), QStringLiteral("p01.gif"));

    view.resize(1000, 300);
    view.bringRowIntoView(90);
    EXPECT_EQ(view.rowAt(0), 0);
    EXPECT_FALSE(kept->isVisible());
}

}  // namespace
}  // namespace pellix
