#include "tools/aids/shown_report.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QMetaObject>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <ctime>

#include "core/monotonic.h"

namespace panel {
namespace {

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
                std::printf("%lld %lld\n", static_cast<long long>(MonotonicMicros()),
                            residentKiB());
                std::fflush(stdout);
                QCoreApplication::quit();
            },
            Qt::QueuedConnection);
    }
    return false;
}

}  // namespace panel
