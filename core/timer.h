// A timer of the window: an interval, an enabled state, and a tick on the window's thread.
#pragma once

#include <chrono>
#include <functional>

namespace panel {

// The contract that every implementation keeps (the Qt adapter and the tests' fake timer alike):
//  1. A new timer is disabled. setInterval on a disabled timer changes only the interval.
//  2. setEnabled(true) on a disabled timer begins a count: the first tick falls `interval` later.
//  3. setEnabled(true) on an enabled timer begins a new count from now (as QTimer::start does).
//  4. setInterval on an enabled timer begins a new count from now with the new interval.
//  5. An enabled timer ticks once per interval until disabled; the handler may disable it, after
//     which no further tick is delivered. setEnabled(false) on a disabled timer does nothing.
//  6. Ticks are delivered one at a time on the window's thread and never interrupt a handler;
//     a tick that falls due while a handler runs is delivered after it returns.
class Timer {
public:
    virtual ~Timer() = default;

    virtual void setTickHandler(std::function<void()> handler) = 0;

    virtual void setInterval(std::chrono::milliseconds interval) = 0;
    virtual std::chrono::milliseconds interval() const = 0;

    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
};

}  // namespace panel
