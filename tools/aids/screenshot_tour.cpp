#include "tools/aids/screenshot_tour.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTreeWidget>
#include <cstdio>
#include <functional>

#include "ui/form1.h"
#include "ui/port_chooser.h"

namespace panel {
namespace {

// The chooser for COM1, once its first look at the ports is in the list.
void showChooser(Form1& form) {
    form.openPortChooser(1);
    QElapsedTimer waited;
    waited.start();
    while (form.portChooser() && waited.elapsed() < 2000) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        if (form.portChooser()->findChild<QTreeWidget*>()->topLevelItemCount() > 0) break;
    }
    QApplication::processEvents();
}

}  // namespace

int ScreenshotTour::run(Form1& form, const QString& directory) {
    if (!QDir().mkpath(directory)) {
        std::fprintf(stderr, "panel-screenshot: cannot create %s\n", qPrintable(directory));
        return 1;
    }
    struct Step {
        const char* file;
        std::function<void()> action;
        std::function<QWidget*()> subject = nullptr;  // the window itself when empty
    };
    // The data panel's own handlers, in an order that visits all four heights.
    const Step steps[] = {
        {"1-compact-332.png", [] {}},
        {"2-trace-unlocked-455.png", [&form] { form.keyChord(); }},
        {"3-full-582.png",
         [&form] {
             form.logoDoubleClicked();
             form.controller().click("Command17");  // a trace in Label11
         }},
        {"4-closed-332-port-selector.png",
         [&form] {
             form.command34Clicked();
             form.controller().click("Command33");  // the port selector over "COM"
         }},
        {"5-trace-locked-418.png", [&form] { form.command34Clicked(); }},
        {"6-port-chooser.png", [&form] { showChooser(form); },
         [&form]() -> QWidget* { return form.portChooser(); }},
    };
    int failures = 0;
    for (const Step& step : steps) {
        step.action();
        QApplication::processEvents();
        const QString path = QDir(directory).filePath(QString::fromLatin1(step.file));
        QWidget* subject = step.subject ? step.subject() : &form;
        const QPixmap picture = subject ? subject->grab() : QPixmap();
        if (!picture.save(path)) {
            std::fprintf(stderr, "panel-screenshot: cannot write %s\n", qPrintable(path));
            ++failures;
            continue;
        }
        std::printf("%s %dx%d\n", qPrintable(path), picture.width(), picture.height());
    }
    return failures == 0 ? 0 : 1;
}

}  // namespace panel
