#include "tools/soak/memory_trend.h"

#include <malloc.h>

#include <QGuiApplication>
#include <QWindow>

#include <fstream>
#include <string>

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
    // Unlike the resident size this leaves out what the allocator keeps back after a free.
    const struct mallinfo2 info = mallinfo2();
    sample.heapKiB = static_cast<std::int64_t>((info.uordblks + info.hblkhd) / 1024);
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) sample.residentKiB = std::stoll(line.substr(6));
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
