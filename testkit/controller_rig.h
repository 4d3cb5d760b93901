// A controller over a fake port and fake timers on a virtual clock: the one rig of the core tests,
// the benchmarks and the controller fuzzer, each choosing its own view (and port).
#pragma once

#include "core/controller.h"
#include "testkit/fake_port.h"
#include "testkit/fake_view.h"
#include "testkit/virtual_clock.h"

namespace panel::test {

// The controller's four timers on one clock, under the window designer's names (Timer1..4).
struct FakeTimers {
    explicit FakeTimers(VirtualClock& clock)
        : repeat(clock.makeTimer("Timer1")),
          replyWindow(clock.makeTimer("Timer2")),
          selectorHide(clock.makeTimer("Timer3")),
          clearing(clock.makeTimer("Timer4")) {}

    Timers all() { return Timers{repeat, replyWindow, selectorHide, clearing}; }

    FakeTimer& repeat;
    FakeTimer& replyWindow;
    FakeTimer& selectorHide;
    FakeTimer& clearing;
};

// Not loaded: start-up is the user's first step, so that it can set the port up before it.
template <typename ViewType = FakeView, typename PortType = FakePort>
struct ControllerRig {
    VirtualClock clock;
    FakeTimers timers{clock};
    PortType port;
    ViewType view;
    Controller controller{port, timers.all(), view};
};

}  // namespace panel::test
