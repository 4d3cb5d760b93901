// How late the event loop answers: a 10 ms timer, each tick's lateness kept in a fixed histogram
// (memory stays flat however long the run) and the last few seconds of ticks kept for holds.
#pragma once

#include <QObject>
#include <QTimer>
#include <array>
#include <cstdint>
#include <deque>

namespace panel::soak {

class LatenessProbe final : public QObject {
    Q_OBJECT

public:
    static constexpr int kPeriodMs = 10;

    LatenessProbe();

    std::uint64_t samples() const { return samples_; }
    // In milliseconds, to the histogram's 0.1 ms; the maximum exactly.
    double percentile(double fraction) const;
    double maximum() const { return maxMs_; }

    // Periods of `periodMs` that the loop's stalls between `from` and `to` (µs) may have cost a
    // repeating timer: a stall of L ms swallows floor(L / period) ticks.
    int periodsLost(std::int64_t from, std::int64_t to, double periodMs) const;

private:
    void tick();

    static constexpr double kBinMs = 0.1;
    static constexpr std::size_t kBins = 20000;  // up to 2 s; later ticks go in the last bin

    QTimer timer_;
    std::int64_t last_ = 0;
    std::array<std::uint32_t, kBins> histogram_{};
    std::uint64_t samples_ = 0;
    double maxMs_ = 0;
    struct Tick {
        std::int64_t at;
        float lateMs;
    };
    std::deque<Tick> recent_;
};

}  // namespace panel::soak
