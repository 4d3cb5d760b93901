// A timer in front of another, with one more step after each tick's own handler: a session reads
// the labels there, once the controller has closed its reply window.
#pragma once

#include <functional>
#include <utility>

#include "core/timer.h"

namespace panel {

class AfterTickTimer final : public Timer {
public:
    AfterTickTimer(Timer& inner, std::function<void()> afterTick)
        : inner_(inner), afterTick_(std::move(afterTick)) {}

    void setTickHandler(std::function<void()> handler) override {
        if (!handler) {
            handler_ = {};
            return inner_.setTickHandler({});
        }
        handler_ = std::move(handler);
        inner_.setTickHandler([this] { tickNow(); });
    }
    // The tick, early: the handler and the step after it, as if the interval had passed.
    void tickNow() {
        if (!handler_) return;
        handler_();
        afterTick_();
    }
    void setInterval(std::chrono::milliseconds interval) override { inner_.setInterval(interval); }
    std::chrono::milliseconds interval() const override { return inner_.interval(); }
    void setEnabled(bool enabled) override { inner_.setEnabled(enabled); }
    bool isEnabled() const override { return inner_.isEnabled(); }

private:
    Timer& inner_;
    std::function<void()> handler_;
    std::function<void()> afterTick_;
};

}  // namespace panel
