#include "shell/court_area.h"

#include <QMouseEvent>

namespace pellix {

CourtArea::CourtArea(int index, QWidget* parent) : QWidget(parent), index_(index) {
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(false);
}

void CourtArea::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void CourtArea::mouseReleaseEvent(QMouseEvent* event) {
    // A click is a press and a release of the left button, both on the area.
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click) emit clicked(index_);
}

}  // namespace pellix
