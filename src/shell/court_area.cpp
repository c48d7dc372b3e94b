#include "shell/court_area.h"

#include "shell/main_form.h"
#include "shell/token_widget.h"

#include <QDragEnterEvent>
#include <QMouseEvent>

namespace pellix {

CourtArea::CourtArea(MainForm& form, int index, QWidget* parent) : QWidget(parent), form_(form), index_(index) {
    setAcceptDrops(true);
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
    if (click) {
        form_.picCourt_Click(index_);
    }
}

void CourtArea::dragEnterEvent(QDragEnterEvent* event) {
    if (draggedToken(*event, form_) && form_.acceptsDrops()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void CourtArea::dragMoveEvent(QDragMoveEvent* event) {
    if (draggedToken(*event, form_) && form_.acceptsDrops()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void CourtArea::dropEvent(QDropEvent* event) {
    const std::optional<int> source = draggedToken(*event, form_);
    if (!source || !form_.acceptsDrops()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    form_.picCourt_DragDrop(index_, *source);
}

}  // namespace pellix
