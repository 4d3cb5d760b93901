// How late the event loop answers: a 10 ms timer, each tick's lateness kept in a fixed histogram,
// so memory stays flat however long the run.
#pragma once

#include <QObject>
#include <QTimer>
#include <array>
#include <cstdint>

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

private:
    void tick();

    static constexpr double kBinMs = 0.1;
    static constexpr std::size_t kBins = 20000;  // up to 2 s; later ticks go in the last bin

    QTimer timer_;
    std::int64_t last_ = 0;
    std::array<std::uint32_t, kBins> histogram_{};
    std::uint64_t samples_ = 0;
    double maxMs_ = 0;
};

}  // namespace panel::soak
