// The service's certificate and key for HTTPS, read whole and checked with GnuTLS (each is PEM,
// the key unencrypted, kept from other users, and the certificate's own) before a listener takes
// them. A fault is "FILE:LINE: reason" at the configuration's line that names the file.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

#include "service/service_config.h"

namespace panel {

struct TlsPem {
    QByteArray certificate;  // the chain, the server's own first
    QByteArray key;
    bool operator==(const TlsPem&) const = default;
};

struct TlsRead {
    std::optional<TlsPem> pem;  // none when the configuration names no certificate
    std::vector<QString> problems;
};

TlsRead readTlsFiles(const ConfigRead& config);

}  // namespace panel
