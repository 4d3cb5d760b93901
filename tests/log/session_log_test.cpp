// The session log: each event's line, the stamp, and appending across runs.
#include "log/session_log.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <optional>
#include <vector>

#include "log/named_line_log.h"

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
    ::testing::Values(LineCase{"Open", {Kind::Open, 2, "19200,N,8,1"}, "open\t19200,N,8,1"},
                      LineCase{"Sent", {Kind::Sent, 2, "CR0\r"}, "sent\t C R 0 CR \t43 52 30 0D"},
                      LineCase{"ReceivedBytesNoTraceShows",
                               {Kind::Received, 2, "\x00\x7F\xFF"sv},
                               "received\t ? ? ? \t00 7F FF"},
                      LineCase{"ReceivedControls",
                               {Kind::Received, 2, "\x06\x14\n"},
                               "received\t ACK &LF \t06 14 0A"},
                      LineCase{"NoAnswer", {Kind::Answer, 2, " X X X X"}, "answer\t X X X X"},
                      LineCase{"NothingDecoded", {Kind::Answer, 2, ""}, "answer\t"},
                      LineCase{"LostReasonKeepsToItsField",
                               {Kind::Lost, 2, "the server\tclosed\r\nit"},
                               "lost\tthe server closed  it"},
                      LineCase{"Closed", {Kind::Closed, 2, ""}, "closed\t"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LocalStampTest, MillisecondsAcrossASecondBoundary) {
    setenv("TZ", "UTC", 1);
    tzset();
    using namespace std::chrono;
    const system_clock::time_point base{seconds{1796824987}};  // 2026-12-09T14:03:07Z
    LocalStamp stamp;
    EXPECT_EQ(stamp.at(base + 123ms), "2026-12-09T14:03:07.123");
    EXPECT_EQ(stamp.at(base + 1007ms), "2026-12-09T14:03:08.007");
    EXPECT_EQ(stamp.at(base + 60s), "2026-12-09T14:04:07.000");
    unsetenv("TZ");
    tzset();
}

TEST(SessionLogTest, ASecondRunAppendsAfterTheFirst) {
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("session.log")));
    SessionLog log{"projector-panel 1.40", {LoggedPort{"COM1", "/dev/a"}, LoggedPort{"COM2", ""}}};
    for (const char* frame : {"C00\r", "C01\r"}) {
        ASSERT_FALSE(log.start(file.fileName().toStdString(), "19200,N,8,1"));
        log.record({Kind::Sent, 1, frame});
        log.stop();
        log.record({Kind::Sent, 1, "dropped"});
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6) << lines.join('\n').toStdString();
    for (int run : {0, 3}) {
        EXPECT_TRUE(lines[run].startsWith("# projector-panel 1.40, log started 20"));
        EXPECT_EQ(lines[run + 1], "# COM1 /dev/a\tCOM2 \t19200,N,8,1");
        EXPECT_TRUE(
            lines[run + 2].endsWith(run ? "C 0 1 CR \t43 30 31 0D" : "C 0 0 CR \t43 30 30 0D"));
    }
}

struct StartCase {
    const char* name;
    friend void PrintTo(const StartCase& c, std::ostream* os) { *os << c.name; }
    const char* path;  // in the test's folder unless absolute
    std::optional<LogRefusal::Stage> refused;
    const char* reason;
};

class SessionLogStartTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(SessionLogStartTest, StartsOnlyWhenItsHeaderIsWritten) {
    QTemporaryDir dir;
    const StartCase& c = GetParam();
    const std::string path =
        c.path[0] == '/' ? c.path : dir.filePath(QString::fromLatin1(c.path)).toStdString();
    SessionLog log{"projector-panel 1.40", {LoggedPort{"COM1", "/dev/a"}, LoggedPort{"COM2", ""}}};
    int told = 0;
    log.setFailureHandler([&told](const std::string&) { ++told; });
    const auto refusal = log.start(path, "19200,N,8,1");
    ASSERT_EQ(refusal.has_value(), c.refused.has_value());
    EXPECT_EQ(log.active(), !c.refused);
    EXPECT_EQ(log.writeFailed(), c.refused == LogRefusal::Stage::Header);
    EXPECT_EQ(told, 0) << "a refused start is the caller's to tell";
    if (refusal) {
        EXPECT_EQ(refusal->stage, *c.refused);
        EXPECT_EQ(refusal->reason, c.reason);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, SessionLogStartTest,
    ::testing::Values(StartCase{"NewFile", "new.log", std::nullopt, ""},
                      StartCase{"NoSuchFolder", "no/such/folder.log", LogRefusal::Stage::Open,
                                "No such file or directory"},
                      StartCase{"AFolder", ".", LogRefusal::Stage::Open, "Is a directory"},
                      StartCase{"FullDisk", "/dev/full", LogRefusal::Stage::Header,
                                "No space left on device"}),
    [](const auto& info) { return std::string(info.param.name); });

// A fleet's log: the header names every line, and each event names the line it happened on.
TEST(SessionLogTest, NamedLinesShareOneLogEachUnderItsOwnName) {
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("fleet.log")));
    SessionLog log{"projector-panel 1.40", {LoggedPort{"COM1", "/dev/a"}, LoggedPort{"COM2", ""}}};
    const std::vector<LoggedPort> lines{{"Hall A", "socket://av:4002"}, {"講義室 101", "/dev/b"}};
    ASSERT_FALSE(log.start(file.fileName().toStdString(), lines));
    NamedLineLog hallA(log, lines[0]);
    NamedLineLog room(log, lines[1]);
    room.record({Kind::Open, 1, "9600,N,8,1"});
    hallA.record({Kind::Answer, 2, " X X X X"});
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList got = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(got.size(), 4) << got.join('\n').toStdString();
    EXPECT_EQ(got[1], QStringLiteral("# Hall A socket://av:4002\t講義室 101 /dev/b"));
    EXPECT_TRUE(got[2].endsWith(QStringLiteral("\t講義室 101\t/dev/b\topen\t9600,N,8,1")));
    EXPECT_TRUE(got[3].endsWith(QStringLiteral("\tHall A\tsocket://av:4002\tanswer\t X X X X")));
}

}  // namespace
}  // namespace panel
