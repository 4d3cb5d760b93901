// The window over the real serial adapter, the projector's end being a pseudo-terminal.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "serial/qt_serial_port.h"
#include "tests/support/controls.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/recording_prompter.h"
#include "tests/ui/qt_printers.h"
#include "ui/form1.h"

namespace panel::test {
namespace {

speed_t speedOf(const PseudoTerminal& line) {
    const termios attributes = line.attributes();
    return cfgetospeed(&attributes);
}

class PtyWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(line.ok());
        port = std::make_unique<QtSerialPort>(
            PortDevices{line.path(), QStringLiteral("/nonexistent/com2")});
        form = std::make_unique<Form1>(*port, &prompter);
        form->load();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        ASSERT_TRUE(prompter.failures.isEmpty()) << prompter.failures.join('\n').toStdString();
        ASSERT_TRUE(port->isOpen());
    }
    void TearDown() override {
        form.reset();
        port.reset();
    }
    void click(const char* name) {
        QTest::mouseClick(form->findChild<QWidget*>(QString::fromLatin1(name)), Qt::LeftButton);
    }

    PseudoTerminal line;
    RecordingPrompter prompter;
    std::unique_ptr<QtSerialPort> port;
    std::unique_ptr<Form1> form;
};

TEST_F(PtyWindowTest, PowerOnWritesItsFrameToTheLineAndItsTraceToLabel11) {
    click(controls::kPowerOn);
    EXPECT_EQ(line.read(4), "C00\r");
    EXPECT_EQ(form->findChild<QLabel*>(QStringLiteral("Label11"))->text(),
              QStringLiteral(" C 0 0 CR "));
    EXPECT_TRUE(prompter.problems.isEmpty());
}

TEST_F(PtyWindowTest, ComShowsTheSelectorAnd9600HidesItAndSlowsTheOpenLine) {
    EXPECT_EQ(speedOf(line), speed_t(B19200));
    QWidget* frame8 = form->findChild<QWidget*>(QStringLiteral("Frame8"));
    click(controls::kPortSelector);
    EXPECT_TRUE(frame8->isVisible());
    click(controls::kBaud9600);
    EXPECT_FALSE(frame8->isVisible());
    EXPECT_TRUE(port->isOpen());
    EXPECT_EQ(speedOf(line), speed_t(B9600));
    click(controls::kPowerOn);
    EXPECT_EQ(line.read(4), "C00\r");  // still the same open line
}

TEST_F(PtyWindowTest, ClosingTheWindowReleasesTheLine) {
    form->close();
    EXPECT_FALSE(port->isOpen());
}

}  // namespace
}  // namespace panel::test
