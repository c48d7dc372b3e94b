#pragma once

// A timer driven by its interval, as the countdown uses it: 0 stops it, any other value (re)starts
// it, and it keeps firing every Interval milliseconds until set back to 0.

#include <QObject>
#include <QTimer>

namespace pellix {

class VbTimer : public QObject {
    Q_OBJECT

public:
    explicit VbTimer(QObject* parent = nullptr);

    int Interval() const { return interval_; }
    void setInterval(int ms);

signals:
    void Timer();

private:
    QTimer timer_;
    int interval_ = 0;
};

}  // namespace pellix
