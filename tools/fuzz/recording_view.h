// A view for the controller fuzzer: keeps the captions shown and tells the scenario of every
// report, in order with the port's events.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "core/view.h"

namespace panel::fuzz {

class RecordingView final : public View {
public:
    void setReporter(std::function<void(char)> report) { report_ = std::move(report); }

    void captionChanged(LabelId label, const std::string& caption) override {
        captions[static_cast<std::size_t>(label)] = caption;
    }
    void setPortSelectorVisible(bool visible) override { frame8Visible = visible; }
    void selectOption1() override {}
    void showPortSelectionFailure(const std::string&) override { report_('M'); }
    void notifyPortProblem(const std::string&) override { report_('N'); }
    void endProgram() override { ended = true; }

    std::array<std::string, 3> captions;  // by LabelId
    bool frame8Visible = false;
    bool ended = false;

private:
    std::function<void(char)> report_;
};

}  // namespace panel::fuzz
