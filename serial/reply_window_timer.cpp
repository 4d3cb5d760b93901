#include "serial/reply_window_timer.h"

#include <utility>

namespace panel {

void ReplyWindowTimer::setTickHandler(std::function<void()> handler) {
    if (!handler) {
        inner_.setTickHandler({});
        return;
    }
    inner_.setTickHandler([this, handler = std::move(handler)] {
        handler();
        afterTick_();
    });
}

}  // namespace panel
