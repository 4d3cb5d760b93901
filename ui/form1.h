// The panel's one window: builds the layout, shows what the controller says, wires every event to
// it.
//
// Clicks, option clicks and the press/release of the hold buttons go to the Controller by control
// name; the Controller answers through the View it sees here (traffic labels, port selector,
// failures). The data panel (window height, Command34, Ctrl+J, the logo's double-click) and the
// manual entry's CLS are the window's own.
#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>
#include <string_view>

#include "core/controller.h"
#include "core/serial_port.h"
#include "core/view.h"
#include "serial/port_devices.h"
#include "serial/port_inventory.h"
#include "serial/qt_timer.h"
#include "ui/hold_buttons.h"
#include "ui/port_chooser.h"

class QKeyEvent;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace panel {

class DeviceMenus;
class DevicePort;
class LogMenu;
class PanelSettings;
class Prompter;
class SessionLog;
class TraceLabel;

class Form1 final : public QWidget, public View {
    Q_OBJECT

public:
    // `prompter` shows port failures; without one, message boxes do.
    explicit Form1(SerialPort& port, Prompter* prompter = nullptr, QWidget* parent = nullptr);
    ~Form1() override;

    // Names the device or URL behind COM1 and COM2 in their tooltips and accessible descriptions.
    void describePorts(const QString& com1, const QString& com2);

    // A lost line is being waited for (port 1 or 2 and its device), or no longer (port 0): the
    // title says so.
    void showLineWait(int port, const QString& device);
    // The line waited for is refused by a device server that still holds a connection to it.
    void showLineHeld(bool held);
    // Lets the operator change the device behind COM1 and COM2 (`port` is the line this window
    // drives): the context menus of Option1 and Option2, and "Choose port…" in the box of a
    // failed selection. `remembered`, when given, keeps each choice for the next start.
    void enablePortChooser(DevicePort& port, PanelSettings* remembered,
                           QString byIdFolder = kSerialByIdFolder);
    // Opens the chooser for port 1 or 2; it applies itself when the operator presses OK.
    void openPortChooser(int port);
    // The chooser while it is open.
    PortChooser* portChooser() const { return chooser_; }
    // A settings file that could not be read or written, told once as a notice.
    void reportSettingsProblem();

    // The load handler: the start-up steps, with the window placed at their geometry step.
    void load();

    // The writer that "Log to file…" and startLog use; it must outlive the window.
    void setSessionLog(SessionLog& log);
    // Appends the session to `path` from now on. When it cannot be opened the operator is told
    // and the panel goes on without a log.
    bool startLog(const QString& path);
    void stopLog();

    Controller& controller() { return *controller_; }
    const Controller& controller() const { return *controller_; }

    int clientHeight() const { return height(); }
    // Changes the height only; the top edge stays where it is.
    void setClientHeight(int pixels);

    // The data panel's three inputs, as the event handlers run them.
    void keyChord();           // Ctrl+J
    void logoDoubleClicked();  // Image1
    void command34Clicked();   // Command34

    // Ctrl+J: the J key with Ctrl and neither Shift nor Alt (other modifiers are not looked at).
    static bool isKeyChord(int key, Qt::KeyboardModifiers modifiers);

    // View
    void captionChanged(LabelId label, const std::string& caption) override;
    void setPortSelectorVisible(bool visible) override;
    void selectOption1() override;
    void showPortSelectionFailure(const std::string& description) override;
    void notifyPortProblem(const std::string& text) override;
    void endProgram() override;

signals:
    // "END" has closed the port and the window; the program should end.
    void programEnded();

protected:
    bool event(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void build();
    void wire();
    void placeWindow();
    void moveToStartupPlace(const QMargins& frameTwips);
    void placeByRealFrame();
    void sendManual();
    void setCommand34Caption(std::string_view caption);
    void stopEverything();
    // The caption, and what the window waits for.
    void updateTitle();
    void applyChosenDevice(int port, const QString& device);

    SerialPort& port_;
    std::unique_ptr<Prompter> ownPrompter_;
    Prompter& prompter_;

    QtTimer repeatTimer_;
    QtTimer replyWindowTimer_;
    QtTimer selectorHideTimer_;
    QtTimer clearingTimer_;
    HoldButtons holds_;
    std::unique_ptr<Controller> controller_;

    TraceLabel* sentTrace_ = nullptr;
    TraceLabel* receivedTrace_ = nullptr;
    TraceLabel* decodedReply_ = nullptr;
    QWidget* frame8_ = nullptr;
    QRadioButton* option1_ = nullptr;
    QRadioButton* option2_ = nullptr;
    QPushButton* command34_ = nullptr;
    QLineEdit* text1_ = nullptr;
    QWidget* image1_ = nullptr;
    LogMenu* logMenu_ = nullptr;
    DeviceMenus* deviceMenus_ = nullptr;
    SessionLog* log_ = nullptr;
    PortDevices devices_;
    DevicePort* devicePort_ = nullptr;
    PanelSettings* remembered_ = nullptr;
    QString byIdFolder_;
    QPointer<PortChooser> chooser_;
    // Placed at start-up with an assumed frame; the real one has not been seen yet.
    bool awaitingFrame_ = false;
    int waitingPort_ = 0;
    QString waitingDevice_;
    bool waitingHeld_ = false;
};

}  // namespace panel
