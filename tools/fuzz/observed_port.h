// A port for the controller fuzzer: the fake port underneath, with every write attempt and every
// successful open told to the scenario that drives it.
#pragma once

#include <functional>
#include <string>

#include "core/serial_port.h"
#include "testkit/fake_port.h"

namespace panel::fuzz {

class ObservedPort final : public SerialPort {
public:
    struct Observer {
        std::function<void(const std::string& bytes, bool failed)> output;
        std::function<void()> opened;
    };

    void setObserver(Observer observer) { observer_ = std::move(observer); }
    test::FakePort& fake() { return port_; }

    void setListener(PortListener* listener) override { port_.setListener(listener); }
    PortResult setCommPort(int port) override { return port_.setCommPort(port); }
    int commPort() const override { return port_.commPort(); }
    std::string deviceName() const override { return port_.deviceName(); }
    PortResult setSettings(std::string_view settings) override {
        return port_.setSettings(settings);
    }
    bool isOpen() const override { return port_.isOpen(); }
    PortResult setOpen(bool open) override;
    PortResult output(std::string_view bytes) override;
    PortResult input(std::string& bytes) override { return port_.input(bytes); }

    bool writtenWhileClosed = false;

private:
    test::FakePort port_;
    Observer observer_;
};

}  // namespace panel::fuzz
