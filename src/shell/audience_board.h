#pragma once

// The spectator board: a second window for a projector or a second screen, for the players on
// court and the people waiting. It shows the court with the four players, the countdown while it
// runs and who was named at the close, every taking-part player's standing in bench order, and
// the live titles of the evening. It shows what the main window hands it (the state both boards
// show, the token pictures, the web board's address) and takes no input: no focus, no pointer.

#include "shell/board_feed.h"
#include "workbook/live_titles.h"

#include <QImage>
#include <QColor>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <array>
#include <vector>

class QScreen;

namespace pellix {

class SpectatorBoard : public QWidget {
    Q_OBJECT

public:
    // One line of the standings.
    struct Line {
        int player = 0;
        QString name;
        QString standing;  // column D as the sheet shows it
        QColor fill;       // column D's fill; invalid when it has none
        bool operator==(const Line&) const = default;
    };

    SpectatorBoard();

    // Shows the window's state again: the sheet it shows, where the tokens stand, the pictures.
    void follow(const BoardFeed& feed);
    // The web board's address and its QR code, while it is served; a null code when it is not.
    void showWebAddress(const QImage& qr, const QString& address);
    // The countdown's caption while it runs; empty when it has ended.
    void showCountdown(const QString& caption);
    // The player named at the close of a turn; 0 for nobody.
    void showNamed(int player);
    // Full screen on the screen the board stands on, or back to a window.
    void toggleFullScreen();
    // Full screen on `screen` (null: where it stands).
    void showFullScreenOn(QScreen* screen);

    // What the board shows.
    const std::array<int, 5>& court() const { return court_; }  // 1..4: the player in the slot, 0 for none
    const std::vector<Line>& standings() const { return standings_; }
    const LiveTitles& titles() const { return titles_; }
    const QString& countdown() const { return countdown_; }
    int named() const { return named_; }
    // The pixel size of the names and standings in a window of this height.
    static int textPixels(int height);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void paintCourt(QPainter& painter, const QRect& area, int text) const;
    void paintMessage(QPainter& painter, const QRect& area, int text) const;
    void paintTitles(QPainter& painter, const QRect& area, int text) const;
    void paintStandings(QPainter& painter, const QRect& area, int text) const;
    // The web board's address and QR code, while it is served.
    void paintWebAddress(QPainter& painter, const QRect& area, int text) const;
    QString holdersText(const Title& title) const;

    std::array<int, 5> court_{};
    std::array<QPixmap, 13> pictures_{};
    std::array<QString, 13> names_{};
    std::vector<Line> standings_;
    LiveTitles titles_;
    int lastTurn_ = 0;
    QString countdown_;
    int named_ = 0;
    QImage webQr_;
    QString webAddress_;
};

}  // namespace pellix
