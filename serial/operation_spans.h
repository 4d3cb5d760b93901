// Marks the spans of a port adapter's own operations: errors the device raises inside one are
// returned by the operation, never delivered to the listener, and arrivals are told from the event
// loop after it, so the controller is never re-entered mid-call.
#pragma once

#include <functional>

class QObject;

namespace panel {

class OperationSpans {
public:
    // One operation under way, for as long as it lives.
    class Busy {
    public:
        explicit Busy(OperationSpans& spans) : spans_(spans) { ++spans_.depth_; }
        ~Busy() { --spans_.depth_; }
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;

    private:
        OperationSpans& spans_;
    };

    bool busy() const { return depth_ > 0; }
    // Runs `tell` now, or from `context`'s event loop when inside an operation.
    void tell(QObject* context, const std::function<void()>& tell) const;

private:
    int depth_ = 0;
};

}  // namespace panel
