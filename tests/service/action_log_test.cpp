// The service's session log: each line names the projector and the token, whatever the
// projector's name holds, and a log that cannot be written refuses to start.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "service/action_log.h"

namespace panel {
namespace {

TEST(ActionLog, NamesTheProjectorAndTheTokenInTheLogsOwnFields) {
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("s.log")).toStdString();
    ActionLog log("projector-paneld 1");
    ASSERT_FALSE(log.start(path, {LoggedPort{"Hall A", "/dev/pts/1"}}));
    struct Case {
        std::string actor;
        LoggedPort projector;
        SessionEvent event;
        std::string fields;  // after the stamp
    };
    const Case cases[]{
        {"desk",
         {"Hall A", "/dev/pts/1"},
         {SessionEventKind::Sent, 1, "C01\r"},
         "\tHall A by desk\t/dev/pts/1\tsent\t C 0 1 CR \t43 30 31 0D\n"},
        {"desk",
         {"Evil\tname\nnext", "x"},
         {SessionEventKind::Answer, 1, " Stand by"},
         "\tEvil name next by desk\tx\tanswer\t Stand by\n"},
    };
    for (const Case& c : cases) log.observer(c.actor, c.projector)->record(c.event);
    log.stop();
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 2 + 2 + 1);  // the header's two, the events', the last newline's
    EXPECT_TRUE(lines[0].startsWith("# projector-paneld 1, log started "));
    EXPECT_EQ(lines[1], "# Hall A /dev/pts/1");
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const QByteArray& line = lines[static_cast<qsizetype>(i) + 2];
        EXPECT_EQ(line.mid(line.indexOf('\t')).toStdString() + '\n', cases[i].fields);
    }
}

TEST(ActionLog, AFullDiskRefusesTheLogAndNothingIsWritten) {
    ActionLog log("projector-paneld 1");
    EXPECT_TRUE(log.start("/dev/full", {}));
    EXPECT_FALSE(log.active());
    log.observer("desk", {"Hall A", "x"})->record({SessionEventKind::Sent, 1, "C01\r"});
}

}  // namespace
}  // namespace panel
