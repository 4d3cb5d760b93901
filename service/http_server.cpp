#include "service/http_server.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>

#include <QLoggingCategory>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>

namespace panel {

Q_LOGGING_CATEGORY(lcHttp, "panel.service.http", QtWarningMsg)

// A request from its headers to its completion: shared by the server and every reply handle.
struct HttpExchange {
    HttpServer* server = nullptr;  // none once the client went away or the server ended
    MHD_Connection* connection = nullptr;
    HttpRequest request;
    bool handled = false;    // given to the handler
    bool queued = false;     // its response is with libmicrohttpd
    bool suspended = false;  // waiting for an answer or for more of a stream
    std::optional<HttpResponse> answer;
    bool streaming = false;
    bool streamEnded = false;
    bool streamDropped = false;  // its client did not read
    QByteArray backlog;
    std::vector<std::pair<QByteArray, QByteArray>> headers;  // added to any answer
};

namespace {

using Holder = std::shared_ptr<HttpExchange>;

constexpr std::size_t kStreamBlock = 4096;
// Longest wait between two runs when libmicrohttpd has no timeout of its own pending: it keeps the
// loop's wake-ups rare.
constexpr qint64 kLongestWaitMs = 60 * 1000;
// TLS 1.2 and 1.3 only: every client of today speaks one of them, and the older ones are broken.
constexpr const char* kTlsPriorities = "NORMAL:-VERS-ALL:+VERS-TLS1.3:+VERS-TLS1.2";

MHD_Result accessCallback(void* cls, MHD_Connection* connection, const char* url,
                          const char* method, const char*, const char* uploadData,
                          std::size_t* uploadSize, void** context) {
    return static_cast<HttpServer*>(cls)->access(connection, url, method, uploadData, uploadSize,
                                                 context) != 0
               ? MHD_YES
               : MHD_NO;
}

void completedCallback(void* cls, MHD_Connection*, void** context, MHD_RequestTerminationCode) {
    static_cast<HttpServer*>(cls)->completed(context);
}

// The path as sent: we decode each piece ourselves, so that "%2F" inside a name stays inside it.
std::size_t keepEscapes(void*, MHD_Connection*, char* text) {
    return std::strlen(text);
}

void logCallback(void*, const char* format, va_list args) {
    if (!lcHttp().isDebugEnabled()) return;
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    qCDebug(lcHttp) << text;
}

ssize_t readStream(void* cls, uint64_t, char* buffer, std::size_t max) {
    HttpExchange& exchange = **static_cast<Holder*>(cls);
    if (exchange.streamDropped) return MHD_CONTENT_READER_END_WITH_ERROR;
    if (!exchange.backlog.isEmpty()) {
        const std::size_t n = std::min(max, static_cast<std::size_t>(exchange.backlog.size()));
        std::memcpy(buffer, exchange.backlog.constData(), n);
        exchange.backlog.remove(0, static_cast<qsizetype>(n));
        return static_cast<ssize_t>(n);
    }
    if (exchange.streamEnded || !exchange.server) return MHD_CONTENT_READER_END_OF_STREAM;
    // Nothing to send: the connection sleeps until the next write instead of being polled.
    MHD_suspend_connection(exchange.connection);
    exchange.suspended = true;
    return 0;
}

void freeStream(void* cls) {
    delete static_cast<Holder*>(cls);
}

QHostAddress peerOf(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    return info && info->client_addr ? QHostAddress(info->client_addr) : QHostAddress();
}

QByteArray header(MHD_Connection* connection, const char* name) {
    const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
    return value ? QByteArray(value) : QByteArray();
}

}  // namespace

void HttpReply::send(HttpResponse response) const {
    HttpExchange& exchange = *exchange_;
    if (!exchange.server || exchange.answer || exchange.streaming) return;
    exchange.answer = std::move(response);
    if (exchange.suspended) exchange.server->resume(exchange);
}

void HttpReply::startStream() const {
    HttpExchange& exchange = *exchange_;
    if (!exchange.server || exchange.answer || exchange.streaming) return;
    exchange.streaming = true;
    if (exchange.suspended) exchange.server->resume(exchange);
}

void HttpReply::write(const QByteArray& bytes) const {
    HttpExchange& exchange = *exchange_;
    if (!exchange.server || !exchange.streaming || exchange.streamEnded) return;
    exchange.backlog += bytes;
    if (static_cast<std::size_t>(exchange.backlog.size()) >
        exchange.server->limits().streamBacklog) {
        exchange.backlog.clear();
        exchange.streamDropped = true;
    }
    if (exchange.suspended) exchange.server->resume(exchange);
}

void HttpReply::close() const {
    HttpExchange& exchange = *exchange_;
    if (!exchange.server || !exchange.streaming) return;
    exchange.streamEnded = true;
    if (exchange.suspended) exchange.server->resume(exchange);
}

void HttpReply::addHeader(QByteArray name, QByteArray value) const {
    exchange_->headers.emplace_back(std::move(name), std::move(value));
}

bool HttpReply::open() const {
    return exchange_->server != nullptr && !exchange_->streamEnded && !exchange_->streamDropped;
}

HttpServer::HttpServer(Handler handler, HttpLimits limits, QObject* parent)
    : QObject(parent), handler_(std::move(handler)), limits_(limits) {
    timer_.setSingleShot(true);
    timer_.callOnTimeout(this, [this] { run(); });
}

HttpServer::~HttpServer() {
    if (!daemon_) return;
    // Stopping with a connection suspended would leak it: wake every one, and tell the handles.
    for (HttpExchange* exchange : live_) {
        exchange->server = nullptr;
        if (exchange->suspended) {
            exchange->suspended = false;
            MHD_resume_connection(exchange->connection);
        }
    }
    notifier_.reset();
    MHD_stop_daemon(daemon_);
}

void HttpServer::useTls(QByteArray certificate, QByteArray key) {
    certificate_ = std::move(certificate);
    key_ = std::move(key);
}

std::optional<QString> HttpServer::listen(const QHostAddress& address, quint16 port) {
    sockaddr_storage storage{};
    unsigned flags = MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_ERROR_LOG;
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&in6->sin6_addr, &bytes, sizeof bytes);
        flags |= MHD_USE_IPv6;
    } else if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&storage);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(port);
        in4->sin_addr.s_addr = htonl(address.toIPv4Address());
    } else {
        return QStringLiteral("'%1' is no IPv4 or IPv6 address").arg(address.toString());
    }
    std::vector<MHD_OptionItem> tlsOptions;
    // Debian's is built with GnuTLS; another build might not be, and would fail without a word.
    if (tls() && MHD_is_feature_supported(MHD_FEATURE_TLS) != MHD_YES)
        return QStringLiteral(
            "this libmicrohttpd was built without TLS: leave tls_certificate and "
            "tls_key out and put a reverse proxy in front for HTTPS");
    if (tls()) {
        flags |= MHD_USE_TLS;
        tlsOptions = {
            {MHD_OPTION_HTTPS_MEM_CERT, 0, const_cast<char*>(certificate_.constData())},
            {MHD_OPTION_HTTPS_MEM_KEY, 0, const_cast<char*>(key_.constData())},
            {MHD_OPTION_HTTPS_PRIORITIES, 0, const_cast<char*>(kTlsPriorities)},
        };
    }
    tlsOptions.push_back({MHD_OPTION_END, 0, nullptr});
    daemon_ = MHD_start_daemon(
        flags, port, nullptr, nullptr, &accessCallback, this, MHD_OPTION_ARRAY, tlsOptions.data(),
        MHD_OPTION_SOCK_ADDR, &storage, MHD_OPTION_NOTIFY_COMPLETED, &completedCallback, this,
        MHD_OPTION_UNESCAPE_CALLBACK, &keepEscapes, nullptr, MHD_OPTION_EXTERNAL_LOGGER,
        &logCallback, nullptr, MHD_OPTION_CONNECTION_TIMEOUT,
        static_cast<unsigned>(limits_.idleTimeout.count()), MHD_OPTION_CONNECTION_LIMIT,
        limits_.connections, MHD_OPTION_PER_IP_CONNECTION_LIMIT, limits_.connectionsPerAddress,
        MHD_OPTION_END);
    if (!daemon_)
        return QStringLiteral("cannot listen on %1 port %2 (%3)")
            .arg(address.toString())
            .arg(port)
            .arg(QString::fromLocal8Bit(std::strerror(errno)));
    const MHD_DaemonInfo* bound = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT);
    port_ = bound ? bound->port : port;
    const MHD_DaemonInfo* epoll = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_EPOLL_FD);
    notifier_ = std::make_unique<QSocketNotifier>(epoll->epoll_fd, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { run(); });
    schedule();
    return std::nullopt;
}

void HttpServer::run() {
    if (!daemon_ || running_) return;
    running_ = true;
    MHD_run(daemon_);
    running_ = false;
    schedule();
}

void HttpServer::schedule() {
    MHD_UNSIGNED_LONG_LONG wait = 0;
    if (MHD_get_timeout(daemon_, &wait) != MHD_YES) wait = kLongestWaitMs;
    timer_.start(static_cast<int>(std::min<MHD_UNSIGNED_LONG_LONG>(wait, kLongestWaitMs)));
}

void HttpServer::resume(HttpExchange& exchange) {
    exchange.suspended = false;
    MHD_resume_connection(exchange.connection);
    // Never from inside a run: the resumed connection is served by the next one, soon.
    timer_.start(0);
}

int HttpServer::access(MHD_Connection* connection, const char* url, const char* method,
                       const char* uploadData, std::size_t* uploadSize, void** context) {
    if (!*context) {
        auto exchange = std::make_shared<HttpExchange>();
        exchange->server = this;
        exchange->connection = connection;
        HttpRequest& request = exchange->request;
        request.method = method;
        request.path = url;
        request.authorization = header(connection, MHD_HTTP_HEADER_AUTHORIZATION);
        request.origin = header(connection, MHD_HTTP_HEADER_ORIGIN);
        request.peer = peerOf(connection);
        bool known = false;
        const qulonglong length =
            header(connection, MHD_HTTP_HEADER_CONTENT_LENGTH).toULongLong(&known);
        // Told ahead: answered before a byte of it is read.
        request.bodyTooLarge = known && length > limits_.maxBody;
        live_.insert(exchange.get());
        *context = new Holder(exchange);
        return request.bodyTooLarge ? answer(exchange) : 1;
    }
    const Holder& shared = *static_cast<Holder*>(*context);
    HttpExchange& exchange = *shared;
    if (*uploadSize > 0) {
        const std::size_t n = *uploadSize;
        *uploadSize = 0;
        if (exchange.request.bodyTooLarge) return 1;
        if (static_cast<std::size_t>(exchange.request.body.size()) + n > limits_.maxBody) {
            // libmicrohttpd takes no answer in the middle of a chunked body: the rest is let go
            // by as it comes, and the refusal follows its end.
            exchange.request.bodyTooLarge = true;
            exchange.request.body.clear();
            exchange.request.body.squeeze();
            return 1;
        }
        exchange.request.body.append(uploadData, static_cast<qsizetype>(n));
        return 1;
    }
    return answer(shared);
}

int HttpServer::answer(const std::shared_ptr<HttpExchange>& shared) {
    HttpExchange& exchange = *shared;
    if (!exchange.handled) {
        exchange.handled = true;
        handler_(exchange.request, HttpReply(shared));
    }
    if (exchange.queued) return 1;
    if (exchange.answer) {
        const HttpResponse& answer = *exchange.answer;
        MHD_Response* response = MHD_create_response_from_buffer(
            static_cast<std::size_t>(answer.body.size()), const_cast<char*>(answer.body.data()),
            MHD_RESPMEM_MUST_COPY);
        if (!response) return 0;
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE,
                                answer.contentType.constData());
        for (const auto& [name, value] : answer.headers)
            MHD_add_response_header(response, name.constData(), value.constData());
        for (const auto& [name, value] : exchange.headers)
            MHD_add_response_header(response, name.constData(), value.constData());
        const MHD_Result queued =
            MHD_queue_response(exchange.connection, static_cast<unsigned>(answer.status), response);
        MHD_destroy_response(response);
        exchange.queued = queued == MHD_YES;
        return exchange.queued ? 1 : 0;
    }
    if (exchange.streaming) {
        MHD_Response* response = MHD_create_response_from_callback(
            MHD_SIZE_UNKNOWN, kStreamBlock, &readStream, new Holder(shared), &freeStream);
        if (!response) return 0;
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "text/event-stream");
        MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
        for (const auto& [name, value] : exchange.headers)
            MHD_add_response_header(response, name.constData(), value.constData());
        const MHD_Result queued = MHD_queue_response(exchange.connection, MHD_HTTP_OK, response);
        MHD_destroy_response(response);
        exchange.queued = queued == MHD_YES;
        return exchange.queued ? 1 : 0;
    }
    // The answer comes later: the connection sleeps until then.
    MHD_suspend_connection(exchange.connection);
    exchange.suspended = true;
    return 1;
}

void HttpServer::completed(void** context) {
    if (!*context) return;
    auto* holder = static_cast<Holder*>(*context);
    HttpExchange& exchange = **holder;
    exchange.server = nullptr;
    live_.erase(&exchange);
    delete holder;
    *context = nullptr;
}

}  // namespace panel
