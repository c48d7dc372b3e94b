#include "shell/input_flush.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputEvent>

#include <ctime>

namespace pellix {

namespace {

bool isUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
        return true;
    default:
        return false;
    }
}

// How far the X server's clock may run ahead of the last input we saw and still be believed.
constexpr quint64 kPlausibleLeadMs = 60'000;

}  // namespace

InputFlush::InputFlush(std::function<quint64()> now, QObject* parent) : QObject(parent), now_(std::move(now)) {
    QCoreApplication::instance()->installEventFilter(this);
}

InputFlush::~InputFlush() {
    if (auto* app = QCoreApplication::instance()) {
        app->removeEventFilter(this);
    }
}

quint64 InputFlush::platformNow() const {
    // The flush is asked for while handling an input event, so the newest stamp seen so far is at
    // least that event's. On X11 the stamps are the server's milliseconds, which Xorg and Xvfb
    // take from the monotonic clock: input queued after that event but before the flush is
    // stamped no later than the monotonic clock reads now.
    quint64 moment = latestSeen_;
    if (QGuiApplication::platformName() == QLatin1StringView("xcb")) {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        const quint64 serverNow =
            (static_cast<quint64>(ts.tv_sec) * 1000 + static_cast<quint64>(ts.tv_nsec) / 1'000'000) & 0xFFFF'FFFFu;
        if (serverNow >= moment && serverNow - moment <= kPlausibleLeadMs) {
            moment = serverNow;
        }
    }
    return moment;
}

void InputFlush::flush() {
    flushMoment_ = now_ ? now_() : platformNow();
    armed_ = true;
}

bool InputFlush::eventFilter(QObject* watched, QEvent* event) {
    if (!isUserInput(event->type()) || !event->spontaneous()) {
        return QObject::eventFilter(watched, event);
    }
    const quint64 stamp = static_cast<QInputEvent*>(event)->timestamp();
    if (armed_) {
        if (stamp <= flushMoment_) {
            return true;
        }
        // Everything queued before the flush has now been delivered or dropped.
        armed_ = false;
    }
    if (stamp > latestSeen_) {
        latestSeen_ = stamp;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace pellix
