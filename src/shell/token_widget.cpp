#include "shell/token_widget.h"

#include "board/board.h"
#include "shell/main_form.h"

#include <QMouseEvent>
#include <QPainter>

namespace pellix {

TokenWidget::TokenWidget(MainForm& form, int index, QWidget* parent) : QLabel(parent), form_(form), index_(index) {
    setAlignment(Qt::AlignCenter);
    // Opaque like a picture box: a placeholder hides the court beneath it.
    setAutoFillBackground(true);
    // Picture boxes take a tab position but nothing is done with the focus.
    setFocusPolicy(Qt::TabFocus);
}

bool TokenWidget::draggable() const { return isPlayerToken(index_); }

void TokenWidget::setPicture(const QPixmap& picture) {
    picture_ = picture;
    showScaled();
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
    // An empty token shows a sunken frame; a picture fills the whole token.
    setFrameStyle(picture_.isNull() ? QFrame::Panel | QFrame::Sunken : QFrame::NoFrame);
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
    if (!marked_) return;
    QPainter painter(this);
    const int width = std::max(3, this->width() / 16);
    painter.setPen(QPen(QColor(220, 0, 0), width));
    painter.drawRect(rect().adjusted(width / 2, width / 2, -(width + 1) / 2, -(width + 1) / 2));
}

void TokenWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QLabel::mousePressEvent(event);
        return;
    }
    event->accept();
    form_.tokenPressed(index_, event->globalPosition().toPoint(), event->position().toPoint());
}

void TokenWidget::mouseMoveEvent(QMouseEvent* event) {
    // The token that took the press keeps the pointer until the release, wherever it goes.
    event->accept();
    form_.tokenPointerMoved(event->globalPosition().toPoint(), event->buttons());
}

void TokenWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QLabel::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    form_.tokenReleased(event->globalPosition().toPoint());
}

}  // namespace pellix
