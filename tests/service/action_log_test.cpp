// The service's session log: each line names the token and the projector, whatever they hold, and
// a log that cannot be written is told once while the service goes on.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "service/action_log.h"

namespace panel {
namespace {

TEST(ActionLog, NamesTheTokenAndTheProjectorInTheLogsOwnFields) {
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("s.log")).toStdString();
    ActionLog log("projector-paneld 1");
    ASSERT_FALSE(log.start(path));
    struct Case {
        std::string actor;
        std::string projector;
        SessionEvent event;
        std::string fields;  // after the stamp
    };
    const Case cases[]{
        {"desk",
         "Hall A /dev/pts/1",
         {SessionEventKind::Sent, 1, "C01\r"},
         "\tdesk\tHall A /dev/pts/1\tsent\t C 0 1 CR \t43 30 31 0D\n"},
        {"desk",
         "Evil\tname\nnext",
         {SessionEventKind::Answer, 1, " Stand by"},
         "\tdesk\tEvil name next\tanswer\t Stand by\n"},
    };
    for (const Case& c : cases) log.observer(c.actor, c.projector)->record(c.event);
    log.stop();
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 2 + 2 + 1);  // the header's two, the events', the last newline's
    EXPECT_TRUE(lines[0].startsWith("# projector-paneld 1, log started "));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const QByteArray& line = lines[static_cast<qsizetype>(i) + 2];
        EXPECT_EQ(line.mid(line.indexOf('\t')).toStdString() + '\n', cases[i].fields);
    }
}

TEST(ActionLog, AFullDiskIsToldOnceAndEndsOnlyTheLog) {
    ActionLog log("projector-paneld 1");
    int told = 0;
    log.setFailureHandler([&](const std::string&) { ++told; });
    EXPECT_TRUE(log.start("/dev/full"));
    log.observer("desk", "Hall A")->record({SessionEventKind::Sent, 1, "C01\r"});
    EXPECT_EQ(told, 1);
    EXPECT_FALSE(log.active());
}

}  // namespace
}  // namespace panel
