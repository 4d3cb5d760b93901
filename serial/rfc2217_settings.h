// The line settings over RFC 2217: the request in the protocol's numbers, one request at a time
// (the server's answers do not say which request they answer), a choice made meanwhile sent after
// the answer, and each request given the server's full second to be confirmed.
#pragma once

#include <QTimer>
#include <functional>
#include <string>

#include "serial/line_settings.h"
#include "serial/telnet/com_port_client.h"

namespace panel {

class Rfc2217Settings {
public:
    // What the server's answer asks of the port.
    enum class Next { Wait, Resend, Confirmed, Refused };

    // `timedOut` runs when a request has gone unanswered for the server's full second.
    explicit Rfc2217Settings(std::function<void()> timedOut);

    static ComPortSettings toComPort(const LineSettings& line);

    // Sends `line` as the request; `confirming` when the line is open and awaits it.
    void request(ComPortClient& client, const LineSettings& line);
    void setConfirming(bool confirming) { confirming_ = confirming; }
    // An open line awaits the confirmation of new settings.
    bool confirming() const { return confirming_; }
    // A newer choice while a request is unanswered: sent once it is answered.
    void choseMeanwhile() { newerSettings_ = true; }
    // The answer so far; `why` says why the server refused. A request answered with a newer
    // choice waiting asks for that choice to be sent.
    Next take(ComPortClient& client, std::string& why);
    // The open has its outcome: no request is timed any more.
    void stopTimer() { confirmTimer_.stop(); }
    // The connection is gone: nothing awaits an answer.
    void reset();

private:
    QTimer confirmTimer_;         // the server's limit for confirming the line settings
    bool confirming_ = false;     // an open line awaits the confirmation of new settings
    bool newerSettings_ = false;  // chosen while a request was unanswered; sent after its answer
};

}  // namespace panel
