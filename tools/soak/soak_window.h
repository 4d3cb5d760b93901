// The window as the soak's operator reaches it: a control is used only when it is in view and not
// covered, and the window is opened out (Ctrl+J, a double-click on the logo) to bring one into
// view.
#pragma once

#include <string>

#include "testkit/window_driver.h"

namespace panel::soak {

class SoakReport;

class SoakWindow final : public test::WindowDriver {
public:
    explicit SoakWindow(SoakReport& report) : report_(report) {}

    // Shown and made active.
    void show(Form1& form);
    // False when the control stays covered (by the port selector).
    bool bringIntoView(const std::string& name);
    bool openPortSelector();

private:
    SoakReport& report_;
};

}  // namespace panel::soak
