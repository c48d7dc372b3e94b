// The window's parts on their own: the sheet view, the input flush, the timers and the sounds.

#include "shell/input_flush.h"
#include "shell/sheet_view.h"
#include "shell/vb_timer.h"
#include "test_support.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QtTest/qtestspontaneevent.h>

namespace pellix {
namespace {

using testing::ProgramFolder;

xls::CellShown cell(int row, int column, xls::CellValue value, int fill = -1, std::uint32_t rgb = 0) {
    xls::CellShown shown;
    shown.row = row;
    shown.column = column;
    shown.value = std::move(value);
    shown.fillColorIndex = fill;
    shown.fillRgb = rgb;
    return shown;
}

// Values, fills, sizes and hidden rows and columns the way a spreadsheet shows them; a text wider
// than its cell runs on over empty neighbours and stops at one with a value.
TEST(SheetView, ShowsTheSheetTheWayASpreadsheetDoes) {
    const std::string wide(40, 'W');
    xls::SheetShown sheet;
    sheet.cells = {cell(1, 1, xls::CellValue::ofText("佐藤"), 35, 0xCCFFCC), cell(1, 3, xls::CellValue::ofText(wide)),
                   cell(4, 0, xls::CellValue::ofText(wide)),   cell(4, 2, xls::CellValue::ofNumber(7)),
                   cell(18, 2, xls::CellValue::ofNumber(0.1 + 0.2)), cell(20, 4, xls::CellValue::ofBoolean(true)),
                   cell(20, 5, xls::CellValue::ofError(0x2A)), cell(2099, 33, xls::CellValue::ofNumber(1e20))};
    sheet.rows = {{1, 330, true, false}, {2, 0, true, true}, {3, 330, true, true}};
    sheet.columns = {{2, 2, 256 * 20, false}, {6, 7, 256 * 3, true}};
    sheet.defaultRowHeightTwips = 255;
    sheet.defaultColumnWidth = 8;
    SheetView view;
    view.showSheet(sheet);
    const SheetModel& model = view.sheetModel();
    const auto shown = [&](int row, int column, int role = Qt::DisplayRole) { return model.data(model.index(row, column), role); };

    EXPECT_EQ(shown(18, 2).toString(), QStringLiteral("0.3"));
    EXPECT_EQ(shown(20, 4).toString(), QStringLiteral("TRUE"));
    EXPECT_EQ(shown(20, 5).toString(), QStringLiteral("#N/A"));
    EXPECT_EQ(shown(2099, 33).toString(), QStringLiteral("1e+20"));
    EXPECT_EQ(shown(1, 1, Qt::BackgroundRole).value<QBrush>().color(), QColor(0xCC, 0xFF, 0xCC));
    EXPECT_FALSE(shown(1, 3, Qt::BackgroundRole).isValid());
    EXPECT_TRUE(shown(18, 2, Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
    EXPECT_TRUE(shown(1, 1, Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignLeft);
    EXPECT_GT(model.rowCount(), 2099);
    EXPECT_GT(model.columnCount(), 33);
    EXPECT_EQ(model.headerData(33, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("AH"));
    EXPECT_EQ(model.headerData(40, Qt::Vertical, Qt::DisplayRole).toString(), QStringLiteral("41"));
    EXPECT_EQ(view.rowHeight(1), view.rowHeightPixels(330));
    EXPECT_EQ(view.rowHeight(0), view.rowHeightPixels(255));
    EXPECT_TRUE(view.isRowHidden(2) && view.isRowHidden(3) && view.isColumnHidden(6) && view.isColumnHidden(7));
    EXPECT_FALSE(view.isRowHidden(4) || view.isColumnHidden(5));
    EXPECT_EQ(view.columnWidth(2), view.columnWidthPixels(256 * 20));
    EXPECT_GT(view.columnWidth(2), view.columnWidth(1) * 2);
    EXPECT_GT(view.columnSpan(1, 3), 1);
    EXPECT_EQ(view.columnSpan(4, 0), 2);
    EXPECT_EQ(view.columnSpan(1, 1), 1);

    // A sheet with nothing hidden shows every row and column again.
    view.showSheet({});
    EXPECT_FALSE(view.isRowHidden(2) || view.isColumnHidden(6));
}

// The first link shows the top-left; a re-read keeps where the scorer scrolled to, the row just
// written can be brought into view, and a file that cannot be read keeps what was shown.
TEST(SheetView, TheLinkedFileIsReadAgainWhereItWas) {
    ProgramFolder folder;
    testing::writeFile(folder / "broken.xls", std::string(4096, 'x'));
    SheetView view;
    view.resize(1000, 300);
    view.show();
    view.CreateLink(folder.dataPath());
    EXPECT_EQ(view.sheetModel().data(view.sheetModel().index(21, 2), Qt::DisplayRole).toString(), QStringLiteral("p01.gif"));
    view.scrollTo(view.sheetModel().index(25, 3), QAbstractItemView::PositionAtTop);
    const int top = view.rowAt(0);
    const int left = view.columnAt(0);
    ASSERT_GT(top, 0);
    view.CreateLink(folder.dataPath());
    EXPECT_EQ(view.rowAt(0), top);
    EXPECT_EQ(view.columnAt(0), left);
    view.bringRowIntoView(3);
    EXPECT_EQ(view.rowAt(0), 2);
    EXPECT_EQ(view.columnAt(0), left);
    EXPECT_THROW(view.CreateLink(folder / "broken.xls"), xls::XlsError);
    EXPECT_EQ(view.rowAt(0), 2);
    EXPECT_EQ(view.sheetModel().data(view.sheetModel().index(21, 2), Qt::DisplayRole).toString(), QStringLiteral("p01.gif"));
}

struct InputTarget : QObject {
    int inputs = 0;
    bool event(QEvent* event) override {
        inputs += dynamic_cast<QInputEvent*>(event) != nullptr;
        return true;
    }
    // Delivered as the window system delivers input: spontaneous and stamped.
    void deliver(QInputEvent&& event, quint64 stamp, bool spontaneous = true) {
        event.setTimestamp(stamp);
        if (spontaneous) QSpontaneKeyEvent::setSpontaneous(&event);
        QApplication::instance()->notify(this, &event);
    }
    void press(quint64 stamp, bool spontaneous = true) {
        deliver(QMouseEvent(QEvent::MouseButtonPress, QPointF(), QPointF(), Qt::LeftButton, Qt::LeftButton, {}), stamp,
                spontaneous);
    }
};

// Input stamped up to the moment of the flush was queued before it and is dropped; later input and
// the program's own events get through. Without a clock the moment is the latest input seen.
TEST(InputFlush, DropsTheInputQueuedBeforeIt) {
    InputTarget target;
    quint64 now = 1000;
    InputFlush clocked{[&now] { return now; }};
    target.press(900);
    clocked.flush();
    target.press(950);
    target.deliver(QKeyEvent(QEvent::KeyPress, Qt::Key_A, {}), 990);
    target.deliver(QWheelEvent({}, {}, {}, {0, 120}, {}, {}, Qt::NoScrollPhase, false), 1000);
    target.press(10, false);
    EXPECT_EQ(target.inputs, 2);
    target.press(1001);
    target.press(1000);
    EXPECT_EQ(target.inputs, 4);
    EXPECT_FALSE(clocked.armed());

    InputFlush latest;
    target.press(5000);
    latest.flush();
    target.press(4999);
    target.press(5000);
    target.press(5001);
    EXPECT_EQ(target.inputs, 6);
}

TEST(VbTimer, ZeroStopsItAndAnyOtherIntervalStartsIt) {
    VbTimer timer;
    QSignalSpy ticks(&timer, &VbTimer::Timer);
    QTest::qWait(30);
    EXPECT_EQ(ticks.count(), 0);
    timer.setInterval(5);
    EXPECT_EQ(timer.Interval(), 5);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks.count() >= 3; }, 5000));
    timer.setInterval(0);
    const int stoppedAt = ticks.count();
    QTest::qWait(30);
    EXPECT_EQ(ticks.count(), stoppedAt);
}

TEST(SoundPlayer, PlaysWithoutWaitingAndSilentlyWhenThereIsNothingToPlay) {
    ProgramFolder folder;
    testing::writeFile(folder / "sound" / "garbage.wav", "RIFF but not really");
    SoundPlayer player;
    ::testing::internal::CaptureStderr();
    QElapsedTimer clock;
    clock.start();
    for (const char* name : {"missing.wav", "garbage.wav", "きん.wav", "きん.wav"}) player.play(folder / "sound" / name);
    QTest::qWait(200);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_LT(clock.elapsed(), 5000);
}

}  // namespace
}  // namespace pellix
