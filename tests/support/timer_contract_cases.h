// The timer contract of core/timer.h as scripted cases, run against every Timer implementation.
#pragma once

#include <string>
#include <vector>

#include "core/timer.h"

namespace panel::test::timer_contract {

// A case drives up to three timers, 'A', 'B' and 'C', from a script and records the order of their
// ticks. No two events of a case (ticks, timed steps, the end) lie closer than 50 ms, so a runner
// on real timers, with real scheduling noise, expects the same order as a runner on virtual time.
// Expected ticks are compared as an order, never as times.

enum class Action {
    SetInterval,     // setInterval(value)
    Enable,          // setEnabled(true)
    Disable,         // setEnabled(false)
    Start,           // setInterval(value), then setEnabled(true)
    ExpectEnabled,   // isEnabled() must be true
    ExpectDisabled,  // isEnabled() must be false
    ExpectInterval,  // interval() must be value
};

struct Step {
    // When: `at` ms after the case began; or, when `onTick` names a timer, inside the handler of
    // that timer's `tick`-th tick (1 is the first). Steps due together run in the order listed.
    int at = 0;
    char onTick = 0;
    int tick = 0;
    // What, to which timer.
    char timer = 'A';
    Action action = Action::Enable;
    int value = 0;
};

inline Step at(int ms, char timer, Action action, int value = 0) {
    return {ms, 0, 0, timer, action, value};
}
inline Step onTick(char source, int tick, char timer, Action action, int value = 0) {
    return {0, source, tick, timer, action, value};
}

struct Case {
    const char* name;  // unique; a valid test name that says what is proved
    std::vector<Step> steps;
    int endAt;          // ms after the case began: the run stops here and disables every timer
    const char* ticks;  // the expected ticks in order, one letter each
};

inline const char kTimerNames[] = "ABC";

// Applies one step to `timer`; a failed expectation is added to `failures` in words.
inline void apply(const Step& step, Timer& timer, std::vector<std::string>& failures) {
    const auto fail = [&](const std::string& what) {
        const std::string when =
            step.onTick ? std::string("at tick ") + std::to_string(step.tick) + " of " + step.onTick
                        : "at " + std::to_string(step.at) + " ms";
        failures.push_back(when + ": timer " + step.timer + " " + what);
    };
    switch (step.action) {
        case Action::SetInterval:
            timer.setInterval(std::chrono::milliseconds{step.value});
            break;
        case Action::Enable:
            timer.setEnabled(true);
            break;
        case Action::Disable:
            timer.setEnabled(false);
            break;
        case Action::Start:
            timer.setInterval(std::chrono::milliseconds{step.value});
            timer.setEnabled(true);
            break;
        case Action::ExpectEnabled:
            if (!timer.isEnabled()) fail("should be enabled");
            break;
        case Action::ExpectDisabled:
            if (timer.isEnabled()) fail("should be disabled");
            break;
        case Action::ExpectInterval:
            if (timer.interval() != std::chrono::milliseconds{step.value})
                fail("should have interval " + std::to_string(step.value) + ", has " +
                     std::to_string(timer.interval().count()));
            break;
    }
}

inline const std::vector<Case>& cases() {
    using A = Action;
    static const std::vector<Case> all = {
        {"NewTimerIsDisabledAndSetIntervalDoesNotStartIt",
         {at(0, 'A', A::ExpectDisabled), at(0, 'A', A::SetInterval, 100),
          at(0, 'A', A::ExpectDisabled), at(0, 'A', A::ExpectInterval, 100),
          at(0, 'B', A::Start, 150), onTick('B', 1, 'B', A::Disable),
          at(250, 'A', A::ExpectDisabled)},
         300,
         "B"},
        {"FirstTickFallsOneIntervalAfterEnable",
         {at(0, 'A', A::Start, 200), at(0, 'B', A::Start, 100), at(0, 'C', A::Start, 300),
          at(0, 'A', A::ExpectEnabled), at(0, 'A', A::ExpectInterval, 200),
          onTick('A', 1, 'A', A::Disable), onTick('B', 1, 'B', A::Disable),
          onTick('C', 1, 'C', A::Disable)},
         400,
         "BAC"},
        {"EnableCountsFromTheEnableNotFromSetInterval",
         {at(0, 'A', A::SetInterval, 150), at(100, 'A', A::Enable), at(0, 'B', A::Start, 200),
          onTick('A', 1, 'A', A::Disable), onTick('B', 1, 'B', A::Disable)},
         350,
         "BA"},
        {"EnableOnRunningTimerBeginsNewCount",
         {at(0, 'A', A::Start, 200), at(120, 'A', A::Enable), at(120, 'A', A::ExpectEnabled),
          at(0, 'B', A::Start, 260), onTick('A', 1, 'A', A::Disable),
          onTick('B', 1, 'B', A::Disable)},
         400,
         "BA"},
        {"SameIntervalOnRunningTimerBeginsNewCount",
         {at(0, 'A', A::Start, 200), at(120, 'A', A::SetInterval, 200),
          at(120, 'A', A::ExpectEnabled), at(0, 'B', A::Start, 260),
          onTick('A', 1, 'A', A::Disable), onTick('B', 1, 'B', A::Disable)},
         400,
         "BA"},
        {"LongerIntervalOnRunningTimerCountsFromNow",
         {at(0, 'A', A::Start, 200), at(100, 'A', A::SetInterval, 300),
          at(100, 'A', A::ExpectInterval, 300), at(0, 'B', A::Start, 350),
          onTick('A', 1, 'A', A::Disable), onTick('B', 1, 'B', A::Disable)},
         470,
         "BA"},
        {"ShorterIntervalOnRunningTimerCountsFromNow",
         {at(0, 'A', A::Start, 400), at(200, 'A', A::SetInterval, 100), at(0, 'B', A::Start, 250),
          at(0, 'C', A::Start, 350), onTick('A', 1, 'A', A::Disable),
          onTick('B', 1, 'B', A::Disable), onTick('C', 1, 'C', A::Disable)},
         470,
         "BAC"},
        {"EnabledTimerTicksEveryIntervalUntilDisabled",
         {at(0, 'A', A::Start, 100), onTick('A', 1, 'A', A::ExpectEnabled),
          at(0, 'B', A::Start, 250), onTick('B', 1, 'B', A::Disable), at(350, 'A', A::Disable),
          at(420, 'A', A::ExpectDisabled)},
         500,
         "AABA"},
        {"HandlerDisablingItsOwnTimerEndsItsTicks",
         {at(0, 'A', A::Start, 100), onTick('A', 2, 'A', A::Disable),
          onTick('A', 2, 'A', A::ExpectDisabled), at(0, 'B', A::Start, 350),
          onTick('B', 1, 'B', A::Disable), at(300, 'A', A::ExpectDisabled)},
         450,
         "AAB"},
        {"HandlerGivingItsTimerNewIntervalRepeatsAtTheNewInterval",
         {at(0, 'A', A::Start, 200), onTick('A', 1, 'A', A::SetInterval, 100),
          onTick('A', 1, 'A', A::ExpectEnabled), onTick('A', 3, 'A', A::Disable),
          at(0, 'B', A::Start, 350), onTick('B', 1, 'B', A::Disable)},
         500,
         "AABA"},
        {"HandlerDisablingAnotherTimerCancelsItsTick",
         {at(0, 'A', A::Start, 100), onTick('A', 1, 'A', A::Disable),
          onTick('A', 1, 'B', A::Disable), at(0, 'B', A::Start, 200), at(0, 'C', A::Start, 300),
          onTick('C', 1, 'C', A::Disable)},
         400,
         "AC"},
        {"HandlerEnablingAnotherTimerBeginsItsCountAtTheTick",
         {at(0, 'A', A::Start, 100), onTick('A', 1, 'A', A::Disable),
          onTick('A', 1, 'B', A::Start, 150), at(0, 'C', A::Start, 200),
          onTick('B', 1, 'B', A::Disable), onTick('C', 1, 'C', A::Disable)},
         350,
         "ACB"},
        {"DisableOnDisabledTimerChangesNothing",
         {at(0, 'A', A::SetInterval, 150), at(0, 'A', A::Disable), at(0, 'A', A::ExpectDisabled),
          at(0, 'A', A::ExpectInterval, 150), at(50, 'A', A::Enable), at(0, 'B', A::Start, 150),
          onTick('A', 1, 'A', A::Disable), onTick('B', 1, 'B', A::Disable)},
         300,
         "BA"},
    };
    return all;
}

}  // namespace panel::test::timer_contract
