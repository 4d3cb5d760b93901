// A prompter that keeps what the window would have shown the operator, and shows nothing.
#pragma once

#include <QString>
#include <QStringList>

#include "ui/prompter.h"

namespace panel::e2e {

class PromptLog final : public Prompter {
public:
    void portSelectionFailed(QWidget*, const QString& text) override { failures << text; }
    void portProblem(QWidget*, const QString& text) override { problems << text; }

    QStringList failures;  // modal: failed port selections
    QStringList problems;  // the non-blocking notice: any other port problem
};

}  // namespace panel::e2e
