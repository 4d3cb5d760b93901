// The window over the real serial adapter, the projector's end being a pseudo-terminal.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <thread>

#include "serial/qt_serial_port.h"
#include "testkit/controls.h"
#include "testkit/pseudo_terminal.h"
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

// The port cannot take a megabyte at once: what it refuses for now goes out in pieces from the
// event loop, so a click in the meantime is answered, and its frame follows the paste.
TEST_F(PtyWindowTest, OneMegabytePasteIsWrittenWholeWhileTheWindowKeepsAnswering) {
    std::string paste(1 << 20, ' ');
    for (std::size_t i = 0; i < paste.size(); ++i) paste[i] = static_cast<char>('!' + i % 94);
    const std::string expected = paste + "\rC00\r";

    form->keyChord();
    form->logoDoubleClicked();
    auto* text1 = form->findChild<QLineEdit*>(QStringLiteral("Text1"));
    text1->setText(QString::fromLatin1(paste.data(), static_cast<qsizetype>(paste.size())));
    ASSERT_EQ(text1->text().size(), static_cast<qsizetype>(paste.size())) << "cut short";
    // Started after the last assertion that could leave it unjoined.
    std::string received;
    std::thread reader([&] { received = line.read(expected.size(), std::chrono::seconds(60)); });
    click("Command95");
    EXPECT_GT(port->device().bytesToWrite(), 0) << "all written before the event loop ran";
    click("Command17");
    EXPECT_EQ(form->findChild<QLabel*>(QStringLiteral("Label11"))->text(),
              QStringLiteral(" C 0 0 CR "));
    EXPECT_TRUE(QTest::qWaitFor([&] { return port->device().bytesToWrite() == 0; }, 60000));
    reader.join();
    EXPECT_EQ(received.size(), expected.size());
    EXPECT_TRUE(received == expected) << "bytes lost or out of order";
    EXPECT_TRUE(prompter.problems.isEmpty());
}

TEST_F(PtyWindowTest, ClosingTheWindowReleasesTheLine) {
    form->close();
    EXPECT_FALSE(port->isOpen());
}

}  // namespace
}  // namespace panel::test
