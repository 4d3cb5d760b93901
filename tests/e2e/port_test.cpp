// The line itself going wrong: the simulator hangs up like an unplugged adapter and comes back,
// and a second panel finds the device taken.
#include <gtest/gtest.h>

#include <QSerialPort>
#include <chrono>

#include "testkit/controls.h"
#include "tests/e2e/sim_fixture.h"

namespace panel::e2e {
namespace {

using namespace std::chrono_literals;

TEST(HangUpTest, ReportedOnceWindowRunsOnAndReselectingCom1ReopensTheReturnedLine) {
    ScratchDir scratch;
    const std::string link = scratch / "com1";
    auto first = std::make_unique<SimProcess>(
        std::vector<std::string>{"--link", link, "--hangup-after", "2"});
    ASSERT_FALSE(first->device().empty());
    PanelRig rig(QString::fromStdString(link));
    ASSERT_TRUE(rig.port().isOpen()) << rig.prompts().failures.join('\n').toStdString();
    ASSERT_TRUE(rig.openFullPanel());

    ASSERT_TRUE(PanelRig::waitFor([&] { return !rig.prompts().problems.isEmpty(); }))
        << "the hang-up was never reported";
    EXPECT_TRUE(rig.prompts().problems.front().startsWith(QString::fromStdString(link + ": ")))
        << rig.prompts().problems.front().toStdString();
    EXPECT_FALSE(rig.port().isOpen());

    // Sends on the dead line: a query runs its reply window to the no-answer mark, a hold repeats
    // and ends; neither is reported again.
    rig.click(controls::kStatus);
    EXPECT_TRUE(rig.waitForText("Label12", QStringLiteral(" X X X X")));
    rig.hold(controls::kVolumeUp, 600ms);
    EXPECT_EQ(rig.prompts().problems.size(), 1);
    EXPECT_TRUE(rig.prompts().failures.isEmpty());
    EXPECT_TRUE(rig.form().isVisible());

    ASSERT_TRUE(PanelRig::waitFor([&] { return first->exited(); }));
    EXPECT_EQ(first->exitStatus(), 0);
    SimProcess second({"--link", link});
    ASSERT_FALSE(second.device().empty());

    rig.click(controls::kPortSelector);  // "COM"
    ASSERT_TRUE(rig.control("Frame8")->isVisible());
    rig.click(controls::kCom1);  // "COM1"
    EXPECT_TRUE(rig.prompts().failures.isEmpty())
        << rig.prompts().failures.join('\n').toStdString();
    ASSERT_TRUE(rig.port().isOpen());
    EXPECT_FALSE(rig.control("Frame8")->isVisible());

    rig.click(controls::kStatus);
    EXPECT_TRUE(rig.waitForText("Label22", ExpectedCaption("CR0", "80")))
        << rig.text("Label22").toStdString();
    EXPECT_EQ(rig.prompts().problems.size(), 1);
}

// What QSerialPort itself says when `path` cannot be opened.
QString qtsOwnOpenFailure(const QString& path) {
    QSerialPort plain;
    plain.setPortName(path);
    if (plain.open(QIODevice::ReadWrite)) return QStringLiteral("<it opened>");
    return plain.errorString();
}

class PortBusyTest : public SimFixture {};

TEST_F(PortBusyTest, SecondPanelReportsTheFailureAndTakesTheLineOnceItIsFree) {
    start({});
    const QString device = QString::fromStdString(sim->device());
    auto second = std::make_unique<PanelRig>(device);

    ASSERT_EQ(second->prompts().failures.size(), 1)
        << second->prompts().failures.join('\n').toStdString();
    // Qt's words, then the line that says who has the port.
    EXPECT_TRUE(second->prompts().failures.front().startsWith(qtsOwnOpenFailure(device) + '\n'))
        << second->prompts().failures.front().toStdString();
    EXPECT_TRUE(
        second->prompts().failures.front().contains(device + QStringLiteral(" is in use by ")));
    EXPECT_FALSE(second->port().isOpen());
    EXPECT_TRUE(second->form().isVisible());

    // The first panel keeps the line.
    rig->click(controls::kStatus);
    EXPECT_TRUE(rig->waitForText("Label22", ExpectedCaption("CR0", "80")));

    // Once it lets go, selecting "COM1" in the second takes the line.
    rig.reset();
    ASSERT_TRUE(second->openFullPanel());
    second->click(controls::kPortSelector);
    second->click(controls::kCom1);
    EXPECT_EQ(second->prompts().failures.size(), 1);
    ASSERT_TRUE(second->port().isOpen());
    second->click(controls::kStatus);
    EXPECT_TRUE(second->waitForText("Label22", ExpectedCaption("CR0", "80")))
        << second->text("Label22").toStdString();
    EXPECT_TRUE(second->prompts().problems.isEmpty());
}

}  // namespace
}  // namespace panel::e2e
