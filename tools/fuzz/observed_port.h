// A port for the controller fuzzer: the fake port underneath, with every write attempt and every
// successful open told to the scenario that drives it.
#pragma once

#include <functional>
#include <string>

#include "core/forwarding_port.h"
#include "testkit/fake_port.h"

namespace panel::fuzz {

// Holds the fake so that it is built before the forwarding port that listens to it.
struct FakePortHolder {
    test::FakePort fakePort;
};

class ObservedPort final : private FakePortHolder, public ForwardingPort {
public:
    struct Observer {
        std::function<void(const std::string& bytes, bool failed)> output;
        std::function<void()> opened;
    };

    ObservedPort() : ForwardingPort(fakePort) {}

    void setObserver(Observer observer) { observer_ = std::move(observer); }
    test::FakePort& fake() { return fakePort; }

    PortResult setOpen(bool open) override;
    PortResult output(std::string_view bytes) override;

    bool writtenWhileClosed = false;

private:
    Observer observer_;
};

}  // namespace panel::fuzz
