// projector-paneld under load: 20 clients reading the list at 200 requests a second while the fleet
// polls, sends timed to the simulator's wire and to their decoded answers, the poll of every
// projector, a simulator's end reaching the event stream, and the daemon's memory, CPU between
// polls and descriptors. Prints the goals table with PASS or FAIL beside each figure.
#include <dirent.h>
#include <signal.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <set>

#include "core/monotonic.h"
#include "testkit/frame_log_reader.h"
#include "tools/measure/measurements.h"
#include "tools/measure/process_usage.h"
#include "tools/measure/statistics.h"

namespace panel::measure {
namespace {

constexpr int kClients = 20;
constexpr int kRequestsPerSecond = 200;
constexpr int kSends = 100;

struct Sim {
    QString name;
    pid_t pid = 0;
    std::string log;
};

// One line a simulator: its projector's name, its process and its frame log, tab-separated.
std::vector<Sim> readManifest(const QString& path) {
    std::vector<Sim> sims;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return sims;
    while (!file.atEnd()) {
        const QList<QByteArray> fields = file.readLine().trimmed().split('\t');
        if (fields.size() == 3)
            sims.push_back(Sim{QString::fromUtf8(fields[0]), static_cast<pid_t>(fields[1].toInt()),
                               fields[2].toStdString()});
    }
    return sims;
}

// The daemon's CPU time to the nanosecond, over all its threads.
std::int64_t cpuNanos(pid_t pid) {
    const std::string dir = "/proc/" + std::to_string(pid) + "/task";
    std::int64_t total = 0;
    DIR* tasks = opendir(dir.c_str());
    if (!tasks) return 0;
    while (const dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.') continue;
        std::ifstream stat(dir + "/" + entry->d_name + "/schedstat");
        std::int64_t ns = 0;
        if (stat >> ns) total += ns;
    }
    closedir(tasks);
    return total;
}

int openDescriptors(pid_t pid) {
    int count = 0;
    DIR* fds = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str());
    if (!fds) return -1;
    while (const dirent* entry = readdir(fds)) count += entry->d_name[0] != '.';
    closedir(fds);
    return count;
}

void pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

class Service {
public:
    Service(QUrl base, QByteArray token) : base_(std::move(base)), token_(std::move(token)) {}

    QNetworkRequest request(const QString& path) const {
        QNetworkRequest r(base_.resolved(QUrl(path)));
        r.setRawHeader("Authorization", "Bearer " + token_);
        r.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
        return r;
    }
    // A request waited for; its status and body.
    std::pair<int, QByteArray> call(QNetworkAccessManager& manager, const QString& path,
                                    const QByteArray& body = {}) const {
        QNetworkReply* reply =
            body.isEmpty() ? manager.get(request(path)) : manager.post(request(path), body);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QByteArray answer = reply->readAll();
        reply->deleteLater();
        return {status, answer};
    }

private:
    QUrl base_;
    QByteArray token_;
};

// The event stream, followed: when each projector's state last changed, on CLOCK_MONOTONIC.
class EventFollower {
public:
    EventFollower(QNetworkAccessManager& manager, const Service& service)
        : reply_(manager.get(service.request(QStringLiteral("/api/v1/events")))) {
        QObject::connect(reply_, &QNetworkReply::readyRead, [this] { read(); });
    }
    ~EventFollower() { reply_->abort(); }
    // The first time after `since` that `name` was told in another state than `from`.
    std::optional<std::int64_t> changedAfter(const QString& name, std::int64_t since) const {
        for (const auto& [when, who, state] : told_)
            if (when >= since && who == name) return when;
        return std::nullopt;
    }
    QString state(const QString& name) const { return states_.value(name); }

private:
    void read() {
        buffer_ += reply_->readAll();
        for (qsizetype end; (end = buffer_.indexOf("\n\n")) >= 0;) {
            const QByteArray event = buffer_.left(end);
            buffer_.remove(0, end + 2);
            for (const QByteArray& line : event.split('\n')) {
                if (!line.startsWith("data: ")) continue;
                const QJsonObject o = QJsonDocument::fromJson(line.mid(6)).object();
                const QString name = o.value("name").toString();
                const QString state = o.value("state").toString();
                if (states_.contains(name) && states_.value(name) != state)
                    told_.push_back({MonotonicMicros(), name, state});
                states_.insert(name, state);
            }
        }
    }

    struct Told {
        std::int64_t when;
        QString name;
        QString state;
    };
    QNetworkReply* reply_;
    QByteArray buffer_;
    QHash<QString, QString> states_;
    std::vector<Told> told_;
};

struct Row {
    QString what;
    QString goal;
    QString measured;
    bool pass;
};

QString ms(double value) {
    return QString::number(value, 'f', value < 10 ? 2 : 1) + QStringLiteral(" ms");
}

// Every poll's span on the wire, from the simulators' logs: the first status query to the last
// lamp-hours query of each burst.
std::vector<double> pollSpans(const std::vector<Sim>& sims, std::int64_t from, std::int64_t to) {
    std::vector<std::int64_t> times;
    for (const Sim& sim : sims) {
        const test::FrameLogReader log(sim.log);
        for (const test::LoggedFrame& f : log.frames())
            if (f.micros >= from && f.micros <= to && (f.frame == "CR0" || f.frame == "CR3"))
                times.push_back(f.micros);
    }
    std::sort(times.begin(), times.end());
    std::vector<double> spans;
    std::size_t first = 0;
    for (std::size_t i = 1; i <= times.size(); ++i) {
        // A second of silence ends a burst.
        if (i == times.size() || times[i] - times[i - 1] > 1000000) {
            if (i > first) spans.push_back(static_cast<double>(times[i - 1] - times[first]) / 1000);
            first = i;
        }
    }
    return spans;
}

// One client reading the list over a connection kept open, in this thread: no hop to a network
// thread and back, which on a busy machine adds its own scheduling delays to every figure. Each
// read is timed from when it was due, so one waiting behind a slow answer counts that wait.
class Reader {
public:
    Reader(const QUrl& base, const QByteArray& token)
        : request_("GET /api/v1/projectors HTTP/1.1\r\nHost: " + base.authority().toUtf8() +
                   "\r\nAuthorization: Bearer " + token + "\r\n\r\n") {
        QObject::connect(&socket_, &QTcpSocket::readyRead, [this] { read(); });
        socket_.connectToHost(base.host(), static_cast<quint16>(base.port()));
    }
    void ask() {
        due_.push_back(MonotonicMicros());
        if (due_.size() == 1) socket_.write(request_);
    }
    bool waiting() const { return !due_.empty(); }
    // (when it was due, milliseconds to its whole answer)
    const std::vector<std::pair<std::int64_t, double>>& answered() const { return answered_; }
    int failed() const { return failed_; }

private:
    void read() {
        buffer_ += socket_.readAll();
        for (;;) {
            const qsizetype head = buffer_.indexOf("\r\n\r\n");
            if (head < 0 || due_.empty()) return;
            const QByteArray headers = buffer_.left(head).toLower();
            const qsizetype at = headers.indexOf("content-length:");
            const qsizetype length = at < 0
                                         ? 0
                                         : headers.mid(at + 15, headers.indexOf('\r', at) - at - 15)
                                               .trimmed()
                                               .toLongLong();
            if (buffer_.size() < head + 4 + length) return;
            if (!headers.startsWith("http/1.1 200")) ++failed_;
            buffer_.remove(0, head + 4 + length);
            answered_.emplace_back(due_.front(),
                                   static_cast<double>(MonotonicMicros() - due_.front()) / 1000);
            due_.pop_front();
            if (!due_.empty()) socket_.write(request_);
        }
    }

    QByteArray request_;
    QTcpSocket socket_;
    QByteArray buffer_;
    std::deque<std::int64_t> due_;
    std::vector<std::pair<std::int64_t, double>> answered_;
    int failed_ = 0;
};

// When the lines were in use, from the simulators' logs: each frame widened by 300 ms for the
// opens and closes around it.
std::vector<std::pair<std::int64_t, std::int64_t>> busySpans(const std::vector<Sim>& sims,
                                                             std::int64_t from, std::int64_t to) {
    std::vector<std::pair<std::int64_t, std::int64_t>> busy;
    for (const Sim& sim : sims)
        for (const test::LoggedFrame& f : test::FrameLogReader(sim.log).frames())
            if (f.micros >= from - 1000000 && f.micros <= to + 1000000)
                busy.emplace_back(f.micros - 300000, f.micros + 300000);
    return busy;
}

bool during(const std::vector<std::pair<std::int64_t, std::int64_t>>& busy, std::int64_t from,
            std::int64_t to) {
    return std::any_of(busy.begin(), busy.end(),
                       [&](const auto& span) { return span.first < to && span.second > from; });
}

}  // namespace

int MeasureService(const ServiceRun& run) {
    const std::vector<Sim> sims = readManifest(run.manifest);
    if (sims.empty()) {
        std::fprintf(stderr, "panel-measure: no simulators in %s\n", qPrintable(run.manifest));
        return 1;
    }
    const Service service(QUrl(run.url), run.token.toUtf8());
    QNetworkAccessManager control;
    std::vector<Row> rows;
    std::vector<double> rssMiB;
    const auto sampleMemory = [&] {
        if (const auto usage = ProcessUsage::of(run.daemon))
            rssMiB.push_back(static_cast<double>(usage->rssKiB) / 1024.0);
    };
    // The fewest descriptors seen over two seconds: a poll opens lines for a moment.
    const auto restingDescriptors = [&] {
        int fewest = openDescriptors(run.daemon);
        for (int i = 0; i < 20; ++i) {
            pause(100);
            fewest = std::min(fewest, openDescriptors(run.daemon));
        }
        return fewest;
    };
    long long requests = 0;

    // Every projector answered once.
    QHash<QString, QString> schemes;  // by projector: rfc2217 or socket
    QElapsedTimer waited;
    waited.start();
    for (bool all = false; !all && waited.elapsed() < 60000; pause(250)) {
        const auto [status, body] = service.call(control, QStringLiteral("/api/v1/projectors"));
        ++requests;
        const QJsonArray list =
            QJsonDocument::fromJson(body).object().value("projectors").toArray();
        for (const QJsonValue& p : list)
            schemes.insert(p.toObject().value("name").toString(),
                           p.toObject().value("port").toString().section(QLatin1Char(':'), 0, 0));
        all = status == 200 && list.size() == static_cast<qsizetype>(sims.size()) &&
              std::all_of(list.begin(), list.end(), [](const QJsonValue& p) {
                  return p.toObject().value("state").toString() == QLatin1String("standby");
              });
    }
    sampleMemory();
    // The stream is open before the first count and after the last: its own connection is no
    // descriptor that the requests left behind.
    QNetworkAccessManager streamManager;
    EventFollower events(streamManager, service);
    pause(200);
    const int fdsBefore = restingDescriptors();

    // 20 clients, each reading the list ten times a second, while the fleet polls.
    std::vector<double> getMs;
    std::vector<std::int64_t> getSent;
    const std::int64_t readsFrom = MonotonicMicros();
    {
        std::vector<std::unique_ptr<Reader>> readers;
        std::vector<std::unique_ptr<QTimer>> timers;
        for (int c = 0; c < kClients; ++c) {
            readers.push_back(std::make_unique<Reader>(run.url, run.token.toUtf8()));
            auto timer = std::make_unique<QTimer>();
            timer->setTimerType(Qt::PreciseTimer);
            timer->setInterval(1000 * kClients / kRequestsPerSecond);
            Reader* reader = readers.back().get();
            QObject::connect(timer.get(), &QTimer::timeout, [reader] { reader->ask(); });
            timers.push_back(std::move(timer));
        }
        QTimer memory;
        QObject::connect(&memory, &QTimer::timeout, sampleMemory);
        memory.start(1000);
        for (int c = 0; c < kClients; ++c)
            QTimer::singleShot(c * 1000 / kRequestsPerSecond,
                               timers[static_cast<std::size_t>(c)].get(),
                               qOverload<>(&QTimer::start));
        pause(run.seconds * 1000);
        for (auto& timer : timers) timer->stop();
        const auto busy = [&] {
            return std::any_of(readers.begin(), readers.end(),
                               [](const auto& r) { return r->waiting(); });
        };
        for (int i = 0; i < 500 && busy(); ++i) pause(10);
        memory.stop();
        int failed = 0;
        for (const auto& reader : readers) {
            for (const auto& [sent, took] : reader->answered()) {
                getSent.push_back(sent);
                getMs.push_back(took);
            }
            failed += reader->failed();
        }
        requests += static_cast<long long>(getMs.size());
        if (failed > 0)
            std::fprintf(stderr, "panel-measure: %d reads were not answered 200\n", failed);
    }
    const Summary get = Summarize(getMs);
    std::vector<double> getPolling;
    std::vector<double> getQuiet;
    {
        const auto busy = busySpans(sims, readsFrom, MonotonicMicros());
        for (std::size_t i = 0; i < getMs.size(); ++i)
            (during(busy, getSent[i], getSent[i] + static_cast<std::int64_t>(getMs[i] * 1000))
                 ? getPolling
                 : getQuiet)
                .push_back(getMs[i]);
    }
    const Summary getWhilePolling = Summarize(getPolling);
    const Summary getBetweenPolls = Summarize(getQuiet);
    rows.push_back(
        Row{QStringLiteral("`GET /api/v1/projectors`, p99 at %1 requests a second (%2 "
                           "clients, %3 requests, while polling)")
                .arg(kRequestsPerSecond)
                .arg(kClients)
                .arg(get.count),
            QStringLiteral("under 10 ms"),
            ms(get.p99) + QStringLiteral(" (median %1, max %2; while lines were polled p99 %3 of "
                                         "%4, else p99 %5)")
                              .arg(ms(get.median), ms(get.max), ms(getWhilePolling.p99))
                              .arg(getWhilePolling.count)
                              .arg(ms(getBetweenPolls.p99)),
            get.p99 < 10});

    // The daemon at rest: CPU between polls, and the polls themselves.
    const std::int64_t restFrom = MonotonicMicros();
    std::vector<std::pair<std::int64_t, std::int64_t>> cpu;  // (time, CPU ns)
    std::set<QByteArray> pollFigures;
    {
        QElapsedTimer rest;
        rest.start();
        while (rest.elapsed() < std::min(3 * run.pollSeconds, 20) * 1000) {
            cpu.emplace_back(MonotonicMicros(), cpuNanos(run.daemon));
            pause(100);
        }
    }
    const std::int64_t restTo = MonotonicMicros();
    {
        const auto [status, body] = service.call(control, QStringLiteral("/metrics"));
        ++requests;
        for (const QByteArray& line : body.split('\n'))
            if (line.startsWith("projector_poll_duration_seconds "))
                pollFigures.insert(line.mid(32));
    }
    const std::vector<double> spans = pollSpans(sims, restFrom, restTo);
    // A sample counts as between polls when no poll's wire span, widened by 300 ms for the opens
    // and closes, touches it.
    const auto busy = busySpans(sims, restFrom, restTo);
    std::int64_t idleNs = 0;
    std::int64_t idleUs = 0;
    for (std::size_t i = 1; i < cpu.size(); ++i) {
        const auto [from, fromNs] = cpu[i - 1];
        const auto [to, toNs] = cpu[i];
        if (during(busy, from, to)) continue;
        idleNs += toNs - fromNs;
        idleUs += to - from;
    }
    const double idleShare =
        idleUs > 0 ? 100.0 * static_cast<double>(idleNs) / (static_cast<double>(idleUs) * 1000) : 0;
    const double restShare = 100.0 * static_cast<double>(cpu.back().second - cpu.front().second) /
                             (static_cast<double>(cpu.back().first - cpu.front().first) * 1000);
    const Summary poll = Summarize(spans);
    QStringList daemonPolls;
    for (const QByteArray& figure : pollFigures)
        daemonPolls << QString::number(figure.toDouble() * 1000, 'f', 0) + QStringLiteral(" ms");

    // Sends, one at a time to each projector in turn: CR4 timed to the simulator's wire, CR0 to
    // its decoded answer.
    std::vector<double> wireMs;
    std::vector<double> answerMs;
    std::map<QString, std::vector<double>> wireBy;  // by scheme
    std::map<QString, std::vector<double>> answerBy;
    int sendsFailed = 0;
    for (const char* code : {"CR4", "CR0"}) {
        std::vector<std::pair<std::size_t, std::int64_t>> sent;
        for (int i = 0; i < kSends; ++i) {
            const std::size_t s = static_cast<std::size_t>(i) % sims.size();
            const QString path = QStringLiteral("/api/v1/projectors/%1/send")
                                     .arg(QString::fromUtf8(QUrl::toPercentEncoding(sims[s].name)));
            const std::int64_t at = MonotonicMicros();
            const auto [status, body] =
                service.call(control, path, QByteArray("{\"codes\":[\"") + code + "\"]}");
            const std::int64_t done = MonotonicMicros();
            ++requests;
            const QJsonArray answers =
                QJsonDocument::fromJson(body).object().value("answers").toArray();
            const bool decoded =
                !answers.isEmpty() && !answers[0].toObject().value("decoded").toString().isEmpty();
            if (status != 200 || !decoded) ++sendsFailed;
            if (std::string_view(code) == "CR0") {
                answerMs.push_back(static_cast<double>(done - at) / 1000);
                answerBy[schemes.value(sims[s].name)].push_back(answerMs.back());
            }
            sent.emplace_back(s, at);
            pause(20);
        }
        if (std::string_view(code) != "CR4") continue;
        for (const auto& [s, at] : sent) {
            for (std::int64_t t : test::FrameLogReader(sims[s].log).times("CR4")) {
                if (t < at) continue;
                wireMs.push_back(static_cast<double>(t - at) / 1000);
                wireBy[schemes.value(sims[s].name)].push_back(wireMs.back());
                break;
            }
        }
    }
    const Summary wire = Summarize(wireMs);
    const Summary answer = Summarize(answerMs);
    // The medians and p99 of each kind of line: a socket:// open waits for a refusal.
    const auto byScheme = [](const std::map<QString, std::vector<double>>& samples) {
        QStringList parts;
        for (const auto& [scheme, values] : samples) {
            const Summary s = Summarize(values);
            parts << QStringLiteral("%1:// median %2, p99 %3").arg(scheme, ms(s.median), ms(s.p99));
        }
        return parts.join(QStringLiteral("; "));
    };
    rows.push_back(Row{
        QStringLiteral("a `send` from request to the frame's last byte at the "
                       "simulator, p99 (%1 sends of CR4)")
            .arg(wire.count),
        QStringLiteral("under 50 ms"),
        ms(wire.p99) + QStringLiteral(" (median %1; %2)").arg(ms(wire.median), byScheme(wireBy)),
        wire.count == static_cast<std::size_t>(kSends) && wire.p99 < 50});
    rows.push_back(
        Row{QStringLiteral("a `send` of `CR0` from request to its decoded answer, p99 "
                           "(%1 sends)")
                .arg(answer.count),
            QStringLiteral("under 50 ms"),
            ms(answer.p99) +
                QStringLiteral(" (median %1; %2)").arg(ms(answer.median), byScheme(answerBy)),
            sendsFailed == 0 && answer.p99 < 50});
    rows.push_back(
        Row{QStringLiteral("one poll of all %1 (status, input, lamp hours)").arg(sims.size()),
            QStringLiteral("under 200 ms"),
            QStringLiteral("daemon's figure %1; on the wire %2 to %3 ms over %4 polls")
                .arg(daemonPolls.join(QStringLiteral(", ")))
                .arg(poll.min, 0, 'f', 0)
                .arg(poll.max, 0, 'f', 0)
                .arg(poll.count),
            !pollFigures.empty() &&
                std::all_of(pollFigures.begin(), pollFigures.end(),
                            [](const QByteArray& f) { return f.toDouble() < 0.2; })});

    // A simulator's end reaching the event stream: five simulators ended 1.7 s apart, so that
    // the ends fall at different points between two polls.
    constexpr std::size_t kEnds = 5;
    std::vector<std::pair<const Sim*, std::int64_t>> ended;
    for (std::size_t k = 0; k < kEnds && k < sims.size(); ++k) {
        const Sim& sim = sims[sims.size() - 1 - k];
        ended.emplace_back(&sim, MonotonicMicros());
        ::kill(sim.pid, SIGTERM);
        pause(1700);
    }
    {
        QElapsedTimer waiting;
        waiting.start();
        const auto allSeen = [&] {
            return std::all_of(ended.begin(), ended.end(), [&](const auto& e) {
                return events.changedAfter(e.first->name, e.second).has_value();
            });
        };
        while (!allSeen() && waiting.elapsed() < (2 * run.pollSeconds + 5) * 1000) pause(10);
    }
    std::vector<double> eventMs;
    for (const auto& [sim, at] : ended) {
        const std::optional<std::int64_t> seen = events.changedAfter(sim->name, at);
        eventMs.push_back(seen ? static_cast<double>(*seen - at) / 1000 : 1e9);
        std::fprintf(stderr, "panel-measure: %s ended, told as %s after %.0f ms\n",
                     qPrintable(sim->name), qPrintable(events.state(sim->name)), eventMs.back());
    }
    const Summary event = Summarize(eventMs);
    rows.push_back(
        Row{QStringLiteral("a simulator's change (its end) to the event reaching a "
                           "client, %1 simulators, polled every %2 s")
                .arg(event.count)
                .arg(run.pollSeconds),
            QStringLiteral("within one poll + 1 s (%1 s)").arg(run.pollSeconds + 1),
            event.max >= 1e9
                ? QStringLiteral("not seen")
                : QStringLiteral("%1 to %2 ms").arg(event.min, 0, 'f', 0).arg(event.max, 0, 'f', 0),
            event.max < (run.pollSeconds + 1) * 1000.0});

    sampleMemory();
    // From 10 s into the reads: what the first connections and polls allocate is no growth.
    const double firstRss = rssMiB[std::min<std::size_t>(10, rssMiB.size() - 1)];
    const double startRss = rssMiB.front();
    const double lastRss = rssMiB.back();
    const double mostRss = *std::max_element(rssMiB.begin(), rssMiB.end());
    rows.push_back(Row{QStringLiteral("resident memory over the run"),
                       QStringLiteral("under 100 MiB, flat (grows under 2 MiB after 10 s of load)"),
                       QStringLiteral("%1 at the start, %2 → %3 MiB from 10 s in, at most %4")
                           .arg(startRss, 0, 'f', 1)
                           .arg(firstRss, 0, 'f', 1)
                           .arg(lastRss, 0, 'f', 1)
                           .arg(mostRss, 0, 'f', 1),
                       mostRss < 100 && lastRss - firstRss < 2});
    rows.push_back(Row{QStringLiteral("CPU between polls (%1 s at rest, %2 polls)")
                           .arg(static_cast<double>(restTo - restFrom) / 1e6, 0, 'f', 0)
                           .arg(poll.count),
                       QStringLiteral("under 1% of a core"),
                       QStringLiteral("%1% (%2% with the polls)")
                           .arg(idleShare, 0, 'f', 3)
                           .arg(restShare, 0, 'f', 2),
                       idleUs > 0 && idleShare < 1});
    const int fdsAfter = restingDescriptors();
    rows.push_back(Row{QStringLiteral("open file descriptors after %1 requests").arg(requests),
                       QStringLiteral("equal to those before"),
                       QStringLiteral("%1 before, %2 after").arg(fdsBefore).arg(fdsAfter),
                       requests >= 10000 && fdsBefore == fdsAfter});

    std::printf("| What | Goal | Measured | |\n|---|---|---|---|\n");
    bool all = true;
    for (const Row& row : rows) {
        std::printf("| %s | %s | %s | %s |\n", qPrintable(row.what), qPrintable(row.goal),
                    qPrintable(row.measured), row.pass ? "PASS" : "FAIL");
        all = all && row.pass;
    }
    std::fflush(stdout);
    return all ? 0 : 3;
}

}  // namespace panel::measure
