// The real window over the real serial adapter, driven through its window as an operator would.
#pragma once

#include <QLabel>
#include <QString>
#include <functional>

#include "testkit/panel_window.h"
#include "tests/support/recording_prompter.h"

namespace panel::e2e {

// The prompter is a base of its own, so that it is built before the window that holds it.
struct RecordedPrompts {
    test::RecordingPrompter prompts_;
};

class PanelRig : private RecordedPrompts, public test::PanelWindow {
public:
    // A Form1 over COM1 = `com1`, COM2 = `com2` (device paths or device-server URLs), loaded,
    // shown and active.
    explicit PanelRig(const QString& com1,
                      const QString& com2 = QStringLiteral("/nonexistent/panel-e2e-com2"));

    test::RecordingPrompter& prompts() { return prompts_; }

    QString text(const char* label) const;

    // Clicks into Text1, types `text` over what it held and clicks SEND.
    void send(const QString& text);

    // Runs the event loop until `done` or kPatience.
    static bool waitFor(const std::function<bool()>& done);
    bool waitForText(const char* label, const QString& expected);
    // The reply window of the last send has closed: what arrives next starts a new received text.
    bool waitReplyWindowClosed();
};

}  // namespace panel::e2e
