// Virtual time for tests: fake timers that tick only when the clock is advanced.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "core/timer.h"

namespace panel::test {

class VirtualClock;

// Keeps the contract written in core/timer.h, on virtual time.
class FakeTimer final : public Timer {
public:
    FakeTimer(VirtualClock& clock, std::string name) : clock_(clock), name_(std::move(name)) {}

    void setTickHandler(std::function<void()> handler) override { handler_ = std::move(handler); }
    void setInterval(std::chrono::milliseconds interval) override;
    std::chrono::milliseconds interval() const override { return interval_; }
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return enabled_; }

    const std::string& name() const { return name_; }
    std::chrono::milliseconds due() const { return due_; }
    int ticks() const { return ticks_; }

private:
    friend class VirtualClock;
    void arm();

    VirtualClock& clock_;
    std::string name_;
    std::function<void()> handler_;
    std::chrono::milliseconds interval_{0};
    bool enabled_ = false;
    std::chrono::milliseconds due_{0};
    std::uint64_t order_ = 0;  // ties fire in the order the counts began
    int ticks_ = 0;
};

class VirtualClock {
public:
    FakeTimer& makeTimer(std::string name);

    std::chrono::milliseconds now() const { return now_; }
    // Fires every tick that falls due within the next `duration`, in time order, each handler to
    // completion (handlers may start, stop and re-time timers), then sets the time to the end.
    void advance(std::chrono::milliseconds duration);
    // Optional observer of every tick, called before the tick's handler.
    void onTick(std::function<void(const FakeTimer&)> observer) { observer_ = std::move(observer); }

private:
    friend class FakeTimer;
    std::chrono::milliseconds now_{0};
    std::uint64_t nextOrder_ = 0;
    std::deque<FakeTimer> timers_;  // deque: references stay valid as timers are added
    std::function<void(const FakeTimer&)> observer_;
};

}  // namespace panel::test
