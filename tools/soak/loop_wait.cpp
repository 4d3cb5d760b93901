#include "tools/soak/loop_wait.h"

#include <QEventLoop>
#include <QTimer>
#include <cstdint>

#include "core/monotonic.h"

namespace panel::soak {

void Pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool WaitUntil(const std::function<bool()>& done, int ms) {
    // Not QTest::qWaitFor: it sleeps in 10 ms steps, which the lateness probe would count.
    const std::int64_t deadline = MonotonicMicros() + std::int64_t{ms} * 1000;
    while (!done()) {
        if (MonotonicMicros() >= deadline) return false;
        Pause(5);
    }
    return true;
}

}  // namespace panel::soak
