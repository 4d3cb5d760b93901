// A view for benchmarks: counts caption changes without copying them.
#pragma once

#include <cstddef>
#include <string>

#include "core/view.h"

namespace panel::bench {

// The tests' FakeView copies every Label12 caption, which costs as much as the whole trace on each
// receive: that is the double's cost, not the panel's, so the benchmarks count instead.
class CountingView final : public View {
public:
    void captionChanged(LabelId, const std::string& caption) override {
        ++captionUpdates;
        lastCaptionSize = caption.size();
    }
    void setPortSelectorVisible(bool) override {}
    void selectOption1() override {}
    void showPortSelectionFailure(const std::string&) override { ++failures; }
    void notifyPortProblem(const std::string&) override { ++failures; }
    void endProgram() override {}

    std::size_t captionUpdates = 0;
    std::size_t lastCaptionSize = 0;
    int failures = 0;
};

}  // namespace panel::bench
