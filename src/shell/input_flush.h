#pragma once

// Throws away the scorer's input that is already queued, the way a message-queue flush does:
// after flush(), every spontaneous mouse, key or wheel event stamped at or before that moment is
// swallowed when it comes to be delivered. Input made later gets through.

#include <QObject>

#include <functional>

namespace pellix {

class InputFlush : public QObject {
    Q_OBJECT

public:
    // `now` gives the flush moment in the clock of the input events' timestamps; empty: the
    // platform's own (see inputClockNow).
    explicit InputFlush(std::function<quint64()> now = {}, QObject* parent = nullptr);
    ~InputFlush() override;

    void flush();
    bool armed() const { return armed_; }

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    quint64 platformNow() const;

    std::function<quint64()> now_;
    quint64 flushMoment_ = 0;
    quint64 latestSeen_ = 0;
    bool armed_ = false;
};

}  // namespace pellix
