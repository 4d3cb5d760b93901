#include "tools/soak/soak_window.h"

#include <chrono>

#include "testkit/controls.h"
#include "tools/soak/soak_report.h"

namespace panel::soak {

void SoakWindow::show(Form1& form) {
    drive(form, std::chrono::seconds(5));
}

bool SoakWindow::bringIntoView(const std::string& name) {
    if (reachable(name.c_str())) return true;
    if (!control(name.c_str()) || inWindow(name.c_str()))
        return false;  // covered (by the port selector), not out of view
    report_.note("   (Ctrl+J and a double-click on the logo to bring " + name + " into view)");
    keyChord();
    if (reachable(controls::kLogo)) doubleClick(controls::kLogo);
    return reachable(name.c_str());
}

bool SoakWindow::openPortSelector() {
    if (control(controls::kPortFrame)->isVisible()) return true;
    if (!reachable(controls::kPortSelector)) return false;
    click(controls::kPortSelector);
    return control(controls::kPortFrame)->isVisible();
}

}  // namespace panel::soak
