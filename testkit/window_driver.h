// Drives the panel's window as an operator would, with synthetic key and mouse events: shared by
// the end-to-end tests and panel-measure.
#pragma once

#include <QPoint>
#include <QWidget>
#include <chrono>

#include "ui/form1.h"

namespace panel::test {

class WindowDriver {
public:
    QWidget* control(const char* name) const;
    // Shown, inside the window, and not covered by another control: a click would reach it.
    bool reachable(const char* name) const;
    // Its centre lies inside the window (it may still be covered).
    bool inWindow(const char* name) const;

    // Ctrl+J and a double-click on the logo: the whole window in view.
    bool openFullPanel();
    // Ctrl+J alone, as the window's key preview sees it.
    void keyChord();

    void click(const char* name);
    void doubleClick(const char* name);
    void press(const char* name);
    void release(const char* name);
    // Press, hold `length` on a precise timer inside the event loop, release: the repeat ticks and
    // the release are taken in the order they fall due, as on a desktop. Returns how long the
    // button was actually down.
    std::chrono::microseconds hold(const char* name, std::chrono::milliseconds length);

protected:
    // The window to drive, shown and made active, waiting up to `patience` for it.
    void drive(Form1& window, std::chrono::milliseconds patience);

private:
    QPoint windowPos(const QWidget* target) const;

    Form1* window_ = nullptr;
};

}  // namespace panel::test
