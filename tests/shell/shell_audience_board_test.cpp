// The spectator board following the window through a turn, offscreen; and on the second screen of
// a real X server, where its picture is taken (and kept as build/board.png).

#include "shell/audience_board.h"
#include "test_support.h"
#include "workbook/cell_map.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>

namespace pellix {
namespace {

using Line = SpectatorBoard::Line;

// An evening of six turns: player 2 has stayed on court throughout, player 5 was named twice.
void seedEvening(const testing::ProgramFolder& folder) {
    const std::vector<std::pair<std::array<int, 4>, int>> turns = {
        {{1, 2, 3, 4}, 4}, {{1, 2, 3, 5}, 5}, {{1, 2, 6, 5}, 1},
        {{7, 2, 6, 5}, 5}, {{7, 2, 6, 8}, 6}, {{7, 2, 10, 8}, 8},
    };
    for (std::size_t t = 0; t < turns.size(); ++t) {
        const int row = cellmap::turnRow(static_cast<int>(t) + 1);
        for (int slot = 1; slot <= 4; ++slot)
            folder.setCell(row, cellmap::positionColumn(turns[t].first[slot - 1]), CellValue::ofNumber(slot));
        folder.setCell(row, cellmap::markColumn(turns[t].second), CellValue::ofText("C"));
    }
    folder.setCell(cellmap::kTurnRow, cellmap::kTurnColumn, CellValue::ofNumber(6));
}

class BoardFollows : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.hasWorkbook());
        seedEvening(folder_);
        form_ = std::make_unique<testing::RecordingForm>(folder_.path());
        form_->Form_Load();
        ASSERT_TRUE(form_->messageBoxes.empty()) << form_->messageBoxes.front().toStdString();
    }

    // Turn 7: players 7, 2, 10, 11 in slots 1..4; the countdown runs; player 11 is named.
    void playTurnSeven(SpectatorBoard* board) {
        const int onCourt[] = {7, 2, 10, 11};
        for (int slot = 1; slot <= 4; ++slot) form_->picUser_DragDrop(kFirstPlaceholder - 1 + slot, onCourt[slot - 1]);
        if (board) {
            EXPECT_EQ(board->court(), (std::array<int, 5>{0, 7, 2, 10, 11}));
        }
        ASSERT_EQ(form_->txtTurn->text(), QStringLiteral("7"));
        form_->cmdSave_Click();
        if (board) {
            EXPECT_EQ(board->countdown(), QStringLiteral("3秒前"));
        }
        form_->timDown_Timer();
        if (board) {
            EXPECT_EQ(board->countdown(), QStringLiteral("2秒前"));
        }
        form_->picCourt_Click(4);
        ASSERT_EQ(form_->txtTurn->text(), QStringLiteral("8"));
    }

    static Line lineOf(const SpectatorBoard& board, int player) {
        const auto found = std::find_if(board.standings().begin(), board.standings().end(),
                                        [player](const Line& line) { return line.player == player; });
        EXPECT_NE(found, board.standings().end()) << "player " << player;
        return found == board.standings().end() ? Line{} : *found;
    }

    testing::ProgramFolder folder_;
    std::unique_ptr<testing::RecordingForm> form_;
};

TEST_F(BoardFollows, ATurnFromTheCountdownToTheStandings) {
    form_->toggleSpectatorBoard();
    SpectatorBoard* board = form_->spectatorBoard();
    ASSERT_NE(board, nullptr);
    EXPECT_TRUE(board->isVisible());
    EXPECT_EQ(board->court(), (std::array<int, 5>{}));
    // Before the turn: the record of six turns, the standings column still empty.
    EXPECT_EQ(board->titles().longestStreak, (Title{5, {2}}));

    playTurnSeven(board);

    EXPECT_EQ(board->countdown(), QString());
    EXPECT_EQ(board->named(), 11);
    // On court by slot, then who comes on next; player 9 and 12 take no part.
    std::vector<int> order;
    for (const Line& line : board->standings()) order.push_back(line.player);
    EXPECT_EQ(order, (std::vector<int>{7, 2, 10, 11, 4, 3, 1, 5, 6, 8}));
    EXPECT_EQ(lineOf(*board, 2).standing, QStringLiteral("6連勝中"));
    EXPECT_EQ(lineOf(*board, 11).standing, QStringLiteral("Challenger"));
    EXPECT_EQ(lineOf(*board, 4).standing, QStringLiteral("6ターン待ち"));
    EXPECT_EQ(lineOf(*board, 2).name, QString::fromStdString(form_->playerName(2)));
    // The sheet's fills: one colour for slots 1 and 2, another for 3 and 4, white off court.
    EXPECT_EQ(lineOf(*board, 7).fill, lineOf(*board, 2).fill);
    EXPECT_NE(lineOf(*board, 7).fill, lineOf(*board, 10).fill);
    EXPECT_EQ(lineOf(*board, 4).fill, QColor(Qt::white));
    EXPECT_EQ(board->titles(), (LiveTitles{{6, {2}}, {7, {2}}, {2, {5}}}));

    // The next countdown forgets who was named.
    form_->cmdSave_Click();
    EXPECT_EQ(board->named(), 0);
    form_->cmdMiss_Click();

    form_->toggleSpectatorBoard();
    EXPECT_FALSE(board->isVisible());
}

// The board is a window to look at: the scorer's keys and clicks stay with the main window.
TEST_F(BoardFollows, TakesNoInput) {
    form_->toggleSpectatorBoard();
    const SpectatorBoard* board = form_->spectatorBoard();
    EXPECT_EQ(board->focusPolicy(), Qt::NoFocus);
    EXPECT_TRUE(board->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(board->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(board->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_FALSE(board->testAttribute(Qt::WA_QuitOnClose));
}

using testing::spinUntil;

// The rows of `picture` inside `box` that hold a pixel brighter than `level` (white text on the
// board's dark colour): the height from the first such row to the last.
int brightHeight(const QImage& picture, const QRect& box, int level = 200) {
    int first = -1;
    int last = -1;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            if (qGray(picture.pixel(x, y)) > level) {
                if (first < 0) first = y;
                last = y;
                break;
            }
    return first < 0 ? 0 : last - first + 1;
}

// Two X screens (xvfb-run -s "-screen 0 1280x1024x24 -screen 1 1920x1080x24"): the board opens full
// screen on the second, and its picture holds large text.
class BoardScreen : public BoardFollows {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb") || QGuiApplication::screens().size() < 2)
            GTEST_SKIP() << "needs an X server with two screens";
        BoardFollows::SetUp();
        form_->show();
        ASSERT_TRUE(spinUntil([this] { return form_->windowHandle() && form_->windowHandle()->isExposed(); }, 5000));
    }
};

TEST_F(BoardScreen, FullScreenOnTheSecondScreenWithLargeText) {
    QScreen* second = QGuiApplication::screens().at(1);
    ASSERT_NE(form_->screen(), second);
    playTurnSeven(nullptr);
    form_->cmdSave_Click();  // the countdown of turn 8 runs while the picture is taken
    form_->toggleSpectatorBoard();
    SpectatorBoard* board = form_->spectatorBoard();
    ASSERT_TRUE(spinUntil([&] { return board->windowHandle() && board->windowHandle()->isExposed(); }, 5000));
    spinUntil([] { return false; }, 500);
    EXPECT_EQ(board->screen(), second);
    EXPECT_EQ(board->geometry(), second->geometry());

    const QImage picture = second->grabWindow(0).toImage();
    ASSERT_EQ(picture.size(), second->geometry().size());
    const char* const keep = std::getenv("PELLIX_BOARD_PICTURE");
    if (keep && *keep) picture.save(QString::fromUtf8(keep));

    // The names of the standings: the first row's name box on the right half. The text is white and
    // at least 48 pixels high, as a hall needs at 1920x1080.
    const int text = SpectatorBoard::textPixels(picture.height());
    EXPECT_GE(text, 48);
    const QRect firstName(picture.width() / 2 + 2 * text, text / 2, picture.width() / 4, text * 6 / 5);
    EXPECT_GE(brightHeight(picture, firstName), 40);
    // Every line of the ten players holds text; below them the board is empty.
    for (int line = 0; line < 10; ++line)
        EXPECT_GT(brightHeight(picture, firstName.translated(0, line * (text * 6 / 5))), 20) << "line " << line;
    EXPECT_EQ(brightHeight(picture, firstName.translated(0, 11 * (text * 6 / 5))), 0);
    // The countdown in the middle of the left half, large and yellow.
    int yellow = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width() / 2; ++x) {
            const QColor pixel = picture.pixelColor(x, y);
            yellow += pixel.red() > 200 && pixel.green() > 180 && pixel.blue() < 120;
        }
    EXPECT_GT(yellow, 2000);
    form_->cmdMiss_Click();
}

}  // namespace
}  // namespace pellix
