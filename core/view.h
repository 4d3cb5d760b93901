// What the window shows on the controller's behalf.
#pragma once

#include <string>

namespace panel {

// The three traffic labels, by what they show. The window designer's names (the objectNames of
// the widgets): SentTrace is Label11, ReceivedTrace Label12, DecodedReply Label22.
enum class LabelId { SentTrace, ReceivedTrace, DecodedReply };

class View {
public:
    virtual ~View() = default;

    // A traffic label's caption changed. `caption` stays valid only during the call; it can be long
    // (a received trace), so a window shows only what fits instead of copying it whole.
    virtual void captionChanged(LabelId label, const std::string& caption) = 0;

    virtual void setPortSelectorVisible(bool visible) = 0;

    // Start-up selects the "COM1" option from the program.
    virtual void selectOption1() = 0;

    // A failed port selection: a modal message box (exclamation icon, OK alone, no title) that
    // returns when the operator has dismissed it.
    virtual void showPortSelectionFailure(const std::string& description) = 0;

    // Any other port failure (send on a closed port, write or read failed, device gone). Must not
    // block the event queue: a press-and-hold in progress still has to receive its release.
    virtual void notifyPortProblem(const std::string& text) = 0;

    // "END": the port is closed; the window unloads and the program ends.
    virtual void endProgram() = 0;
};

}  // namespace panel
