#include "shell/audience_board.h"

#include "board/board.h"
#include "shell/form_layout.h"
#include "shell/main_form.h"
#include "shell/token_widget.h"
#include "shell/web_board_link.h"
#include "workbook/cell_map.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QShortcut>

#include <algorithm>

namespace pellix {

namespace {

const QColor kBackground(0x10, 0x1c, 0x2c);
const QColor kCourtGreen(0x2f, 0x7d, 0x32);
const QColor kNamedRed(0xd0, 0x10, 0x10);
const QColor kNoFill(0x2c, 0x3c, 0x50);
const QColor kQuiet(0xa0, 0xb0, 0xc0);

// Where a court slot stands on the board, as on the main window's court: 1 and 2 on the left,
// odd slots at the top.
QRect slotArea(const QRect& court, int slot) {
    const int half = court.width() / 2;
    const int middle = court.height() / 2;
    return QRect(court.left() + (slot <= 2 ? 0 : half), court.top() + (slot % 2 == 1 ? 0 : middle), half, middle);
}

QFont boardFont(const QFont& base, int pixels, bool bold = true) {
    QFont font = base;
    font.setPixelSize(std::max(6, pixels));
    font.setBold(bold);
    return font;
}

void drawElided(QPainter& painter, const QRect& box, int flags, const QString& text) {
    painter.drawText(box, flags, painter.fontMetrics().elidedText(text, Qt::ElideRight, box.width()));
}

}  // namespace

SpectatorBoard::SpectatorBoard() : QWidget(nullptr) {
    setObjectName(QStringLiteral("SpectatorBoard"));
    setWindowTitle(QStringLiteral("Pellix 観客ボード"));
    // A window for looking at: it never takes the keyboard from the scorer's window nor the pointer,
    // and it does not keep the program running once the scorer's window has closed.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    setFocusPolicy(Qt::NoFocus);
    setFont(QFont(QString::fromUtf8(layout::kProportionalGothic)));
    setMinimumSize(320, 180);
    resize(960, 540);
}

int SpectatorBoard::textPixels(int height) {
    return std::max(8, height / 18);
}

void SpectatorBoard::follow(const BoardFeed& feed) {
    const BoardState& state = feed.state;
    lastTurn_ = state.turn;
    titles_ = state.titles;
    for (const CourtPlace& place : state.court) court_[place.slot] = place.player;
    for (int player = 1; player <= cellmap::kPlayers; ++player) {
        names_[player] = QString::fromStdString(state.names[player]);
        pictures_[player] = feed.pictures[player];
    }

    // The same order as the web board's: one state feeds both.
    standings_.clear();
    for (const BoardLine& line : state.standings) {
        standings_.push_back({line.player, names_[line.player], QString::fromStdString(line.text),
                              line.fill ? QColor::fromRgb(*line.fill) : QColor()});
    }
    update();
}

void SpectatorBoard::showWebAddress(const QImage& qr, const QString& address) {
    webQr_ = qr;
    webAddress_ = address;
    update();
}

void SpectatorBoard::showCountdown(const QString& caption) {
    countdown_ = caption;
    update();
}

void SpectatorBoard::showNamed(int player) {
    named_ = isPlayerToken(player) ? player : 0;
    update();
}

void SpectatorBoard::toggleFullScreen() {
    if (isFullScreen()) {
        setWindowState(windowState() & ~Qt::WindowFullScreen);
        return;
    }
    showFullScreenOn(screen());
}

void SpectatorBoard::showFullScreenOn(QScreen* target) {
    if (target) {
        setScreen(target);
        // Without a window manager nothing else would size it to the screen.
        setGeometry(target->geometry());
    }
    // Not showFullScreen(), which would take the keyboard from the scorer's window.
    setWindowState(windowState() | Qt::WindowFullScreen);
    show();
}

void SpectatorBoard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.fillRect(rect(), kBackground);

    const int text = textPixels(height());
    const int margin = text / 2;
    const QRect inside = rect().adjusted(margin, margin, -margin, -margin);
    const QRect left(inside.left(), inside.top(), inside.width() / 2 - margin / 2, inside.height());
    const QRect right(left.right() + margin + 1, inside.top(), inside.right() - left.right() - margin, inside.height());

    const int messageHeight = text * 3 / 2;
    const int titlesHeight = 3 * (text * 5 / 4);
    const int courtHeight = std::max(text * 2, left.height() - messageHeight - titlesHeight - margin);
    paintCourt(painter, QRect(left.left(), left.top(), left.width(), courtHeight), text);
    paintMessage(painter, QRect(left.left(), left.top() + courtHeight + margin / 2, left.width(), messageHeight), text);
    paintTitles(painter, QRect(left.left(), left.bottom() - titlesHeight + 1, left.width(), titlesHeight), text);
    paintStandings(painter, right, text);
    paintWebAddress(painter, right, text);
}

void SpectatorBoard::paintWebAddress(QPainter& painter, const QRect& area, int text) const {
    if (webQr_.isNull()) return;
    // Below the standings' twelve rows, where there is room for a code a phone can read.
    const int rows = std::max<int>(cellmap::kPlayers, static_cast<int>(standings_.size()));
    const int top = area.top() + rows * std::min(text * 6 / 5, area.height() / rows) + text / 4;
    const int side = area.bottom() - top;
    if (side < 64) return;
    const QRect code(area.right() - side + 1, top, side, side);
    painter.drawImage(code, webQr_);
    painter.setPen(kQuiet);
    painter.setFont(boardFont(font(), std::min(text * 3 / 5, side / 3), false));
    drawElided(painter, QRect(area.left(), top, area.width() - side - text / 4, side), Qt::AlignRight | Qt::AlignVCenter,
               webAddress_);
}

void SpectatorBoard::paintCourt(QPainter& painter, const QRect& court, int text) const {
    const int line = std::max(2, text / 12);
    for (int slot = 1; slot <= 4; ++slot) {
        const QRect area = slotArea(court, slot);
        painter.fillRect(area, kCourtGreen);
        painter.setPen(QPen(Qt::white, line));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(area.adjusted(line / 2, line / 2, -line / 2, -line / 2));
        painter.setFont(boardFont(font(), text / 2));
        painter.drawText(area.adjusted(line * 3, line * 2, 0, 0), Qt::AlignLeft | Qt::AlignTop, QString::number(slot));

        const int player = court_[slot];
        if (player == 0) continue;
        const int nameHeight = text * 6 / 5;
        const int side = std::max(8, std::min(area.width() - 4 * line, area.height() - nameHeight - 4 * line));
        const QRect token(area.center().x() - side / 2, area.top() + 2 * line, side, side);
        if (!pictures_[player].isNull()) {
            const QPixmap picture =
                pictures_[player].scaled(token.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
            painter.drawPixmap(token.left() + (side - picture.width()) / 2, token.top() + (side - picture.height()) / 2,
                               picture);
        } else {
            painter.setFont(boardFont(font(), text));
            paintPlainFace(painter, token, player, names_[player]);
        }
        if (player == named_) {
            const int frame = std::max(4, side / 16);
            painter.setPen(QPen(kNamedRed, frame));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(token.adjusted(-frame / 2, -frame / 2, frame / 2, frame / 2));
        }
        painter.setPen(Qt::white);
        painter.setFont(boardFont(font(), text));
        drawElided(painter,
                   QRect(area.left() + line, area.bottom() - nameHeight - line, area.width() - 2 * line, nameHeight),
                   Qt::AlignCenter, names_[player].isEmpty() ? QString::number(player) : names_[player]);
    }
}

void SpectatorBoard::paintMessage(QPainter& painter, const QRect& area, int text) const {
    if (!countdown_.isEmpty()) {
        painter.setPen(QColor(0xff, 0xd8, 0x40));
        painter.setFont(boardFont(font(), area.height() * 9 / 10));
        painter.drawText(area, Qt::AlignCenter, countdown_);
    } else if (named_ > 0) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(kNamedRed);
        painter.drawRoundedRect(area, text / 4.0, text / 4.0);
        painter.setPen(Qt::white);
        painter.setFont(boardFont(font(), text));
        drawElided(painter, area.adjusted(text / 4, 0, -text / 4, 0), Qt::AlignCenter,
                   QStringLiteral("C : %1 %2").arg(named_).arg(names_[named_]));
    } else if (lastTurn_ > 0) {
        painter.setPen(kQuiet);
        painter.setFont(boardFont(font(), text * 4 / 5, false));
        painter.drawText(area, Qt::AlignCenter, QStringLiteral("第 %1 節まで").arg(lastTurn_));
    }
}

QString SpectatorBoard::holdersText(const Title& title) const {
    QStringList names;
    for (int player : title.holders) names << (names_[player].isEmpty() ? QString::number(player) : names_[player]);
    return names.join(QStringLiteral("・"));
}

void SpectatorBoard::paintTitles(QPainter& painter, const QRect& area, int text) const {
    const struct {
        const char* label;
        const Title& title;
        const char* unit;
    } lines[] = {
        {"最長連勝", titles_.longestStreak, "連勝"},
        {"最多出場", titles_.mostOnCourt, "節"},
        {"最多 C", titles_.mostNamed, "回"},
    };
    const int lineHeight = area.height() / 3;
    const int labelWidth = text * 9 / 2;
    const int valueWidth = text * 3;
    for (int i = 0; i < 3; ++i) {
        const QRect row(area.left(), area.top() + i * lineHeight, area.width(), lineHeight);
        painter.setPen(kQuiet);
        painter.setFont(boardFont(font(), text * 4 / 5, false));
        painter.drawText(row, Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf8(lines[i].label));
        const Title& title = lines[i].title;
        painter.setPen(Qt::white);
        painter.setFont(boardFont(font(), text));
        const QRect value(row.left() + labelWidth, row.top(), valueWidth, row.height());
        if (title.value == 0) {
            painter.drawText(value, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("—"));
            continue;
        }
        painter.drawText(value, Qt::AlignLeft | Qt::AlignVCenter,
                         QString::number(title.value) + QString::fromUtf8(lines[i].unit));
        drawElided(painter, QRect(value.right() + 1, row.top(), row.right() - value.right(), row.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, holdersText(title));
    }
}

void SpectatorBoard::paintStandings(QPainter& painter, const QRect& area, int text) const {
    const int rows = std::max<int>(cellmap::kPlayers, static_cast<int>(standings_.size()));
    const int rowHeight = std::min(text * 6 / 5, area.height() / rows);
    const int pixels = std::min(text, rowHeight * 5 / 6);
    const int numberWidth = pixels * 3 / 2;
    const int nameWidth = (area.width() - numberWidth) * 9 / 20;
    const int gap = std::max(2, rowHeight / 12);
    for (std::size_t i = 0; i < standings_.size(); ++i) {
        const Line& line = standings_[i];
        const QRect row(area.left(), area.top() + static_cast<int>(i) * rowHeight, area.width(), rowHeight - gap);
        painter.setPen(kQuiet);
        painter.setFont(boardFont(font(), pixels * 4 / 5, false));
        painter.drawText(QRect(row.left(), row.top(), numberWidth, row.height()), Qt::AlignCenter,
                         QString::number(line.player));
        painter.setPen(Qt::white);
        painter.setFont(boardFont(font(), pixels));
        drawElided(painter, QRect(row.left() + numberWidth, row.top(), nameWidth - gap, row.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, line.name.isEmpty() ? QString::number(line.player) : line.name);
        const QRect standing(row.left() + numberWidth + nameWidth, row.top(), row.width() - numberWidth - nameWidth,
                             row.height());
        painter.setPen(Qt::NoPen);
        painter.setBrush(line.fill.isValid() ? line.fill : kNoFill);
        painter.drawRoundedRect(standing, gap * 2.0, gap * 2.0);
        // Dark text on the light fills of the sheet, light text on the board's own colour.
        painter.setPen(line.fill.isValid() && line.fill.lightness() > 128 ? QColor(0x10, 0x10, 0x10) : Qt::white);
        drawElided(painter, standing.adjusted(gap * 2, 0, -gap * 2, 0), Qt::AlignCenter, line.standing);
    }
}

// ---- The main window's side: opening the board and keeping it up to date ----

void MainForm::installSpectatorShortcuts() {
    auto* open = new QShortcut(QKeySequence(Qt::Key_F11), this);
    open->setObjectName(QStringLiteral("spectatorBoardShortcut"));
    connect(open, &QShortcut::activated, this, [this] { toggleSpectatorBoard(); });
    auto* fullScreen = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F11), this);
    fullScreen->setObjectName(QStringLiteral("spectatorFullScreenShortcut"));
    connect(fullScreen, &QShortcut::activated, this, [this] {
        if (spectator_ && spectator_->isVisible()) spectator_->toggleFullScreen();
    });
}

void MainForm::toggleSpectatorBoard() {
    if (spectator_ && spectator_->isVisible()) {
        spectator_->hide();
        return;
    }
    const bool first = !spectator_;
    if (first) spectator_ = std::make_unique<SpectatorBoard>();
    if (first && web_) spectator_->showWebAddress(web_->qr(), web_->address());
    spectator_->follow(boardFeed());
    spectator_->showNamed(markedToken_);
    spectator_->showCountdown(turn_->phase() == TurnPhase::Countdown ? cmdSave->text() : QString());
    if (!first) {
        spectator_->show();
        return;
    }
    // First opened: full screen on another screen when there is one (the projector), else a window
    // beside this one that can be moved there.
    const QScreen* mine = screen();
    for (QScreen* other : QGuiApplication::screens()) {
        if (other == mine) continue;
        spectator_->showFullScreenOn(other);
        return;
    }
    spectator_->show();
}

void MainForm::boardFollows() {
    if (spectator_) spectator_->follow(boardFeed());
    webFollows();
}

}  // namespace pellix
