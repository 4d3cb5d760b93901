// A controller over a fake port, a fake view and fake timers on a virtual clock, loaded as at
// start.
#pragma once

#include <gtest/gtest.h>

#include "core/controller.h"
#include "testkit/controller_rig.h"

namespace panel::test {

class ControllerFixture : public testing::Test, protected ControllerRig<> {
protected:
    void SetUp() override {
        controller.load();
        port.clearWrites();
        port.clearLog();
    }

    const std::string& label(LabelId id) const { return controller.caption(id); }
    const FormState& state() const { return controller.state(); }
    std::pair<int, int> pair() const {
        return {timers.replyWindow.interval().count(), timers.clearing.interval().count()};
    }

    void click(std::string_view name) { ASSERT_EQ(controller.click(name), Handled::Yes) << name; }
    void press(std::string_view name) { ASSERT_EQ(controller.press(name), Handled::Yes) << name; }
    void release(std::string_view name) {
        ASSERT_EQ(controller.release(name), Handled::Yes) << name;
    }
};

}  // namespace panel::test
