// Port failures in message boxes: a modal one for failed selections, a non-modal notice otherwise.
#pragma once

#include <QMessageBox>
#include <QPointer>

#include "ui/prompter.h"

namespace panel {

class MessageBoxPrompter final : public Prompter {
public:
    // Exclamation icon, OK alone, no title of its own; runs its own event loop until dismissed.
    FailureReply portSelectionFailed(QWidget* parent, const QString& text,
                                     bool offerChooser = false) override;

    // One notice at a time: a second problem while one is shown replaces its text.
    void portProblem(QWidget* parent, const QString& text) override;

    // The notice on screen, if any.
    QMessageBox* notice() const { return notice_; }

private:
    QPointer<QMessageBox> notice_;
};

}  // namespace panel
