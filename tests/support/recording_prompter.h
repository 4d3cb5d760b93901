// A prompter for tests: keeps what the window would have shown the operator, shows nothing.
#pragma once

#include <QString>
#include <QStringList>

#include "ui/prompter.h"

namespace panel::test {

class RecordingPrompter final : public Prompter {
public:
    FailureReply portSelectionFailed(QWidget*, const QString& text, bool offerChooser) override {
        failures << text;
        offered << offerChooser;
        return reply;
    }
    void portProblem(QWidget*, const QString& text) override { problems << text; }

    QStringList failures;
    QList<bool> offered;                           // whether "Choose port…" was offered
    FailureReply reply = FailureReply::Dismissed;  // the button the operator is to press
    QStringList problems;
};

}  // namespace panel::test
