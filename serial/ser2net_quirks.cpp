#include "serial/ser2net_quirks.h"

namespace panel {
namespace {

// ser2net may still count a connection of ours, closed a moment ago, as the line's client, and
// refuse the next one "already in use". Within this long of our own close it is asked again.
constexpr qint64 kOwnCloseGraceMs = 1000;

}  // namespace

std::string Ser2netQuirks::closedByServer(const QByteArray& unread, std::string_view taken) {
    const bool inUse =
        unread.contains(QByteArray::fromRawData(kServerInUse.data(), kServerInUse.size())) ||
        taken.find(kServerInUse) != std::string_view::npos;
    return inUse ? "the device server closed the connection: already in use by another client"
                 : "the device server closed the connection";
}

bool Ser2netQuirks::refusedForOwnClose(const std::string& why) const {
    return why.find(kServerInUse) != std::string::npos && ownClose_.isValid() &&
           ownClose_.elapsed() < kOwnCloseGraceMs;
}

}  // namespace panel
