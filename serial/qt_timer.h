// A window timer over QTimer, keeping the contract written in core/timer.h.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

#include "core/timer.h"

namespace panel {

class QtTimer final : public QObject, public Timer {
    Q_OBJECT

public:
    explicit QtTimer(QObject* parent = nullptr);

    void setTickHandler(std::function<void()> handler) override { handler_ = std::move(handler); }

    void setInterval(std::chrono::milliseconds interval) override { timer_.setInterval(interval); }
    std::chrono::milliseconds interval() const override { return timer_.intervalAsDuration(); }

    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return timer_.isActive(); }

private:
    QTimer timer_;
    std::function<void()> handler_;
};

}  // namespace panel
