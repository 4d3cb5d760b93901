// The reply window's timer with one more step after the controller's own tick: the shell and the
// fleet read the labels there, once the controller has closed the window.
#pragma once

#include <functional>

#include "core/timer.h"
#include "serial/qt_timer.h"

namespace panel {

class ReplyWindowTimer final : public Timer {
public:
    explicit ReplyWindowTimer(std::function<void()> afterTick) : afterTick_(std::move(afterTick)) {}

    void setTickHandler(std::function<void()> handler) override;
    void setInterval(std::chrono::milliseconds interval) override { inner_.setInterval(interval); }
    std::chrono::milliseconds interval() const override { return inner_.interval(); }
    void setEnabled(bool enabled) override { inner_.setEnabled(enabled); }
    bool isEnabled() const override { return inner_.isEnabled(); }

private:
    QtTimer inner_;
    std::function<void()> afterTick_;
};

}  // namespace panel
