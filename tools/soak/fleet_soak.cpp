#include "tools/soak/fleet_soak.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>
#include <cstdio>

#include "testkit/resident_memory.h"
#include "testkit/ser2net_process.h"

namespace panel::soak {
namespace {

constexpr int kSims = 8;
constexpr int kPollSeconds = 3;
// Far beyond a cycle (three 500 ms reply windows, a connection that may take 3 s to fail).
constexpr qint64 kStuckMs = 20000;
// A simulator changed this close before a poll may or may not have been seen by it.
constexpr qint64 kSettleMs = 1500;
constexpr qint64 kHoldMs = 5000;
constexpr qint64 kMemorySlackKiB = 2048;
// Longer than any of ser2net's refusals ("Port already in use", "Device open failure").
constexpr qsizetype kServerWordsBytes = 128;

const char* modeName(int mode) {
    static const char* const kNames[] = {"clean", "latency", "split", "no reply", "down"};
    return kNames[mode];
}

}  // namespace

FleetSoak::FleetSoak(FleetSoakOptions options)
    : options_(std::move(options)), random_(options_.seed), sims_(kSims) {}

FleetSoak::~FleetSoak() {
    window_.reset();
    panel_.abort();
    for (Sim& sim : sims_)
        if (sim.process) {
            sim.process->terminate();
            sim.process->waitForFinished(2000);
        }
    server_.reset();
}

bool FleetSoak::startServer() {
    const auto link = [&](int i) { return options_.workDir + QStringLiteral("/sim%1").arg(i); };
    std::vector<QString> devices;
    for (int i = 0; i < kSims; ++i) devices.push_back(link(i));
    devices.push_back(link(0));  // the operator's accepter, on the first simulator's line
    server_ = std::make_unique<test::Ser2NetProcess>(
        devices, test::Ser2NetSetup{{}, true, options_.workDir + QStringLiteral("/ser2net.log")});
    if (!server_->ok()) return false;
    operatorPort_ = server_->socketPort(kSims);
    QString projectors;
    for (int i = 0; i < kSims; ++i)  // half over each scheme
        projectors += QStringLiteral("[Sim %1]\nport = %2\n")
                          .arg(i)
                          .arg(i % 2 == 0 ? server_->rfc2217Url(i) : server_->socketUrl(i));
    QFile file(options_.workDir + QStringLiteral("/projectors.ini"));
    return file.open(QIODevice::WriteOnly) && file.write(projectors.toUtf8()) > 0;
}

void FleetSoak::setMode(int index, Mode mode) {
    Sim& sim = sims_[static_cast<std::size_t>(index)];
    if (sim.process) {
        sim.process->terminate();
        sim.process->waitForFinished(2000);
        sim.process.reset();
    }
    sim.mode = mode;
    sim.changedMs = clock_.elapsed();
    if (mode == Mode::Down) return;
    QStringList args{"--link", options_.workDir + QStringLiteral("/sim%1").arg(index)};
    if (mode == Mode::Latency)
        args << "--latency"
             << "200";
    if (mode == Mode::Split) args << "--split";
    if (mode == Mode::NoReply) args << "--no-reply";
    sim.process = std::make_unique<QProcess>();
    sim.process->start(options_.simBinary, args);
}

void FleetSoak::nextFault() {
    int index = static_cast<int>(random_() % kSims);
    // The operator's line stays up while the panel holds it: a line cut by the simulator is no
    // finding about the polls.
    if (index == 0 && panel_.state() != QAbstractSocket::UnconnectedState) index = 1;
    const auto mode = static_cast<Mode>(random_() % 5);
    setMode(index, mode);
    ++faultCount_;
    faults_.start(static_cast<int>(3000 + random_() % 5000));
}

void FleetSoak::holdLine() {
    if (holding_ || panel_.state() != QAbstractSocket::UnconnectedState) return;
    holdStartMs_ = clock_.elapsed();
    panel_.connectToHost(QHostAddress::LocalHost, operatorPort_);
}

void FleetSoak::releaseLine() {
    holding_ = false;
    holdEndMs_ = clock_.elapsed();
    panel_.abort();
    operator_.start(static_cast<int>(10000 + random_() % 10000));
}

void FleetSoak::cycleEnded(qint64 wallMs) {
    const qint64 now = clock_.elapsed();
    lastCycleEndMs_ = now;
    ++cycles_;
    if (cycles_ == 1) rssAtStart_ = test::ResidentKiB();
    if (!rssAtMinute_ && now >= 60000) rssAtMinute_ = test::ResidentKiB();
    for (int i = 0; i < kSims; ++i) check(i, now - wallMs);
    if (now >= static_cast<qint64>(options_.minutes * 60000)) QCoreApplication::exit(0);
}

void FleetSoak::check(int index, qint64 cycleStartMs) {
    const Sim& sim = sims_[static_cast<std::size_t>(index)];
    const ProjectorRow& row = window_->fleet().rows()[static_cast<std::size_t>(index)];
    if (row.busy)
        return broke(QStringLiteral("Sim %1 is still being polled after its cycle").arg(index));
    if (sim.changedMs > cycleStartMs - kSettleMs) return;
    // The operator's panel held this line during the poll: the fleet must not have had it.
    const bool held = index == 0 && (holding_ || holdEndMs_ > cycleStartMs);
    const bool answers =
        !held && (sim.mode == Mode::Clean || sim.mode == Mode::Latency || sim.mode == Mode::Split);
    ++checks_;
    const QString shown = FleetTableModel::stateText(row);
    if (answers && (row.reading != Reading::Answered || row.status != "Stand by" ||
                    row.input != "Computer 1" || row.lampHours != 1234))
        return broke(QStringLiteral("Sim %1 (%2) shows '%3', input '%4'")
                         .arg(index)
                         .arg(modeName(static_cast<int>(sim.mode)), shown, row.input));
    if (!answers && row.reading == Reading::Answered)
        return broke(
            QStringLiteral("Sim %1 (%2%3) shows an answer: '%4'")
                .arg(index)
                .arg(modeName(static_cast<int>(sim.mode)), held ? ", line held" : "", shown));
}

void FleetSoak::watchdog() {
    if (clock_.elapsed() - lastCycleEndMs_ <= kStuckMs) return;
    QStringList busy;
    for (const ProjectorRow& row : window_->fleet().rows())
        if (row.busy) busy << row.projector.name;
    broke(QStringLiteral("no poll cycle ended for %1 s; still polling: %2")
              .arg(kStuckMs / 1000)
              .arg(busy.join(", ")));
}

void FleetSoak::broke(const QString& what) {
    if (!broken_.isEmpty()) return;
    broken_ = what;
    QCoreApplication::exit(1);
}

int FleetSoak::run() {
    clock_.start();
    for (int i = 0; i < kSims; ++i) setMode(i, Mode::Clean);
    if (!startServer()) {
        std::fprintf(stderr, "fleet soak: ser2net did not start\n");
        return 2;
    }
    QThread::msleep(300);  // the simulators' links
    window_ = std::make_unique<FleetWindow>(options_.workDir + "/projectors.ini", kPollSeconds);
    window_->show();
    QObject::connect(window_.get(), &FleetWindow::cycleFinished,
                     [this](qint64 wallMs) { cycleEnded(wallMs); });
    wireOperator();
    faults_.setSingleShot(true);
    faults_.callOnTimeout([this] { nextFault(); });
    faults_.start(3000);
    watchdog_.callOnTimeout([this] { watchdog(); });
    watchdog_.start(1000);
    lastCycleEndMs_ = clock_.elapsed();
    window_->start();
    const int status = QCoreApplication::exec();
    const qint64 rssEnd = test::ResidentKiB();
    std::printf(
        "fleet soak: %.1f min, %d cycles, %d rows checked, %d faults, %d operator holds "
        "(%d answers to the panel while it held the line)\n",
        static_cast<double>(clock_.elapsed()) / 60000, cycles_, checks_, faultCount_, holds_,
        answersWhileHolding_);
    std::printf(
        "resident memory: %.1f MiB after the first cycle, %s at 1 min, %.1f MiB at the end\n",
        static_cast<double>(rssAtStart_) / 1024,
        rssAtMinute_ ? qPrintable(QString::number(*rssAtMinute_ / 1024.0, 'f', 1) + " MiB") : "-",
        static_cast<double>(rssEnd) / 1024);
    if (status == 0 && rssAtMinute_ && rssEnd - *rssAtMinute_ > kMemorySlackKiB)
        broke(QStringLiteral("resident memory grew %1 KiB after the first minute")
                  .arg(rssEnd - *rssAtMinute_));
    if (!broken_.isEmpty()) {
        std::printf("BROKEN (seed %llu): %s\n", static_cast<unsigned long long>(options_.seed),
                    qPrintable(broken_));
        return 1;
    }
    std::printf("every invariant held\n");
    return 0;
}

void FleetSoak::wireOperator() {
    operator_.setSingleShot(true);
    operator_.callOnTimeout([this] { holdLine(); });
    operator_.start(5000);
    QObject::connect(&panel_, &QTcpSocket::connected, [this] {
        panelHeard_.clear();
        panel_.write("CR0\r");
    });
    QObject::connect(&panel_, &QTcpSocket::readyRead, [this] {
        const QByteArray bytes = panel_.readAll();
        // ser2net's own words, not the projector's: the fleet had the line first, or the
        // simulator is down. Either way the panel holds nothing and is closed. They come first
        // on the connection and may be split across reads, so the start is read as a whole.
        if (panelHeard_.size() < kServerWordsBytes) panelHeard_ += bytes;
        if (panelHeard_.contains("in use") || panelHeard_.contains("open failure")) return;
        if (!bytes.contains('\r')) return;
        ++answersWhileHolding_;
        if (!holding_) {
            holding_ = true;
            ++holds_;
            QTimer::singleShot(kHoldMs, &panel_, [this] { releaseLine(); });
        }
        QTimer::singleShot(1000, &panel_, [this] {
            if (holding_) panel_.write("CR0\r");
        });
    });
    QObject::connect(&panel_, &QTcpSocket::disconnected, [this] {
        if (holding_)
            broke(QStringLiteral("the operator's panel lost its line during a poll"));
        else
            operator_.start(1000);  // refused: try again soon
    });
}

}  // namespace panel::soak
