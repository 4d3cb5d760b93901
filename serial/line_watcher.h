// Waits for a lost line to come back and says when to try it: a local device as soon as its node,
// or the link to it, is there again; a device server on a back-off of 1, 2, 4, 8, 16, then 30 s.
#pragma once

#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <chrono>

namespace panel {

class LineWatcher final : public QObject {
    Q_OBJECT

public:
    // Where stable links to devices live; watched besides the device's own folder.
    static QStringList defaultLinkFolders();

    explicit LineWatcher(QStringList linkFolders = defaultLinkFolders(), QObject* parent = nullptr);

    // Starts waiting for `device` (a path, or a URL: then on the back-off) behind COM `port`.
    void watch(int port, const QString& device);
    void stop();
    bool isWatching() const { return port_ != 0; }

    // The try that tryNow() asked for failed: a device server is tried again after the next
    // step; a local device on the next change of its folder, or a second later.
    void tryFailed();

    // The last try was refused because the device server still holds a connection to the line
    // (`held`), or failed otherwise. Told by heldChanged when it changes, and ended with the wait.
    void setHeld(bool held);

    // The wait before network attempt `attempt` (0 is the first).
    static std::chrono::milliseconds networkStep(int attempt);

signals:
    // Time to open the line again.
    void tryNow();
    // The wait began (COM port number and device) or ended (port 0).
    void waitChanged(int port, const QString& device);
    // The line waited for is held by the device server, or no longer.
    void heldChanged(bool held);

private:
    void watchFolders();
    void check();

    QStringList linkFolders_;
    QFileSystemWatcher folders_;
    QTimer timer_;
    int port_ = 0;
    QString device_;
    bool network_ = false;
    int attempt_ = 0;
    bool held_ = false;
    bool changed_ = false;        // a watched folder changed since the last local try
    QElapsedTimer sinceFailure_;  // since the last local try failed
};

}  // namespace panel
