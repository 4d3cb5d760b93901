#include "ui/stderr_prompter.h"

#include <QString>
#include <cstdio>

namespace panel {

FailureReply StderrPrompter::portSelectionFailed(QWidget*, const QString& text, bool) {
    std::fprintf(stderr, "projector-panel: port selection failed: %s\n", qPrintable(text));
    return FailureReply::Dismissed;
}

void StderrPrompter::portProblem(QWidget*, const QString& text) {
    std::fprintf(stderr, "projector-panel: port problem: %s\n", qPrintable(text));
}

}  // namespace panel
