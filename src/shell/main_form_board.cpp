// Token drops, the pointer on the tokens, and the bench order on screen. The board decides what a
// drop does; the turn machine decides when.

#include "shell/court_area.h"
#include "shell/main_form.h"
#include "shell/token_widget.h"

#include <QApplication>
#include <QPainter>
#include <QPushButton>

namespace pellix {

namespace {

constexpr const char* kDropSound = "ポコ.wav";

}  // namespace

void MainForm::picCourt_DragDrop(int Index, int source) {
    turn_->drop(PointerTarget::courtSlot(Index), source);
}

void MainForm::carryOutDrop(int target, int source) {
    const DropOutcome outcome = board.dropOnToken(source, target);
    if (outcome == DropOutcome::Nothing) return;
    placeToken(source);
    placeToken(target);
    boardFollows();
    if (turn_->phase() == TurnPhase::Idle) updateGuide();
    if (outcome == DropOutcome::CourtIncomplete) {
        cmdSave->setEnabled(false);
        return;
    }
    playSound(kDropSound);
    // During a countdown the decide button stays off: a second press would start the countdown
    // over while the first still runs. The close turns it on again.
    if (turn_->phase() == TurnPhase::Idle) cmdSave->setEnabled(true);
}

void MainForm::tokenPressed(int token, QPoint global, QPoint inToken) {
    pressedAt_ = global;
    pointerAt_ = global;
    grabbedAt_ = inToken;
    turn_->press(token);
}

void MainForm::tokenPointerMoved(QPoint global, Qt::MouseButtons buttons) {
    // A move without the button held: its release went elsewhere (a message box took it).
    if (!(buttons & Qt::LeftButton)) {
        turn_->cancelGesture();
        return;
    }
    const bool beyond = (global - pressedAt_).manhattanLength() >= QApplication::startDragDistance();
    pointerAt_ = global;
    // Moved before the machine hears of it: a close that the move starts shows the picture where
    // the pointer is.
    if (dragPicture_->isVisible()) dragPicture_->move(mapFromGlobal(global) - grabbedAt_);
    turn_->move(beyond, pointerTargetAt(global));
}

void MainForm::tokenReleased(QPoint global) {
    turn_->release(pointerTargetAt(global));
}

PointerTarget MainForm::pointerTargetAt(QPoint global) const {
    const QPoint at = mapFromGlobal(global);
    // Tokens lie over the court slot areas.
    for (int token = 1; token <= kTokenCount; ++token) {
        const TokenWidget* widget = tokenExists(token) ? picUser[token] : nullptr;
        if (widget && widget->isVisible() && widget->geometry().contains(at)) return PointerTarget::token(token);
    }
    for (int slot = 1; slot <= 4; ++slot) {
        if (picCourt[slot] && picCourt[slot]->geometry().contains(at)) return PointerTarget::courtSlot(slot);
    }
    return {};
}

void MainForm::dragStarted(int token) {
    // The token's picture, faded, inside a dotted outline of the token.
    const TokenWidget* widget = picUser[token];
    const qreal ratio = devicePixelRatioF();
    QPixmap picture(widget->size() * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.setOpacity(0.6);
        if (!widget->picture().isNull())
            painter.drawPixmap(widget->rect(), widget->picture().scaled(widget->size() * ratio, Qt::KeepAspectRatio,
                                                                        Qt::SmoothTransformation));
        painter.setOpacity(1.0);
        painter.setPen(QPen(Qt::black, 2, Qt::DotLine));
        painter.drawRect(QRect(QPoint(1, 1), widget->size() - QSize(2, 2)));
    }
    dragPicture_->setPixmap(picture);
    dragPicture_->resize(widget->size());
    dragPicture_->move(mapFromGlobal(pointerAt_) - grabbedAt_);
    dragPicture_->raise();
    dragPicture_->show();
}

void MainForm::dragEnded() {
    dragPicture_->hide();
}

void MainForm::sortBench(const BenchOrders& orders) {
    board.setOrders(orders);
    board.SortBench([this] {
        for (int token = 1; token <= kTokenCount; ++token)
            if (tokenExists(token)) placeToken(token);
        // Each exchange shows at once: the scorer sees the bench shuffle pair by pair.
        QCoreApplication::processEvents();
    });
    boardFollows();
}

}  // namespace pellix
