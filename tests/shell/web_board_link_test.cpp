// The window's side of the web board: serving on the address asked for or saying why not, the QR
// code, the control, and the state the server holds following the window through a turn.

#include "shell/web_board_link.h"
#include "test_support.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QToolButton>

namespace pellix {
namespace {

TEST(WebBoardWindow, ServesOnTheAddressAskedForOrSaysWhyNotAndFollowsTheWindow) {
    testing::ProgramFolder folder;
    testing::RecordingForm form(folder);
    form.Form_Load();
    QString error;
    EXPECT_FALSE(form.serveWebBoard(QStringLiteral("127.0.0.1:http"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("127.0.0.1:http"))) << error.toStdString();
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::LocalHost));
    const QString listen = QStringLiteral("127.0.0.1:%1").arg(taken.serverPort());
    error.clear();
    EXPECT_FALSE(form.serveWebBoard(listen, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(form.webBoard()->serving());
    EXPECT_TRUE(form.webBoard()->qr().isNull());
    taken.close();
    ASSERT_TRUE(form.serveWebBoard(listen, &error)) << error.toStdString();
    EXPECT_EQ(form.webBoard()->address(), QStringLiteral("http://%1/").arg(listen));

    // Square, in modules of 8 pixels, the finder pattern's corner after a quiet zone of 4 modules.
    const QImage& code = form.webBoard()->qr();
    EXPECT_EQ(code.width(), code.height());
    EXPECT_EQ(code.width() % 8, 0);
    EXPECT_EQ(code.pixelColor(31, 31), QColor(Qt::white));
    EXPECT_EQ(code.pixelColor(32, 32), QColor(Qt::black));
    form.installWebBoardControl();
    const auto* button = form.findChild<QToolButton*>(QStringLiteral("webBoardButton"));
    ASSERT_TRUE(button);
    EXPECT_EQ(button->text(), form.webBoard()->address());
    EXPECT_LE(QFontMetrics(button->font()).horizontalAdvance(button->text()), button->width() - 8);

    // The state the server holds follows the window through a turn.
    const auto served = [&] { return QJsonDocument::fromJson(form.webBoard()->state()).object(); };
    const int onCourt[] = {5, 2, 10, 11};
    for (int slot = 1; slot <= 4; ++slot) form.drag(onCourt[slot - 1], form.picUser(kFirstPlaceholder - 1 + slot));
    const QJsonArray court = served()[QStringLiteral("court")].toArray();
    ASSERT_EQ(court.size(), 4);
    for (int slot = 1; slot <= 4; ++slot) {
        EXPECT_EQ(court[slot - 1][QStringLiteral("player")].toInt(), onCourt[slot - 1]);
        EXPECT_EQ(court[slot - 1][QStringLiteral("name")].toString(),
                  QString::fromStdString(form.OLEWorkSheet->sheetModel().cellAt(onCourt[slot - 1], 1)->value.text));
    }
    form.cmdSave->click();
    EXPECT_EQ(served()[QStringLiteral("phase")].toString(), QStringLiteral("countdown"));
    EXPECT_EQ(served()[QStringLiteral("countdown")].toInt(), 3);
    emit form.timDown->Timer();
    EXPECT_EQ(served()[QStringLiteral("countdown")].toInt(), 2);
    QTest::mouseClick(form.picCourt(3), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return served()[QStringLiteral("phase")].toString() == "idle"; }, 5000));
    const QJsonObject state = served();
    EXPECT_EQ(state[QStringLiteral("turn")].toInt(), 1);
    EXPECT_EQ(state[QStringLiteral("next_turn")].toString(), QStringLiteral("2"));
    EXPECT_EQ(state[QStringLiteral("named")][QStringLiteral("player")].toInt(), 10);
    EXPECT_TRUE(state[QStringLiteral("countdown")].isNull());
    // The standings in the spectator board's order: the court by slot first.
    const QJsonArray standings = state[QStringLiteral("standings")].toArray();
    ASSERT_GE(standings.size(), 4);
    for (int slot = 1; slot <= 4; ++slot)
        EXPECT_EQ(standings[slot - 1][QStringLiteral("player")].toInt(), onCourt[slot - 1]);
    form.cmdSave->click();
    EXPECT_TRUE(served()[QStringLiteral("named")].isNull());
    form.cmdMiss->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return served()[QStringLiteral("turn")].toInt() == 2; }, 5000));
}

}  // namespace
}  // namespace pellix
