// The window on a real X server (Xvfb in the test run, see the CMakeLists), driven with xdotool:
// whole turns with the mouse and with the keys, checked with an independent reader; and the window
// on a small laptop screen. Skipped under other platforms.

#include "shell/sheet_view.h"
#include "test_support.h"

#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTimer>
#include <QWindow>

namespace pellix {
namespace {

using testing::spinUntil;

class RealWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "run by shell_real_window under Xvfb";
        form.resize(form.initialSize({}));
        form.move(0, 0);
        form.show();
        ASSERT_TRUE(spinUntil([this] { return form.windowHandle()->isExposed(); }, 5000));
        form.Form_Load();
        turn = form.txtTurn->text().toInt();
    }
    static QStringList at(const QWidget* widget) {
        const QPoint p = widget->mapToGlobal(widget->rect().center());
        return {"mousemove", QString::number(p.x()), QString::number(p.y())};
    }
    // Runs xdotool while this process handles its events; a mouse-up and an Escape follow if it
    // has not ended in time, so that a lost gesture cannot hang the test.
    void xdotool(const QStringList& commands) {
        QProcess process;
        QTimer::singleShot(15000, &process, [] { QProcess::startDetached("xdotool", {"mouseup", "1", "key", "Escape"}); });
        process.start(QStringLiteral("xdotool"), commands);
        ASSERT_TRUE(process.waitForStarted(5000)) << "xdotool is not installed";
        ASSERT_TRUE(spinUntil([&] { return process.state() == QProcess::NotRunning; }, 20000));
        ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        spinUntil([] { return false; }, 200);
    }
    // Press on `from`, move in small steps over every widget of `path`, release on the last.
    static QStringList drag(const QWidget* from, const std::vector<const QWidget*>& path) {
        QStringList commands = at(from) << "mousedown" << "1" << "sleep" << "0.15";
        QPoint was = from->mapToGlobal(from->rect().center());
        for (const QWidget* to : path) {
            const QPoint target = to->mapToGlobal(to->rect().center());
            for (int step = 1; step <= 12; ++step) {
                const QPoint p = was + (target - was) * step / 12;
                commands << "mousemove" << QString::number(p.x()) << QString::number(p.y()) << "sleep" << "0.02";
            }
            was = target;
        }
        return commands << "sleep" << "0.15" << "mouseup" << "1";
    }
    void fillCourt() {
        for (int k = 1; k <= 4; ++k) {
            xdotool(drag(form.picUser[k], {form.picUser[20 + k]}));
            ASSERT_EQ(form.board.CourtSlot[k], k) << "the drop of token " << k << " did not land";
        }
    }
    // 決定, then `gesture` at once; waits until the turn is recorded and the window idle again.
    void playTurn(const QStringList& gesture) {
        const QString before = form.txtTurn->text();
        xdotool(at(form.cmdSave) << "click" << "1" << "sleep" << "0.3" << gesture);
        ASSERT_TRUE(spinUntil([&] { return form.txtTurn->text() != before && form.cmdSave->text() == "決定"; }, 10000))
            << form.lblStatus->text().toStdString();
        EXPECT_TRUE(form.cmdSave->isEnabled());
    }
    // B19, then the slots of players 1..12 (J..U) and their marks (W..AH) at `t`, as xlrd reads them.
    std::string turnRow(int t) {
        const QString script = QStringLiteral(
            "import xlrd\ns = xlrd.open_workbook('%1').sheet_by_index(0)\n"
            "def v(r, c):\n    x = s.cell_value(r, c) if r < s.nrows and c < s.ncols else ''\n"
            "    return str(int(x)) if isinstance(x, float) else (x or '-')\n"
            "print(v(18, 1), ' '.join(v(%2, c) for c in list(range(9, 21)) + list(range(22, 34))))\n")
            .arg(QString::fromStdString(folder.dataPath().string())).arg(t + 39);
        QProcess python;
        python.start(QStringLiteral("/usr/bin/python3"), {"-c", script});
        python.waitForFinished(20000);
        return (python.readAllStandardOutput().trimmed() + python.readAllStandardError()).toStdString();
    }
    testing::ProgramFolder folder;
    testing::RecordingForm form{folder};
    int turn = 0;
};

// Players dragged onto the court; turns closed by a drag across a court player (and back), a tap,
// a double tap and the time running out; then a drag across a court player released on him, which
// names him and substitutes. Each is written as the mouse made it.
TEST_F(RealWindow, TurnsPlayedWithTheMouse) {
    fillCourt();
    playTurn(drag(form.picUser[5], {form.picUser[2], form.picUser[5]}));
    EXPECT_EQ(form.board.place(5).top, kBenchTop);  // the drag across dropped nothing
    playTurn(at(form.picUser[3]) << "mousedown" << "1" << "mouseup" << "1");
    playTurn(at(form.picUser[1]) << "mousedown" << "1" << "mouseup" << "1" << "mousedown" << "1" << "mouseup" << "1");
    playTurn({"sleep", "3.6"});
    playTurn(drag(form.picUser[6], {form.picUser[4]}));
    ASSERT_TRUE(spinUntil([&] { return form.board.CourtSlot[4] == 6; }, 3000));
    playTurn({"sleep", "3.6"});
    const std::string t = std::to_string(turn + 5);
    EXPECT_EQ(turnRow(turn), t + " 1 2 3 4 - - - - - - - - - C - - - - - - - - - -");
    EXPECT_EQ(turnRow(turn + 1), t + " 1 2 3 4 - - - - - - - - - - C - - - - - - - - -");
    EXPECT_EQ(turnRow(turn + 2), t + " 1 2 3 4 - - - - - - - - C - - - - - - - - - - -");
    EXPECT_EQ(turnRow(turn + 3), t + " 1 2 3 4 - - - - - - - - - - - - - - - - - - - -");
    EXPECT_EQ(turnRow(turn + 4), t + " 1 2 3 4 - - - - - - - - - - - C - - - - - - - -");
    EXPECT_EQ(turnRow(turn + 5), t + " 1 2 3 - - 4 - - - - - - - - - - - - - - - - - -");
    EXPECT_TRUE(form.messageBoxes.empty()) << form.messageBoxes.front().toStdString();
}

// A whole turn by keys alone: the court filled by slot keys and the players' letters, Space for
// 決定, and slot 2's key during the countdown.
TEST_F(RealWindow, AWholeTurnByKeysAlone) {
    form.activateWindow();
    xdotool(at(form.lblVer));
    xdotool({"key", "--delay", "60", "1", "a", "2", "b", "3", "c", "4", "d"});
    for (int k = 1; k <= 4; ++k) ASSERT_EQ(form.board.CourtSlot[k], k) << "slot " << k;
    xdotool({"key", "space", "sleep", "0.4", "key", "2"});
    ASSERT_TRUE(spinUntil([&] { return form.txtTurn->text() == QString::number(turn + 1); }, 10000))
        << form.lblStatus->text().toStdString();
    EXPECT_EQ(turnRow(turn), std::to_string(turn) + " 1 2 3 4 - - - - - - - - - C - - - - - - - - - -");
}

// A 1366x768 laptop screen with a desktop panel (Xvfb's screen is 1366x740): the whole window is on
// it, the "節" after the turn box is not hidden, and the sheet view shows rows 1 to 13.
TEST(SmallScreen, TheWholeWindowFitsWithTheTurnCaptionAndThePlayerRows) {
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !qEnvironmentVariableIsSet("PELLIX_SMALL_SCREEN"))
        GTEST_SKIP() << "run by shell_small_screen under Xvfb";
    testing::ProgramFolder folder;
    testing::RecordingForm form(folder);
    const QRect screen = form.screen()->availableGeometry();
    ASSERT_EQ(screen.size(), QSize(1366, 740));
    form.resize(form.initialSize(screen.size()));
    form.move(screen.topLeft());
    form.show();
    spinUntil([&] { return form.windowHandle()->isExposed(); }, 5000);
    form.Form_Load();
    EXPECT_TRUE(screen.contains(form.frameGeometry()));

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
