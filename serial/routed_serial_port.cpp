#include "serial/routed_serial_port.h"

#include <QObject>

#include "serial/held_line.h"
#include "serial/line_watcher.h"
#include "serial/network_port.h"
#include "serial/port_url.h"

namespace panel {

namespace {

// How long a node that is there may refuse to open before the operator is told.
constexpr qint64 kSettleMs = 900;

}  // namespace

RoutedSerialPort::RoutedSerialPort(PortDevices devices, DevicePort& local, DevicePort& network)
    : devices_(std::move(devices)), local_(local), network_(network) {}

RoutedSerialPort::~RoutedSerialPort() {
    QObject::disconnect(tries_);
    local_.setListener(nullptr);
    network_.setListener(nullptr);
}

SerialPort& RoutedSerialPort::active() const {
    const QString& device = local_.commPort() == 2 ? devices_.com2 : devices_.com1;
    return isPortUrl(device) ? network_ : local_;
}

SerialPort& RoutedSerialPort::inactive() const {
    return &active() == &local_ ? network_ : local_;
}

void RoutedSerialPort::reopenLostLines(LineWatcher& watcher) {
    watcher_ = &watcher;
    tries_ = QObject::connect(&watcher, &LineWatcher::tryNow, &watcher, [this] { tryReopen(); });
}

void RoutedSerialPort::stopWaiting() {
    if (reopening_) (void)active().setOpen(false);
    reopening_ = false;
    if (watcher_) watcher_->stop();
}

void RoutedSerialPort::setListener(PortListener* listener) {
    listener_ = listener;
    local_.setListener(listener ? this : nullptr);
    network_.setListener(listener ? this : nullptr);
}

PortResult RoutedSerialPort::setCommPort(int port) {
    // The operator's own selection ends any wait for the line.
    stopWaiting();
    // Both follow the number, so that either is ready when the number leads to it; the one in
    // use answers first, refusing while it is open. Both change, or neither.
    SerialPort& current = active();
    SerialPort& other = inactive();
    const int before = current.commPort();
    if (PortResult error = current.setCommPort(port)) return error;
    PortResult error = other.setCommPort(port);
    if (error)
        if (PortResult undone = current.setCommPort(before))
            error->description += "; " + undone->description;
    return error;
}

void RoutedSerialPort::setDevice(int port, const QString& device) {
    // Another device for the line waited for ends the wait.
    if (commPort() == port) stopWaiting();
    if (commPort() == port && (isOpen() || isOpening())) (void)active().setOpen(false);
    devices_.of(port) = device;
    local_.setDevice(port, device);
    network_.setDevice(port, device);
}

PortResult RoutedSerialPort::setSettings(std::string_view settings) {
    // The idle one only keeps the settings for its next open, a reopen of a lost line included;
    // a refusal there is a refusal all the same.
    const PortResult idle = inactive().setSettings(settings);
    PortResult used = active().setSettings(settings);
    return used ? used : idle;
}

PortResult RoutedSerialPort::setOpen(bool open) {
    stopWaiting();
    return active().setOpen(open);
}

PortResult RoutedSerialPort::output(std::string_view bytes) {
    SerialPort& port = active();
    const bool wasOpen = port.isOpen();
    PortResult result = port.output(bytes);
    // A write can be the first to find the device gone; the controller hears it from the result.
    if (result && wasOpen && !port.isOpen()) startWaiting();
    return result;
}

void RoutedSerialPort::onComm(int kind) {
    if (listener_) listener_->onComm(kind);
}

void RoutedSerialPort::onPortFailure(const PortError& error) {
    if (listener_) listener_->onPortFailure(error);
    startWaiting();
}

void RoutedSerialPort::startWaiting() {
    if (!watcher_ || active().isOpen() || active().isOpening()) return;
    toldThisWait_ = false;
    failingSince_.invalidate();
    watcher_->watch(commPort(), QString::fromStdString(deviceName()));
}

void RoutedSerialPort::onPortOpened() {
    if (reopening_) {
        reopening_ = false;
        if (watcher_) watcher_->stop();
    }
    if (listener_) listener_->onPortOpened();
}

void RoutedSerialPort::onOpenFailed(const PortError& error) {
    if (!reopening_) {
        if (listener_) listener_->onOpenFailed(error);
        return;
    }
    reopening_ = false;
    reopenFailed(error);
}

void RoutedSerialPort::tryReopen() {
    SerialPort& port = active();
    if (reopening_ || port.isOpen() || port.isOpening()) return;
    if (PortResult error = port.setOpen(true)) return reopenFailed(*error);
    if (port.isOpening()) {
        reopening_ = true;  // the adapter tells how it ended
        return;
    }
    watcher_->stop();
    if (listener_) listener_->onPortOpened();
}

void RoutedSerialPort::reopenFailed(const PortError& error) {
    watcher_->tryFailed();
    // A device server that is not back yet is what the wait is for. One that refuses the line as
    // in use may hold our own connection from before the loss, for hours: worth one word.
    if (&active() == &network_) {
        const bool held = error.description.find(kServerInUse) != std::string::npos;
        watcher_->setHeld(held);
        if (!held || toldThisWait_) return;
        toldThisWait_ = true;
        if (listener_) listener_->onOpenFailed(PortError{heldLineAdvice()});
        return;
    }
    // A local node that is there and will not open (permission, busy) is worth one word, once
    // udev has had a moment to give a new node its group and mode.
    if (toldThisWait_) return;
    if (!failingSince_.isValid()) failingSince_.start();
    if (failingSince_.elapsed() < kSettleMs) return;
    toldThisWait_ = true;
    if (listener_) listener_->onOpenFailed(error);
}

}  // namespace panel
