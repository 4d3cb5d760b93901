// A prompter for tests: keeps what the window would have shown the operator, shows nothing.
#pragma once

#include <QString>
#include <QStringList>

#include "ui/prompter.h"

namespace panel::test {

class RecordingPrompter final : public Prompter {
public:
    void portSelectionFailed(QWidget*, const QString& text) override { failures << text; }
    void portProblem(QWidget*, const QString& text) override { problems << text; }

    QStringList failures;
    QStringList problems;
};

}  // namespace panel::test
