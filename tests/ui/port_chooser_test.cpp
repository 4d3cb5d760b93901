// The port chooser, driven with Qt's test events over the real adapters: reached from the box of a
// failed open and from the options' context menu by keyboard, following a by-id folder of the
// test's own, checking URLs as typed, and kept for the next start in a settings folder of its own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "serial/line_stack.h"
#include "serial/port_url.h"
#include "settings/panel_settings.h"
#include "testkit/pseudo_terminal.h"
#include "tests/support/recording_prompter.h"
#include "tests/ui/qt_printers.h"
#include "ui/form1.h"
#include "ui/port_chooser.h"

namespace panel::test {
namespace {

// The adapters, the window and the remembered devices, as main() wires them.
struct ChooserRig {
    ChooserRig(const PortDevices& devices, const QString& byId, Prompter* prompter)
        : line(LineConfig{devices}), form(std::make_unique<Form1>(line.port(), prompter)) {
        form->describePorts(devices.com1, devices.com2);
        form->enablePortChooser(line.port(), &settings, byId);
    }
    LineStack line;
    PanelSettings settings;
    std::unique_ptr<Form1> form;  // gone first
};

class PortChooserTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(line.ok());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
        stable = byId.filePath(QStringLiteral("usb-Sim_Projector_0001-if00-port0"));
        ASSERT_TRUE(QFile::link(line.path(), stable));
    }
    PortDevices missingCom1() const {
        return {config.filePath(QStringLiteral("ttyUSB-gone")),
                config.filePath(QStringLiteral("ttyUSB-gone2"))};
    }
    static void choose(PortChooser* chooser, const QString& device) {
        auto* field = chooser->findChild<QLineEdit*>(QStringLiteral("PortDevice"));
        field->clear();
        QTest::keyClicks(field, device);
        chooser->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    }

    PseudoTerminal line;
    QTemporaryDir config;
    QTemporaryDir byId;
    QString stable;
};

// Presses "Choose port…" in the failed-open box as soon as it is up.
void pressChoosePortWhenShown() {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (!box || !box->isVisible()) continue;
            box->findChild<QPushButton*>(QStringLiteral("ChoosePort"))->click();
            poll->deleteLater();
        }
    });
    poll->start(10);
}

TEST_F(PortChooserTest, ChoosePortInTheFailedOpenBoxReachesTheLineAndTheNextStartOpensIt) {
    {
        ChooserRig rig(missingCom1(), byId.path(), nullptr);  // message boxes, as shipped
        pressChoosePortWhenShown();
        rig.form->load();
        rig.form->show();
        QTest::mouseClick(rig.form->findChild<QRadioButton*>(QStringLiteral("Option10")),
                          Qt::LeftButton);  // 9600, on the closed line
        QTRY_VERIFY(rig.form->portChooser() && rig.form->portChooser()->isVisible());
        EXPECT_EQ(rig.form->portChooser()->port(), 1);
        choose(rig.form->portChooser(), line.path());

        ASSERT_TRUE(rig.line.port().isOpen());
        EXPECT_EQ(rig.line.port().deviceName(), stable.toStdString());  // kept by its stable name
        const termios attributes = line.attributes();
        EXPECT_EQ(cfgetospeed(&attributes), B9600);
        EXPECT_EQ(rig.form->findChild<QRadioButton*>(QStringLiteral("Option1"))->toolTip(),
                  QStringLiteral("COM1: ") + stable);
    }
    RecordingPrompter prompter;
    PanelSettings next;
    const PortDevices remembered = next.devices(missingCom1());
    EXPECT_EQ(remembered.com1, stable);
    ChooserRig rig(remembered, byId.path(), &prompter);
    rig.form->load();
    EXPECT_TRUE(prompter.failures.isEmpty()) << prompter.failures.join('\n').toStdString();
    EXPECT_TRUE(rig.line.port().isOpen());
}

struct MenuKeyCase {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* option;
    int port;
};

class MenuKeyTest : public PortChooserTest, public ::testing::WithParamInterface<MenuKeyCase> {};

TEST_P(MenuKeyTest, OpensTheDeviceMenuOfTheFocusedOptionAndItsEntryTheChooser) {
    RecordingPrompter prompter;
    ChooserRig rig(missingCom1(), byId.path(), &prompter);
    rig.form->load();
    rig.form->show();
    rig.form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(rig.form.get()));
    QTest::mouseClick(rig.form->findChild<QPushButton*>(QStringLiteral("Command33")),
                      Qt::LeftButton);
    auto* option = rig.form->findChild<QRadioButton*>(QString::fromLatin1(GetParam().option));
    option->setFocus();
    QTest::keyClick(rig.form->windowHandle(), GetParam().key, GetParam().modifiers);

    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->objectName(), QStringLiteral("DeviceMenu%1").arg(GetParam().port));
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("Device for COM%1…").arg(GetParam().port));
    menu->actions()[0]->trigger();
    menu->close();
    ASSERT_NE(rig.form->portChooser(), nullptr);
    EXPECT_EQ(rig.form->portChooser()->port(), GetParam().port);
    EXPECT_EQ(rig.form->portChooser()->windowTitle(),
              QStringLiteral("Device for COM%1").arg(GetParam().port));
}

INSTANTIATE_TEST_SUITE_P(
    Keys, MenuKeyTest,
    ::testing::Values(MenuKeyCase{"menu_key_com1", Qt::Key_Menu, Qt::NoModifier, "Option1", 1},
                      MenuKeyCase{"shift_f10_com1", Qt::Key_F10, Qt::ShiftModifier, "Option1", 1},
                      MenuKeyCase{"menu_key_com2", Qt::Key_Menu, Qt::NoModifier, "Option2", 2},
                      MenuKeyCase{"shift_f10_com2", Qt::Key_F10, Qt::ShiftModifier, "Option2", 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PortChooserTest, TheListFollowsLinksAppearingAndVanishing) {
    PortChooser chooser(2, QString(), byId.path());
    chooser.show();
    auto* list = chooser.findChild<QTreeWidget*>(QStringLiteral("PortList"));
    const auto rowFor = [list](const QString& device) {
        const QList<QTreeWidgetItem*> rows = list->findItems(device, Qt::MatchExactly, 0);
        return rows.isEmpty() ? nullptr : rows.first();
    };
    QTRY_VERIFY_WITH_TIMEOUT(rowFor(line.path()) != nullptr, 2000);
    EXPECT_EQ(rowFor(line.path())->text(4), QFileInfo(stable).fileName());

    PseudoTerminal plugged;
    ASSERT_TRUE(QFile::link(plugged.path(), byId.filePath(QStringLiteral("usb-plugged"))));
    QTRY_VERIFY_WITH_TIMEOUT(rowFor(plugged.path()) != nullptr, 2000);
    ASSERT_TRUE(QFile::remove(byId.filePath(QStringLiteral("usb-plugged"))));
    QTRY_VERIFY_WITH_TIMEOUT(rowFor(plugged.path()) == nullptr, 2000);

    // A row taken fills the field with the stable name.
    list->setCurrentItem(rowFor(line.path()));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(rowFor(line.path())).center());
    EXPECT_EQ(chooser.findChild<QLineEdit*>(QStringLiteral("PortDevice"))->text(), stable);
}

struct TypedCase {
    const char* typed;
    bool accepted;
    const char* verdict;  // nullptr: the URL parser's own reason
};

TEST(PortChooserFieldTest, EachTextIsCheckedAsItIsTyped) {
    const TypedCase cases[] = {
        {"socket://127.0.0.1:4002", true, ""},
        {"rfc2217://[::1]:4001", true, ""},
        {"/dev/ttyUSB0", true, ""},
        {"rfc2217://hall-a", false, nullptr},
        {"socket://127.0.0.1:70000", false, nullptr},
        {"telnet://hall-a:23", false, nullptr},
        {"ttyUSB0", true, "Taken as /dev/ttyUSB0."},
        {"./ttyUSB0", false,
         "Give the device's full path, such as /dev/ttyUSB0, or a URL, such as "
         "rfc2217://HOST:PORT."},
        {"   ", false, ""},
    };
    QTemporaryDir byId;
    PortChooser chooser(1, QString(), byId.path());
    auto* field = chooser.findChild<QLineEdit*>(QStringLiteral("PortDevice"));
    auto* verdict = chooser.findChild<QLabel*>(QStringLiteral("PortDeviceProblem"));
    QPushButton* ok = chooser.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    for (const TypedCase& c : cases) {
        const QString typed = QString::fromLatin1(c.typed);
        field->clear();
        QTest::keyClicks(field, typed);
        const QString expected =
            c.verdict
                ? QString::fromLatin1(c.verdict)
                : QStringLiteral("Not a device-server URL: %1.").arg(parsePortUrl(typed).error);
        EXPECT_EQ(ok->isEnabled(), c.accepted) << c.typed;
        EXPECT_EQ(verdict->text(), expected) << c.typed;
    }
}

}  // namespace
}  // namespace panel::test
