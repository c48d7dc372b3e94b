// The window's side of the web board: serving on the address asked for or saying why not, the QR
// code, and the control.

#include "shell/web_board_link.h"
#include "test_support.h"

#include <QTcpServer>
#include <QToolButton>

namespace pellix {
namespace {

TEST(WebBoardWindow, ServesOnTheAddressAskedForOrSaysWhyNotWithItsCodeAndControl) {
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

    // What the state holds is the board state's tests'; that the window feeds it is the spectator
    // board's, and the served state following real turns the real-window web board game's.
}

}  // namespace
}  // namespace pellix
