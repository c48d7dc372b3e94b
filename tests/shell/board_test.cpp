// The spectator board following the window through a turn. Offscreen it is looked at through its
// own face; on a real X server with two screens (see the CMakeLists) it also opens full screen on
// the second, where its picture is taken (kept as build/board.png), and the window is seen on the
// first, a 1366x768 laptop screen with a desktop panel (1366x740): the whole window is on it, the
// "節" after the turn box is not hidden, and the sheet view shows rows 1 to 13.

#include "shell/audience_board.h"
#include "test_support.h"

namespace pellix {
namespace {

// Where the pixels of `box` that pass `ink` lie, and how many there are.
std::pair<QRect, int> inkIn(const QImage& picture, const QRect& box, bool (*ink)(QColor)) {
    std::pair<QRect, int> found;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            if (ink(picture.pixelColor(x, y))) found = {found.first | QRect(x, y, 1, 1), found.second + 1};
    return found;
}

TEST(Board, FollowsATurnFromTheCountdownToTheStandings) {
    // An evening of six turns: player 2 has stayed on court throughout, player 5 was named twice.
    testing::ProgramFolder folder;
    const std::pair<std::array<int, 4>, int> turns[] = {
        {{1, 2, 3, 4}, 4}, {{1, 2, 3, 5}, 5}, {{1, 2, 6, 5}, 1},
        {{7, 2, 6, 5}, 5}, {{7, 2, 6, 8}, 6}, {{7, 2, 10, 8}, 8},
    };
    for (int t = 1; t <= 6; ++t) {
        for (int slot = 1; slot <= 4; ++slot)
            folder.setCell(cellmap::turnRow(t), cellmap::positionColumn(turns[t - 1].first[slot - 1]),
                           CellValue::ofNumber(slot));
        folder.setCell(cellmap::turnRow(t), cellmap::markColumn(turns[t - 1].second), CellValue::ofText("C"));
    }
    folder.setCell(cellmap::kTurnRow, cellmap::kTurnColumn, CellValue::ofNumber(6));
    testing::RecordingForm form(folder);
    form.resize(form.initialSize(form.screen()->availableGeometry().size()));
    form.move(0, 0);
    form.show();
    form.activateWindow();
    (void)QTest::qWaitFor([&] { return form.windowHandle()->isExposed() && form.isActiveWindow(); }, 5000);
    form.Form_Load();
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        const QRect screen = form.screen()->availableGeometry();
        ASSERT_EQ(screen.size(), QSize(1366, 740));
        EXPECT_TRUE(screen.contains(form.frameGeometry()));
        const QRect box = form.txtTurn->geometry();
        const QRect caption(QPoint(box.right() + 1, form.Label1->y()), form.Label1->geometry().bottomRight());
        const auto dark = [](QColor pixel) { return pixel.lightness() < 100; };
        EXPECT_GT(inkIn(form.grab().toImage(), caption, dark).first.left(), box.right() + 1)
            << "the caption's last character runs under the turn box";
        const QRect row13 = form.OLEWorkSheet->visualRect(form.OLEWorkSheet->model()->index(12, 1));
        EXPECT_TRUE(!row13.isEmpty() && row13.bottom() <= form.OLEWorkSheet->viewport()->height());
    }
    form.toggleSpectatorBoard();
    const SpectatorBoard* board = form.spectatorBoard();
    ASSERT_TRUE(board && board->isVisible());

    // Turn 7: players 7, 2, 10, 11 in slots 1..4; player 11 is named in the countdown.
    const int onCourt[] = {7, 2, 10, 11};
    for (int slot = 1; slot <= 4; ++slot) form.drag(onCourt[slot - 1], form.picUser(kFirstPlaceholder - 1 + slot));
    EXPECT_EQ(board->court(), (std::array<int, 5>{0, 7, 2, 10, 11}));
    form.cmdSave->click();
    emit form.timDown->Timer();
    EXPECT_EQ(board->countdown(), QStringLiteral("2秒前"));
    QTest::mouseClick(form.picCourt(4), Qt::LeftButton);
    EXPECT_EQ(board->countdown(), QString());
    EXPECT_EQ(board->named(), 11);
    // On court by slot, then who comes on next; players 9 and 12 take no part.
    std::vector<int> order;
    for (const SpectatorBoard::Line& line : board->standings()) order.push_back(line.player);
    ASSERT_EQ(order, (std::vector<int>{7, 2, 10, 11, 4, 3, 1, 5, 6, 8}));
    const auto line = [&](int at) { return board->standings()[at]; };
    EXPECT_EQ(line(1).standing, QStringLiteral("6連勝中"));
    EXPECT_EQ(line(1).name, QString::fromStdString(form.OLEWorkSheet->sheetModel().cellAt(2, 1)->value.text));
    EXPECT_EQ(board->titles(), (LiveTitles{{6, {2}}, {7, {2}}, {2, {5}}}));

    // Hidden and opened again during the next countdown: it shows the countdown, nobody named.
    form.toggleSpectatorBoard();
    EXPECT_FALSE(board->isVisible());
    form.cmdSave->click();
    form.toggleSpectatorBoard();
    EXPECT_EQ(board->countdown(), QStringLiteral("3秒前"));
    EXPECT_EQ(board->named(), 0);
    if (QGuiApplication::screens().size() < 2) return;

    // Full screen on the second screen, the keyboard left with the scorer; ten lines of names in
    // white at least 40 pixels high at 1920x1080 and nothing below them; the countdown large and
    // yellow on the left half.
    QScreen* second = QGuiApplication::screens().at(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return board->windowHandle()->isExposed(); }, 5000));
    QTest::qWait(500);
    EXPECT_EQ(board->geometry(), second->geometry());
    EXPECT_TRUE(form.isActiveWindow());
    const QImage picture = second->grabWindow(0).toImage();
    if (const char* keep = std::getenv("PELLIX_BOARD_PICTURE"); keep && *keep) picture.save(QString::fromUtf8(keep));
    const int text = SpectatorBoard::textPixels(picture.height());
    const QRect firstName(picture.width() / 2 + 2 * text, text / 2, picture.width() / 4, text * 6 / 5);
    const auto white = [](QColor pixel) { return qGray(pixel.rgb()) > 200; };
    EXPECT_GE(inkIn(picture, firstName, white).first.height(), 40);
    for (int k = 1; k <= 11; ++k)
        EXPECT_EQ(inkIn(picture, firstName.translated(0, k * firstName.height()), white).first.height() > 20, k < 10)
            << "line " << k;
    const auto yellow = [](QColor pixel) { return pixel.red() > 200 && pixel.green() > 180 && pixel.blue() < 120; };
    EXPECT_GT(inkIn(picture, QRect(0, 0, picture.width() / 2, picture.height()), yellow).second, 2000);
}

}  // namespace
}  // namespace pellix
