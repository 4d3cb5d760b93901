#include "tools/soak/soak_world.h"

#include <algorithm>
#include <chrono>

#include "serial/line_watcher.h"

namespace panel::soak {

SoakWorld::SoakWorld(SoakOptions soakOptions)
    : options(std::move(soakOptions)), schedule([](int attempt) {
          return std::chrono::microseconds(LineWatcher::networkStep(attempt)).count();
      }) {
    for (int number = 1; number <= 2; ++number)
        lines[static_cast<std::size_t>(number - 1)] =
            std::make_unique<SimLine>(number, options.simBinary, options.workDir);
}

SimLine& SoakWorld::line(int number) const {
    return *lines[static_cast<std::size_t>(number - 1)];
}

bool SoakWorld::serving(int number) const {
    const Incarnation* live = line(number).live();
    return live && live->up;
}

Incarnation* SoakWorld::bound() const {
    if (model.boundLine == 0) return nullptr;
    return line(model.boundLine).find(model.boundId);
}

bool SoakWorld::serverWentSinceOpen() const {
    if (!options.network || model.boundLine == 0) return false;
    const std::int64_t down = line(model.boundLine).serverDownAt();
    return down != 0 && down >= model.openedAt;
}

std::optional<std::int64_t> SoakWorld::lineBackSince(int number) const {
    const Incarnation* live = line(number).live();
    if (!live || !live->up) return std::nullopt;
    if (!options.network) return live->upAt;
    if (line(number).serverDown()) return std::nullopt;
    return std::max(live->upAt, line(number).serverUpAt());
}

}  // namespace panel::soak
