// The service's own web page: its files, built into the program, served at "/" and "/ui/...".
// They hold no data (the page asks the API for that with the user's token), so they need none.
#pragma once

#include <QByteArray>
#include <QHash>
#include <optional>

#include "service/http_server.h"

namespace panel {

class WebFiles {
public:
    // Reads the built-in files once.
    WebFiles();

    // The file at the request's path, or nothing when the path is none of the page's.
    std::optional<HttpResponse> serve(const HttpRequest& request) const;
    std::size_t size() const { return static_cast<std::size_t>(files_.size()); }

private:
    QHash<QByteArray, HttpResponse> files_;  // by path
};

}  // namespace panel
