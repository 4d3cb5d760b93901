// Every serial line the program drives is built here, from the devices behind COM1 and COM2: the
// local adapter, the network adapter, the router that takes one or the other for each port number
// and, for a line that comes back by itself when lost, the watcher that says when to try it.
#pragma once

#include <QStringList>
#include <memory>

#include "serial/line_watcher.h"
#include "serial/network_port.h"
#include "serial/port_devices.h"
#include "serial/qt_serial_port.h"
#include "serial/routed_serial_port.h"

namespace panel {

struct LineConfig {
    PortDevices devices;
    // A line lost while open is reopened when the watcher says (the window), or left closed (the
    // shell and the fleet, whose next turn opens it anew).
    bool reopenLostLines = false;
    // Where the stack's own watcher looks for links to devices.
    QStringList linkFolders = LineWatcher::defaultLinkFolders();
    // A watcher the caller keeps, to follow its waits, in place of one of the stack's own: lost
    // lines are then reopened. Must outlive the stack.
    LineWatcher* watcher = nullptr;
    // How long a socket:// open waits for a device server's refusal.
    std::chrono::milliseconds refusalWindow = NetworkPort::kRefusalWindow;
};

class LineStack final {
public:
    explicit LineStack(const LineConfig& config);
    ~LineStack();
    LineStack(const LineStack&) = delete;
    LineStack& operator=(const LineStack&) = delete;

    // The line as the controller uses it.
    RoutedSerialPort& port() { return routed_; }
    const RoutedSerialPort& port() const { return routed_; }
    // None when lost lines are left closed.
    LineWatcher* watcher() const { return watcher_; }
    // The adapters behind the router, for what only one kind has (its line settings).
    const QtSerialPort& local() const { return local_; }
    const NetworkPort& network() const { return network_; }

private:
    std::unique_ptr<LineWatcher> ownWatcher_;  // outlives the ports that use it
    LineWatcher* watcher_ = nullptr;
    QtSerialPort local_;
    NetworkPort network_;
    RoutedSerialPort routed_;
};

}  // namespace panel
