// One turn made with the real mouse in a real window (an X server, Xvfb in the test run): tokens
// dragged onto the four placeholders, "決定" pressed, and a drag across a court player during the
// countdown. The workbook is then read by an independent reader. Under the offscreen platform
// there is no real drag and drop, so the test skips itself there.

#include "shell/token_widget.h"
#include "shell/vb_timer.h"
#include "test_support.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace pellix {
namespace {

using testing::spinUntil;

class RealWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs an X server (run under xvfb-run with QT_QPA_PLATFORM=xcb)";
        folder_ = std::make_unique<testing::ProgramFolder>();
        ASSERT_TRUE(folder_->hasWorkbook());
        form_ = std::make_unique<testing::RecordingForm>(folder_->path());
        form_->resize(form_->twipsToPixels(MainForm::layoutSizeTwips().width()),
                      form_->twipsToPixels(MainForm::layoutSizeTwips().height()));
        form_->move(0, 0);
        form_->show();
        ASSERT_TRUE(spinUntil([this] { return form_->windowHandle() && form_->windowHandle()->isExposed(); }, 5000));
        form_->Form_Load();
        ASSERT_TRUE(form_->messageBoxes.empty()) << form_->messageBoxes.front().toStdString();
    }

    void TearDown() override {
        if (!form_) return;
        form_->Form_Unload();
        form_.reset();
    }

    // The centre of a control, on the screen.
    static QPoint centre(const QWidget* widget) { return widget->mapToGlobal(widget->rect().center()); }

    // Runs xdotool with `commands` while this process goes on handling its events: a drag's own
    // loop runs inside them. A mouse-up and an Escape are sent if it has not ended in time, so a
    // drag that lost its way cannot hang the test.
    void xdotool(const QStringList& commands) {
        QProcess process;
        QTimer safetyNet;
        safetyNet.setSingleShot(true);
        QObject::connect(&safetyNet, &QTimer::timeout, [] {
            QProcess::startDetached(QStringLiteral("xdotool"), {"mouseup", "1", "key", "Escape"});
        });
        safetyNet.start(15000);
        process.start(QStringLiteral("xdotool"), commands);
        ASSERT_TRUE(process.waitForStarted(5000)) << "xdotool is not installed";
        ASSERT_TRUE(spinUntil([&] { return process.state() == QProcess::NotRunning; }, 20000));
        ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        // Let the drop and the repaints it causes run.
        spinUntil([] { return false; }, 200);
    }

    // Press on `from`, move in small steps over every point of `path`, release at the last.
    static QStringList dragAlong(QPoint from, const std::vector<QPoint>& path) {
        QStringList commands{"mousemove", QString::number(from.x()), QString::number(from.y()), "mousedown", "1",
                             "sleep", "0.15"};
        QPoint at = from;
        for (const QPoint& to : path) {
            constexpr int kSteps = 12;
            for (int step = 1; step <= kSteps; ++step) {
                const QPoint p = at + (to - at) * step / kSteps;
                commands << "mousemove" << QString::number(p.x()) << QString::number(p.y()) << "sleep" << "0.02";
            }
            at = to;
        }
        commands << "sleep" << "0.15" << "mouseup" << "1";
        return commands;
    }

    std::string cellsOfTurn(int turn) {
        const std::string script =
            "import xlrd\n"
            "s = xlrd.open_workbook('" + folder_->dataPath().string() + "').sheet_by_index(0)\n"
            "def v(r, c):\n"
            "    if r >= s.nrows or c >= s.ncols: return ''\n"
            "    x = s.cell_value(r, c)\n"
            "    return str(int(x)) if isinstance(x, float) else x\n"
            "r = " + std::to_string(turn + 40 - 1) + "\n"
            "print(v(18, 1), ' '.join(v(r, c) or '-' for c in range(9, 21)), ' '.join(v(r, c) or '-' for c in range(22, 34)))\n";
        QProcess python;
        python.start(QStringLiteral("/usr/bin/python3"), {"-c", QString::fromStdString(script)});
        python.waitForFinished(20000);
        return python.readAllStandardOutput().trimmed().toStdString() + python.readAllStandardError().toStdString();
    }

    // Players 1..4 dragged onto the four placeholders.
    void fillCourt() {
        for (int k = 1; k <= 4; ++k) {
            xdotool(dragAlong(centre(form_->picUser[k]), {centre(form_->picUser[20 + k])}));
            ASSERT_EQ(form_->board.CourtSlot[k], k) << "the drop of token " << k << " did not land";
        }
    }

    // "決定", then `gesture` at once; waits until the turn has been recorded and the window is
    // idle again.
    void playTurn(const QStringList& gesture) {
        const QString before = form_->txtTurn->text();
        QStringList commands{"mousemove", QString::number(centre(form_->cmdSave).x()),
                             QString::number(centre(form_->cmdSave).y()), "click", "1", "sleep", "0.3"};
        xdotool(commands << gesture);
        ASSERT_TRUE(spinUntil([&] { return form_->txtTurn->text() != before && form_->cmdSave->text() == "決定"; }, 10000))
            << "status: " << form_->lblStatus->text().toStdString() << ", caption "
            << form_->cmdSave->text().toStdString();
        EXPECT_TRUE(form_->cmdSave->isEnabled());
        EXPECT_TRUE(form_->txtTurn->isEnabled());
    }

    // A press and a release back to back, as a touchpad tap gives; `count` of them.
    static QStringList tapAt(QPoint at, int count) {
        QStringList commands{"mousemove", QString::number(at.x()), QString::number(at.y())};
        for (int i = 0; i < count; ++i) commands << "mousedown" << "1" << "mouseup" << "1";
        return commands;
    }

    std::unique_ptr<testing::ProgramFolder> folder_;
    std::unique_ptr<testing::RecordingForm> form_;
};

TEST_F(RealWindow, DragPlayersOnCourtThenNameOneDuringTheCountdown) {
    testing::RecordingForm& form = *form_;
    fillCourt();
    EXPECT_TRUE(form.cmdSave->isEnabled());

    const QString turnBefore = form.txtTurn->text();
    const int turn = turnBefore.toInt();

    // "決定", then at once a drag of bench token 5 across court player 2 and back to its place.
    const QPoint bench5 = centre(form.picUser[5]);
    const QPoint court2 = centre(form.picUser[2]);
    QStringList commands{"mousemove", QString::number(centre(form.cmdSave).x()),
                         QString::number(centre(form.cmdSave).y()), "click", "1", "sleep", "0.3"};
    commands << dragAlong(bench5, {court2, bench5});
    xdotool(commands);

    ASSERT_TRUE(spinUntil([&] { return form.txtTurn->text() != turnBefore; }, 15000))
        << "status: " << form.lblStatus->text().toStdString();
    EXPECT_EQ(form.txtTurn->text(), QString::number(turn + 1));
    EXPECT_EQ(form.cmdSave->text(), QStringLiteral("決定"));
    EXPECT_TRUE(form.cmdSave->isEnabled());
    EXPECT_EQ(form.MissIndex, 0);
    EXPECT_EQ(form.board.place(5), Board::benchPlace(5));  // the drag across dropped nothing
    EXPECT_TRUE(form.messageBoxes.empty()) << form.messageBoxes.front().toStdString();

    // The turn cell, the slots of players 1..12 (J..U) and their marks (W..AH).
    EXPECT_EQ(cellsOfTurn(turn), std::to_string(turn) + " 1 2 3 4 - - - - - - - - - C - - - - - - - - - -");
}

// Instant taps, single and double, on a court player during the countdown name him; the turn is
// saved within seconds and the next turn can be played at once.
TEST_F(RealWindow, TapsOnACourtPlayerNameHimAndTheGameGoesOn) {
    fillCourt();
    const int turn = form_->txtTurn->text().toInt();
    playTurn(tapAt(centre(form_->picUser[3]), 1));
    playTurn(tapAt(centre(form_->picUser[1]), 2));
    playTurn({"sleep", "3.6"});
    EXPECT_EQ(cellsOfTurn(turn), std::to_string(turn + 2) + " 1 2 3 4 - - - - - - - - - - C - - - - - - - - -");
    EXPECT_EQ(cellsOfTurn(turn + 1), std::to_string(turn + 2) + " 1 2 3 4 - - - - - - - - C - - - - - - - - - - -");
    EXPECT_EQ(cellsOfTurn(turn + 2), std::to_string(turn + 2) + " 1 2 3 4 - - - - - - - - - - - - - - - - - - - -");
    EXPECT_TRUE(form_->messageBoxes.empty()) << form_->messageBoxes.front().toStdString();
}

// One gesture names and substitutes: bench player 5 dragged across court player 2 and released
// on him. The "C" goes to player 2 in this turn; player 5 stands in slot 2 in the next.
TEST_F(RealWindow, DragAcrossAndReleaseOnTheMissedPlayerSubstitutes) {
    fillCourt();
    const int turn = form_->txtTurn->text().toInt();
    playTurn(dragAlong(centre(form_->picUser[5]), {centre(form_->picUser[2])}));
    ASSERT_TRUE(spinUntil([&] { return form_->board.CourtSlot[2] == 5; }, 3000));
    playTurn({"sleep", "3.6"});
    EXPECT_EQ(cellsOfTurn(turn), std::to_string(turn + 1) + " 1 2 3 4 - - - - - - - - - C - - - - - - - - - -");
    EXPECT_EQ(cellsOfTurn(turn + 1), std::to_string(turn + 1) + " 1 - 3 4 2 - - - - - - - - - - - - - - - - - - -");
}

// A whole turn by keys alone, recorded as the mouse records it: the court filled by slot keys
// and the players' letters, Space for 決定, and slot 2's key during the countdown.
TEST_F(RealWindow, AWholeTurnByKeysAlone) {
    form_->activateWindow();
    const QPoint inside = centre(form_->lblVer);
    xdotool({"mousemove", QString::number(inside.x()), QString::number(inside.y())});
    xdotool({"key", "--delay", "60", "1", "a", "2", "b", "3", "c", "4", "d"});
    for (int k = 1; k <= 4; ++k) ASSERT_EQ(form_->board.CourtSlot[k], k) << "slot " << k;
    EXPECT_TRUE(form_->cmdSave->isEnabled());
    const int turn = form_->txtTurn->text().toInt();
    xdotool({"key", "space", "sleep", "0.4", "key", "2"});
    ASSERT_TRUE(spinUntil([&] { return form_->txtTurn->text() == QString::number(turn + 1); }, 10000))
        << "status: " << form_->lblStatus->text().toStdString();
    EXPECT_EQ(cellsOfTurn(turn), std::to_string(turn) + " 1 2 3 4 - - - - - - - - - C - - - - - - - - - -");
}

}  // namespace
}  // namespace pellix
