#include "tools/soak/sim_line.h"

#include <signal.h>
#include <sys/prctl.h>

#include <QFile>
#include <algorithm>
#include <cmath>

#include "core/monotonic.h"

namespace panel::soak {
namespace {

// A soak that dies (a crash, an abort) must not leave its simulators and servers running.
void stopWithUs(QProcess& process) {
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

}  // namespace

void SimLine::startServer() {
    if (!server_) {
        test::Ser2NetSetup setup;
        setup.startNow = false;
        setup.logFile = workDir_ + QStringLiteral("/ser2net-com%1.err").arg(number_);
        server_ = std::make_unique<test::Ser2NetProcess>(link_, setup);
    }
    server_->launch();
}

void SimLine::killServer() {
    if (!server_ || !server_->ok()) return;
    const std::int64_t now = MonotonicMicros();
    serverDownAt_ = now;
    serverDown_ = true;
    if (Incarnation* incarnation = live()) incarnation->ledger.lineDown(now);
    server_->kill();
}

void SimLine::serverBack() {
    serverDown_ = false;
    serverUpAt_ = MonotonicMicros();
    if (Incarnation* incarnation = live()) incarnation->ledger.lineUp(serverUpAt_);
}

bool SimLine::serverListening() const {
    return server_ && server_->listening();
}

QString SimLine::url() const {
    return server_ ? server_->rfc2217Url() : QString();
}

SimLine::SimLine(int number, QString simBinary, QString workDir)
    : number_(number),
      simBinary_(std::move(simBinary)),
      workDir_(std::move(workDir)),
      link_(workDir_ + QStringLiteral("/com%1").arg(number)) {}

SimLine::~SimLine() {
    server_.reset();
    for (Incarnation& incarnation : incarnations_) {
        if (!incarnation.process) continue;
        incarnation.process->disconnect(this);
        if (incarnation.process->state() != QProcess::NotRunning) {
            incarnation.process->terminate();
            incarnation.process->waitForFinished(5000);
        }
    }
}

void SimLine::start(const std::vector<std::string>& faultArgs) {
    Incarnation& incarnation = incarnations_.emplace_back();
    incarnation.id = nextId_++;
    const QString stem = workDir_ + QStringLiteral("/com%1-%2").arg(number_).arg(incarnation.id);
    incarnation.logPath = stem + QStringLiteral(".log");
    QStringList args{QStringLiteral("--link"),      link_,
                     QStringLiteral("--log"),       incarnation.logPath,
                     QStringLiteral("--log-speed"), QStringLiteral("--warmup"),
                     QStringLiteral("0.5")};
    for (std::size_t i = 0; i < faultArgs.size(); ++i) {
        args << QString::fromStdString(faultArgs[i]);
        if (faultArgs[i] == "--hangup-after" && i + 1 < faultArgs.size())
            incarnation.hangupAt =
                MonotonicMicros() + std::llround(std::stod(faultArgs[i + 1]) * 1e6);
    }
    incarnation.process = std::make_unique<QProcess>();
    QProcess* process = incarnation.process.get();
    stopWithUs(*process);
    process->setStandardErrorFile(stem + QStringLiteral(".err"));
    const int id = incarnation.id;
    connect(process, &QProcess::readyReadStandardOutput, this, [this, id] {
        Incarnation* found = find(id);
        if (!found || found->up || !found->process->canReadLine()) return;
        found->up = true;
        found->upAt = MonotonicMicros();
    });
    connect(process, &QProcess::finished, this, [this, id] {
        Incarnation* found = find(id);
        if (!found) return;
        const std::int64_t now = MonotonicMicros();
        found->finished = true;
        if (!found->downAt) found->downAt = found->hangupAt ? std::min(*found->hangupAt, now) : now;
        found->ledger.lineDown(*found->downAt);
        emit ended(number_);
    });
    incarnation.spawnedAt = MonotonicMicros();
    process->start(simBinary_, args);
}

void SimLine::stop() {
    Incarnation* incarnation = live();
    if (!incarnation) return;
    const std::int64_t now = MonotonicMicros();
    if (!incarnation->downAt) incarnation->downAt = now;
    incarnation->ledger.lineDown(now);
    incarnation->process->terminate();
}

Incarnation* SimLine::live() {
    for (auto it = incarnations_.rbegin(); it != incarnations_.rend(); ++it)
        if (!it->finished) return &*it;
    return nullptr;
}

Incarnation* SimLine::find(int id) {
    for (Incarnation& incarnation : incarnations_)
        if (incarnation.id == id) return &incarnation;
    return nullptr;
}

std::string SimLine::readLog(Incarnation& incarnation) {
    QFile file(incarnation.logPath);
    if (!file.open(QIODevice::ReadOnly)) return {};
    if (!file.seek(incarnation.logOffset)) return {};
    const QByteArray added = file.readAll();
    incarnation.logOffset += added.size();
    std::string& text = incarnation.partialLine;
    text.append(added.constData(), static_cast<std::size_t>(added.size()));
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos;
         start = end + 1, end = text.find('\n', start)) {
        const std::optional<LoggedFrame> logged = ParseLogLine(text.substr(start, end - start));
        if (!logged)
            return "COM" + std::to_string(number_) + ": unreadable frame log line \"" +
                   text.substr(start, end - start) + "\"";
        if (std::string broken = incarnation.ledger.take(*logged); !broken.empty())
            return "COM" + std::to_string(number_) + " simulator #" +
                   std::to_string(incarnation.id) + ": " + broken;
    }
    text.erase(0, start);
    return {};
}

std::string SimLine::check(std::int64_t now, std::int64_t patienceUs) {
    for (auto it = incarnations_.begin(); it != incarnations_.end();) {
        if (std::string broken = readLog(*it); !broken.empty()) return broken;
        if (std::string broken = it->ledger.settle(now, it->finished, patienceUs); !broken.empty())
            return "COM" + std::to_string(number_) + " simulator #" + std::to_string(it->id) +
                   ": " + broken;
        if (it->finished) {
            checkedGone_ += it->ledger.checked();
            lostGone_ += it->ledger.lost();
            lostOnTheWayGone_ += it->ledger.lostOnTheWay();
            afterSpeedGone_ += it->ledger.readAfterSpeedChange();
            QFile::remove(it->logPath);
            it = incarnations_.erase(it);
        } else {
            ++it;
        }
    }
    return {};
}

bool SimLine::caughtUp() const {
    for (const Incarnation& incarnation : incarnations_)
        if (!incarnation.finished && !incarnation.ledger.caughtUp()) return false;
    return true;
}

std::size_t SimLine::checked() const {
    std::size_t total = checkedGone_;
    for (const Incarnation& incarnation : incarnations_) total += incarnation.ledger.checked();
    return total;
}

std::size_t SimLine::lost() const {
    std::size_t total = lostGone_;
    for (const Incarnation& incarnation : incarnations_) total += incarnation.ledger.lost();
    return total;
}

std::size_t SimLine::lostOnTheWay() const {
    std::size_t total = lostOnTheWayGone_;
    for (const Incarnation& incarnation : incarnations_) total += incarnation.ledger.lostOnTheWay();
    return total;
}

std::size_t SimLine::readAfterSpeedChange() const {
    std::size_t total = afterSpeedGone_;
    for (const Incarnation& incarnation : incarnations_)
        total += incarnation.ledger.readAfterSpeedChange();
    return total;
}

}  // namespace panel::soak
