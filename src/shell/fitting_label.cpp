#include "shell/fitting_label.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

namespace pellix {

namespace {

// Smaller than this share of the label's own size a text is no easier to read than shortened.
constexpr qreal kSmallestShare = 0.7;
constexpr qreal kSmallestPoints = 7.0;
constexpr qreal kStep = 0.5;

}  // namespace

FittingLabel::Fitted FittingLabel::fitted() const {
    Fitted result{font(), text(), false};
    const int room = contentsRect().width();
    if (room <= 0 || QFontMetrics(result.font).horizontalAdvance(result.text) <= room) return result;
    const qreal own = font().pointSizeF() > 0 ? font().pointSizeF() : 9.0;
    const qreal smallest = std::max(kSmallestPoints, own * kSmallestShare);
    for (qreal points = own - kStep; points >= smallest; points -= kStep) {
        result.font.setPointSizeF(points);
        if (QFontMetrics(result.font).horizontalAdvance(result.text) <= room) return result;
    }
    result.text = QFontMetrics(result.font).elidedText(result.text, Qt::ElideRight, room);
    result.shortened = true;
    return result;
}

void FittingLabel::paintEvent(QPaintEvent*) {
    const Fitted shown = fitted();
    QPainter painter(this);
    painter.setFont(shown.font);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
    painter.drawText(contentsRect(), static_cast<int>(alignment()), shown.text);
}

bool FittingLabel::event(QEvent* event) {
    // A shortened text shows whole in the tool-tip; a label's own tip, if any, otherwise.
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty()) {
        const Fitted shown = fitted();
        if (shown.shortened) {
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text(), this);
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QLabel::event(event);
}

}  // namespace pellix
