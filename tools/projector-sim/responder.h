// What the simulator does with received bytes: cut frames, record them, let the projector answer,
// and queue the answers through the fault shaping.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/projector-sim/frame_splitter.h"
#include "tools/projector-sim/projector_model.h"
#include "tools/projector-sim/reply_shaper.h"

namespace sim {

class Responder {
public:
    using FrameObserver = std::function<void(Micros at, std::string_view frame)>;

    // With `silent` the projector still obeys every command but never answers.
    Responder(ProjectorModel& model, ReplyShaper& shaper, bool silent, FrameObserver observer = {});

    // Bytes that one read returned at `now`.
    void receive(std::string_view bytes, Micros now);

    std::optional<Micros> nextDue() const { return shaper_.nextDue(); }
    std::string takeDue(Micros now) { return shaper_.takeDue(now); }
    std::size_t framesReceived() const { return frames_; }

private:
    ProjectorModel& model_;
    ReplyShaper& shaper_;
    bool silent_;
    FrameObserver observer_;
    FrameSplitter splitter_;
    std::vector<std::string> scratch_;
    std::size_t frames_ = 0;
};

}  // namespace sim
