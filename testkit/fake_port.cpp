#include "testkit/fake_port.h"

namespace panel::test {

PortResult FakePort::failure(Op op) const {
    if (auto it = failures_.find(op); it != failures_.end()) return it->second;
    return std::nullopt;
}

PortResult FakePort::setCommPort(int port) {
    log_.push_back("port " + std::to_string(port));
    if (auto f = failure(Op::SetCommPort)) return f;
    if (open_) return PortError{"Port already open"};
    port_ = port;
    return std::nullopt;
}

PortResult FakePort::setSettings(std::string_view settings) {
    log_.push_back("settings " + std::string(settings));
    if (auto f = failure(Op::SetSettings)) return f;
    settings_ = std::string(settings);
    return std::nullopt;
}

PortResult FakePort::setOpen(bool open) {
    log_.push_back(open ? "open" : "close");
    if (auto f = failure(open ? Op::Open : Op::Close)) return f;
    if (open) {
        if (open_ || opening_) return PortError{"Port already open"};
        if (auto it = unopenable_.find(port_); it != unopenable_.end()) return it->second;
        if (openLater_) {
            opening_ = true;
            return std::nullopt;
        }
    }
    opening_ = false;
    open_ = open;
    return std::nullopt;
}

PortResult FakePort::output(std::string_view bytes) {
    if (auto f = failure(Op::Output)) return f;
    if (!open_) return PortError{"Operation valid only when the port is open"};
    writes_.emplace_back(bytes);
    return std::nullopt;
}

PortResult FakePort::input(std::string& bytes) {
    ++inputCalls_;
    if (auto f = failure(Op::Input)) return f;
    bytes = std::move(pending_);
    pending_.clear();
    return std::nullopt;
}

void FakePort::receive(const std::string& block) {
    pending_ += block;
    if (listener_) listener_->onComm(kCommEventReceived);
}

void FakePort::raiseEvent(int kind, const std::string& block) {
    pending_ += block;
    if (listener_) listener_->onComm(kind);
}

void FakePort::hangUp(PortError error) {
    open_ = false;
    if (listener_) listener_->onPortFailure(error);
}

void FakePort::settleOpen(PortResult failure) {
    if (!opening_) return;
    opening_ = false;
    reopenBySelf(std::move(failure));
}

void FakePort::reopenBySelf(PortResult failure) {
    open_ = !failure;
    if (!listener_) return;
    if (failure)
        listener_->onOpenFailed(*failure);
    else
        listener_->onPortOpened();
}

std::string FakePort::written() const {
    std::string all;
    for (const auto& w : writes_) all += w;
    return all;
}

}  // namespace panel::test
