// Port failures written to standard error instead of message boxes, for unattended runs.
#pragma once

#include "ui/prompter.h"

namespace panel {

class StderrPrompter final : public Prompter {
public:
    FailureReply portSelectionFailed(QWidget* parent, const QString& text,
                                     bool offerChooser = false) override;
    void portProblem(QWidget* parent, const QString& text) override;
};

}  // namespace panel
