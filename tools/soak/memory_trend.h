// The heap in use and the resident size once a minute, printed as each minute ends, so that a
// long run shows whether memory levels off or keeps growing.
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace panel::soak {

class MemoryTrend final : public QObject {
    Q_OBJECT

public:
    struct Sample {
        int minute = 0;
        std::int64_t heapKiB = 0;  // allocated and not yet freed
        std::int64_t residentKiB = 0;
        // The window's backing store is an image of its size, held on the heap: 0.6 MiB more
        // with the data panel at full height than compact, so a figure is compared with one
        // taken at the same size.
        int windowWidth = 0;
        int windowHeight = 0;
    };

    static constexpr int kPeriodMs = 60'000;

    explicit MemoryTrend(std::FILE* out = stdout);

    // Minute 0 now, then one each minute until destroyed.
    void start();
    const std::vector<Sample>& samples() const { return samples_; }

    static Sample measure(int minute);
    // "memory at minute 3: heap in use 4.6 MiB, resident 31.2 MiB, window 633x332"
    static void print(std::FILE* out, const Sample& sample);

private:
    void take();

    std::FILE* out_;
    QTimer timer_;
    std::vector<Sample> samples_;
};

}  // namespace panel::soak
