#include "shell/vb_timer.h"

namespace pellix {

VbTimer::VbTimer(QObject* parent) : QObject(parent) {
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &VbTimer::Timer);
}

void VbTimer::setInterval(int ms) {
    interval_ = ms;
    if (ms == 0) {
        timer_.stop();
        return;
    }
    // A new interval restarts the count from now, also when the timer was already running.
    timer_.start(ms);
}

}  // namespace pellix
