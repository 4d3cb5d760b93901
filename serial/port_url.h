// A device server's port written as a URL in place of a device path: rfc2217://HOST:PORT (Telnet
// with serial line control) or socket://HOST:PORT (raw TCP).
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace panel {

struct PortUrl {
    enum class Scheme { Rfc2217, Socket };
    Scheme scheme = Scheme::Socket;
    QString host;  // a name, an IPv4 address, or an IPv6 address without its brackets
    std::uint16_t port = 0;
};

struct ParsedPortUrl {
    std::optional<PortUrl> url;
    QString error;  // why the text is no such URL, when url is empty
};

// Whether `device` is written as a URL (has "://") rather than a device path.
bool isPortUrl(const QString& device);

// HOST is a name, an IPv4 address or a bracketed IPv6 address; PORT is 1 to 65535; nothing may
// follow the port.
ParsedPortUrl parsePortUrl(const QString& text);

}  // namespace panel
