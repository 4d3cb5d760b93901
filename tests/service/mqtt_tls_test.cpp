// The MQTT client over TLS to a real mosquitto whose certificate a test authority signed: it
// connects when given that authority, and never to a broker it cannot check.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "service/mqtt_client.h"
#include "tests/service/mosquitto_process.h"

namespace panel {
namespace {

// openssl with `arguments`, in `dir`; true when it succeeded.
bool openssl(const QTemporaryDir& dir, const QStringList& arguments) {
    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), arguments);
    return process.waitForFinished(30000) && process.exitCode() == 0;
}

// An authority, and a broker certificate for 127.0.0.1 that it signed.
bool makeCertificates(const QTemporaryDir& dir) {
    return openssl(dir, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                         "/CN=test authority", "-keyout", "ca.key", "-out", "ca.pem"}) &&
           openssl(dir, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                         "/CN=other authority", "-keyout", "other.key", "-out", "other.pem"}) &&
           openssl(dir, {"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=localhost",
                         "-keyout", "broker.key", "-out", "broker.csr"}) &&
           openssl(dir,
                   {"x509", "-req", "-in", "broker.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                    "-CAcreateserial", "-days", "2", "-extfile", "san.cnf", "-out", "broker.pem"});
}

struct TlsCase {
    const char* name;
    const char* authority;
    bool connects;
};

class MqttTlsTest : public ::testing::TestWithParam<TlsCase> {
protected:
    // One set of certificates for every case: making RSA keys is the slow part.
    static void SetUpTestSuite() {
        dir_ = std::make_unique<QTemporaryDir>();
        QFile san(dir_->filePath(QStringLiteral("san.cnf")));
        made_ = san.open(QIODevice::WriteOnly) &&
                san.write("subjectAltName = DNS:localhost, IP:127.0.0.1\n") > 0;
        san.close();
        made_ = made_ && makeCertificates(*dir_);
    }
    static void TearDownTestSuite() { dir_.reset(); }

    static inline std::unique_ptr<QTemporaryDir> dir_;
    static inline bool made_ = false;
};

TEST_P(MqttTlsTest, ConnectsOnlyToABrokerItsAuthoritySigned) {
    ASSERT_TRUE(made_);
    const QTemporaryDir& dir = *dir_;
    test::MosquittoProcess broker({QStringLiteral("cafile %1").arg(dir.filePath("ca.pem")),
                                   QStringLiteral("certfile %1").arg(dir.filePath("broker.pem")),
                                   QStringLiteral("keyfile %1").arg(dir.filePath("broker.key"))});
    ASSERT_TRUE(broker.start()) << broker.log().toStdString();
    MqttClient client(MqttClientSettings{QStringLiteral("127.0.0.1"),
                                         broker.port(),
                                         QStringLiteral("tls-test"),
                                         {},
                                         {},
                                         dir.filePath(QLatin1String(GetParam().authority)),
                                         {},
                                         {}});
    client.start();
    // Long enough for a handshake on a loaded machine; a refusal never turns into a connection.
    const bool connected =
        QTest::qWaitFor([&] { return client.isConnected(); }, GetParam().connects ? 15000 : 3000);
    EXPECT_EQ(connected, GetParam().connects);
}

INSTANTIATE_TEST_SUITE_P(Cases, MqttTlsTest,
                         ::testing::Values(TlsCase{"ItsAuthority", "ca.pem", true},
                                           TlsCase{"AnotherAuthority", "other.pem", false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace panel
