// A serial port for tests: records every write, feeds received blocks in, fails on demand.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "core/serial_port.h"

namespace panel::test {

class FakePort final : public SerialPort {
public:
    enum class Op { SetCommPort, SetSettings, Open, Close, Output, Input };

    void setListener(PortListener* listener) override { listener_ = listener; }
    PortResult setCommPort(int port) override;
    int commPort() const override { return port_; }
    std::string deviceName() const override { return "/dev/fake" + std::to_string(port_); }
    PortResult setSettings(std::string_view settings) override;
    bool isOpen() const override { return open_; }
    PortResult setOpen(bool open) override;
    PortResult output(std::string_view bytes) override;
    PortResult input(std::string& bytes) override;

    // Every operation of kind `op` fails with this error until cleared.
    void failOn(Op op, PortError error) { failures_[op] = std::move(error); }
    void clearFailure(Op op) { failures_.erase(op); }
    // Port numbers that cannot be opened (no such device).
    void makeUnopenable(int port, PortError error) { unopenable_[port] = std::move(error); }

    // Delivers a received block as one receive event.
    void receive(const std::string& block);
    // Raises a receive event of another kind with `block` waiting (it must be left alone).
    void raiseEvent(int kind, const std::string& block = {});
    // The device vanishes: the port closes and the listener hears of it.
    void hangUp(PortError error);
    // The line comes back by itself: the port is open again and the listener hears of it.
    void comeBack();

    // Everything written so far, and each write on its own.
    std::string written() const;
    const std::vector<std::string>& writes() const { return writes_; }
    void clearWrites() { writes_.clear(); }
    const std::string& settings() const { return settings_; }
    // Operations in the order they were called, e.g. "close", "port 2", "open".
    const std::vector<std::string>& log() const { return log_; }
    void clearLog() { log_.clear(); }
    int inputCalls() const { return inputCalls_; }

private:
    PortResult failure(Op op) const;

    PortListener* listener_ = nullptr;
    int port_ = 1;
    std::string settings_ = "9600,N,8,1";
    bool open_ = false;
    std::string pending_;
    std::vector<std::string> writes_;
    std::vector<std::string> log_;
    std::map<Op, PortError> failures_;
    std::map<int, PortError> unopenable_;
    int inputCalls_ = 0;
};

}  // namespace panel::test
