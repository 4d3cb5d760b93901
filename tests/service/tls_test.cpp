// HTTPS: the certificate and key named by the configuration are checked before a listener takes
// them (each fault at the line that names the file), a client that trusts the certificate is
// answered and one that does not, or that speaks plain HTTP, is not, and SIGHUP's reading of a
// new certificate starts the listener again with it.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSslConfiguration>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <cstdio>

#include "service/daemon.h"
#include "service/http_server.h"
#include "service/tls_files.h"

namespace panel {
namespace {

constexpr int kTlsPatienceMs = 20000;

// Certificates of the suite's own, for 127.0.0.1, made once: "a" and "b", and "a"'s key
// encrypted.
class TlsFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        dir_ = new QTemporaryDir;
        for (const char* name : {"a", "b"}) {
            const QString base = dir_->filePath(QLatin1String(name));
            ASSERT_EQ(openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt",
                               "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj",
                               "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout",
                               base + ".key", "-out", base + ".pem"}),
                      0);
            QFile::setPermissions(base + ".key", QFile::ReadOwner | QFile::WriteOwner);
        }
        ASSERT_EQ(openssl({"pkcs8", "-topk8", "-v2", "aes-256-cbc", "-passout", "pass:secret",
                           "-in", file("a.key"), "-out", file("locked.key")}),
                  0);
        QFile::setPermissions(file("locked.key"), QFile::ReadOwner | QFile::WriteOwner);
        QFile junk(file("junk.pem"));
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
        junk.write("-----BEGIN CERTIFICATE-----\nnot base64 at all\n-----END CERTIFICATE-----\n");
        junk.close();
        QFile::setPermissions(file("junk.pem"), QFile::ReadOwner | QFile::WriteOwner);
        ASSERT_TRUE(QFile::copy(file("a.key"), file("open.key")));
        QFile::setPermissions(file("open.key"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    }
    static void TearDownTestSuite() { delete dir_; }

    static int openssl(const QStringList& arguments) {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral("openssl"), arguments);
        if (!process.waitForFinished(kTlsPatienceMs)) return -1;
        if (process.exitCode() != 0) std::fputs(process.readAll().constData(), stderr);
        return process.exitCode();
    }
    static QString file(const char* name) { return dir_->filePath(QLatin1String(name)); }

    // The status of GET /healthz at `url`, 0 when no HTTP answer came; trusting `trusted`'s
    // certificate alone, or the system's when none.
    int get(const QString& url, const char* trusted) {
        // A fresh connection each time: one kept open would skip the check under test.
        client_.clearConnectionCache();
        QNetworkRequest request{QUrl(url + QStringLiteral("/healthz"))};
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        if (trusted) ssl.setCaCertificates(QSslCertificate::fromPath(file(trusted)));
        request.setSslConfiguration(ssl);
        request.setTransferTimeout(kTlsPatienceMs);
        std::unique_ptr<QNetworkReply> reply(client_.get(request));
        if (!QTest::qWaitFor([&] { return reply->isFinished(); }, kTlsPatienceMs)) return -1;
        return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    }

    static inline QTemporaryDir* dir_ = nullptr;
    QNetworkAccessManager client_;
};

struct FilesCase {
    const char* name;
    const char* certificate;
    const char* key;
    const char* problem;  // after "FILE:LINE: "; empty when the pair is taken
    int line;             // of the key that names the faulty file
};

class TlsFilesTest : public TlsFixture, public ::testing::WithParamInterface<FilesCase> {};

TEST_P(TlsFilesTest, TakesAGoodPairOrNamesTheLineAndTheReason) {
    const FilesCase& c = GetParam();
    const QString config = file("s.ini");
    const QByteArray text = QStringLiteral(
                                "listen = 127.0.0.1:0\ntls_certificate = %1\n"
                                "tls_key = %2\n")
                                .arg(QLatin1String(c.certificate), QLatin1String(c.key))
                                .toUtf8();
    const ConfigRead read = parseServiceConfig(text, config);
    ASSERT_TRUE(read.problems.empty()) << read.problems.front().toStdString();
    const TlsRead tls = readTlsFiles(read);
    if (*c.problem == '\0') {
        EXPECT_TRUE(tls.problems.empty()) << tls.problems.front().toStdString();
        ASSERT_TRUE(tls.pem);
        EXPECT_TRUE(tls.pem->certificate.startsWith("-----BEGIN CERTIFICATE-----"));
        return;
    }
    EXPECT_FALSE(tls.pem);
    ASSERT_EQ(tls.problems.size(), 1U);
    const QString prefix = QStringLiteral("%1:%2: ").arg(config).arg(c.line);
    EXPECT_TRUE(tls.problems[0].startsWith(prefix)) << tls.problems[0].toStdString();
    EXPECT_TRUE(tls.problems[0].contains(QLatin1String(c.problem)))
        << tls.problems[0].toStdString();
}

// Paths are taken from the configuration's folder, the suite's.
INSTANTIATE_TEST_SUITE_P(
    Cases, TlsFilesTest,
    ::testing::Values(
        FilesCase{"Good", "a.pem", "a.key", "", 0},
        FilesCase{"CertificateMissing", "none.pem", "a.key", "tls_certificate", 2},
        FilesCase{"KeyMissing", "a.pem", "none.key", "tls_key", 3},
        FilesCase{"CertificateIsAFolder", ".", "a.key", "tls_certificate", 2},
        FilesCase{"CertificateNotPem", "junk.pem", "a.key", "no PEM certificate", 2},
        FilesCase{"KeyNotPem", "a.pem", "junk.pem", "no PEM private key", 3},
        FilesCase{"KeyGivenAsCertificate", "a.key", "a.key", "no PEM certificate", 2},
        FilesCase{"KeyReadableByEveryone", "a.pem", "open.key", "every user may read", 3},
        FilesCase{"KeyEncrypted", "a.pem", "locked.key", "the key is encrypted", 3},
        FilesCase{"KeyOfAnotherCertificate", "a.pem", "b.key", "not the certificate's", 3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TlsFixture, HttpsIsAnsweredOnlyToAClientThatTrustsTheCertificate) {
    QFile certificate(file("a.pem"));
    QFile key(file("a.key"));
    ASSERT_TRUE(certificate.open(QIODevice::ReadOnly) && key.open(QIODevice::ReadOnly));
    HttpServer server([](const HttpRequest&, const HttpReply& reply) {
        reply.send(HttpResponse{200, "application/json", "{\"status\":\"ok\"}", {}});
    });
    server.useTls(certificate.readAll(), key.readAll());
    ASSERT_FALSE(server.listen(QHostAddress::LocalHost, 0));
    const QString at = QStringLiteral("://127.0.0.1:%1").arg(server.port());
    struct Case {
        const char* name;
        const char* scheme;
        const char* trusted;
        int status;
    };
    const Case cases[]{
        {"TrustedHttps", "https", "a.pem", 200},
        {"OtherCertificateTrusted", "https", "b.pem", 0},
        {"SystemsAuthoritiesOnly", "https", nullptr, 0},
        {"PlainHttp", "http", nullptr, 0},
        {"TrustedHttpsStillAnswered", "https", "a.pem", 200},
    };
    for (const Case& c : cases)
        EXPECT_EQ(get(QLatin1String(c.scheme) + at, c.trusted), c.status) << c.name;
}

TEST_F(TlsFixture, ReadingANewCertificateListensAgainWithItAndABadOneChangesNothing) {
    QTemporaryDir dir;
    auto copy = [&](const char* from, const char* to) {
        QFile::remove(dir.filePath(QLatin1String(to)));
        ASSERT_TRUE(QFile::copy(file(from), dir.filePath(QLatin1String(to))));
        QFile::setPermissions(dir.filePath(QLatin1String(to)),
                              QFile::ReadOwner | QFile::WriteOwner);
    };
    copy("a.pem", "server.pem");
    copy("a.key", "server.key");
    QFile config(dir.filePath(QStringLiteral("service.ini")));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write(
        "listen = 127.0.0.1:0\ntoken_file = tokens\ntls_certificate = server.pem\n"
        "tls_key = server.key\n");
    config.close();
    QFile projectors(dir.filePath(QStringLiteral("projectors.ini")));
    ASSERT_TRUE(projectors.open(QIODevice::WriteOnly));
    projectors.write("[Hall A]\nport = " + dir.filePath(QStringLiteral("no-such-tty")).toUtf8() +
                     "\n");
    projectors.close();
    QString told;
    QTextStream err(&told);
    Daemon daemon(DaemonOptions{projectors.fileName(), config.fileName(), std::nullopt}, err);
    ASSERT_TRUE(daemon.start()) << told.toStdString();
    EXPECT_TRUE(told.contains(QLatin1String("over HTTPS"))) << told.toStdString();
    const quint16 port = daemon.port();
    const QString url = QStringLiteral("https://127.0.0.1:%1").arg(port);
    EXPECT_EQ(get(url, "a.pem"), 200);

    struct Step {
        const char* name;
        const char* certificate;
        const char* key;
        const char* served;  // whose certificate answers after SIGHUP's reading
    };
    const Step steps[]{
        {"NewPair", "b.pem", "b.key", "b.pem"},
        {"KeyOfAnother", "a.pem", "b.key", "b.pem"},
        {"BackToTheFirst", "a.pem", "a.key", "a.pem"},
    };
    for (const Step& s : steps) {
        copy(s.certificate, "server.pem");
        copy(s.key, "server.key");
        daemon.reload();
        EXPECT_EQ(daemon.port(), port) << s.name;
        EXPECT_EQ(get(url, s.served), 200) << s.name << ": " << told.toStdString();
        EXPECT_EQ(get(url, s.served == std::string("a.pem") ? "b.pem" : "a.pem"), 0) << s.name;
    }
    daemon.stop();
}

}  // namespace
}  // namespace panel
