// The real ser2net, started in front of a serial device with a generated configuration: one
// Telnet/RFC 2217 port and one raw TCP port, both on 127.0.0.1 only, on ports free at start.
#pragma once

#include <sys/types.h>

#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <string>

namespace panel::test {

// A TCP port on 127.0.0.1 that nothing listens on at the time of the call.
std::uint16_t freeLoopbackPort();

// A socket listening on 127.0.0.1 at a port the kernel picks, given in `port`; -1 on failure.
int listenOnLoopback(int backlog, std::uint16_t& port);

class Ser2NetProcess {
public:
    // Writes the configuration for `device` and starts ser2net; ok() says whether it listens.
    explicit Ser2NetProcess(const QString& device, const std::string& extraOptions = {});
    ~Ser2NetProcess();
    Ser2NetProcess(const Ser2NetProcess&) = delete;
    Ser2NetProcess& operator=(const Ser2NetProcess&) = delete;

    bool ok() const { return pid_ > 0; }
    QString rfc2217Url() const;
    QString socketUrl() const;
    std::uint16_t rfc2217Port() const { return rfc2217Port_; }
    std::uint16_t socketPort() const { return socketPort_; }

    // Killed outright, as a crashed or rebooted device server goes.
    void kill();
    // Started again on the same ports.
    bool start();
    // Its diagnostics so far, for failure messages.
    std::string log() const;

private:
    QTemporaryDir dir_;
    std::uint16_t rfc2217Port_ = 0;
    std::uint16_t socketPort_ = 0;
    pid_t pid_ = -1;
};

}  // namespace panel::test
