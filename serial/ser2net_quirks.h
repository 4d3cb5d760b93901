// What ser2net does that the network port must allow for: it refuses a client while another holds
// the line, writing "already in use" before it closes, and for a moment after we close a connection
// it may still count it as the line's client and refuse our next one.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <chrono>
#include <string>
#include <string_view>

namespace panel {

// What ser2net writes to a client it refuses because another one holds the line (the same port, or
// another port on the same device), before it closes the connection.
inline constexpr std::string_view kServerInUse = "already in use";

class Ser2netQuirks {
public:
    // How long after a refusal blamed on our own close the same open connects again.
    static constexpr std::chrono::milliseconds kInUseRetryDelay{100};

    // Why the server closed the connection, with ser2net's refusal of a second client when it
    // said so before closing: in what is still `unread` in the socket or already `taken`.
    static std::string closedByServer(const QByteArray& unread, std::string_view taken);

    // This port has just closed an open connection itself.
    void closedOwnConnection() { ownClose_.start(); }
    // The refusal `why` may be ser2net still counting our own connection, closed a moment ago:
    // the open should ask again.
    bool refusedForOwnClose(const std::string& why) const;

private:
    QElapsedTimer ownClose_;  // since this port last closed an open connection itself
};

}  // namespace panel
