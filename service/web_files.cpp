#include "service/web_files.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <array>

#include "serial/line_watcher.h"

namespace panel {
namespace {

struct FileType {
    const char* suffix;
    const char* contentType;
};

constexpr std::array kTypes{
    FileType{"html", "text/html; charset=utf-8"},
    FileType{"css", "text/css; charset=utf-8"},
    FileType{"js", "text/javascript; charset=utf-8"},
    FileType{"svg", "image/svg+xml"},
};

// The page reconnects as a network line does: the steps are the line watcher's, written into
// the page where it stands, so that there is one table of them.
QByteArray reconnectSteps() {
    QByteArray steps;
    for (int attempt = 0;; ++attempt) {
        const auto step = LineWatcher::networkStep(attempt);
        if (!steps.isEmpty()) steps += ' ';
        steps += QByteArray::number(static_cast<qint64>(step.count()));
        if (step == LineWatcher::networkStep(attempt + 1)) return steps;
    }
}

}  // namespace

WebFiles::WebFiles() {
    QDirIterator files(QStringLiteral(":/web"), QDir::Files);
    while (files.hasNext()) {
        const QFileInfo info(files.next());
        QFile file(info.filePath());
        if (!file.open(QIODevice::ReadOnly)) continue;
        for (const FileType& type : kTypes) {
            if (info.suffix() != QLatin1String(type.suffix)) continue;
            QByteArray body = file.readAll();
            QByteArray path = "/ui/" + info.fileName().toUtf8();
            if (info.fileName() == QLatin1String("index.html")) {
                body.replace("@RECONNECT_MS@", reconnectSteps());
                path = "/";
            }
            files_.insert(
                path, HttpResponse{200, type.contentType, body, {{"Cache-Control", "no-cache"}}});
        }
    }
}

std::optional<HttpResponse> WebFiles::serve(const HttpRequest& request) const {
    const auto file = files_.constFind(request.path);
    if (file == files_.constEnd()) return std::nullopt;
    if (request.method != "GET")
        return HttpResponse{405,
                            "application/json",
                            R"({"error":"only GET"})"
                            "\n",
                            {{"Allow", "GET"}}};
    return *file;
}

}  // namespace panel
