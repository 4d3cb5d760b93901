#include "serial/qt_timer.h"

namespace panel {

QtTimer::QtTimer(QObject* parent) : QObject(parent) {
    // Coarse timers may be 5 % late or early; the repeat periods go down to 5 ms.
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (handler_) handler_();
    });
}

void QtTimer::setEnabled(bool enabled) {
    // QTimer::start on a running timer restarts the count, as the contract wants.
    if (enabled)
        timer_.start();
    else
        timer_.stop();
}

}  // namespace panel
