#include "tools/fuzz/observed_port.h"

namespace panel::fuzz {

PortResult ObservedPort::setOpen(bool open) {
    const bool wasOpen = port_.isOpen();
    PortResult result = port_.setOpen(open);
    if (open && !result && !wasOpen && port_.isOpen()) observer_.opened();
    return result;
}

PortResult ObservedPort::output(std::string_view bytes) {
    const bool wasOpen = port_.isOpen();
    const std::size_t before = port_.writes().size();
    PortResult result = port_.output(bytes);
    // The fake refuses a closed port itself; this holds whatever the fake does.
    if (!wasOpen && port_.writes().size() != before) writtenWhileClosed = true;
    observer_.output(std::string(bytes), result.has_value());
    return result;
}

}  // namespace panel::fuzz
