#include "tools/projector-sim/frame_splitter.h"

#include <algorithm>

namespace sim {

void FrameSplitter::feed(std::string_view bytes, std::vector<std::string>& frames) {
    while (!bytes.empty()) {
        const auto cr = bytes.find('\r');
        const auto piece = bytes.substr(0, cr);
        const auto room = kMaxFrame - partial_.size();
        partial_.append(piece.substr(0, std::min(room, piece.size())));
        if (cr == std::string_view::npos) return;
        frames.push_back(std::move(partial_));
        partial_.clear();
        bytes.remove_prefix(cr + 1);
    }
}

}  // namespace sim
