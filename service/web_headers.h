// The headers that keep a browser safe with the service: a Content-Security-Policy that runs only
// the service's own files, no sniffing, no referrer; and CORS only for origins the configuration
// names, so no other site's page can read the API through a visitor's browser.
#pragma once

#include <QByteArray>
#include <optional>
#include <utility>
#include <vector>

#include "service/http_server.h"

namespace panel {

using HttpHeader = std::pair<QByteArray, QByteArray>;

class WebHeaders {
public:
    explicit WebHeaders(std::vector<QByteArray> corsOrigins = {});

    // For every answer to `request`, whatever its route or status.
    std::vector<HttpHeader> headersFor(const HttpRequest& request) const;
    // A browser's preflight from a named origin, answered before any token is asked for.
    std::optional<HttpResponse> preflight(const HttpRequest& request) const;

private:
    bool allowed(const QByteArray& origin) const;

    std::vector<QByteArray> corsOrigins_;
};

}  // namespace panel
