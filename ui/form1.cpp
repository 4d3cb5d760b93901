#include "ui/form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QWindow>
#include <tuple>

#include "log/session_log.h"
#include "serial/device_port.h"
#include "settings/panel_settings.h"
#include "ui/control_factory.h"
#include "ui/device_menus.h"
#include "ui/layout.h"
#include "ui/log_menu.h"
#include "ui/message_box_prompter.h"
#include "ui/port_chooser.h"
#include "ui/trace_label.h"
#include "ui/utf8.h"
#include "ui/window_geometry.h"

namespace panel {
namespace {

std::string nameOf(const QObject* object) {
    return object->objectName().toStdString();
}

// Wiring mistakes should be loud: the controller refuses names it does not know.
void expectHandled(Handled handled, const QObject* control) {
    if (handled != Handled::Yes)
        qWarning("projector-panel: the controller does not know %s",
                 qPrintable(control->objectName()));
}

}  // namespace

Form1::Form1(SerialPort& port, Prompter* prompter, QWidget* parent)
    : QWidget(parent),
      port_(port),
      ownPrompter_(prompter ? nullptr : std::make_unique<MessageBoxPrompter>()),
      prompter_(prompter ? *prompter : *ownPrompter_) {
    ControlFactory::installFontSubstitutes();
    // Close and minimise only: the height changes under program control alone.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    updateTitle();
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor::fromRgb(kWindowColour));
    setPalette(palette);
    setAutoFillBackground(true);
    setFont(ControlFactory::font(FontFace::Fixed, 9, false));
    // The whole layout until start-up shrinks it: its full height is what centres the window.
    setFixedSize(TwipsToPixels(kClientWidthTwips), TwipsToPixels(kFullClientTwips));

    build();
    controller_ = std::make_unique<Controller>(
        port_, Timers{repeatTimer_, replyWindowTimer_, selectorHideTimer_, clearingTimer_},
        static_cast<View&>(*this));
    wire();
    logMenu_ = new LogMenu(
        *this, {sentTrace_, receivedTrace_}, [this](const QString& path) { startLog(path); },
        [this] { stopLog(); });
    findChild<QPushButton*>(QStringLiteral("Command17"))->setFocus();
}

Form1::~Form1() {
    if (log_) log_->setFailureHandler({});
    holds_.blockSignals(true);
    qApp->removeEventFilter(this);
    controller_.reset();
}

void Form1::build() {
    // Captions that several buttons share get their group in the accessible name ("ON, POWER").
    QHash<QString, int> captionCount;
    for (const ControlSpec& row : Controls()) {
        if (row.kind == ControlKind::Button || row.kind == ControlKind::HoldButton)
            ++captionCount[FromUtf8(row.caption)];
    }

    for (const ControlSpec& row : Controls()) {
        QWidget* container = this;
        if (!row.container.empty()) container = findChild<QWidget*>(FromUtf8(row.container));
        QWidget* widget = ControlFactory::create(row, container);
        const QString caption = FromUtf8(row.caption);
        if (captionCount.value(caption) > 1 && !row.group.empty()) {
            ControlFactory::setButtonCaption(static_cast<QAbstractButton*>(widget), caption,
                                             caption + QStringLiteral(", ") + FromUtf8(row.group));
        }
    }

    sentTrace_ = findChild<TraceLabel*>(QStringLiteral("Label11"));
    receivedTrace_ = findChild<TraceLabel*>(QStringLiteral("Label12"));
    decodedReply_ = findChild<TraceLabel*>(QStringLiteral("Label22"));
    frame8_ = findChild<QWidget*>(QStringLiteral("Frame8"));
    option1_ = findChild<QRadioButton*>(QStringLiteral("Option1"));
    option2_ = findChild<QRadioButton*>(QStringLiteral("Option2"));
    command34_ = findChild<QPushButton*>(QStringLiteral("Command34"));
    text1_ = findChild<QLineEdit*>(QStringLiteral("Text1"));
    image1_ = findChild<QWidget*>(QStringLiteral("Image1"));
    // The port selector covers "COM" while shown.
    frame8_->raise();
}

void Form1::wire() {
    for (const ControlSpec& row : Controls()) {
        const QString name = FromUtf8(row.name);
        if (row.kind == ControlKind::HoldButton) {
            holds_.watch(findChild<QPushButton*>(name));
        } else if (row.kind == ControlKind::Button || row.kind == ControlKind::Option) {
            auto* button = findChild<QAbstractButton*>(name);
            if (button == command34_) {
                connect(button, &QAbstractButton::clicked, this, &Form1::command34Clicked);
            } else if (name == QLatin1String("Command95")) {
                connect(button, &QAbstractButton::clicked, this, &Form1::sendManual);
            } else if (name == QLatin1String("Command96")) {
                connect(button, &QAbstractButton::clicked, text1_, &QLineEdit::clear);
            } else {
                connect(button, &QAbstractButton::clicked, this, [this, button] {
                    expectHandled(controller_->click(nameOf(button)), button);
                });
            }
        }
    }
    connect(&holds_, &HoldButtons::pressed, this, [this](const QString& name) {
        expectHandled(controller_->press(name.toStdString()), &holds_);
    });
    connect(&holds_, &HoldButtons::released, this, [this](const QString& name) {
        expectHandled(controller_->release(name.toStdString()), &holds_);
    });
    // A hold must not outlive the operator's attention on this program.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
        if (s != Qt::ApplicationActive) holds_.endHold();
    });

    image1_->installEventFilter(this);
    // Key preview: every key press reaches the window before the control with the focus.
    qApp->installEventFilter(this);
}

void Form1::load() {
    controller_->load([this] { placeWindow(); });
}

void Form1::placeWindow() {
    const QMargins known = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    // Before the first show no platform knows its frame: the assumed one places the window now,
    // and the real one, once the window manager has framed it, places it again.
    awaitingFrame_ = known.isNull();
    moveToStartupPlace(awaitingFrame_ ? kAssumedFrameTwips : known * kTwipsPerPixel);
    setClientHeight(TwipsToPixels(kCompactClientTwips));
}

void Form1::moveToStartupPlace(const QMargins& frameTwips) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    move(StartupTopLeft(screen ? screen->geometry() : QRect(), frameTwips));
}

void Form1::placeByRealFrame() {
    const QMargins known = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    if (known.isNull()) return;  // not framed yet, or a platform without frames (offscreen)
    awaitingFrame_ = false;
    moveToStartupPlace(known * kTwipsPerPixel);
}

void Form1::setClientHeight(int pixels) {
    setFixedSize(width(), pixels);
}

bool Form1::isKeyChord(int key, Qt::KeyboardModifiers modifiers) {
    constexpr Qt::KeyboardModifiers counted =
        Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
    return key == Qt::Key_J && (modifiers & counted) == Qt::ControlModifier;
}

void Form1::keyChord() {
    setClientHeight(TwipsToPixels(kUnlockedClientTwips));
    controller_->unlockPanel();
    setCommand34Caption(kCloseCaption);
    command34_->setVisible(true);
}

void Form1::logoDoubleClicked() {
    if (controller_->state().PanelOpen != 1) return;
    setClientHeight(TwipsToPixels(kFullClientTwips));
    setCommand34Caption(kCloseCaption);
    command34_->setVisible(true);
}

void Form1::command34Clicked() {
    // The controller stops Timer3, clears PanelOpen and starts Timer3 anew; the height read and
    // written in between shows in nothing the timer does.
    const bool tall = IsTall(clientHeight());
    expectHandled(controller_->click("Command34"), command34_);
    if (tall) {
        setClientHeight(TwipsToPixels(kCompactClientTwips));
        setCommand34Caption(kShowDataCaption);
    } else {
        setClientHeight(TwipsToPixels(kTraceClientTwips));
        setCommand34Caption(kHideDataCaption);
    }
}

void Form1::setCommand34Caption(std::string_view caption) {
    ControlFactory::setButtonCaption(command34_, FromUtf8(caption));
}

void Form1::sendManual() {
    // One byte a character; what Latin-1 cannot hold goes as "?". Characters, not UTF-16 units: a
    // character outside the Basic Multilingual Plane is one "?", not two.
    const auto characters = text1_->text().toUcs4();
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(characters.size()));
    for (const auto c : characters) bytes += c <= 0xFF ? static_cast<char>(c) : '?';
    controller_->sendManual(bytes);
}

void Form1::captionChanged(LabelId label, const std::string& caption) {
    switch (label) {
        case LabelId::SentTrace:
            sentTrace_->setCaption(caption);
            return;
        case LabelId::ReceivedTrace:
            receivedTrace_->setCaption(caption);
            return;
        case LabelId::DecodedReply:
            decodedReply_->setCaption(caption);
            return;
    }
}

void Form1::setPortSelectorVisible(bool visible) {
    frame8_->setVisible(visible);
}

void Form1::describePorts(const QString& com1, const QString& com2) {
    devices_ = {com1, com2};
    for (const auto& [option, caption, device] :
         {std::tuple{option1_, "COM1", &com1}, std::tuple{option2_, "COM2", &com2}}) {
        const QString text = QStringLiteral("%1: %2").arg(QLatin1String(caption), *device);
        option->setToolTip(text);
        option->setAccessibleDescription(text);
    }
}

void Form1::showLineWait(int port, const QString& device) {
    waitingPort_ = port;
    waitingDevice_ = device;
    updateTitle();
}

void Form1::showLineHeld(bool held) {
    waitingHeld_ = held;
    updateTitle();
}

void Form1::enablePortChooser(DevicePort& port, PanelSettings* remembered, QString byIdFolder) {
    devicePort_ = &port;
    remembered_ = remembered;
    byIdFolder_ = std::move(byIdFolder);
    if (!deviceMenus_)
        deviceMenus_ = new DeviceMenus(*this, *option1_, *option2_,
                                       [this](int chosen) { openPortChooser(chosen); });
}

void Form1::openPortChooser(int port) {
    if (!devicePort_) return;
    if (chooser_) chooser_->close();
    chooser_ = new PortChooser(port, devices_.of(port), byIdFolder_, QStringLiteral("/proc"), this);
    chooser_->setAttribute(Qt::WA_DeleteOnClose);
    connect(chooser_, &QDialog::accepted, this, [this, chooser = chooser_.data()] {
        applyChosenDevice(chooser->port(), chooser->chosenDevice());
    });
    // open(), never exec(): no event loop of its own while the dialog is up.
    chooser_->open();
}

void Form1::applyChosenDevice(int port, const QString& device) {
    devicePort_->setDevice(port, device);
    devices_.of(port) = device;
    describePorts(devices_.com1, devices_.com2);
    if (log_) log_->setDevice(port, QFile::encodeName(device).toStdString());
    if (remembered_ && !remembered_->remember(port, device)) reportSettingsProblem();
    // The port the operator has selected reopens on its new device, at the selected speed.
    QRadioButton* option = port == 2 ? option2_ : option1_;
    if (option->isChecked()) expectHandled(controller_->click(nameOf(option)), option);
}

void Form1::reportSettingsProblem() {
    if (!remembered_) return;
    if (const QString problem = remembered_->takeProblem(); !problem.isEmpty())
        prompter_.portProblem(this, problem);
}

void Form1::selectOption1() {
    // setChecked emits no clicked(): the controller runs the selection itself.
    option1_->setChecked(true);
}

void Form1::showPortSelectionFailure(const std::string& description) {
    const int port = port_.commPort();
    const FailureReply reply = prompter_.portSelectionFailed(
        this, QString::fromStdString(description), devicePort_ != nullptr);
    // After the selection has finished and fallen back, never inside it.
    if (reply == FailureReply::ChoosePort)
        QMetaObject::invokeMethod(
            this, [this, port] { openPortChooser(port); }, Qt::QueuedConnection);
}

void Form1::notifyPortProblem(const std::string& text) {
    prompter_.portProblem(this, QString::fromStdString(text));
}

void Form1::endProgram() {
    close();
    emit programEnded();
}

bool Form1::event(QEvent* event) {
    if (event->type() == QEvent::WindowDeactivate) holds_.endHold();
    // The window manager's frame shows first in the move that framing the window causes.
    if (awaitingFrame_ && (event->type() == QEvent::Move || event->type() == QEvent::Show))
        placeByRealFrame();
    return QWidget::event(event);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched == windowHandle()) {
        // The window sees the key first, and the control with the focus still gets it after.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (isKeyChord(key->key(), key->modifiers())) keyChord();
        if (deviceMenus_ && deviceMenus_->openFromKey(*key)) return true;
        if (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier) {
            // The platform turns the Menu key into a context menu event; Shift+F10 is asked
            // for in the same way.
            QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(), QCursor::pos());
            QCoreApplication::sendEvent(windowHandle(), &menu);
            return true;
        }
        return false;
    }
    if (watched == image1_ && event->type() == QEvent::MouseButtonDblClick) {
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) logoDoubleClicked();
        return true;
    }
    return false;
}

void Form1::paintEvent(QPaintEvent*) {
    // The outline of the cursor cross, beneath the buttons. Square caps close the corners.
    QPainter painter(this);
    painter.setPen(
        QPen(QColor::fromRgb(kLineColour), kLineWidthPixels, Qt::SolidLine, Qt::SquareCap));
    for (const LineSpec& line : Lines()) {
        painter.drawLine(TwipsToPixels(line.x1), TwipsToPixels(line.y1), TwipsToPixels(line.x2),
                         TwipsToPixels(line.y2));
    }
}

void Form1::stopEverything() {
    holds_.endHold();
    for (Timer* timer :
         {static_cast<Timer*>(&repeatTimer_), static_cast<Timer*>(&replyWindowTimer_),
          static_cast<Timer*>(&selectorHideTimer_), static_cast<Timer*>(&clearingTimer_)})
        timer->setEnabled(false);
}

void Form1::closeEvent(QCloseEvent* event) {
    // Closing by the title bar has no step of its own but must still release the port; no timer
    // may then send on a closed port.
    stopEverything();
    controller_->closePort();
    // Closed or not: a wait for a lost line ends here too.
    (void)port_.setOpen(false);
    event->accept();
}

void Form1::contextMenuEvent(QContextMenuEvent* event) {
    // A menu asked for from the keyboard, on a control that has none of its own, is the log's:
    // the trace labels take no focus, so the keyboard could not reach it otherwise.
    if (event->reason() != QContextMenuEvent::Keyboard) {
        event->ignore();
        return;
    }
    logMenu_->popup(event->globalPos());
}

void Form1::setSessionLog(SessionLog& log) {
    log_ = &log;
    logMenu_->setLog(&log);
    controller_->setSessionObserver(&log);
    log.setFailureHandler([this](const std::string& text) {
        updateTitle();
        prompter_.logProblem(this, QString::fromStdString(text));
    });
}

bool Form1::startLog(const QString& path) {
    if (!log_) return false;
    const auto refused =
        log_->start(QFile::encodeName(path).toStdString(), controller_->state().CommSettings);
    if (refused) {
        const QString what = refused->stage == LogRefusal::Stage::Open
                                 ? QStringLiteral("cannot be opened")
                                 : QStringLiteral("cannot be written");
        prompter_.logProblem(this, QStringLiteral("The log %1 %2 (%3). The panel goes on without "
                                                  "a log.")
                                       .arg(path, what, QString::fromStdString(refused->reason)));
    }
    updateTitle();
    return !refused;
}

void Form1::stopLog() {
    if (log_) log_->stop();
    updateTitle();
}

void Form1::updateTitle() {
    QString title = FromUtf8(kWindowCaption);
    if (waitingPort_ != 0)
        title += QStringLiteral(" \u2014 COM%1 lost, waiting for %2")
                     .arg(waitingPort_)
                     .arg(waitingDevice_);
    if (waitingPort_ != 0 && waitingHeld_)
        title += QStringLiteral(" (the device server still holds the line)");
    if (log_ && log_->active()) {
        const QString path = QFile::decodeName(QByteArray::fromStdString(log_->path()));
        title += QStringLiteral(" \u2014 logging to ") + QFileInfo(path).fileName();
    }
    setWindowTitle(title);
}

void Form1::hideEvent(QHideEvent* event) {
    holds_.endHold();
    QWidget::hideEvent(event);
}

}  // namespace panel
