// How the window tells the operator about port failures; tests and the screenshot mode replace it.
#pragma once

class QString;
class QWidget;

namespace panel {

// How the operator left the box of a failed selection.
enum class FailureReply { Dismissed, ChoosePort };

class Prompter {
public:
    virtual ~Prompter() = default;

    // A failed port or speed selection: modal, returns when the operator has dismissed it. With
    // `offerChooser` the box has a "Choose port…" button beside OK.
    virtual FailureReply portSelectionFailed(QWidget* parent, const QString& text,
                                             bool offerChooser = false) = 0;

    // Any other port problem: returns at once and leaves the event queue running, so that a
    // press-and-hold in progress still receives its release.
    virtual void portProblem(QWidget* parent, const QString& text) = 0;
};

}  // namespace panel
