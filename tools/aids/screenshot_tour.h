// Walks the window through its heights and saves a picture of each, for checking the layout by eye.
#pragma once

#include <QString>

namespace panel {

class Form1;

class ScreenshotTour {
public:
    // The window must be shown. Writes one PNG a state into `directory`; returns an exit code.
    static int run(Form1& form, const QString& directory);
};

}  // namespace panel
