#include "ui/shown_report.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QMetaObject>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <ctime>

namespace panel {
namespace {

long long monotonicMicros() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

long long residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

}  // namespace

bool ShownReport::eventFilter(QObject* watched, QEvent* event) {
    if (!reported_ && event->type() == QEvent::Expose && window_.windowHandle() == watched &&
        window_.windowHandle()->isExposed()) {
        reported_ = true;
        // Queued: the stamp is taken after the exposure has been painted.
        QMetaObject::invokeMethod(
            this,
            [] {
                std::printf("%lld %lld\n", monotonicMicros(), residentKiB());
                std::fflush(stdout);
                QCoreApplication::quit();
            },
            Qt::QueuedConnection);
    }
    return false;
}

}  // namespace panel
