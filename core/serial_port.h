// The serial line as the controller sees it: the few operations it needs, each reporting failure.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace panel {

// A failed port operation, in the serial layer's own words.
struct PortError {
    std::string description;
};

// `text` as the operator reads it: after the device's name, unless it begins with that already
// (a network port names its URL itself).
inline std::string withDeviceName(const std::string& device, const std::string& text) {
    const std::string named = device + ": ";
    return text.starts_with(named) ? text : named + text;
}

// Empty on success. Never to be dropped: a failed port operation is handled or passed on.
class [[nodiscard]] PortResult : public std::optional<PortError> {
public:
    using std::optional<PortError>::optional;
    PortResult(std::optional<PortError> result) : std::optional<PortError>(std::move(result)) {}
};

// Why the receive event was raised; only Received means characters are waiting.
enum CommEventKind : int {
    kCommEventReceived = 2,
    kCommEventOther = 1000,  // line errors, breaks and the like: ignored by the controller
};

// Receives the port's events on the window's thread.
class PortListener {
public:
    virtual ~PortListener() = default;
    // Raised whenever at least one received character is waiting (kind kCommEventReceived), or
    // another port event occurred.
    virtual void onComm(int kind) = 0;
    // The device failed on its own while open (unplugged, hung up). The port is already closed.
    virtual void onPortFailure(const PortError& error) = 0;
    // An open that finishes later (see SerialPort::setOpen) has finished: the port is open. Also
    // raised when the serial layer reopens, by itself, a line that had gone down.
    virtual void onPortOpened() {}
    // An open that finishes later has failed; the port is closed. The description is the one a
    // failed open gives at once.
    virtual void onOpenFailed(const PortError& error) { (void)error; }
};

class SerialPort {
public:
    virtual ~SerialPort() = default;

    virtual void setListener(PortListener* listener) = 0;

    // 1 is COM1, 2 is COM2. Changed only while the port is closed.
    virtual PortResult setCommPort(int port) = 0;
    virtual int commPort() const = 0;
    // The device the current port number stands for, for messages ("/dev/ttyS0").
    virtual std::string deviceName() const = 0;

    // "19200,N,8,1" or "9600,N,8,1". On an open port the new speed applies at once.
    virtual PortResult setSettings(std::string_view settings) = 0;

    virtual bool isOpen() const = 0;
    // setOpen(true) opens at once (isOpen() is true on return), fails at once, or starts an open
    // that finishes later (a network line connecting): then isOpening() is true, the port is not
    // open yet, and exactly one of onPortOpened and onOpenFailed follows, never from inside this
    // call. setOpen(false) while opening cancels the open, and neither follows.
    virtual PortResult setOpen(bool open) = 0;
    virtual bool isOpening() const { return false; }

    // Writes every byte of `bytes` in order. Fails without writing anything when the port is
    // closed.
    virtual PortResult output(std::string_view bytes) = 0;
    // Takes every byte waiting, in arrival order, into `bytes` (replacing its content).
    virtual PortResult input(std::string& bytes) = 0;
};

}  // namespace panel
