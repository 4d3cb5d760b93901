// The soak's waits: every one runs the event loop, so timers, faults and the probe carry on.
#pragma once

#include <functional>

namespace panel::soak {

void Pause(int ms);
// False when `done` is still false after `ms`.
bool WaitUntil(const std::function<bool()>& done, int ms);

}  // namespace panel::soak
