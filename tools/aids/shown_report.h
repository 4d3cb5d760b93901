// A development aid for start-up timing: prints when the window is first shown, then quits.
#pragma once

#include <QObject>

class QWidget;

namespace panel {

// Installed on the application by panel-startup: on the window's first exposure, once that event
// has been handled (the window painted), prints "<CLOCK_MONOTONIC µs> <VmRSS KiB>" on stdout and
// ends the program, so a measuring program can time the window's start-up in a fresh process.
class ShownReport final : public QObject {
public:
    explicit ShownReport(QWidget& window, QObject* parent = nullptr)
        : QObject(parent), window_(window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& window_;
    bool reported_ = false;
};

}  // namespace panel
