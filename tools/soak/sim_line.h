// One projector-sim behind a COM line: started, stopped and restarted at the same --link path, each
// incarnation with its own frame log, read back into that incarnation's ledger as it grows.
#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "testkit/ser2net_process.h"
#include "tools/soak/frame_ledger.h"

namespace panel::soak {

struct Incarnation {
    int id = 0;
    std::unique_ptr<QProcess> process;
    QString logPath;
    std::int64_t spawnedAt = 0;
    std::optional<std::int64_t> hangupAt;  // it hangs up by itself no earlier than this
    bool up = false;                       // it has printed its device
    std::int64_t upAt = 0;                 // when it was seen to
    bool finished = false;
    std::optional<std::int64_t> downAt;  // stopped, hung up or gone
    FrameLedger ledger;
    qint64 logOffset = 0;
    std::string partialLine;

    // Gone, or going by itself before `at`.
    bool downBy(std::int64_t at) const {
        return (downAt && *downAt <= at) || (hangupAt && *hangupAt <= at);
    }
};

class SimLine final : public QObject {
    Q_OBJECT

public:
    SimLine(int number, QString simBinary, QString workDir);
    ~SimLine() override;

    int number() const { return number_; }
    QString link() const { return link_; }

    // A new incarnation with these fault options (--hangup-after included).
    void start(const std::vector<std::string>& faultArgs);
    // SIGTERM to the live incarnation, if any; its line is down from now.
    void stop();
    // The newest incarnation that has not finished, if any.
    Incarnation* live();
    Incarnation* find(int id);

    // Reads what every log gained and checks it; finished incarnations are settled and dropped.
    // Returns the first broken rule, or an empty string.
    std::string check(std::int64_t now, std::int64_t patienceUs);
    // Every frame sent to a live incarnation has arrived.
    bool caughtUp() const;

    std::size_t checked() const;
    std::size_t lost() const;
    std::size_t lostOnTheWay() const;  // of lost(), the frames the port wrote
    std::size_t readAfterSpeedChange() const;

    // The device server in front of the link (--network): the kit's ser2net, Telnet with RFC 2217
    // on a free loopback port (url()), opening the link for each client, so a restarted simulator
    // is reached again at the next connection. Started without waiting; serverListening() tells.
    void startServer();
    // Killed outright, as a crashed device server goes; frames on their way are lost with it.
    void killServer();
    bool serverListening() const;
    // The server has come back: what is sent through it from now on must arrive again.
    void serverBack();
    QString url() const;
    // When the server last went down (0: never).
    std::int64_t serverDownAt() const { return serverDownAt_; }
    // When it last came back (0: never went).
    std::int64_t serverUpAt() const { return serverUpAt_; }
    bool serverDown() const { return !server_ || serverDown_; }

signals:
    // The live incarnation has finished (stopped, hung up or crashed).
    void ended(int line);

private:
    std::string readLog(Incarnation& incarnation);

    int number_;
    QString simBinary_;
    QString workDir_;
    QString link_;
    int nextId_ = 1;
    std::deque<Incarnation> incarnations_;
    std::size_t checkedGone_ = 0;
    std::size_t lostGone_ = 0;
    std::size_t lostOnTheWayGone_ = 0;
    std::size_t afterSpeedGone_ = 0;

    std::unique_ptr<test::Ser2NetProcess> server_;
    std::int64_t serverDownAt_ = 0;
    std::int64_t serverUpAt_ = 0;
    bool serverDown_ = false;
};

}  // namespace panel::soak
