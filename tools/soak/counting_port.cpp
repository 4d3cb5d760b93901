#include "tools/soak/counting_port.h"

#include <utility>

namespace panel::soak {

CountingPort::CountingPort(SerialPort& inner, Observer observer)
    : inner_(inner), observer_(std::move(observer)) {}

CountingPort::~CountingPort() {
    if (listener_) inner_.setListener(nullptr);
}

void CountingPort::setListener(PortListener* listener) {
    listener_ = listener;
    inner_.setListener(listener ? this : nullptr);
}

PortResult CountingPort::output(std::string_view bytes) {
    const bool wasOpen = inner_.isOpen();
    PortResult result = inner_.output(bytes);
    if (!result) {
        ++writes_;
        bytes_ += bytes.size();
        if (observer_.wrote) observer_.wrote(bytes);
    } else if (wasOpen && !inner_.isOpen() && observer_.lost) {
        observer_.lost();
    }
    return result;
}

void CountingPort::onComm(int kind) {
    if (listener_) listener_->onComm(kind);
}

void CountingPort::onPortFailure(const PortError& error) {
    if (observer_.lost) observer_.lost();
    if (listener_) listener_->onPortFailure(error);
}

void CountingPort::onPortOpened() {
    if (observer_.opened) observer_.opened();
    if (listener_) listener_->onPortOpened();
}

void CountingPort::onOpenFailed(const PortError& error) {
    if (listener_) listener_->onOpenFailed(error);
}

}  // namespace panel::soak
