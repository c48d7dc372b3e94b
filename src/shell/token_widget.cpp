#include "shell/token_widget.h"

#include "board/board.h"
#include "shell/main_form.h"

#include <QCoreApplication>
#include <QDrag>
#include <QElapsedTimer>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

namespace pellix {

namespace {

// The token of the drag this program is running, 0 when none.
int activeDragToken = 0;
constexpr qint64 kDragSettleMs = 150;

QByteArray originOf(const MainForm& form) {
    return QByteArray::number(QCoreApplication::applicationPid()) + '/' +
           QByteArray::number(reinterpret_cast<quintptr>(&form), 16);
}

}  // namespace

bool tokenDragInProgress() { return activeDragToken != 0; }

QMimeData* tokenMimeData(const MainForm& form, int token) {
    auto* mime = new QMimeData;
    mime->setData(QLatin1StringView(kTokenMimeType), QByteArray::number(token));
    mime->setData(QLatin1StringView(kTokenOriginMimeType), originOf(form));
    return mime;
}

std::optional<int> draggedToken(const QDropEvent& event, const MainForm& form) {
    // A drag out of this program names its token by the widget it started from; its MIME data is
    // not read. Under X the first events of a drag that follows another quickly can carry the MIME
    // data of the drag before, which Qt has already deleted: while one of our drags runs, an event
    // that does not name its source is such a leftover and is ignored.
    if (const QObject* source = event.source()) {
        const auto* token = qobject_cast<const TokenWidget*>(source);
        if (!token || &token->form() != &form || !isPlayerToken(token->index())) {
            return std::nullopt;
        }
        return token->index();
    }
    if (activeDragToken != 0) {
        return std::nullopt;
    }
    const QMimeData* mime = event.mimeData();
    if (!mime || !mime->hasFormat(QLatin1StringView(kTokenMimeType)) ||
        mime->data(QLatin1StringView(kTokenOriginMimeType)) != originOf(form)) {
        return std::nullopt;
    }
    bool ok = false;
    const int number = mime->data(QLatin1StringView(kTokenMimeType)).toInt(&ok);
    // Only player tokens are ever dragged.
    if (!ok || !isPlayerToken(number)) {
        return std::nullopt;
    }
    return number;
}

TokenWidget::TokenWidget(MainForm& form, int index, QWidget* parent) : QLabel(parent), form_(form), index_(index) {
    setAcceptDrops(true);
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

void TokenWidget::mousePressEvent(QMouseEvent* event) {
    // One drag at a time: a press that reaches a token while a drag or a workbook operation lets
    // queued input run starts none.
    if (!draggable() || event->button() != Qt::LeftButton || activeDragToken != 0 || !form_.acceptsDrops()) {
        QLabel::mousePressEvent(event);
        return;
    }
    struct Dragging {
        explicit Dragging(int token) { activeDragToken = token; }
        ~Dragging() { activeDragToken = 0; }
    } inDrag(index_);
    // The drag starts on the press itself; the token raises no click.
    auto* drag = new QDrag(this);
    drag->setMimeData(tokenMimeData(form_, index_));

    // The outline of the token, held where it was grabbed.
    QPixmap outline(size() * devicePixelRatioF());
    outline.setDevicePixelRatio(devicePixelRatioF());
    outline.fill(Qt::transparent);
    {
        QPainter painter(&outline);
        QPen pen(Qt::black, 2, Qt::DotLine);
        painter.setPen(pen);
        painter.drawRect(QRect(QPoint(1, 1), size() - QSize(2, 2)));
    }
    drag->setPixmap(outline);
    drag->setHotSpot(event->position().toPoint());
    drag->exec(Qt::MoveAction, Qt::MoveAction);
    // The window system's last messages about this drag may still be on their way; let them
    // arrive while no drag runs, so a drag started right after this one is not taken for it.
    QElapsedTimer settling;
    settling.start();
    while (settling.elapsed() < kDragSettleMs) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
    }
    activeDragToken = 0;
    form_.finishHeldClose();
    form_.showHeldFailures();
}

void TokenWidget::dragPassesOver(QDragMoveEvent* event) {
    if (!draggedToken(*event, form_)) {
        event->ignore();
        return;
    }
    form_.picUser_DragOver(index_);
    if (form_.acceptsDrops()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void TokenWidget::dragEnterEvent(QDragEnterEvent* event) { dragPassesOver(event); }

void TokenWidget::dragMoveEvent(QDragMoveEvent* event) { dragPassesOver(event); }

void TokenWidget::dropEvent(QDropEvent* event) {
    const std::optional<int> source = draggedToken(*event, form_);
    if (!source || !form_.acceptsDrops()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    form_.picUser_DragDrop(index_, *source);
}

}  // namespace pellix
