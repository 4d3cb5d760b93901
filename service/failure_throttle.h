// Slows down guessing: an address that gave 10 bad tokens within a minute is answered 429 for a
// minute, whatever it sends.
#pragma once

#include <QHash>
#include <QHostAddress>
#include <chrono>
#include <deque>
#include <functional>

namespace panel {

class FailureThrottle {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr int kFailures = 10;
    static constexpr std::chrono::seconds kWindow{60};
    static constexpr std::chrono::seconds kPenalty{60};
    // A flood from many addresses cannot grow the table past this: the quietest are forgotten.
    static constexpr int kAddresses = 4096;

    explicit FailureThrottle(std::function<Clock::time_point()> now = &Clock::now);

    bool blocked(const QHostAddress& address);
    void failed(const QHostAddress& address);
    std::size_t tracked() const { return static_cast<std::size_t>(addresses_.size()); }

private:
    struct Record {
        std::deque<Clock::time_point> failures;  // within the window, oldest first
        Clock::time_point blockedUntil{};
    };
    void prune(Clock::time_point now);

    std::function<Clock::time_point()> now_;
    QHash<QHostAddress, Record> addresses_;
};

}  // namespace panel
