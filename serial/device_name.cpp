#include "serial/device_name.h"

#include <algorithm>

#include "serial/port_url.h"

namespace panel {

namespace {

bool isControl(QChar c) {
    return c.unicode() < 0x20 || c.unicode() == 0x7f;
}

// Relative to the working folder, which a cron line or a desktop start does not choose.
bool isRelativePath(const QString& text) {
    return text == QLatin1String(".") || text == QLatin1String("..") ||
           text.startsWith(QLatin1String("./")) || text.startsWith(QLatin1String("../"));
}

}  // namespace

CheckedDevice checkDevice(const QString& text) {
    if (text.trimmed().isEmpty()) return {{}, QStringLiteral("no device named")};
    if (std::any_of(text.begin(), text.end(), isControl))
        return {{}, QStringLiteral("a control character in the name")};
    if (isPortUrl(text)) {
        const ParsedPortUrl url = parsePortUrl(text);
        if (!url.url) return {{}, url.error};
        return {text, {}};
    }
#ifdef Q_OS_WIN
    return {text, {}};  // COM3 and the like
#else
    if (text.startsWith(QLatin1Char('/'))) return {text, {}};
    if (isRelativePath(text))
        return {{},
                QStringLiteral("a relative path; give the device's full path, such as "
                               "/dev/ttyUSB0, or a URL, such as rfc2217://HOST:PORT")};
    return {QStringLiteral("/dev/") + text, {}};
#endif
}

}  // namespace panel
