#include "tools/bench/bench_rig.h"

#include <stdexcept>

namespace panel::bench {

using namespace std::chrono_literals;

BenchRig::BenchRig() {
    controller.load();
    if (!port.isOpen()) throw std::runtime_error("the fake port did not open");
}

void BenchRig::startExchange(std::string_view code) {
    controller.SendCommand(code);
    // The longest reply window in use, so that Timer2 has ticked and emptied RecvData.
    clock.advance(5500ms);
    port.clearWrites();
    if (!controller.state().RecvData.empty()) throw std::logic_error("RecvData was not emptied");
}

void BenchRig::fill(std::size_t count, std::string_view pattern) {
    if (count > 0) port.receive(Repeat(pattern, count));
}

std::string Repeat(std::string_view pattern, std::size_t count) {
    std::string text;
    text.reserve(count);
    while (text.size() < count) text += pattern.substr(0, count - text.size());
    return text;
}

}  // namespace panel::bench
