#include "tools/projector-sim/responder.h"

namespace sim {

Responder::Responder(ProjectorModel& model, ReplyShaper& shaper, bool silent,
                     FrameObserver observer)
    : model_(model), shaper_(shaper), silent_(silent), observer_(std::move(observer)) {}

void Responder::receive(std::string_view bytes, Micros now) {
    scratch_.clear();
    splitter_.feed(bytes, scratch_);
    for (const auto& frame : scratch_) {
        ++frames_;
        if (observer_) observer_(now, frame);
        const std::string answer = model_.answer(frame, now);
        if (!silent_) shaper_.schedule(answer, now);
    }
}

}  // namespace sim
