#include "serial/line_watcher.h"

#include <QFileInfo>
#include <array>

#include "serial/log_categories.h"
#include "serial/port_url.h"

namespace panel {

namespace {

using namespace std::chrono_literals;

// Where watching a folder cannot work (it does not exist yet, the file system tells nothing) the
// node is looked for this often: the line is back well within half a second.
constexpr auto kLocalPoll = 250ms;
// A node that is there but would not open (permission, busy) is tried again after this, or at
// once when its folder changes (udev setting the node's group and mode).
constexpr auto kLocalRetry = 1s;
constexpr std::array kNetworkSteps{1s, 2s, 4s, 8s, 16s};
constexpr auto kNetworkLastStep = 30s;

}  // namespace

QStringList LineWatcher::defaultLinkFolders() {
    return {QStringLiteral("/dev/serial/by-id")};
}

LineWatcher::LineWatcher(QStringList linkFolders, QObject* parent)
    : QObject(parent), linkFolders_(std::move(linkFolders)) {
    connect(&folders_, &QFileSystemWatcher::directoryChanged, this, [this] {
        changed_ = true;
        check();
    });
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (network_) {
            qCDebug(lcWatcher) << "trying" << device_ << "again, try" << attempt_ + 1;
            emit tryNow();
            return;
        }
        watchFolders();  // one may have been made since
        check();
    });
}

std::chrono::milliseconds LineWatcher::networkStep(int attempt) {
    if (attempt < static_cast<int>(kNetworkSteps.size()))
        return kNetworkSteps[static_cast<std::size_t>(attempt)];
    return kNetworkLastStep;
}

void LineWatcher::watch(int port, const QString& device) {
    stop();
    port_ = port;
    device_ = device;
    network_ = isPortUrl(device);
    attempt_ = 0;
    changed_ = false;
    sinceFailure_.invalidate();
    emit waitChanged(port_, device_);
    qCInfo(lcWatcher) << "waiting for COM" << port_ << device_;
    if (network_) {
        timer_.setSingleShot(true);
        timer_.start(networkStep(0));
        return;
    }
    timer_.setSingleShot(false);
    timer_.start(kLocalPoll);
    watchFolders();
}

void LineWatcher::stop() {
    timer_.stop();
    if (!folders_.directories().isEmpty()) folders_.removePaths(folders_.directories());
    if (port_ == 0) return;
    qCDebug(lcWatcher) << "no longer waiting for COM" << port_;
    setHeld(false);
    port_ = 0;
    emit waitChanged(0, {});
}

void LineWatcher::tryFailed() {
    if (!isWatching()) return;
    if (network_) {
        timer_.start(networkStep(++attempt_));
        qCDebug(lcWatcher) << "try failed: the next in" << networkStep(attempt_).count() << "ms";
        return;
    }
    changed_ = false;
    sinceFailure_.start();
    qCDebug(lcWatcher) << "try failed: again when its folder changes, or after a second";
}

void LineWatcher::setHeld(bool held) {
    if (held == held_ || (held && !isWatching())) return;
    held_ = held;
    qCInfo(lcWatcher) << "COM" << port_
                      << (held ? "taken as held by the device server" : "no longer held");
    emit heldChanged(held_);
}

void LineWatcher::watchFolders() {
    QStringList wanted = linkFolders_;
    wanted << QFileInfo(device_).absolutePath();
    for (const QString& folder : wanted) {
        if (!folders_.directories().contains(folder) && QFileInfo(folder).isDir())
            folders_.addPath(folder);
    }
}

void LineWatcher::check() {
    if (!isWatching() || network_) return;
    // exists() follows links: a link to a node not yet made counts as missing.
    if (!QFileInfo::exists(device_)) {
        sinceFailure_.invalidate();
        return;
    }
    if (sinceFailure_.isValid() && !changed_ &&
        sinceFailure_.elapsed() < std::chrono::milliseconds(kLocalRetry).count())
        return;
    changed_ = false;
    qCDebug(lcWatcher) << device_ << "is there: trying it";
    emit tryNow();
}

}  // namespace panel
