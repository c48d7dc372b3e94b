// The window's parts on their own: the titles banner, the sheet view, the timers, the input flush,
// the sound player and the drag-and-drop wiring of tokens and court areas.

#include "test_support.h"

#include "shell/court_area.h"
#include "shell/input_flush.h"
#include "shell/sheet_view.h"
#include "shell/token_widget.h"
#include "shell/vb_timer.h"
#include "workbook/score_routines.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QtTest/qtestspontaneevent.h>

#include <gtest/gtest.h>

namespace pellix {
namespace {

namespace fs = std::filesystem;
using testing::ProgramFolder;
using testing::RecordingForm;

// ---- The titles banner ----

TEST(TitlesBanner, IsOneLineOf130CharactersInTheseExactPieces) {
    const QString banner = QString::fromUtf8(kTitlesBanner);
    EXPECT_EQ(banner.toUcs4().size(), 130);

    const QString ideographic(QChar(0x3000));
    const auto spaces = [](int n) { return QString(n, QLatin1Char(' ')); };
    const auto wide = [&](int n) { return ideographic.repeated(n); };
    const QString pieces[] = {
        spaces(13),
        QStringLiteral("\uFF1C各種称号\uFF1E"),
        wide(1),
        QStringLiteral("QVN System 最強タッグ(side win)"),
        wide(1) + spaces(2) + wide(3),
        QStringLiteral("最多勝利選手(win)"),
        wide(1) + spaces(1) + wide(2) + spaces(3) + wide(1),
        QStringLiteral("最多カモン回数(kill)"),
        wide(2) + spaces(5) + wide(1),
        QStringLiteral("最長生存記録(max)"),
        wide(2) + spaces(7),
        QStringLiteral("スペランカー(miss + die)"),
    };
    qsizetype at = 0;
    for (const QString& piece : pieces) {
        EXPECT_EQ(banner.mid(at, piece.size()), piece) << "at character " << at;
        at += piece.size();
    }
    EXPECT_EQ(at, banner.size());
}

// ---- The sheet view ----

xls::CellShown cell(int row, int column, xls::CellValue value, int fill = -1, std::uint32_t rgb = 0) {
    xls::CellShown shown;
    shown.row = row;
    shown.column = column;
    shown.value = std::move(value);
    shown.fillColorIndex = fill;
    shown.fillRgb = rgb;
    return shown;
}

TEST(SheetView, ShowsValuesColoursAndSizesTheWayASpreadsheetDoes) {
    xls::SheetShown sheet;
    sheet.name = "記録用紙";
    sheet.cells = {cell(1, 1, xls::CellValue::ofText("佐藤"), 35, 0xCCFFCC), cell(1, 3, xls::CellValue::ofText("3連勝中")),
                   cell(18, 1, xls::CellValue::ofNumber(7)), cell(18, 2, xls::CellValue::ofNumber(16.5)),
                   cell(20, 4, xls::CellValue::ofBoolean(true)), cell(20, 5, xls::CellValue::ofError(0x2A)),
                   cell(2099, 33, xls::CellValue::ofText("C"))};
    sheet.rows = {{1, 330, true, false}, {2, 0, true, true}, {3, 330, true, true}};
    sheet.columns = {{2, 2, 256 * 20, false}, {4, 5, 256 * 3, true}};
    sheet.defaultRowHeightTwips = 255;
    sheet.defaultColumnWidth = 8;

    SheetView view;
    view.showSheet(sheet);
    const SheetModel& model = view.sheetModel();
    const auto shown = [&](int row, int column) { return model.data(model.index(row, column), Qt::DisplayRole).toString(); };

    EXPECT_EQ(shown(18, 1), QStringLiteral("7"));
    EXPECT_EQ(shown(18, 2), QStringLiteral("16.5"));
    EXPECT_EQ(shown(1, 3), QStringLiteral("3連勝中"));
    EXPECT_EQ(shown(20, 4), QStringLiteral("TRUE"));
    EXPECT_EQ(shown(20, 5), QStringLiteral("#N/A"));
    EXPECT_EQ(shown(2099, 33), QStringLiteral("C"));
    EXPECT_EQ(shown(0, 0), QString());
    EXPECT_EQ(model.data(model.index(1, 1), Qt::BackgroundRole).value<QBrush>().color(), QColor(0xCC, 0xFF, 0xCC));
    EXPECT_FALSE(model.data(model.index(1, 3), Qt::BackgroundRole).isValid());
    EXPECT_TRUE(model.data(model.index(18, 1), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);

    // Every used row and column is there, with A..Z and 1.. as headings.
    EXPECT_GT(model.rowCount(), 2099);
    EXPECT_GT(model.columnCount(), 33);
    EXPECT_EQ(model.headerData(26, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("AA"));
    EXPECT_EQ(model.headerData(33, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("AH"));
    EXPECT_EQ(model.headerData(40, Qt::Vertical, Qt::DisplayRole).toString(), QStringLiteral("41"));

    // Row 2 (index 1) is 16.5 points, hidden rows (height 0 or marked hidden) are not shown.
    EXPECT_EQ(view.rowHeight(1), view.rowHeightPixels(330));
    EXPECT_EQ(view.rowHeight(0), view.rowHeightPixels(255));
    EXPECT_TRUE(view.isRowHidden(2));
    EXPECT_TRUE(view.isRowHidden(3));
    EXPECT_FALSE(view.isRowHidden(4));
    EXPECT_EQ(view.columnWidth(2), view.columnWidthPixels(256 * 20));
    EXPECT_GT(view.columnWidth(2), view.columnWidth(1) * 2);
    EXPECT_TRUE(view.isColumnHidden(4));
    EXPECT_TRUE(view.isColumnHidden(5));

    // A second sheet with nothing hidden shows every row and column again.
    xls::SheetShown plain;
    plain.cells = {cell(0, 0, xls::CellValue::ofNumber(1))};
    view.showSheet(plain);
    EXPECT_FALSE(view.isRowHidden(2));
    EXPECT_FALSE(view.isColumnHidden(4));
    EXPECT_EQ(view.rowHeight(1), view.rowHeightPixels(255));
}

TEST(SheetView, NumbersShowWithoutANeedlessFraction) {
    const struct {
        double number;
        const char* shown;
    } cases[] = {{0, "0"}, {7, "7"}, {-3, "-3"}, {16.5, "16.5"}, {2060, "2060"}, {0.1 + 0.2, "0.3"}, {1e20, "1e+20"}};
    for (const auto& c : cases) EXPECT_EQ(shownValue(xls::CellValue::ofNumber(c.number)), QString::fromLatin1(c.shown));
}

TEST(SheetView, ALinkThatFailsKeepsWhatWasShown) {
    xls::SheetShown sheet;
    sheet.cells = {cell(0, 0, xls::CellValue::ofText("kept"))};
    SheetView view;
    view.showSheet(sheet);
    ProgramFolder folder;
    folder.write("broken.xls", std::string(4096, 'x'));

    EXPECT_THROW(view.CreateLink(folder.path() / "missing.xls"), xls::XlsError);
    EXPECT_THROW(view.CreateLink(folder.path() / "broken.xls"), xls::XlsError);
    EXPECT_EQ(view.sheetModel().data(view.sheetModel().index(0, 0), Qt::DisplayRole).toString(), QStringLiteral("kept"));
}

// The first link shows the top-left; a re-read keeps where the scorer scrolled to, and the row
// just written can be brought into view.
TEST(SheetView, TheLinkedFileIsShownFromItsTopLeftAndReadAgainWhereItWas) {
    ProgramFolder folder;
    if (!folder.hasWorkbook()) GTEST_SKIP() << "no sample workbook";
    SheetView view;
    view.resize(1000, 300);
    view.show();
    view.CreateLink(folder.dataPath());
    EXPECT_EQ(view.sheetModel().data(view.sheetModel().index(21, 2), Qt::DisplayRole).toString(), QStringLiteral("p01.gif"));
    EXPECT_EQ(view.rowAt(0), 0);
    EXPECT_EQ(view.columnAt(0), 0);

    view.scrollTo(view.sheetModel().index(25, 0), QAbstractItemView::PositionAtTop);
    const int top = view.rowAt(0);
    ASSERT_GT(top, 0);
    view.CreateLink(folder.dataPath());
    EXPECT_EQ(view.rowAt(0), top);
    view.bringRowIntoView(3);
    EXPECT_EQ(view.rowAt(0), 2);
}

// A text wider than its cell runs on over empty neighbours, and stops at one with a value.
TEST(SheetView, LongTextsSpillIntoEmptyCellsToTheirRight) {
    xls::SheetShown sheet;
    const std::string longText(40, 'W');
    sheet.cells = {cell(0, 0, xls::CellValue::ofText(longText)), cell(1, 0, xls::CellValue::ofText(longText)),
                   cell(1, 2, xls::CellValue::ofNumber(7)), cell(2, 0, xls::CellValue::ofText("short"))};
    SheetView view;
    view.showSheet(sheet);
    EXPECT_GT(view.columnSpan(0, 0), 2);
    EXPECT_EQ(view.columnSpan(1, 0), 2);
    EXPECT_EQ(view.columnSpan(2, 0), 1);
}

// ---- The timers ----

TEST(VbTimer, ZeroStopsAndAnyOtherIntervalStartsItAgain) {
    VbTimer timer;
    QSignalSpy ticks(&timer, &VbTimer::Timer);
    EXPECT_EQ(timer.Interval(), 0);
    QTest::qWait(30);
    EXPECT_EQ(ticks.count(), 0);

    timer.setInterval(5);
    EXPECT_EQ(timer.Interval(), 5);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks.count() >= 3; }, 5000));  // it keeps firing

    timer.setInterval(0);
    const int stoppedAt = ticks.count();
    QTest::qWait(30);
    EXPECT_EQ(ticks.count(), stoppedAt);
}

// ---- The input flush ----

class InputFlushTest : public ::testing::Test {
protected:
    QWidget target;
    int presses = 0;
    int keys = 0;
    int wheels = 0;
    quint64 moment = 1000;
    InputFlush flush{[this] { return moment; }};

    struct Counter : QObject {
        InputFlushTest& test;
        explicit Counter(InputFlushTest& t) : test(t) {}
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::MouseButtonPress) ++test.presses;
            if (event->type() == QEvent::KeyPress) ++test.keys;
            if (event->type() == QEvent::Wheel) ++test.wheels;
            return false;
        }
    } counter{*this};

    void SetUp() override { target.installEventFilter(&counter); }

    // Input as the window system delivers it: spontaneous and stamped.
    void press(quint64 stamp) {
        QMouseEvent event(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        deliver(event, stamp);
    }
    void key(quint64 stamp) {
        QKeyEvent event(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        deliver(event, stamp);
    }
    void wheel(quint64 stamp) {
        QWheelEvent event(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        deliver(event, stamp);
    }
    void deliver(QInputEvent& event, quint64 stamp) {
        event.setTimestamp(stamp);
        QSpontaneKeyEvent::setSpontaneous(&event);
        QApplication::instance()->notify(&target, &event);  // as the window system delivers it
    }
};

TEST_F(InputFlushTest, InputStampedUpToTheFlushIsDroppedAndLaterInputGetsThrough) {
    press(900);
    EXPECT_EQ(presses, 1);  // nothing is dropped before a flush

    flush.flush();
    press(950);
    key(990);
    wheel(1000);
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(keys, 0);
    EXPECT_EQ(wheels, 0);

    press(1001);
    key(1002);
    EXPECT_EQ(presses, 2);
    EXPECT_EQ(keys, 1);
    EXPECT_FALSE(flush.armed());
}

TEST_F(InputFlushTest, InputMadeByTheProgramItselfIsNeverDropped) {
    flush.flush();
    QMouseEvent event(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    event.setTimestamp(10);
    QApplication::sendEvent(&target, &event);  // not spontaneous
    EXPECT_EQ(presses, 1);
}

TEST(InputFlush, WithoutAClockTheFlushMomentIsTheLatestInputSeen) {
    QWidget target;
    InputFlush flush;
    int releases = 0;
    struct Counter : QObject {
        int& count;
        explicit Counter(int& c) : count(c) {}
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::MouseButtonRelease) ++count;
            return false;
        }
    } counter{releases};
    target.installEventFilter(&counter);
    const auto release = [&](quint64 stamp) {
        QMouseEvent event(QEvent::MouseButtonRelease, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton, Qt::NoButton,
                          Qt::NoModifier);
        event.setTimestamp(stamp);
        QSpontaneKeyEvent::setSpontaneous(&event);
        QApplication::instance()->notify(&target, &event);  // as the window system delivers it
    };
    release(5000);  // the release whose handler asks for the flush
    flush.flush();
    release(4999);  // queued before it
    release(5000);
    release(5001);  // made afterwards
    EXPECT_EQ(releases, 2);
}

// ---- Sounds ----

TEST(SoundPlayer, PlaysWithoutWaitingAndSilentlyWhenThereIsNothingToPlay) {
    ProgramFolder folder;
    folder.write("sound/garbage.wav", "RIFF but not really");
    SoundPlayer player;
    ::testing::internal::CaptureStderr();
    QElapsedTimer clock;
    clock.start();
    player.play(folder.path() / "sound" / "missing.wav");
    player.play(folder.path() / "sound" / "garbage.wav");
    if (fs::exists(folder.path() / "sound" / "きん.wav")) {
        player.play(folder.path() / "sound" / "きん.wav");
        player.play(folder.path() / "sound" / "きん.wav");
    }
    QTest::qWait(200);
    const std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(printed, "");
    EXPECT_LT(clock.elapsed(), 5000);
}

// ---- The pointer on the tokens ----
// Tokens are moved by the window itself: press, moves, release, all delivered to the pressed
// token (as the pointer grab does), with the target found under the pointer.

class Pointer : public ::testing::Test {
protected:
    ProgramFolder folder;
    RecordingForm form{folder.path()};

    void SetUp() override {
        form.show();
        form.Form_Load();
    }

    static QPoint centre(const QWidget* widget) { return widget->mapToGlobal(widget->rect().center()); }
    static void send(QWidget* widget, QEvent::Type type, QPoint global, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(widget->mapFromGlobal(global)), QPointF(global), button, held, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }
    // Press on token `token`, move in steps to `to`, release there.
    void drag(int token, QPoint to) {
        QWidget* pressed = form.picUser[token];
        const QPoint from = centre(pressed);
        send(pressed, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        for (int step = 1; step <= 8; ++step)
            send(pressed, QEvent::MouseMove, from + (to - from) * step / 8, Qt::NoButton, Qt::LeftButton);
        send(pressed, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    }
    void tap(int token) {
        const QPoint at = centre(form.picUser[token]);
        send(form.picUser[token], QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
        send(form.picUser[token], QEvent::MouseButtonRelease, at + QPoint(1, 0), Qt::LeftButton, Qt::NoButton);
    }
    void fillCourt() {
        for (int k = 1; k <= 4; ++k) drag(k, centre(form.picUser[20 + k]));
        ASSERT_TRUE(form.cmdSave->isEnabled());
    }
    CellValue cell(int row, int column) {
        XlApp reader;
        reader.Application().Workbooks().Open(folder.dataPath());
        return reader.cells(row, column).Value();
    }
};

TEST_F(Pointer, DraggedTokensLandOnTokensAndOnCourtAreas) {
    drag(5, centre(form.picUser[21]));
    EXPECT_EQ(form.board.CourtSlot[1], 5);
    EXPECT_EQ(form.picUser[5]->geometry().topLeft(), QPoint(form.twipsToPixels(720), form.twipsToPixels(240)));
    EXPECT_EQ(form.picUser[21]->geometry().topLeft(), QPoint(form.twipsToPixels(6840), form.twipsToPixels(4080)));
    EXPECT_FALSE(form.findChild<QLabel*>(QStringLiteral("dragPicture"))->isVisible());

    // A corner of slot 3's area that its placeholder does not cover.
    const QWidget* area = form.picCourt[3];
    drag(7, area->mapToGlobal(QPoint(3, 3)));
    EXPECT_EQ(form.board.CourtSlot[3], 7);
    EXPECT_EQ(form.board.Players[23].Slot, 0);

    // Placeholders are not dragged, and a drop on nothing changes nothing.
    drag(22, centre(form.picUser[9]));
    drag(9, form.mapToGlobal(QPoint(form.width() - 2, form.height() - 2)));
    EXPECT_EQ(form.board.CourtSlot[2], 22);
    EXPECT_EQ(form.board.Players[9].Slot, 0);
}

// A tap on a court player during the countdown names him, as a click on his slot does; while
// idle it does nothing. A move with the button no longer held ends the gesture without a drop.
TEST_F(Pointer, ATapNamesACourtPlayerDuringTheCountdown) {
    fillCourt();
    form.txtTurn->setText(QStringLiteral("5"));
    tap(2);
    EXPECT_EQ(form.txtTurn->text(), QStringLiteral("5"));

    form.cmdSave_Click();
    tap(5);  // a bench player
    ASSERT_EQ(form.timMiss->Interval(), 3000);
    tap(2);
    EXPECT_EQ(form.txtTurn->text(), QStringLiteral("6"));
    EXPECT_EQ(cell(5 + 40, 2 + 22), CellValue::ofText("C"));
    EXPECT_TRUE(form.picUser[2]->marked());
    EXPECT_EQ(form.cmdSave->text(), QStringLiteral("決定"));
    EXPECT_TRUE(form.cmdSave->isEnabled());

    send(form.picUser[6], QEvent::MouseButtonPress, centre(form.picUser[6]), Qt::LeftButton, Qt::LeftButton);
    send(form.picUser[6], QEvent::MouseMove, centre(form.picUser[1]), Qt::NoButton, Qt::NoButton);
    send(form.picUser[6], QEvent::MouseButtonRelease, centre(form.picUser[1]), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(form.board.CourtSlot[1], 1);
}

// The substitution gesture: the next player dragged from the bench across the court player who
// missed and released on him. The turn is recorded with the court as it stood, the "C" for the
// player crossed, and then the dragged player stands in his slot.
TEST_F(Pointer, DragAcrossAndReleaseOnTheMissedPlayerNamesAndSubstitutes) {
    fillCourt();
    form.txtTurn->setText(QStringLiteral("5"));
    form.cmdSave_Click();
    drag(6, centre(form.picUser[3]));
    EXPECT_EQ(cell(5 + 40, 3 + 22), CellValue::ofText("C"));
    EXPECT_EQ(cell(5 + 40, 3 + 9), CellValue::ofNumber(3));
    EXPECT_EQ(cell(5 + 40, 6 + 9).kind, ValueKind::Empty);
    EXPECT_EQ(form.board.CourtSlot[3], 6);
    EXPECT_EQ(form.board.Players[3].Slot, 0);
    EXPECT_TRUE(form.cmdSave->isEnabled());
}

}  // namespace
}  // namespace pellix
