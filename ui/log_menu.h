// The traffic traces' context menu: "Log to file…" (a save dialog that appends, never overwrites)
// and "Stop logging", each enabled as the session log allows.
#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <functional>
#include <initializer_list>

class QMenu;
class QWidget;

namespace panel {

class SessionLog;

class LogMenu final : public QObject {
public:
    using Start = std::function<void(const QString& path)>;
    using Stop = std::function<void()>;

    // The menu and its dialog belong to `window`; a right click on any of `traces` opens it.
    LogMenu(QWidget& window, std::initializer_list<QWidget*> traces, Start start, Stop stop);

    // The log the entries act on; none disables both.
    void setLog(const SessionLog* log) { log_ = log; }
    // popup(), never exec(): the panel keeps taking events while the menu is up.
    void popup(const QPoint& globalPos);

private:
    void chooseFile();

    QWidget& window_;
    QMenu* menu_ = nullptr;
    Start start_;
    const SessionLog* log_ = nullptr;
};

}  // namespace panel
