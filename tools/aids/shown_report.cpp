#include "tools/aids/shown_report.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <ctime>

#include "core/monotonic.h"
#include "testkit/resident_memory.h"

namespace panel {

bool ShownReport::eventFilter(QObject* watched, QEvent* event) {
    if (!reported_ && event->type() == QEvent::Expose && window_.windowHandle() == watched &&
        window_.windowHandle()->isExposed()) {
        reported_ = true;
        // Queued: the stamp is taken after the exposure has been painted.
        QMetaObject::invokeMethod(
            this,
            [] {
                std::printf("%lld %lld\n", static_cast<long long>(MonotonicMicros()),
                            static_cast<long long>(test::ResidentKiB()));
                std::fflush(stdout);
                QCoreApplication::quit();
            },
            Qt::QueuedConnection);
    }
    return false;
}

}  // namespace panel
