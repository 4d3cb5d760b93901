// The session log: each event's line, the stamp, appending across runs, and files that refuse.
#include "serial/session_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

namespace panel {
namespace {

using Kind = SessionEventKind;
using namespace std::string_view_literals;

struct LineCase {
    const char* name;
    friend void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }
    SessionEvent event;
    std::string_view expected;  // after the stamp, COM name and device
};

class SessionLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(SessionLineTest, GivesOneTabSeparatedLine) {
    std::string line = "kept";
    AppendSessionLine(line, "2026-12-09T14:03:07.123", {"COM2", "rfc2217://hall-a:4001"},
                      GetParam().event);
    EXPECT_EQ(line, "kept2026-12-09T14:03:07.123\tCOM2\trfc2217://hall-a:4001\t" +
                        std::string(GetParam().expected) + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Table, SessionLineTest,
    ::testing::Values(
        LineCase{"Open", {Kind::Open, 2, "19200,N,8,1"}, "open\t19200,N,8,1"},
        LineCase{"SentFrame", {Kind::Sent, 2, "CR0\r"}, "sent\t C R 0 CR \t43 52 30 0D"},
        LineCase{"ReceivedBytesNoTraceShows",
                 {Kind::Received, 2, "\x00\x7F\xFF"sv},
                 "received\t ? ? ? \t00 7F FF"},
        LineCase{
            "ReceivedControls", {Kind::Received, 2, "\x06\x14\n"}, "received\t ACK &LF \t06 14 0A"},
        LineCase{"Answer", {Kind::Answer, 2, " Power ON"}, "answer\t Power ON"},
        LineCase{"NoAnswer", {Kind::Answer, 2, " X X X X"}, "answer\t X X X X"},
        LineCase{"NothingDecoded", {Kind::Answer, 2, ""}, "answer\t"},
        LineCase{"Speed", {Kind::Speed, 2, "9600,N,8,1"}, "speed\t9600,N,8,1"},
        LineCase{"LostReasonKeepsToItsField",
                 {Kind::Lost, 2, "the server\tclosed\r\nit"},
                 "lost\tthe server closed  it"},
        LineCase{"Reopened", {Kind::Reopened, 2, "9600,N,8,1"}, "reopened\t9600,N,8,1"},
        LineCase{"Closed", {Kind::Closed, 2, ""}, "closed\t"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LocalStampTest, MillisecondsAcrossASecondBoundary) {
    setenv("TZ", "UTC", 1);
    tzset();
    using namespace std::chrono;
    const system_clock::time_point base{seconds{1796824987}};  // 2026-12-09T14:03:07Z
    LocalStamp stamp;
    EXPECT_EQ(stamp.at(base + 123ms), "2026-12-09T14:03:07.123");
    EXPECT_EQ(stamp.at(base + 999ms), "2026-12-09T14:03:07.999");
    EXPECT_EQ(stamp.at(base + 1007ms), "2026-12-09T14:03:08.007");
    EXPECT_EQ(stamp.at(base + 60s), "2026-12-09T14:04:07.000");
    unsetenv("TZ");
    tzset();
}

QStringList linesOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

class SessionLogTest : public ::testing::Test {
protected:
    SessionLogTest() {
        log.setFailureHandler([this](const std::string& t) { failures.push_back(t); });
    }

    QTemporaryDir dir;
    SessionLog log{"projector-panel 1.40",
                   {LoggedPort{"COM1", "/dev/a"}, LoggedPort{"COM2", "/dev/b"}}};
    std::vector<std::string> failures;
};

TEST_F(SessionLogTest, ASecondRunAppendsAfterTheFirst) {
    const QString path = dir.filePath(QStringLiteral("session.log"));
    for (const char* frame : {"C00\r", "C01\r"}) {
        ASSERT_FALSE(log.start(path.toStdString(), "19200,N,8,1"));
        log.record({Kind::Sent, 2, frame});
        log.stop();
        log.record({Kind::Sent, 1, "dropped"});
    }
    const QStringList lines = linesOf(path);
    ASSERT_EQ(lines.size(), 6) << lines.join('\n').toStdString();
    for (int run : {0, 3}) {
        EXPECT_TRUE(lines[run].startsWith("# projector-panel 1.40, log started 20"));
        EXPECT_EQ(lines[run + 1], "# COM1 /dev/a\tCOM2 /dev/b\t19200,N,8,1");
        EXPECT_TRUE(lines[run + 2].contains("\tCOM2\t/dev/b\tsent\t C 0 "))
            << lines[run + 2].toStdString();
    }
    EXPECT_TRUE(failures.empty());
}

TEST_F(SessionLogTest, AnUnwritablePathIsRefusedWithItsReason) {
    const auto refused =
        log.start(dir.filePath("missing/session.log").toStdString(), "19200,N,8,1");
    ASSERT_TRUE(refused);
    EXPECT_EQ(*refused, "No such file or directory");
    EXPECT_FALSE(log.active());
}

TEST_F(SessionLogTest, AFullDiskIsToldOnceAndLoggingStops) {
    ASSERT_FALSE(log.start("/dev/full", "19200,N,8,1"));
    for (int i = 0; i < 3; ++i) log.record({Kind::Received, 1, "x"});
    EXPECT_THAT(failures, ::testing::ElementsAre(
                              "Writing the log /dev/full failed (No space left on device): "
                              "logging has stopped."));
    EXPECT_FALSE(log.active());
}

}  // namespace
}  // namespace panel
