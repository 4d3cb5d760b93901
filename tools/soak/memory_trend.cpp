#include "tools/soak/memory_trend.h"

#include <QGuiApplication>
#include <QWindow>

#include "tools/soak/soak_report.h"

namespace panel::soak {

MemoryTrend::MemoryTrend(std::FILE* out) : out_(out) {
    timer_.setInterval(kPeriodMs);
    connect(&timer_, &QTimer::timeout, this, &MemoryTrend::take);
}

void MemoryTrend::start() {
    samples_.clear();
    take();
    timer_.start();
}

void MemoryTrend::take() {
    samples_.push_back(measure(static_cast<int>(samples_.size())));
    print(out_, samples_.back());
}

MemoryTrend::Sample MemoryTrend::measure(int minute) {
    Sample sample;
    sample.minute = minute;
    const SoakReport::Memory memory = SoakReport::Memory::now();
    sample.heapKiB = memory.heapKiB;
    sample.residentKiB = memory.residentKiB;
    for (const QWindow* window : QGuiApplication::topLevelWindows())
        if (window->isVisible()) {
            sample.windowWidth = window->width();
            sample.windowHeight = window->height();
        }
    return sample;
}

void MemoryTrend::print(std::FILE* out, const Sample& sample) {
    std::fprintf(
        out, "memory at minute %d: heap in use %.1f MiB, resident %.1f MiB, window %dx%d\n",
        sample.minute, static_cast<double>(sample.heapKiB) / 1024.0,
        static_cast<double>(sample.residentKiB) / 1024.0, sample.windowWidth, sample.windowHeight);
    // A run that is stopped or dies still leaves the trend so far.
    std::fflush(out);
}

}  // namespace panel::soak
