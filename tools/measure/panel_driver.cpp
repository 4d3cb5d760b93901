#include "tools/measure/panel_driver.h"

#include <QTest>

#include "ui/stderr_prompter.h"

namespace panel::measure {

namespace {

// One for the program: it keeps nothing, and outlives every window.
StderrPrompter& prompter() {
    static StderrPrompter stderrPrompter;
    return stderrPrompter;
}

}  // namespace

PanelDriver::PanelDriver(const QString& com1)
    : test::PanelWindow(com1, QStringLiteral("/nonexistent/panel-measure-com2"), prompter(),
                        std::chrono::seconds(5)) {}

bool PanelDriver::waitFor(const std::function<bool()>& done, int ms) {
    return QTest::qWaitFor(done, ms);
}

}  // namespace panel::measure
