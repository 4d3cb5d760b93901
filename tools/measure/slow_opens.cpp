// The window's event loop while its start-up open waits: a 10 ms timer's lateness, tick by tick,
// against a host that never answers, a name lookup that takes 4 s, and a Telnet server that
// accepts and never confirms the line settings.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTimer>
#include <array>
#include <cstdio>
#include <functional>
#include <vector>

#include "testkit/ser2net_process.h"
#include "tools/measure/measurements.h"
#include "tools/measure/panel_driver.h"
#include "tools/measure/statistics.h"

namespace panel::measure {
namespace {

// A loopback listener whose queue is full: further connection attempts go unanswered, as to a
// host that is not there, without anything leaving 127.0.0.1.
class FullListener {
public:
    FullListener() : listener_(test::listenOnLoopback(0, port_)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port_);
        for (int& fd : fillers_) {
            fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            (void)::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
    }
    ~FullListener() {
        for (int fd : fillers_) ::close(fd);
        ::close(listener_);
    }
    std::uint16_t port() const { return port_; }

private:
    std::uint16_t port_ = 0;
    int listener_ = -1;
    std::array<int, 4> fillers_{};
};

// The lateness of every tick of a 10 ms timer while the window opens `url`, in ms.
std::vector<double> latenessDuring(const QString& url) {
    std::vector<double> lateness;
    QElapsedTimer clock;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    qint64 last = 0;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        lateness.push_back(static_cast<double>(now - last) / 1e6 - 10);
        last = now;
    });
    clock.start();
    probe.start(10);
    {
        PanelDriver panel(url);  // its start-up open runs here, to its failure
        PanelDriver::waitFor([&] { return !panel.port().isOpening(); }, 10000);
    }
    return lateness;
}

}  // namespace

int MeasureSlowOpens() {
    FullListener full;
    QTcpServer silent;
    silent.listen(QHostAddress::LocalHost);
    struct Case {
        const char* name;
        QString url;
    };
    const Case cases[] = {
        {"host that never answers (3 s)", QStringLiteral("socket://127.0.0.1:%1").arg(full.port())},
        {"name lookup taking 4 s (3 s)", QStringLiteral("socket://projector.slow.test:4001")},
        {"settings never confirmed (1 s)",
         QStringLiteral("rfc2217://127.0.0.1:%1").arg(silent.serverPort())},
    };
    std::printf(
        "Event loop during a slow open: lateness of a 10 ms timer (goal: p99 < 20 ms, "
        "max < 50 ms)\n");
    for (const Case& c : cases) {
        const Summary s = Summarize(latenessDuring(c.url));
        std::printf("  %-32s %4zu ticks: median %.2f ms, p99 %.2f ms, max %.2f ms\n", c.name,
                    s.count, s.median, s.p99, s.max);
    }
    return 0;
}

}  // namespace panel::measure
