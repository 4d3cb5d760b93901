// The service in this process, on 127.0.0.1 at a port of its own, over simulators on
// pseudo-terminals, with a client for each way of calling it: a well-behaved one and raw bytes.
#pragma once

#include <gtest/gtest.h>

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "service/action_log.h"
#include "service/failure_throttle.h"
#include "service/http_server.h"
#include "service/service_api.h"
#include "service/token_store.h"
#include "tests/fleet/sim_bank.h"

namespace panel::test {

constexpr int kPatienceMs = 20000;

struct Answer {
    int status = 0;
    QByteArray body;
    QJsonObject json;
    QByteArray head;  // the status line and headers, from raw() only
};

enum class Caller { Nobody, Stranger, Viewer, Operator };

class ServiceFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    QByteArray tokenOf(Caller caller) const;
    // Through Qt's own client.
    Answer call(const QByteArray& method, const QByteArray& path, Caller caller,
                const QByteArray& body = {});
    // Raw bytes; the answer as read until the server closes or `patienceMs` passes.
    Answer raw(const QByteArray& request, int patienceMs = kPatienceMs);
    // The service still answers.
    bool healthy();
    QString link(int i) const { return sims_.link(i); }
    std::size_t sent(int sim, const char* frame) const { return sims_.log(sim).count(frame); }

    QTemporaryDir dir_;
    SimBank sims_{2, {"--warmup", "60", "--cooldown", "60"}};
    std::unique_ptr<Fleet> fleet_;
    TokenStore tokens_;
    FailureThrottle throttle_;
    std::unique_ptr<ActionLog> log_;
    std::unique_ptr<ServiceApi> api_;
    std::unique_ptr<HttpServer> server_;
    QByteArray viewer_;
    QByteArray operator_;
    QNetworkAccessManager client_;
};

}  // namespace panel::test
