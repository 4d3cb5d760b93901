#include "tools/soak/service_soak.h"

#include <signal.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cstdio>
#include <optional>

#include "core/code_sequence.h"
#include "core/monotonic.h"
#include "testkit/frame_log_reader.h"
#include "testkit/resident_memory.h"
#include "tools/soak/loop_wait.h"

namespace panel::soak {
namespace {

constexpr int kSims = 6;
constexpr int kBehindServer = 4;  // the first four behind one ser2net, the rest on their terminals
constexpr int kPollSeconds = 5;
constexpr int kWarmSeconds = 10;
// The allowance the invariant gives every request beyond the reply windows it may wait for.
constexpr qint64 kGraceMs = 5000;
// A device server's connection may take this long to fail when its simulator is down.
constexpr qint64 kConnectMs = 3000;
constexpr std::int64_t kMemorySlackKiB = 2048;
constexpr int kBigBody = 70 * 1024;
constexpr int kPatienceMs = 20000;

qint64 windowsMs(std::initializer_list<const char*> codes) {
    qint64 total = 0;
    for (const char* code : codes) total += codeIntervals(code, std::nullopt).replyWindow.count();
    return total;
}

// What a line may be busy with ahead of a command: a poll, and one other command.
qint64 aheadMs() {
    return windowsMs({"CR0", "CR1", "CR3", "C00"}) + kConnectMs;
}

const char* modeName(int mode) {
    static const char* const kNames[] = {"clean", "latency", "split", "noise", "no reply", "down"};
    return kNames[mode];
}

QString simName(int i) {
    return QStringLiteral("Sim%20") + QString::number(i);
}

}  // namespace

struct ServiceSoak::Client {
    int id = 0;
    QString kind;
    Caller caller = Caller::Operator;
    Manner manner = Manner::Plain;
    QTcpSocket socket;
    QByteArray request;
    qsizetype sent = 0;
    QByteArray answer;
    qint64 sentMs = -1;  // when its last byte went
    qint64 budgetMs = kGraceMs;
    std::vector<int> allowed;
    std::int64_t startMicros = MonotonicMicros();  // the simulators' frame logs' clock
    int sim = -1;
    bool power = false;
    bool stream = false;
    bool done = false;
    QTimer drip;
};

ServiceSoak::ServiceSoak(ServiceSoakOptions options)
    : options_(std::move(options)), random_(options_.seed), sims_(kSims), power_(kSims) {}

ServiceSoak::~ServiceSoak() {
    open_.clear();
    if (daemon_.state() != QProcess::NotRunning) {
        daemon_.kill();
        daemon_.waitForFinished(2000);
    }
    for (Sim& sim : sims_)
        if (sim.process) {
            sim.process->terminate();
            sim.process->waitForFinished(2000);
        }
    server_.reset();
}

QByteArray ServiceSoak::addToken(const char* name, const char* role) {
    QProcess add;
    add.start(options_.serviceBinary, {"--config", options_.workDir + "/service.ini", "--add-token",
                                       QLatin1String(name), QLatin1String(role)});
    add.waitForFinished(kPatienceMs);
    return add.readAllStandardOutput().trimmed();
}

bool ServiceSoak::prepare() {
    const auto link = [&](int i) { return options_.workDir + QStringLiteral("/sim%1").arg(i); };
    std::vector<QString> devices;
    for (int i = 0; i < kBehindServer; ++i) devices.push_back(link(i));
    server_ = std::make_unique<test::Ser2NetProcess>(
        devices, test::Ser2NetSetup{{}, true, options_.workDir + QStringLiteral("/ser2net.log")});
    if (!server_->ok()) return false;
    QString projectors;
    for (int i = 0; i < kSims; ++i) {
        const QString port = i >= kBehindServer ? link(i)
                             : i % 2 == 0       ? server_->rfc2217Url(static_cast<std::size_t>(i))
                                                : server_->socketUrl(static_cast<std::size_t>(i));
        projectors += QStringLiteral("[Sim %1]\nport = %2\n").arg(i).arg(port);
    }
    QFile file(options_.workDir + QStringLiteral("/projectors.ini"));
    QFile config(options_.workDir + QStringLiteral("/service.ini"));
    if (!file.open(QIODevice::WriteOnly) || !config.open(QIODevice::WriteOnly)) return false;
    file.write(projectors.toUtf8());
    config.write(QStringLiteral("listen = 127.0.0.1:0\ntoken_file = tokens\nlog_file = "
                                "session.log\npoll_seconds = %1\n")
                     .arg(kPollSeconds)
                     .toUtf8());
    file.close();
    config.close();
    operatorToken_ = addToken("desk", "operator");
    viewerToken_ = addToken("phone", "viewer");
    return !operatorToken_.isEmpty() && !viewerToken_.isEmpty();
}

bool ServiceSoak::startDaemon() {
    daemon_.start(options_.serviceBinary, {"--config", options_.workDir + "/service.ini",
                                           "--projectors", options_.workDir + "/projectors.ini"});
    static const QRegularExpression listening(QStringLiteral("listening on 127.0.0.1:(\\d+)"));
    QString err;
    WaitUntil(
        [&] {
            err += QString::fromUtf8(daemon_.readAllStandardError());
            return listening.match(err).hasMatch() || daemon_.state() == QProcess::NotRunning;
        },
        kPatienceMs);
    port_ = static_cast<quint16>(listening.match(err).captured(1).toUInt());
    if (port_ == 0) std::fprintf(stderr, "service soak: %s\n", qPrintable(err));
    return port_ != 0;
}

void ServiceSoak::setMode(int index, Mode mode) {
    Sim& sim = sims_[static_cast<std::size_t>(index)];
    if (sim.process) {
        sim.process->terminate();
        sim.process->waitForFinished(2000);
        sim.process.reset();
    }
    sim.mode = mode;
    if (mode == Mode::Down) return;
    QStringList args{
        "--link",
        options_.workDir + QStringLiteral("/sim%1").arg(index),
        "--log",
        options_.workDir + QStringLiteral("/sim%1-%2.log").arg(index).arg(++sim.incarnation),
        "--warmup",
        QString::number(kWarmSeconds),
        "--cooldown",
        QString::number(kWarmSeconds)};
    if (mode == Mode::Latency)
        args << "--latency"
             << "200";
    if (mode == Mode::Split) args << "--split";
    if (mode == Mode::Noise)
        args << "--noise"
             << "0.05";
    if (mode == Mode::NoReply) args << "--no-reply";
    sim.process = std::make_unique<QProcess>();
    sim.process->start(options_.simBinary, args);
}

void ServiceSoak::nextFault() {
    const auto mode = static_cast<Mode>(random_() % 6);
    setMode(static_cast<int>(random_() % kSims), mode);
    ++counts_[QStringLiteral("fault: %1").arg(QLatin1String(modeName(static_cast<int>(mode))))];
    ++faultCount_;
    faults_.start(static_cast<int>(3000 + random_() % 5000));
}

// A request of a random kind, caller and manner; what each caller may be answered.
void ServiceSoak::nextClient() {
    clients_.start(static_cast<int>(50 + random_() % 250));
    auto client = std::make_unique<Client>();
    Client& c = *client;
    c.id = nextId_++;
    const unsigned callerRoll = random_() % 100;
    c.caller = callerRoll < 40   ? Caller::Operator
               : callerRoll < 70 ? Caller::Viewer
               : callerRoll < 85 ? Caller::Wrong
                                 : Caller::Missing;
    const unsigned mannerRoll = random_() % 100;
    c.manner = mannerRoll < 5 ? Manner::Slow : mannerRoll < 15 ? Manner::Vanishing : Manner::Plain;
    c.sim = static_cast<int>(random_() % kSims);
    const bool operatorCall = c.caller == Caller::Operator;
    const bool known = operatorCall || c.caller == Caller::Viewer;
    QByteArray method = "GET";
    QByteArray path;
    QByteArray body;
    std::vector<int> forKnown{200};
    bool forOperatorOnly = false;
    const QByteArray tag = (operatorCall ? "K" : "N") + QByteArray::number(c.id);
    switch (random_() % 13) {
        case 0:
            c.kind = "list", path = "/api/v1/projectors";
            break;
        case 1:
            c.kind = "one", path = "/api/v1/projectors/" + simName(c.sim).toUtf8();
            break;
        case 2:
            c.kind = "metrics", path = "/metrics";
            break;
        case 3:
            c.kind = "events", path = "/api/v1/events", c.stream = true;
            break;
        case 4:
            c.kind = "send", method = "POST", forOperatorOnly = true;
            path = "/api/v1/projectors/" + simName(c.sim).toUtf8() + "/send";
            body = R"({"codes":["CR0",")" + tag + R"("]})";
            forKnown = {200, 503};
            c.budgetMs += windowsMs({"CR0", "C0A"}) + aheadMs();
            (operatorCall ? operatorTags_ : nonOperatorTags_).push_back(QString::fromLatin1(tag));
            break;
        case 5:
            c.kind = "power", method = "POST", forOperatorOnly = true, c.power = true;
            path = "/api/v1/power";
            body = QByteArray(R"({"on":)") + (random_() % 2 ? "true" : "false") +
                   R"(,"projectors":["Sim )" + QByteArray::number(c.sim) + R"("]})";
            forKnown = {200, 409, 503};
            c.budgetMs += windowsMs({"C00"}) + aheadMs();
            break;
        case 6:
            c.kind = "malformed json", method = "POST", forOperatorOnly = true;
            path = "/api/v1/projectors/" + simName(c.sim).toUtf8() + "/send";
            body = R"({"codes":["CR0",)";
            forKnown = {400};
            break;
        case 7:
            c.kind = "code with CR", method = "POST", forOperatorOnly = true;
            path = "/api/v1/projectors/" + simName(c.sim).toUtf8() + "/send";
            body = R"({"codes":["CR0\rC00"]})";
            forKnown = {400};
            break;
        case 8:
            c.kind = "body over 64 KiB", method = "POST", forOperatorOnly = true;
            path = "/api/v1/power";
            body = QByteArray(kBigBody, ' ');
            forKnown = {413};
            if (c.manner == Manner::Slow) c.manner = Manner::Plain;
            break;
        case 9:
            c.kind = "unknown name", path = "/api/v1/projectors/No%20such", forKnown = {404};
            break;
        case 10:
            c.kind = "wrong method", method = "DELETE", path = "/api/v1/projectors",
            forKnown = {405};
            break;
        case 11:
            c.kind = "NUL name", path = "/api/v1/projectors/%00", forKnown = {404};
            break;
        default:
            c.kind = "health", path = "/healthz";
            break;
    }
    if (path == "/healthz")
        c.allowed = {200};
    else if (!known)
        c.allowed = {401, 429};
    else if (forOperatorOnly && !operatorCall)
        c.allowed = {403};
    else
        c.allowed = forKnown;
    QByteArray head = method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
    if (c.caller == Caller::Operator) head += "Authorization: Bearer " + operatorToken_ + "\r\n";
    if (c.caller == Caller::Viewer) head += "Authorization: Bearer " + viewerToken_ + "\r\n";
    if (c.caller == Caller::Wrong) head += "Authorization: Bearer guess-" + tag + "\r\n";
    if (!body.isEmpty() || method == "POST")
        head +=
            "Content-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size()) +
            "\r\n";
    c.request = head + "\r\n" + body;
    ++counts_[c.kind];

    // Strangers from addresses of their own: ten wrong tokens block an address, and the soak's
    // good callers share 127.0.0.1.
    if (!known) c.socket.bind(QHostAddress(QStringLiteral("127.0.0.%1").arg(2 + random_() % 4)));
    QObject::connect(&c.socket, &QTcpSocket::connected, [this, &c] {
        if (c.manner == Manner::Slow) {
            c.drip.callOnTimeout([this, &c] {
                c.socket.write(c.request.mid(c.sent, 1));
                if (++c.sent == c.request.size()) {
                    c.drip.stop();
                    c.sentMs = clock_.elapsed();
                }
            });
            c.drip.start(static_cast<int>(10 + random_() % 60));
        } else {
            c.socket.write(c.request);
            c.sent = c.request.size();
            c.sentMs = clock_.elapsed();
        }
        if (c.manner == Manner::Vanishing)
            QTimer::singleShot(static_cast<int>(random_() % 400), &c.socket,
                               [this, &c] { finish(c, true); });
    });
    QObject::connect(&c.socket, &QTcpSocket::readyRead, [this, &c] {
        c.answer += c.socket.readAll();
        if (c.stream && c.answer.contains("\r\n\r\n") && !c.drip.isActive() && c.sentMs >= 0) {
            c.stream = false;  // seen; its client leaves after a while
            QTimer::singleShot(static_cast<int>(1000 + random_() % 2000), &c.socket,
                               [this, &c] { finish(c, false); });
        }
    });
    QObject::connect(&c.socket, &QTcpSocket::disconnected, [this, &c] { finish(c, false); });
    QObject::connect(&c.socket, &QTcpSocket::errorOccurred, [this, &c] {
        if (c.socket.error() != QAbstractSocket::RemoteHostClosedError) finish(c, false);
    });
    c.socket.connectToHost(QHostAddress::LocalHost, port_);
    open_.push_back(std::move(client));
}

void ServiceSoak::finish(Client& c, bool dropped) {
    if (c.done) return;
    c.done = true;
    c.drip.stop();
    c.answer += c.socket.readAll();
    const qint64 tookMs = c.sentMs < 0 ? 0 : clock_.elapsed() - c.sentMs;
    const int status = c.answer.startsWith("HTTP/1.") ? c.answer.mid(9, 3).toInt() : 0;
    if (dropped) {
        ++counts_["dropped by its own client"];
        if (c.power && c.caller == Caller::Operator)
            ++power_[static_cast<std::size_t>(c.sim)].maybe;
    } else {
        ++counts_[QStringLiteral("status %1").arg(status)];
        longestMs_ = std::max(longestMs_, tookMs);
        if (std::find(c.allowed.begin(), c.allowed.end(), status) == c.allowed.end())
            broke(QStringLiteral("request %1 (%2) was answered %3: %4")
                      .arg(c.id)
                      .arg(c.kind)
                      .arg(status)
                      .arg(QString::fromUtf8(c.answer.left(300))));
        if (c.power && c.caller == Caller::Operator) {
            Power& p = power_[static_cast<std::size_t>(c.sim)];
            const QByteArray json = c.answer.mid(c.answer.indexOf("\r\n\r\n") + 4);
            if (status == 409) ++p.refused;
            if (status == 200 || (status == 503 && json.contains("no answer")))
                ++p.reached;
            else if (status == 503 && !json.contains("in use"))
                ++p.maybe;
        }
    }
    if (c.power)
        power_[static_cast<std::size_t>(c.sim)].story.push_back(
            QStringLiteral("request %1 from %2 at %3 us: %4 %5")
                .arg(c.id)
                .arg(c.caller == Caller::Operator ? "an operator" : "another caller")
                .arg(c.startMicros)
                .arg(dropped ? QStringLiteral("left by its client") : QString::number(status))
                .arg(QString::fromUtf8(c.answer.mid(c.answer.indexOf("\r\n\r\n") + 4).left(200))
                         .trimmed()));
    c.socket.abort();
    // Deleted from the loop: this may run inside the socket's own signal.
    QTimer::singleShot(0, [this, client = &c] {
        std::erase_if(open_,
                      [client](const std::unique_ptr<Client>& o) { return o.get() == client; });
    });
}

void ServiceSoak::broke(const QString& what) {
    if (!broken_.isEmpty()) return;
    broken_ = what;
    QCoreApplication::exit(1);
}

int ServiceSoak::descriptors() const {
    return static_cast<int>(QDir(QStringLiteral("/proc/%1/fd").arg(daemon_.processId()))
                                .entryList(QDir::Files | QDir::System)
                                .size());
}

std::int64_t ServiceSoak::residentKiB() const {
    return test::StatusKiB(std::to_string(daemon_.processId()), "VmRSS");
}

// The fewest descriptors over three seconds: between polls, with no client.
int ServiceSoak::quietDescriptors() {
    int fewest = descriptors();
    for (int i = 0; i < 60; ++i) {
        Pause(50);
        fewest = std::min(fewest, descriptors());
    }
    return fewest;
}

void ServiceSoak::sampleMinute() {
    perMinute_.emplace_back(residentKiB(), descriptors());
    std::printf("minute %zu: service resident %.1f MiB, descriptors %d, %d requests, %zu open\n",
                perMinute_.size(), static_cast<double>(perMinute_.back().first) / 1024,
                perMinute_.back().second, nextId_ - 1, open_.size());
    std::fflush(stdout);
    if (clock_.elapsed() >= static_cast<qint64>(options_.minutes * 60000))
        QCoreApplication::exit(0);
}

void ServiceSoak::checkFrames() {
    int operatorFrames = 0;
    int inPhase = 0;
    for (int i = 0; i < kSims; ++i) {
        int power = 0;
        std::vector<std::int64_t> powerTimes;
        for (int n = 1; n <= sims_[static_cast<std::size_t>(i)].incarnation; ++n) {
            test::FrameLogReader log(
                (options_.workDir + QStringLiteral("/sim%1-%2.log").arg(i).arg(n)).toStdString());
            // The simulator's power phase, replayed from what it received.
            enum { Standby, Warming, On, Cooling } phase = Standby;
            std::int64_t phaseEnds = 0;
            for (const test::LoggedFrame& f : log.frames()) {
                if ((phase == Warming || phase == Cooling) && f.micros >= phaseEnds)
                    phase = phase == Warming ? On : Standby;
                const bool on = f.frame == "C00";
                if (on || f.frame == "C01") {
                    ++power;
                    powerTimes.push_back(f.micros);
                    if (phase == Warming || phase == Cooling) ++inPhase;
                    if (on ? phase == Standby : phase == Warming || phase == On) {
                        phase = on ? Warming : Cooling;
                        phaseEnds = f.micros + std::int64_t{kWarmSeconds} * 1000000;
                    }
                }
                if (f.frame.starts_with('K')) ++operatorFrames;
                if (f.frame.starts_with('N'))
                    return broke(QStringLiteral("Sim %1 received %2, sent by a caller without an "
                                                "operator's token")
                                     .arg(i)
                                     .arg(QString::fromStdString(f.frame)));
            }
        }
        const Power& p = power_[static_cast<std::size_t>(i)];
        std::printf(
            "Sim %d: %d power frames arrived; the service let %d through, %d more may "
            "have gone (their clients left, or the line failed), %d refused in warm-up "
            "or cool-down\n",
            i, power, p.reached, p.maybe, p.refused);
        if (power > p.reached + p.maybe) {
            for (const QString& line : p.story) std::printf("  %s\n", qPrintable(line));
            for (const std::int64_t at : powerTimes)
                std::printf("  power frame at %lld us\n", static_cast<long long>(at));
            return broke(QStringLiteral("Sim %1 received %2 power frames, more than the %3 the "
                                        "service may have let through")
                             .arg(i)
                             .arg(power)
                             .arg(p.reached + p.maybe));
        }
    }
    std::printf("power frames that met a warm-up or cool-down at their simulator: %d\n", inPhase);
    std::printf("tagged frames: %d of %zu operators' sends arrived, none of %zu others'\n",
                operatorFrames, operatorTags_.size(), nonOperatorTags_.size());
}

int ServiceSoak::run() {
    clock_.start();
    for (int i = 0; i < kSims; ++i) setMode(i, Mode::Clean);
    if (!prepare() || !startDaemon()) {
        std::fprintf(stderr,
                     "service soak: the simulators, ser2net or the service did not start\n");
        return 2;
    }
    Pause(kPollSeconds * 1000);  // the first poll
    startDescriptors_ = quietDescriptors();
    const std::int64_t startKiB = residentKiB();
    std::printf("start: service resident %.1f MiB, %d descriptors when quiet\n",
                static_cast<double>(startKiB) / 1024, startDescriptors_);
    faults_.setSingleShot(true);
    faults_.callOnTimeout([this] { nextFault(); });
    faults_.start(3000);
    clients_.setSingleShot(true);
    clients_.callOnTimeout([this] { nextClient(); });
    clients_.start(0);
    minutes_.callOnTimeout([this] { sampleMinute(); });
    minutes_.start(60000);
    deadlines_.callOnTimeout([this] {
        const qint64 now = clock_.elapsed();
        for (const auto& c : open_)
            if (!c->done && c->sentMs >= 0 && c->answer.isEmpty() && now - c->sentMs > c->budgetMs)
                broke(QStringLiteral("request %1 (%2) has had no answer for %3 ms (its budget "
                                     "%4 ms)")
                          .arg(c->id)
                          .arg(c->kind)
                          .arg(now - c->sentMs)
                          .arg(c->budgetMs));
        if (daemon_.state() == QProcess::NotRunning) broke(QStringLiteral("the service ended"));
    });
    deadlines_.start(250);
    int status = QCoreApplication::exec();

    // Quiet again: no client, every simulator clean, a poll or two.
    clients_.stop();
    faults_.stop();
    deadlines_.stop();
    minutes_.stop();
    if (!WaitUntil([&] { return open_.empty(); }, kPatienceMs)) broke("clients still open");
    for (int i = 0; i < kSims; ++i) setMode(i, Mode::Clean);
    Pause(kPollSeconds * 1000);
    const int endDescriptors = quietDescriptors();
    const std::int64_t endKiB = residentKiB();
    daemon_.terminate();
    if (!daemon_.waitForFinished(kPatienceMs) || daemon_.exitCode() != 0)
        broke(QStringLiteral("SIGTERM did not end the service cleanly"));
    checkFrames();

    std::printf("service soak: %.1f min, %d requests, %d faults, longest answer %lld ms\n",
                static_cast<double>(clock_.elapsed()) / 60000, nextId_ - 1, faultCount_,
                static_cast<long long>(longestMs_));
    for (const auto& [what, count] : counts_) std::printf("  %s: %d\n", qPrintable(what), count);
    std::printf(
        "service resident: %.1f MiB at start, %.1f at minute 1, %.1f at the end; "
        "descriptors when quiet: %d at start, %d at the end\n",
        static_cast<double>(startKiB) / 1024,
        perMinute_.empty() ? 0.0 : static_cast<double>(perMinute_.front().first) / 1024,
        static_cast<double>(endKiB) / 1024, startDescriptors_, endDescriptors);
    if (!perMinute_.empty() && endKiB - perMinute_.front().first > kMemorySlackKiB)
        broke(QStringLiteral("the service's resident memory grew %1 KiB after the first minute")
                  .arg(endKiB - perMinute_.front().first));
    if (endDescriptors > startDescriptors_)
        broke(QStringLiteral("the service holds %1 descriptors when quiet, %2 at the start")
                  .arg(endDescriptors)
                  .arg(startDescriptors_));
    if (!broken_.isEmpty()) {
        std::printf("BROKEN (seed %llu): %s\n", static_cast<unsigned long long>(options_.seed),
                    qPrintable(broken_));
        return 1;
    }
    (void)status;
    std::printf("every invariant held\n");
    return 0;
}

}  // namespace panel::soak
