#include "tools/fuzz/observed_port.h"

namespace panel::fuzz {

PortResult ObservedPort::setOpen(bool open) {
    const bool wasOpen = isOpen();
    PortResult result = ForwardingPort::setOpen(open);
    if (open && !result && !wasOpen && isOpen()) observer_.opened();
    return result;
}

PortResult ObservedPort::output(std::string_view bytes) {
    const bool wasOpen = isOpen();
    const std::size_t before = fakePort.writes().size();
    PortResult result = ForwardingPort::output(bytes);
    // The fake refuses a closed port itself; this holds whatever the fake does.
    if (!wasOpen && fakePort.writes().size() != before) writtenWhileClosed = true;
    observer_.output(std::string(bytes), result.has_value());
    return result;
}

}  // namespace panel::fuzz
