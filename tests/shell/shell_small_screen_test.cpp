// The window on a laptop screen of 1366x768 with a desktop panel (run under Xvfb with a screen of
// 1366x740): the whole window is on the screen, the "節" after the turn box is not hidden, and the
// sheet view shows rows 1 to 13 (the titles and the twelve players). Skips under other platforms.

#include "shell/sheet_view.h"
#include "test_support.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <gtest/gtest.h>

namespace pellix {
namespace {

TEST(SmallScreen, TheWholeWindowFitsWithTheTurnCaptionAndThePlayerRows) {
    if (QGuiApplication::platformName() != QLatin1String("xcb") || qEnvironmentVariableIsEmpty("PELLIX_SMALL_SCREEN"))
        GTEST_SKIP() << "run by the small_screen test under Xvfb";
    testing::ProgramFolder folder;
    testing::RecordingForm form(folder.path());
    const QRect screen = form.screen()->availableGeometry();
    ASSERT_EQ(screen.size(), QSize(1366, 740));
    form.resize(form.initialSize(screen.size()));
    form.move(screen.topLeft());
    form.show();
    QElapsedTimer clock;
    clock.start();
    while (!(form.windowHandle() && form.windowHandle()->isExposed()) && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    form.Form_Load();
    QCoreApplication::processEvents();

    EXPECT_TRUE(screen.contains(form.frameGeometry())) << form.frameGeometry().height();

    // The turn box lies over the gap of "第    節": the "節" stands whole to its right.
    const QImage window = form.grab().toImage();
    const QRect box = form.txtTurn->geometry();
    const QRect caption = form.Label1->geometry();
    int inkLeft = -1;
    for (int x = box.right() + 1; x <= caption.right() && inkLeft < 0; ++x)
        for (int y = caption.top(); y <= caption.bottom(); ++y)
            if (window.pixelColor(x, y).lightness() < 100) {
                inkLeft = x;
                break;
            }
    EXPECT_GT(inkLeft, box.right() + 1) << "the caption's last character runs under the turn box";

    const SheetView& sheet = *form.OLEWorkSheet;
    const QRect row13 = sheet.visualRect(sheet.model()->index(12, 1));
    EXPECT_FALSE(row13.isEmpty());
    EXPECT_LE(row13.bottom(), sheet.viewport()->height()) << "rows shown: " << sheet.rowAt(sheet.viewport()->height());
}

}  // namespace
}  // namespace pellix
