#include "service/tls_files.h"

#include <gnutls/gnutls.h>
#include <gnutls/x509.h>

#include <QFile>
#include <QFileInfo>
#include <memory>

namespace panel {
namespace {

// Far above any real chain; a larger file is a wrong path (a disk image, a log), not PEM.
constexpr qint64 kLargestPem = 1024 * 1024;

gnutls_datum_t datumOf(const QByteArray& bytes) {
    return {reinterpret_cast<unsigned char*>(const_cast<char*>(bytes.constData())),
            static_cast<unsigned>(bytes.size())};
}

QString gnutlsWhy(int code) {
    return QString::fromUtf8(gnutls_strerror(code));
}

// The whole file, or why not.
std::optional<QString> readWhole(const QString& path, QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return file.errorString();
    if (file.size() > kLargestPem) return QStringLiteral("it is over 1 MiB, so no PEM file");
    bytes = file.read(kLargestPem + 1);
    if (bytes.isEmpty()) return QStringLiteral("it is empty");
    return std::nullopt;
}

std::optional<QString> certificateProblem(const QByteArray& pem) {
    gnutls_x509_crt_t* list = nullptr;
    unsigned count = 0;
    const gnutls_datum_t data = datumOf(pem);
    const int result = gnutls_x509_crt_list_import2(&list, &count, &data, GNUTLS_X509_FMT_PEM, 0);
    for (unsigned i = 0; i < count; ++i) gnutls_x509_crt_deinit(list[i]);
    gnutls_free(list);
    if (result < 0) return QStringLiteral("no PEM certificate in it (%1)").arg(gnutlsWhy(result));
    return std::nullopt;
}

std::optional<QString> keyProblem(const QByteArray& pem) {
    gnutls_x509_privkey_t key = nullptr;
    if (gnutls_x509_privkey_init(&key) < 0) return QStringLiteral("GnuTLS could not start");
    const gnutls_datum_t data = datumOf(pem);
    const int result = gnutls_x509_privkey_import2(key, &data, GNUTLS_X509_FMT_PEM, nullptr, 0);
    gnutls_x509_privkey_deinit(key);
    if (result == GNUTLS_E_DECRYPTION_FAILED)
        return QStringLiteral(
            "the key is encrypted: the service starts unattended, so it takes "
            "an unencrypted key that only it may read");
    if (result < 0) return QStringLiteral("no PEM private key in it (%1)").arg(gnutlsWhy(result));
    return std::nullopt;
}

std::optional<QString> pairProblem(const TlsPem& pem) {
    gnutls_certificate_credentials_t credentials = nullptr;
    if (gnutls_certificate_allocate_credentials(&credentials) < 0)
        return QStringLiteral("GnuTLS could not start");
    const gnutls_datum_t certificate = datumOf(pem.certificate);
    const gnutls_datum_t key = datumOf(pem.key);
    const int result = gnutls_certificate_set_x509_key_mem2(credentials, &certificate, &key,
                                                            GNUTLS_X509_FMT_PEM, nullptr, 0);
    gnutls_certificate_free_credentials(credentials);
    if (result == GNUTLS_E_CERTIFICATE_KEY_MISMATCH)
        return QStringLiteral("the key is not the certificate's");
    if (result < 0) return gnutlsWhy(result);
    return std::nullopt;
}

}  // namespace

TlsRead readTlsFiles(const ConfigRead& config) {
    TlsRead read;
    const ServiceConfig& c = config.config;
    if (c.tlsCertificate.isEmpty() || c.tlsKey.isEmpty()) return read;
    auto problem = [&](const char* key, const QString& path, const QString& why) {
        read.problems.push_back(
            QStringLiteral("%1: %2 %3: %4")
                .arg(config.where(QLatin1String(key)), QLatin1String(key), path, why));
    };
    TlsPem pem;
    if (auto why = readWhole(c.tlsCertificate, pem.certificate))
        problem("tls_certificate", c.tlsCertificate, *why);
    else if (auto bad = certificateProblem(pem.certificate))
        problem("tls_certificate", c.tlsCertificate, *bad);
    // Others on the machine could serve as this service with a key they can read.
    const QFileInfo keyInfo(c.tlsKey);
    if (keyInfo.exists() && (keyInfo.permissions() & (QFile::ReadOther | QFile::WriteOther)))
        problem("tls_key", c.tlsKey,
                QStringLiteral("every user may read or write it: chmod o= it, so that only the "
                               "service's user or group may"));
    else if (auto why = readWhole(c.tlsKey, pem.key))
        problem("tls_key", c.tlsKey, *why);
    else if (auto bad = keyProblem(pem.key))
        problem("tls_key", c.tlsKey, *bad);
    if (!read.problems.empty()) return read;
    if (auto bad = pairProblem(pem)) {
        problem("tls_key", c.tlsKey, *bad);
        return read;
    }
    read.pem = std::move(pem);
    return read;
}

}  // namespace panel
