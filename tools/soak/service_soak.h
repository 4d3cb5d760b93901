// The soak's service leg: the real projector-paneld over simulators behind ser2net and on
// pseudo-terminals that fail and come back, hit by seeded random clients with operator, viewer,
// wrong and missing tokens, malformed requests, slow and vanishing clients. Checked: every
// request answered with a status its caller may get, within its reply windows + 5 s, unless its
// own client left; no frame of a caller without an operator's token reaches a line; no more
// power frames reach a line than power actions the service let through; the service's memory
// and descriptors flat.
#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QTcpSocket>
#include <QTimer>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "testkit/ser2net_process.h"

namespace panel::soak {

struct ServiceSoakOptions {
    double minutes = 10;
    std::uint64_t seed = 0;
    QString simBinary;
    QString serviceBinary;
    QString workDir;
};

class ServiceSoak final {
public:
    explicit ServiceSoak(ServiceSoakOptions options);
    ~ServiceSoak();
    // Exit status: 0 when every invariant held.
    int run();

private:
    enum class Mode { Clean, Latency, Split, Noise, NoReply, Down };
    enum class Caller { Operator, Viewer, Wrong, Missing };
    enum class Manner { Plain, Slow, Vanishing };
    struct Sim {
        std::unique_ptr<QProcess> process;
        Mode mode = Mode::Clean;
        int incarnation = 0;
    };
    struct Client;
    struct Power {
        int reached = 0;  // answered 200, or 503 for want of an answer: it went out
        // Its client left before the answer, or its line failed on the way: it may have gone out.
        int maybe = 0;
        int refused = 0;             // 409: warming up or cooling down
        std::vector<QString> story;  // each request's start, caller and answer, for a report
    };

    bool prepare();
    bool startDaemon();
    QByteArray addToken(const char* name, const char* role);
    void setMode(int index, Mode mode);
    void nextFault();
    void nextClient();
    void finish(Client& client, bool dropped);
    void sampleMinute();
    int descriptors() const;
    std::int64_t residentKiB() const;
    int quietDescriptors();
    void broke(const QString& what);
    void checkFrames();
    void report(int minutes);

    ServiceSoakOptions options_;
    std::mt19937_64 random_;
    QElapsedTimer clock_;
    std::vector<Sim> sims_;
    std::unique_ptr<test::Ser2NetProcess> server_;
    QProcess daemon_;
    quint16 port_ = 0;
    QByteArray operatorToken_;
    QByteArray viewerToken_;
    QTimer faults_;
    QTimer clients_;
    QTimer minutes_;
    QTimer deadlines_;
    std::vector<std::unique_ptr<Client>> open_;
    int nextId_ = 1;
    std::map<QString, int> counts_;  // what happened, by name, for the summary
    std::vector<Power> power_;
    std::vector<QString> nonOperatorTags_;
    std::vector<QString> operatorTags_;
    qint64 longestMs_ = 0;
    int faultCount_ = 0;
    int startDescriptors_ = 0;
    std::vector<std::pair<std::int64_t, int>> perMinute_;  // resident KiB, descriptors
    QString broken_;
};

}  // namespace panel::soak
