// A controller over a fake port, a fake view and fake timers on a virtual clock, loaded as at
// start.
#pragma once

#include <gtest/gtest.h>

#include "core/controller.h"
#include "tests/support/fake_port.h"
#include "tests/support/fake_view.h"
#include "tests/support/virtual_clock.h"

namespace panel::test {

class ControllerFixture : public testing::Test {
protected:
    void SetUp() override {
        controller.load();
        port.clearWrites();
        port.clearLog();
    }

    const std::string& label(LabelId id) const { return controller.caption(id); }
    const FormState& state() const { return controller.state(); }
    std::pair<int, int> pair() const { return {timer2.interval(), timer4.interval()}; }

    void click(std::string_view name) { ASSERT_EQ(controller.click(name), Handled::Yes) << name; }
    void press(std::string_view name) { ASSERT_EQ(controller.press(name), Handled::Yes) << name; }
    void release(std::string_view name) {
        ASSERT_EQ(controller.release(name), Handled::Yes) << name;
    }

    VirtualClock clock;
    FakeTimer& timer1 = clock.makeTimer("Timer1");
    FakeTimer& timer2 = clock.makeTimer("Timer2");
    FakeTimer& timer3 = clock.makeTimer("Timer3");
    FakeTimer& timer4 = clock.makeTimer("Timer4");
    FakePort port;
    FakeView view;
    Controller controller{port, Timers{timer1, timer2, timer3, timer4}, view};
};

}  // namespace panel::test
