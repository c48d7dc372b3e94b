// The window on a real X server (Xvfb in the test run, see the CMakeLists), driven with xdotool:
// whole turns with the mouse and with the keys; and the window on a small laptop screen. Skipped
// under other platforms.

#include "test_support.h"

#include <QFontInfo>
#include <QProcess>

namespace pellix {
namespace {

using testing::spinUntil;

class RealWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "run by shell_real_window under Xvfb";
        form.resize(form.initialSize(form.screen()->availableGeometry().size()));
        form.move(0, 0);
        form.show();
        ASSERT_TRUE(spinUntil([this] { return form.windowHandle()->isExposed(); }, 5000));
        form.Form_Load();
        ASSERT_EQ(form.txtTurn->text(), QStringLiteral("1"));
    }
    static QPoint centre(const QWidget* widget) { return widget->mapToGlobal(widget->rect().center()); }
    static QStringList at(QPoint p) { return {"mousemove", QString::number(p.x()), QString::number(p.y())}; }
    // Runs xdotool while this process handles its events; a mouse-up and an Escape follow if it
    // has not ended in time, so that a lost gesture cannot hang the test.
    void xdotool(const QStringList& commands) {
        QProcess process;
        QTimer::singleShot(15000, &process, [] {
            QProcess::startDetached("xdotool", {"mouseup", "1", "key", "Escape"});
        });
        process.start(QStringLiteral("xdotool"), commands);
        ASSERT_TRUE(spinUntil([&] { return process.state() == QProcess::NotRunning; }, 20000));
        ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        spinUntil([] { return false; }, 200);
    }
    // Press on `from`, move in small steps through every point of `path`, release at the last.
    static QStringList drag(const QWidget* from, const std::vector<QPoint>& path) {
        QStringList commands = at(centre(from)) << "mousedown"
                                                << "1"
                                                << "sleep"
                                                << "0.15";
        QPoint was = centre(from);
        for (const QPoint& to : path) {
            for (int step = 1; step <= 12; ++step)
                commands << at(was + (to - was) * step / 12) << "sleep"
                         << "0.02";
            was = to;
        }
        return commands << "sleep"
                        << "0.15"
                        << "mouseup"
                        << "1";
    }
    // Players 1..4 onto the court: onto the placeholders, player 3 onto a corner of slot 3's area.
    void fillCourt() {
        for (int k = 1; k <= 4; ++k) {
            xdotool(drag(form.picUser[k],
                         {k == 3 ? form.picCourt[3]->mapToGlobal(QPoint(3, 3)) : centre(form.picUser[20 + k])}));
            ASSERT_EQ(form.board.CourtSlot[k], k) << "the drop of token " << k << " did not land";
        }
    }
    // 決定, then `gesture` at once; waits until the turn is recorded and the window idle again.
    void playTurn(const QStringList& gesture) {
        const QString before = form.txtTurn->text();
        xdotool(at(centre(form.cmdSave)) << "click"
                                         << "1"
                                         << "sleep"
                                         << "0.3" << gesture);
        ASSERT_TRUE(spinUntil([&] { return form.txtTurn->text() != before && form.cmdSave->text() == "決定"; }, 10000))
            << form.lblStatus->text().toStdString();
        EXPECT_TRUE(form.cmdSave->isEnabled());
    }
    testing::ProgramFolder folder;
    testing::RecordingForm form{folder};
};

// Players dragged onto the court; turns closed by a drag across a court player (and back), a tap,
// a double tap, a drag across a court player released on him, which names him and substitutes,
// and the time running out. Each is written as the mouse made it.
TEST_F(RealWindow, TurnsPlayedWithTheMouse) {
    fillCourt();
    playTurn(drag(form.picUser[5], {centre(form.picUser[2]), centre(form.picUser[5])}));
    EXPECT_EQ(form.board.place(5).top, kBenchTop);  // the drag across dropped nothing
    const QStringList tap{"mousedown", "1", "mouseup", "1"};
    playTurn(at(centre(form.picUser[3])) << tap);
    playTurn(at(centre(form.picUser[1])) << tap << tap);
    playTurn(drag(form.picUser[6], {centre(form.picUser[4])}));
    ASSERT_TRUE(spinUntil([&] { return form.board.CourtSlot[4] == 6; }, 3000));
    playTurn({"sleep", "3.6"});
    const char* const rows[] = {"123400000000 C2", "123400000000 C3", "123400000000 C1", "123400000000 C4",
                                "123004000000"};
    for (int turn = 1; turn <= 5; ++turn) EXPECT_EQ(folder.turnRow(turn), rows[turn - 1]) << "turn " << turn;
    EXPECT_TRUE(form.messageBoxes.empty()) << form.messageBoxes.front().toStdString();
}

// A whole turn by keys alone: the court filled by slot keys and the players' letters, Space for
// 決定, and slot 2's key during the countdown.
TEST_F(RealWindow, AWholeTurnByKeysAlone) {
    form.activateWindow();
    xdotool(at(centre(form.lblVer)));
    xdotool({"key", "--delay", "60", "1", "a", "2", "b", "3", "c", "4", "d"});
    for (int k = 1; k <= 4; ++k) ASSERT_EQ(form.board.CourtSlot[k], k) << "slot " << k;
    xdotool({"key", "space", "sleep", "0.4", "key", "2"});
    ASSERT_TRUE(spinUntil([&] { return form.txtTurn->text() == QStringLiteral("2"); }, 10000))
        << form.lblStatus->text().toStdString();
    EXPECT_EQ(folder.turnRow(1), "123400000000 C2");
}

// A 1366x768 laptop screen with a desktop panel (shell_small_screen's Xvfb screen is 1366x740): the
// whole window is on it, the "節" after the turn box is not hidden, and the sheet view shows rows
// 1 to 13.
class SmallScreen : public RealWindow {};

TEST_F(SmallScreen, TheWholeWindowFitsWithTheTurnCaptionAndThePlayerRows) {
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
