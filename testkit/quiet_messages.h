// Qt's notes that are no finding where the window runs without a display, kept out of the log:
// the offscreen platform's word on every fixed-size window, and a root shell's missing runtime
// directory. For the Qt test suites, panel-measure and panel-soak.
#pragma once

namespace panel::test {

// The offscreen platform unless QT_QPA_PLATFORM names another, and the filter in front of Qt's
// message handler; call it before the QApplication.
void UseOffscreenQuietly();

}  // namespace panel::test
