// A line lost and back again behind a fixed link, as a by-id name is: the window opens it by
// itself at the speed selected at that moment, sends what is clicked after it and nothing clicked
// while it was down, and says in its title that it waits.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QSerialPort>
#include <QTest>
#include <memory>

#include "testkit/controls.h"
#include "testkit/frame_log_reader.h"
#include "testkit/pseudo_terminal.h"
#include "tests/e2e/panel_rig.h"
#include "tests/e2e/sim_fixture.h"
#include "tests/e2e/sim_process.h"

namespace panel::e2e {
namespace {

// The far end of the line: made and linked, gone with its link.
class LineEnd {
public:
    virtual ~LineEnd() = default;
    virtual bool start(const std::string& link) = 0;
    virtual void stop() = 0;
    // How often `frame` (without its CR) reached the far end since it was last started.
    virtual std::size_t count(const std::string& frame) = 0;
    // The speed the line runs at, as the far end or the adapter sees it.
    virtual int baud(const PanelRig& rig) = 0;
};

class PtyEnd final : public LineEnd {
public:
    bool start(const std::string& link) override {
        link_ = link;
        line_ = std::make_unique<test::PseudoTerminal>();
        received_.clear();
        ::unlink(link.c_str());
        return line_->ok() && ::symlink(line_->path().toLocal8Bit().constData(), link.c_str()) == 0;
    }
    // The adapter hangs up and its link goes, as when it is pulled out.
    void stop() override {
        line_->hangUp();
        line_.reset();
        ::unlink(link_.c_str());
    }
    std::size_t count(const std::string& frame) override {
        received_ += line_->drain();
        std::size_t n = 0;
        for (std::size_t at = received_.find(frame + '\r'); at != std::string::npos;
             at = received_.find(frame + '\r', at + 1))
            ++n;
        return n;
    }
    int baud(const PanelRig&) override {
        const termios attributes = line_->attributes();
        return cfgetospeed(&attributes) == B9600 ? 9600 : 19200;
    }

private:
    std::string link_;
    std::unique_ptr<test::PseudoTerminal> line_;
    std::string received_;
};

// projector-sim stopped and started again at its --link, which it removes when it ends.
class SimEnd final : public LineEnd {
public:
    explicit SimEnd(std::string logPath) : log_(logPath), logPath_(std::move(logPath)) {}
    bool start(const std::string& link) override {
        ::unlink(logPath_.c_str());
        sim_ = std::make_unique<SimProcess>(
            std::vector<std::string>{"--link", link, "--log", logPath_, "--warmup", "1"});
        return !sim_->device().empty();
    }
    void stop() override { sim_.reset(); }
    std::size_t count(const std::string& frame) override { return log_.count(frame); }
    int baud(const PanelRig& rig) override { return rig.localPort().device().baudRate(); }

private:
    test::FrameLogReader log_;
    std::string logPath_;
    std::unique_ptr<SimProcess> sim_;
};

QString caption(const PanelRig& rig) {
    return const_cast<PanelRig&>(rig).form().windowTitle();
}

struct EndCase {
    const char* name;
    friend void PrintTo(const EndCase& c, std::ostream* os) { *os << c.name; }
    std::unique_ptr<LineEnd> (*make)(const ScratchDir& scratch);
};

class LineReturnTest : public ::testing::TestWithParam<EndCase> {
protected:
    void SetUp() override {
        end = GetParam().make(scratch);
        ASSERT_TRUE(end->start(link));
        rig = std::make_unique<PanelRig>(QString::fromStdString(link),
                                         QStringLiteral("/nonexistent/panel-e2e-com2"), &watcher);
        ASSERT_TRUE(rig->port().isOpen());
        ASSERT_TRUE(rig->openFullPanel());
        title = caption(*rig);
    }
    void TearDown() override {
        rig.reset();
        end.reset();
    }

    ScratchDir scratch;
    std::string link = scratch / "by-id-link";
    LineWatcher watcher{QStringList{}};
    std::unique_ptr<LineEnd> end;
    std::unique_ptr<PanelRig> rig;
    QString title;
};

TEST_P(LineReturnTest, ReopensAtTheSpeedSelectedMeanwhileAndSendsOnlyLaterClicks) {
    end->stop();
    const QString waiting = QStringLiteral("COM1 lost, waiting for %1").arg(link.c_str());
    ASSERT_TRUE(PanelRig::waitFor([&] { return caption(*rig).endsWith(waiting); }))
        << caption(*rig).toStdString();
    rig->click(controls::kPortSelector);
    rig->click(controls::kBaud9600);
    rig->click(controls::kPowerOn);  // on a line that is down

    ASSERT_TRUE(end->start(link));
    ASSERT_TRUE(PanelRig::waitFor([&] { return rig->port().isOpen(); }));
    EXPECT_EQ(caption(*rig), title);
    EXPECT_EQ(end->baud(*rig), 9600);
    rig->click(controls::kStatus);
    EXPECT_TRUE(PanelRig::waitFor([&] { return end->count("CR0") == 1; }));
    EXPECT_EQ(end->count("C00"), 0u) << "a click made while the line was down was sent later";
    EXPECT_EQ(rig->prompts().problems.size(), 1) << "the loss, told once";
    EXPECT_TRUE(rig->prompts().failures.isEmpty()) << "no box for the return";
}

TEST_P(LineReturnTest, SelectingAPortByHandEndsTheWait) {
    end->stop();
    ASSERT_TRUE(PanelRig::waitFor([&] { return caption(*rig) != title; }));
    rig->click(controls::kPortSelector);
    rig->click(controls::kCom2);  // a device that does not exist: the box says so
    EXPECT_EQ(caption(*rig), title);
    EXPECT_EQ(rig->prompts().failures.size(), 1);
    ASSERT_TRUE(end->start(link));
    QTest::qWait(1000);
    EXPECT_FALSE(rig->port().isOpen()) << "the wait went on after the operator's selection";
}

INSTANTIATE_TEST_SUITE_P(
    Ends, LineReturnTest,
    ::testing::Values(EndCase{"PseudoTerminal",
                              [](const ScratchDir&) -> std::unique_ptr<LineEnd> {
                                  return std::make_unique<PtyEnd>();
                              }},
                      EndCase{"Simulator",
                              [](const ScratchDir& scratch) -> std::unique_ptr<LineEnd> {
                                  return std::make_unique<SimEnd>(scratch / "frames.log");
                              }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineReturnObstacleTest, ANodeThatWillNotOpenIsToldOnceAndTheWaitGoesOn) {
    ScratchDir scratch;
    const std::string link = scratch / "by-id-link";
    PtyEnd end;
    ASSERT_TRUE(end.start(link));
    LineWatcher watcher{QStringList{}};
    PanelRig rig(QString::fromStdString(link), QStringLiteral("/nonexistent/com2"), &watcher);
    end.stop();
    ASSERT_TRUE(PanelRig::waitFor([&] { return rig.prompts().problems.size() == 1; }));
    // A node that is there but is no serial port: told once, however often it is tried.
    ASSERT_EQ(::symlink("/dev/null", link.c_str()), 0);
    ASSERT_TRUE(PanelRig::waitFor([&] { return rig.prompts().problems.size() == 2; }));
    QTest::qWait(2500);
    EXPECT_EQ(rig.prompts().problems.size(), 2) << rig.prompts().problems.join('\n').toStdString();
    EXPECT_TRUE(rig.prompts().problems.back().contains(QStringLiteral("not a serial port")))
        << rig.prompts().problems.back().toStdString();
    ASSERT_TRUE(end.start(link));
    EXPECT_TRUE(PanelRig::waitFor([&] { return rig.port().isOpen(); }));
}

}  // namespace
}  // namespace panel::e2e
