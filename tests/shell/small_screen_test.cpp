// The window on a 1366x768 laptop screen with a desktop panel (shell_small_screen's Xvfb screen is
// 1366x740): the whole window is on it, the "節" after the turn box is not hidden, and the sheet
// view shows rows 1 to 13. Turns played with the real mouse and keys are in tests/e2e.

#include "test_support.h"

#include <QFontInfo>

namespace pellix {
namespace {

TEST(SmallScreen, TheWholeWindowFitsWithTheTurnCaptionAndThePlayerRows) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "run by shell_small_screen";
    testing::ProgramFolder folder;
    testing::RecordingForm form{folder};
    form.resize(form.initialSize(form.screen()->availableGeometry().size()));
    form.move(0, 0);
    form.show();
    ASSERT_TRUE(testing::spinUntil([&] { return form.windowHandle()->isExposed(); }, 5000));
    form.Form_Load();
    const QRect screen = form.screen()->availableGeometry();
    ASSERT_EQ(screen.size(), QSize(1366, 740));
    EXPECT_TRUE(screen.contains(form.frameGeometry()));
    EXPECT_EQ(QFontInfo(form.cmdSave->font()).family(), QStringLiteral("IPAPGothic"));
    EXPECT_EQ(QFontInfo(form.txtTurn->font()).family(), QStringLiteral("IPAGothic"));

    const QImage window = form.grab().toImage();
    const QRect box = form.txtTurn->geometry();
    const QRect caption = form.Label1->geometry();
    int inkLeft = -1;
    for (int x = box.right() + 1; x <= caption.right() && inkLeft < 0; ++x)
        for (int y = caption.top(); y <= caption.bottom() && inkLeft < 0; ++y)
            if (window.pixelColor(x, y).lightness() < 100) inkLeft = x;
    EXPECT_GT(inkLeft, box.right() + 1) << "the caption's last character runs under the turn box";

    const SheetView& sheet = *form.OLEWorkSheet;
    const QRect row13 = sheet.visualRect(sheet.model()->index(12, 1));
    EXPECT_FALSE(row13.isEmpty());
    EXPECT_LE(row13.bottom(), sheet.viewport()->height());
}

}  // namespace
}  // namespace pellix
