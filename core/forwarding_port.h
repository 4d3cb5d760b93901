// A port in front of another: every call passes through and the inner port's events reach this
// port's listener. Ports that time, count or watch a line derive from it and override only what
// they look at, calling on to the base. One of them, the timed port, is here too: the shell and a
// projector's exchange both time their answers.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "core/serial_port.h"

namespace panel {

class ForwardingPort : public SerialPort, protected PortListener {
public:
    // Listens to `inner` from now until this port goes, so that events are seen even while no
    // listener of its own is set.
    explicit ForwardingPort(SerialPort& inner) : inner_(inner) { inner_.setListener(this); }
    ~ForwardingPort() override { inner_.setListener(nullptr); }
    ForwardingPort(const ForwardingPort&) = delete;
    ForwardingPort& operator=(const ForwardingPort&) = delete;

    void setListener(PortListener* listener) override { listener_ = listener; }
    PortResult setCommPort(int port) override { return inner_.setCommPort(port); }
    int commPort() const override { return inner_.commPort(); }
    std::string deviceName() const override { return inner_.deviceName(); }
    PortResult setSettings(std::string_view settings) override {
        return inner_.setSettings(settings);
    }
    bool isOpen() const override { return inner_.isOpen(); }
    PortResult setOpen(bool open) override { return inner_.setOpen(open); }
    bool isOpening() const override { return inner_.isOpening(); }
    PortResult output(std::string_view bytes) override { return inner_.output(bytes); }
    PortResult input(std::string& bytes) override { return inner_.input(bytes); }

protected:
    void onComm(int kind) override {
        if (listener_) listener_->onComm(kind);
    }
    void onPortFailure(const PortError& error) override {
        if (listener_) listener_->onPortFailure(error);
    }
    void onPortOpened() override {
        if (listener_) listener_->onPortOpened();
    }
    void onOpenFailed(const PortError& error) override {
        if (listener_) listener_->onOpenFailed(error);
    }

private:
    SerialPort& inner_;
    PortListener* listener_ = nullptr;
};

// Times each write's answer: from the write to the first character received after it.
class TimedPort : public ForwardingPort {
public:
    using Clock = std::chrono::steady_clock;
    using ForwardingPort::ForwardingPort;

    PortResult output(std::string_view bytes) override {
        written_ = Clock::now();
        firstByte_.reset();
        return ForwardingPort::output(bytes);
    }
    PortResult input(std::string& bytes) override {
        PortResult result = ForwardingPort::input(bytes);
        if (!result && !bytes.empty() && !firstByte_) firstByte_ = Clock::now() - written_;
        return result;
    }

    // None while nothing has come since the last write.
    std::optional<Clock::duration> firstByte() const { return firstByte_; }

private:
    Clock::time_point written_;
    std::optional<Clock::duration> firstByte_;
};

}  // namespace panel
