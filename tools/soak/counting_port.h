// The panel's port as the soak sees it: what the port itself wrote, and when the line closed or
// opened by itself. Frames that never reach a simulator are thus told apart: never written (ours)
// or written and lost on the way (the line's).
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "core/serial_port.h"

namespace panel::soak {

class CountingPort final : public SerialPort, private PortListener {
public:
    // Each is told before the panel hears of the same event.
    struct Observer {
        std::function<void(std::string_view bytes)> wrote;
        // The open port closed by itself: the device failed, or a write found it gone.
        std::function<void()> lost;
        // An open settled, or the serial layer reopened a lost line.
        std::function<void()> opened;
    };

    CountingPort(SerialPort& inner, Observer observer);
    ~CountingPort() override;
    CountingPort(const CountingPort&) = delete;
    CountingPort& operator=(const CountingPort&) = delete;

    std::size_t writes() const { return writes_; }
    std::size_t bytesWritten() const { return bytes_; }

    void setListener(PortListener* listener) override;
    PortResult setCommPort(int port) override { return inner_.setCommPort(port); }
    int commPort() const override { return inner_.commPort(); }
    std::string deviceName() const override { return inner_.deviceName(); }
    PortResult setSettings(std::string_view settings) override {
        return inner_.setSettings(settings);
    }
    bool isOpen() const override { return inner_.isOpen(); }
    PortResult setOpen(bool open) override { return inner_.setOpen(open); }
    bool isOpening() const override { return inner_.isOpening(); }
    PortResult output(std::string_view bytes) override;
    PortResult input(std::string& bytes) override { return inner_.input(bytes); }

private:
    void onComm(int kind) override;
    void onPortFailure(const PortError& error) override;
    void onPortOpened() override;
    void onOpenFailed(const PortError& error) override;

    SerialPort& inner_;
    Observer observer_;
    PortListener* listener_ = nullptr;
    std::size_t writes_ = 0;
    std::size_t bytes_ = 0;
};

}  // namespace panel::soak
