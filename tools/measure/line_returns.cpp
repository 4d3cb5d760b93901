// A lost line's return: from the moment the device is there again (a pseudo-terminal linked
// again, or ser2net listening again in front of it) to the window's port open again.
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <memory>
#include <vector>

#include "testkit/pseudo_terminal.h"
#include "testkit/ser2net_process.h"
#include "tools/measure/measurements.h"
#include "tools/measure/panel_driver.h"
#include "tools/measure/statistics.h"

namespace panel::measure {
namespace {

// The far end behind a fixed link, as a by-id name is; optionally ser2net in front of it.
class ReturningLine {
public:
    explicit ReturningLine(bool network) : link_(dir_.filePath(QStringLiteral("line"))) {
        plugIn();
        if (network) server_ = std::make_unique<test::Ser2NetProcess>(link_);
    }
    QString com1() const { return server_ ? server_->rfc2217Url() : link_; }
    bool ok() const { return line_->ok() && (!server_ || server_->ok()); }

    void goAway() {
        if (server_) return server_->kill();
        line_->hangUp();
        line_.reset();
        ::unlink(QFile::encodeName(link_).constData());
    }
    bool comeBack() { return server_ ? server_->start() : plugIn(); }

private:
    bool plugIn() {
        line_ = std::make_unique<test::PseudoTerminal>();
        return ::symlink(QFile::encodeName(line_->path()).constData(),
                         QFile::encodeName(link_).constData()) == 0;
    }

    QTemporaryDir dir_;
    QString link_;
    std::unique_ptr<test::PseudoTerminal> line_;
    std::unique_ptr<test::Ser2NetProcess> server_;
};

// Over the network the outage lasts 0.5 to 3.5 s, so that the returns fall on every point of the
// back-off's first steps.
int outageMs(bool network, int i) {
    return network ? 500 + 1000 * (i % 4) : 200;
}

}  // namespace

int MeasureLineReturns(bool network, int returns) {
    ReturningLine line(network);
    LineWatcher watcher;
    PanelDriver panel(line.com1(), &watcher);
    if (!line.ok() || !panel.ready()) {
        std::fputs("panel-measure: the line or the window did not come up\n", stderr);
        return 1;
    }
    std::vector<double> samples;
    for (int i = 0; i < returns; ++i) {
        line.goAway();
        if (!PanelDriver::waitFor([&] { return watcher.isWatching(); })) break;
        QTest::qWait(outageMs(network, i));
        if (!line.comeBack()) break;
        QElapsedTimer back;
        back.start();
        if (!PanelDriver::waitFor([&] { return panel.port().isOpen(); }, 60000)) break;
        samples.push_back(static_cast<double>(back.nsecsElapsed()) / 1e6);
    }
    const Summary s = Summarize(samples);
    std::printf(
        "Line return to port open, %s, %zu of %d returns: median %.1f ms, max %.1f ms "
        "(goal: %s)\n",
        network ? "rfc2217:// through ser2net" : "pseudo-terminal behind a link", s.count, returns,
        s.median, s.max, network ? "within the back-off step + 1 s" : "within 500 ms");
    return static_cast<int>(s.count) == returns ? 0 : 1;
}

}  // namespace panel::measure
