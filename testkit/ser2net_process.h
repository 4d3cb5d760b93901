// The real ser2net, started in front of a serial device with a generated configuration: one
// Telnet/RFC 2217 port and one raw TCP port, both on 127.0.0.1 only, on ports free at start.
#pragma once

#include <sys/types.h>

#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <string>
#include <vector>

namespace panel::test {

// A TCP port on 127.0.0.1 that nothing uses at the time of the call, below the kernel's range for
// outgoing connections where it has one.
std::uint16_t freeLoopbackPort();

// A socket listening on 127.0.0.1 at a port the kernel picks, given in `port`; -1 on failure.
int listenOnLoopback(int backlog, std::uint16_t& port);

struct Ser2NetSetup {
    // YAML lines added to each connection's options.
    std::string extraOptions;
    // Started at once and waited for until it listens (ok() says whether it does); when false, it
    // is started by launch(), which does not wait, for a caller whose event loop must keep turning.
    bool startNow = true;
    // Where its diagnostics go; a file in its own temporary directory when empty.
    QString logFile;
};

class Ser2NetProcess {
public:
    // Writes the configuration for `device`: one Telnet/RFC 2217 port and one raw TCP port.
    explicit Ser2NetProcess(const QString& device, const Ser2NetSetup& setup = {});
    // The same pair of ports for each of `devices`, all in one process.
    explicit Ser2NetProcess(const std::vector<QString>& devices, const Ser2NetSetup& setup = {});
    ~Ser2NetProcess();
    Ser2NetProcess(const Ser2NetProcess&) = delete;
    Ser2NetProcess& operator=(const Ser2NetProcess&) = delete;

    bool ok() const { return pid_ > 0; }
    // Of the first device unless told.
    QString rfc2217Url(std::size_t device = 0) const;
    QString socketUrl(std::size_t device = 0) const;
    std::uint16_t rfc2217Port(std::size_t device = 0) const { return rfc2217Ports_.at(device); }
    std::uint16_t socketPort(std::size_t device = 0) const { return socketPorts_.at(device); }

    // Killed outright, as a crashed or rebooted device server goes.
    void kill();
    // Started (again) on the same ports, waiting until it listens; false if it does not.
    bool start();
    // Started (again) on the same ports without waiting; listening() tells when it serves.
    bool launch();
    // Both ports listen, as the kernel's table says (a connection would open the device).
    bool listening() const;
    // Its diagnostics so far, for failure messages.
    std::string log() const;

private:
    // Chooses the ports afresh and writes the configuration.
    bool writeConfiguration(const std::vector<QString>& devices, const Ser2NetSetup& setup);

    QTemporaryDir dir_;
    QString logFile_;
    std::vector<std::uint16_t> rfc2217Ports_;
    std::vector<std::uint16_t> socketPorts_;
    pid_t pid_ = -1;
    bool exited_ = false;  // it ended by itself while being waited for
};

}  // namespace panel::test
