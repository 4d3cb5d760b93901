// A view for tests: keeps what the controller showed and counts the reports.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/view.h"

namespace panel::test {

class FakeView final : public View {
public:
    void captionChanged(LabelId label, const std::string& caption) override {
        ++captionUpdates;
        if (label == LabelId::ReceivedTrace) label12 = caption;
    }
    void setPortSelectorVisible(bool visible) override { frame8Visible = visible; }
    void selectOption1() override { option1Selected = true; }
    void showPortSelectionFailure(const std::string& description) override {
        modalFailures.push_back(description);
        if (whileFailureShown) whileFailureShown();
    }
    void notifyPortProblem(const std::string& text) override { problems.push_back(text); }
    void endProgram() override { ended = true; }

    // What goes on while the modal box waits for the operator: its event loop runs the timers.
    std::function<void()> whileFailureShown;

    int captionUpdates = 0;
    std::string label12;
    bool frame8Visible = false;
    bool option1Selected = false;
    std::vector<std::string> modalFailures;
    std::vector<std::string> problems;
    bool ended = false;
};

}  // namespace panel::test
