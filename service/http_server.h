// HTTP on our own event loop: libmicrohttpd reads and parses, we route. A request in, a response
// out, now or later (the connection waits suspended meanwhile), or a stream of events.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_set>
#include <utility>
#include <vector>

struct MHD_Daemon;
struct MHD_Connection;

namespace panel {

struct HttpRequest {
    QByteArray method;
    QByteArray path;  // as sent: still percent-encoded, without the query
    QByteArray authorization;
    QByteArray origin;  // the Origin header, when a browser sent one
    QByteArray body;
    bool bodyTooLarge = false;  // reading stopped at the limit; `body` is empty
    QHostAddress peer;
};

struct HttpResponse {
    int status = 200;
    QByteArray contentType = "application/json";
    QByteArray body;
    std::vector<std::pair<QByteArray, QByteArray>> headers;
};

struct HttpExchange;

// One request's way back: answered once, now or later, or turned into an open-ended
// text/event-stream. Copies share the request; whatever is done after its client went away does
// nothing.
class HttpReply {
public:
    explicit HttpReply(std::shared_ptr<HttpExchange> exchange) : exchange_(std::move(exchange)) {}

    void send(HttpResponse response) const;
    // The answer becomes a stream; write() sends on it. Instead of send().
    void startStream() const;
    // Goes out as the client reads; a client that does not read is dropped once
    // HttpLimits::streamBacklog bytes wait for it.
    void write(const QByteArray& bytes) const;
    // Ends the stream.
    void close() const;
    // A header for whatever answer follows, a stream's too.
    void addHeader(QByteArray name, QByteArray value) const;
    // The client is still there, as far as the server knows.
    bool open() const;
    bool operator==(const HttpReply& other) const { return exchange_ == other.exchange_; }

private:
    std::shared_ptr<HttpExchange> exchange_;
};

struct HttpLimits {
    std::size_t maxBody = 64 * 1024;
    std::chrono::seconds idleTimeout{30};
    unsigned connections = 256;
    unsigned connectionsPerAddress = 64;
    std::size_t streamBacklog = 256 * 1024;
};

class HttpServer final : public QObject {
    Q_OBJECT

public:
    using Handler = std::function<void(const HttpRequest&, const HttpReply&)>;

    explicit HttpServer(Handler handler, HttpLimits limits = {}, QObject* parent = nullptr);
    ~HttpServer() override;

    // HTTPS from the next listen() on, with these PEM texts (checked already: see tls_files.h).
    void useTls(QByteArray certificate, QByteArray key);
    bool tls() const { return !certificate_.isEmpty(); }
    // Listens on `address`:`port` (0 picks a free port); the reason when it cannot.
    std::optional<QString> listen(const QHostAddress& address, quint16 port);
    quint16 port() const { return port_; }
    const HttpLimits& limits() const { return limits_; }
    std::size_t openRequests() const { return live_.size(); }

    // libmicrohttpd's callbacks, routed back to the server.
    int access(MHD_Connection* connection, const char* url, const char* method,
               const char* uploadData, std::size_t* uploadSize, void** context);
    void completed(void** context);
    void resume(HttpExchange& exchange);

private:
    void run();
    void schedule();
    int answer(const std::shared_ptr<HttpExchange>& exchange);

    Handler handler_;
    HttpLimits limits_;
    MHD_Daemon* daemon_ = nullptr;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer timer_;
    quint16 port_ = 0;
    bool running_ = false;
    // libmicrohttpd reads them while it starts; kept for as long as it runs all the same.
    QByteArray certificate_;
    QByteArray key_;
    std::unordered_set<HttpExchange*> live_;  // requests whose client may still be there
};

}  // namespace panel
