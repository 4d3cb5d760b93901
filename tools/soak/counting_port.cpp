#include "tools/soak/counting_port.h"

#include <utility>

namespace panel::soak {

CountingPort::CountingPort(SerialPort& inner, Observer observer)
    : ForwardingPort(inner), observer_(std::move(observer)) {}

PortResult CountingPort::output(std::string_view bytes) {
    const bool wasOpen = isOpen();
    PortResult result = ForwardingPort::output(bytes);
    if (!result) {
        ++writes_;
        bytes_ += bytes.size();
        if (observer_.wrote) observer_.wrote(bytes);
    } else if (wasOpen && !isOpen() && observer_.lost) {
        observer_.lost();
    }
    return result;
}

void CountingPort::onPortFailure(const PortError& error) {
    if (observer_.lost) observer_.lost();
    ForwardingPort::onPortFailure(error);
}

void CountingPort::onPortOpened() {
    if (observer_.opened) observer_.opened();
    ForwardingPort::onPortOpened();
}

}  // namespace panel::soak
