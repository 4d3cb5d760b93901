// A soak line against the real simulator: restarted at the same link, its logs read as they grow,
// the speed the client set seen in them, and a frame nobody expected caught.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "core/monotonic.h"
#include "tools/soak/sim_line.h"

namespace panel::soak {
namespace {

bool waitUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 2000 && !done(); ++i) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

// Writes `frame` and CR into the line at `speed`, as the panel's port would.
void send(const QString& link, speed_t speed, const char* frame) {
    const int fd = ::open(link.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetspeed(&t, speed);
    tcsetattr(fd, TCSANOW, &t);
    const std::string bytes = std::string(frame) + "\r";
    EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    tcdrain(fd);
    ::close(fd);
}

TEST(SoakLine, FramesAreCheckedPerIncarnationAcrossARestartAtTheSameLink) {
    QTemporaryDir dir;
    SimLine line(1, QStringLiteral(PROJECTOR_SIM_BINARY), dir.path());
    line.start({});
    ASSERT_TRUE(waitUntil([&] { return line.live() && line.live()->up; }));
    const std::int64_t sent = MonotonicMicros();
    line.live()->ledger.expect({"C00", 9600, sent, sent, 1, 1, 0, 1});
    send(line.link(), B9600, "C00");
    ASSERT_TRUE(waitUntil(
        [&] { return line.check(MonotonicMicros(), 10'000'000).empty() && line.caughtUp(); }));
    EXPECT_EQ(line.checked(), 1u);

    const int first = line.live()->id;
    line.stop();
    ASSERT_TRUE(waitUntil([&] { return line.live() == nullptr; }));
    line.start({"--no-reply"});
    ASSERT_TRUE(waitUntil([&] { return line.live() && line.live()->up; }));
    EXPECT_NE(line.live()->id, first);

    // The new incarnation expects nothing: a frame arriving there is caught, with where it came.
    send(line.link(), B19200, "CR0");
    std::string broken;
    ASSERT_TRUE(waitUntil([&] {
        broken = line.check(MonotonicMicros(), 10'000'000);
        return !broken.empty();
    }));
    EXPECT_NE(broken.find("COM1 simulator #2"), std::string::npos) << broken;
    EXPECT_NE(broken.find("\"CR0\" arrived but no operation sent it"), std::string::npos) << broken;
    EXPECT_EQ(line.checked(), 1u) << "the first incarnation's frame, counted once it was settled";
}

}  // namespace
}  // namespace panel::soak
