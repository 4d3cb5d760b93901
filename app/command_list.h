// The command buttons of the window as a list a shell user can read: --list-commands.
#pragma once

#include <QString>
#include <QTextStream>
#include <optional>
#include <vector>

namespace panel {

struct CommandListing {
    QString group;    // the title over the button in the window, or empty
    QString caption;  // the button's own caption
    QString code;
    std::optional<int> repeatMs;  // a press-and-hold button: its repeat period from start-up
};

// Every one-shot and press-and-hold button, in the window's order.
std::vector<CommandListing> commandListing();

// One line a button: group, caption, code and kind ("click", or "hold" and the period in ms),
// tab-separated, or one JSON object a line.
void listCommands(QTextStream& out, bool json);

}  // namespace panel
