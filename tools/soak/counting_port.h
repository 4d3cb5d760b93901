// The panel's port as the soak sees it: what the port itself wrote, and when the line closed or
// opened by itself. Frames that never reach a simulator are thus told apart: never written (ours)
// or written and lost on the way (the line's).
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "core/forwarding_port.h"

namespace panel::soak {

class CountingPort final : public ForwardingPort {
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

    std::size_t writes() const { return writes_; }
    std::size_t bytesWritten() const { return bytes_; }

    PortResult output(std::string_view bytes) override;

private:
    void onPortFailure(const PortError& error) override;
    void onPortOpened() override;

    Observer observer_;
    std::size_t writes_ = 0;
    std::size_t bytes_ = 0;
};

}  // namespace panel::soak
