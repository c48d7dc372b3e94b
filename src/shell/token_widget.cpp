#include "shell/token_widget.h"

#include "board/board.h"

#include <QMouseEvent>
#include <QPainter>

namespace pellix {

void paintPlainFace(QPainter& painter, const QRect& token, int number, const QString& name) {
    painter.save();
    // Twelve hues around the colour circle, so that neighbours on the bench differ.
    const QColor face = QColor::fromHsv((number - 1) * 30 % 360, 150, 200);
    const QRect inside = token.adjusted(2, 2, -2, -2);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(face);
    painter.setPen(QPen(face.darker(150), 2));
    painter.drawRoundedRect(inside, token.width() / 10.0, token.width() / 10.0);
    painter.setPen(Qt::white);
    QFont big = painter.font();
    big.setPixelSize(std::max(8, token.height() * 2 / 5));
    big.setBold(true);
    painter.setFont(big);
    painter.drawText(inside.adjusted(0, 0, 0, -token.height() / 4), Qt::AlignCenter, QString::number(number));
    QFont small = painter.font();
    small.setPixelSize(std::max(6, token.height() / 8));
    small.setBold(false);
    painter.setFont(small);
    const QRect nameBox = inside.adjusted(3, inside.height() * 3 / 4 - 4, -3, -3);
    painter.drawText(nameBox, Qt::AlignCenter, QFontMetrics(small).elidedText(name, Qt::ElideRight, nameBox.width()));
    painter.restore();
}

TokenWidget::TokenWidget(int index, QWidget* parent) : QLabel(parent), index_(index) {
    setAlignment(Qt::AlignCenter);
    // Opaque like a picture box: a placeholder hides the court beneath it.
    setAutoFillBackground(true);
    // Picture boxes take a tab position but nothing is done with the focus.
    setFocusPolicy(Qt::TabFocus);
}

bool TokenWidget::draggable() const {
    return isPlayerToken(index_);
}

void TokenWidget::setPicture(const QPixmap& picture) {
    picture_ = picture;
    showScaled();
}

void TokenWidget::setPlainFace(int number, const QString& name) {
    plainNumber_ = number;
    plainName_ = name;
    showScaled();
    update();
}

void TokenWidget::setKeyLetter(char letter) {
    if (keyLetter_ == letter) return;
    keyLetter_ = letter;
    update();
}

void TokenWidget::setMarked(bool marked) {
    if (marked_ == marked) return;
    marked_ = marked;
    update();
}

void TokenWidget::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    showScaled();
}

void TokenWidget::showScaled() {
    // An empty token shows a sunken frame; a picture or a plain face fills the whole token.
    setFrameStyle(picture_.isNull() && plainNumber_ == 0 ? QFrame::Panel | QFrame::Sunken : QFrame::NoFrame);
    if (picture_.isNull()) {
        clear();
        return;
    }
    const QSize room = contentsRect().size();
    if (room.isEmpty()) {
        return;
    }
    const qreal ratio = devicePixelRatioF();
    QPixmap shown = picture_.scaled(room * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    // Drawn at exactly the room it was made for, sharp on a scaled screen.
    shown.setDevicePixelRatio(ratio);
    setPixmap(shown);
}

void TokenWidget::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    QPainter painter(this);
    if (picture_.isNull() && plainNumber_ > 0) paintPlainFace(painter, rect(), plainNumber_, plainName_);
    if (keyLetter_ != 0) {
        const int side = std::max(12, width() / 3);
        const QRect badge(width() - side - 2, 2, side, side);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QColor(0x20, 0x40, 0x90));
        painter.setPen(Qt::white);
        painter.drawEllipse(badge);
        QFont letter = font();
        letter.setPixelSize(side * 2 / 3);
        letter.setBold(true);
        painter.setFont(letter);
        painter.drawText(badge, Qt::AlignCenter, QString(QChar::fromLatin1(keyLetter_)));
    }
    if (!marked_) return;
    const int width = std::max(3, this->width() / 16);
    // Only the frame: the badge's brush must not fill the picture over.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(220, 0, 0), width));
    painter.drawRect(rect().adjusted(width / 2, width / 2, -(width + 1) / 2, -(width + 1) / 2));
}

void TokenWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QLabel::mousePressEvent(event);
        return;
    }
    event->accept();
    emit pressed(index_, event->globalPosition().toPoint(), event->position().toPoint());
}

void TokenWidget::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    emit pointerMoved(event->globalPosition().toPoint(), event->buttons());
}

void TokenWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QLabel::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    emit released(event->globalPosition().toPoint());
}

}  // namespace pellix
