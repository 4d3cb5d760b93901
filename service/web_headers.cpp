#include "service/web_headers.h"

#include <algorithm>

namespace panel {
namespace {

// No inline script or style: a name that slipped into the page as HTML still could not run.
// form-action 'none': the sign-in form is read by the page's script, never sent by the browser,
// so a token is never put into a URL even if the script failed.
constexpr const char* kPolicy =
    "default-src 'self'; script-src 'self'; object-src 'none'; frame-ancestors 'none'; "
    "base-uri 'none'; form-action 'none'";

}  // namespace

WebHeaders::WebHeaders(std::vector<QByteArray> corsOrigins)
    : corsOrigins_(std::move(corsOrigins)) {}

bool WebHeaders::allowed(const QByteArray& origin) const {
    return !origin.isEmpty() &&
           std::find(corsOrigins_.begin(), corsOrigins_.end(), origin) != corsOrigins_.end();
}

std::vector<HttpHeader> WebHeaders::headersFor(const HttpRequest& request) const {
    std::vector<HttpHeader> headers{
        {"Content-Security-Policy", kPolicy},
        {"X-Content-Type-Options", "nosniff"},
        {"Referrer-Policy", "no-referrer"},
        {"X-Frame-Options", "DENY"},
    };
    // A cache between must not hand one origin's answer to another.
    if (!corsOrigins_.empty()) headers.emplace_back("Vary", "Origin");
    if (allowed(request.origin))
        headers.emplace_back("Access-Control-Allow-Origin", request.origin);
    return headers;
}

std::optional<HttpResponse> WebHeaders::preflight(const HttpRequest& request) const {
    if (request.method != "OPTIONS" || !allowed(request.origin)) return std::nullopt;
    return HttpResponse{204,
                        "text/plain",
                        {},
                        {{"Access-Control-Allow-Methods", "GET, POST"},
                         {"Access-Control-Allow-Headers", "Authorization, Content-Type"},
                         {"Access-Control-Max-Age", "600"}}};
}

}  // namespace panel
