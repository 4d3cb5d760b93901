// The projectors file read again when it changes: written in place, or replaced by an editor that
// saves a new file and renames it over the old one, or deletes it and writes it anew; read once a
// change, and found in a folder made after the start.
#include <gtest/gtest.h>
#include <sys/inotify.h>

#include <unistd.h>
#include <cstdint>
#include <cstdio>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "fleet/projectors_watcher.h"

namespace panel {
namespace {

void write(const QString& path, const QByteArray& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

QStringList names(const ProjectorList& list) {
    QStringList result;
    for (const Projector& p : list.projectors) result << p.name;
    return result;
}

TEST(ProjectorsWatcherTest, ReadsTheFileAgainWhenWrittenInPlaceOrReplaced) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("projectors.ini"));
    write(path, "[A]\nport=/dev/a\n");
    ProjectorsWatcher watcher(path);
    EXPECT_EQ(names(watcher.current()), QStringList{"A"});
    QSignalSpy spy(&watcher, &ProjectorsWatcher::changed);

    write(path, "[A]\nport=/dev/a\n[B]\nport=/dev/b\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return names(watcher.current()).size() == 2; }, 5000));

    const QString saved = dir.filePath(QStringLiteral("projectors.ini.new"));
    write(saved, "[C]\nport=/dev/c\n");
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::rename(saved, path));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return names(watcher.current()) == QStringList{"C"}; }, 5000));
    // Still watched after the replacement.
    write(path, "[D]\nport=/dev/d\n");
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return names(watcher.current()) == QStringList{"D"}; }, 5000));
    // Another file in the folder is no change.
    const int told = static_cast<int>(spy.count());
    write(dir.filePath(QStringLiteral("other")), "x");
    QTest::qWait(300);
    EXPECT_EQ(spy.count(), told);
}

// Counts the opens of one file, by anyone, from now on.
class OpenCounter {
    // inotify merges an event into an identical one still unread: the reads and closes between
    // two opens keep them apart.
    static constexpr std::uint32_t kEvents = IN_OPEN | IN_ACCESS | IN_CLOSE_NOWRITE;

public:
    explicit OpenCounter(const QString& path)
        : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
          watch_(inotify_add_watch(fd_, QFile::encodeName(path).constData(), kEvents)) {}
    ~OpenCounter() { ::close(fd_); }
    bool ok() const { return fd_ >= 0 && watch_ >= 0; }
    int opens() {
        alignas(inotify_event) char buffer[4096];
        for (ssize_t got; (got = ::read(fd_, buffer, sizeof buffer)) > 0;)
            for (char* at = buffer; at < buffer + got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                if (event->mask & IN_OPEN) ++opens_;
                at += sizeof(inotify_event) + event->len;
            }
        return opens_;
    }

private:
    int fd_;
    int watch_;
    int opens_ = 0;
};

struct ChangeCase {
    const char* name;
    bool replaced;  // saved beside and renamed over it, or written in place
};

class ProjectorsWatcherChangeTest : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(ProjectorsWatcherChangeTest, OneChangeIsReadOnce) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("projectors.ini"));
    write(path, "[A]\nport=/dev/a\n");
    ProjectorsWatcher watcher(path);
    const QString written = GetParam().replaced ? path + QStringLiteral(".new") : path;
    write(written, "[B]\nport=/dev/b\n[C]\nport=/dev/c\n");
    OpenCounter counter(written);  // the write's own open is over
    ASSERT_TRUE(counter.ok());
    if (GetParam().replaced) {
        // Over the old file in one step, as an editor saves.
        ASSERT_EQ(
            ::rename(QFile::encodeName(written).constData(), QFile::encodeName(path).constData()),
            0);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return names(watcher.current()).size() == 2; }, 5000));
    QTest::qWait(300);
    EXPECT_EQ(counter.opens(), 1);
}

INSTANTIATE_TEST_SUITE_P(Table, ProjectorsWatcherChangeTest,
                         ::testing::Values(ChangeCase{"WrittenInPlace", false},
                                           ChangeCase{"ReplacedByRename", true}),
                         [](const auto& info) { return std::string(info.param.name); });

struct AbsenceCase {
    const char* name;
    int absentMs;  // before it is written again; -1: never
};

class ProjectorsWatcherAbsenceTest : public ::testing::TestWithParam<AbsenceCase> {};

TEST_P(ProjectorsWatcherAbsenceTest, TheListStandsThroughABriefAbsenceOnly) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("projectors.ini"));
    write(path, "[A]\nport=/dev/a\n");
    ProjectorsWatcher watcher(path);
    QSignalSpy spy(&watcher, &ProjectorsWatcher::changed);
    ASSERT_TRUE(QFile::remove(path));
    if (GetParam().absentMs < 0) {
        QTest::qWait(static_cast<int>(ProjectorsWatcher::kAbsence.count()) / 2);
        EXPECT_EQ(names(watcher.current()), QStringList{"A"}) << "gone at once";
        ASSERT_TRUE(QTest::qWaitFor([&] { return watcher.current().projectors.empty(); }, 5000));
        EXPECT_EQ(watcher.current().file, FileState::Absent);
        EXPECT_EQ(spy.count(), 1);
        return;
    }
    QTest::qWait(GetParam().absentMs);
    write(path, "[A]\nport=/dev/a\n[B]\nport=/dev/b\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return names(watcher.current()).size() == 2; }, 5000));
    QTest::qWait(static_cast<int>(ProjectorsWatcher::kAbsence.count()) + 200);
    for (const QList<QVariant>& told : spy)
        EXPECT_FALSE(told[0].value<ProjectorList>().projectors.empty()) << "emptied meanwhile";
    EXPECT_EQ(names(watcher.current()), (QStringList{"A", "B"}));
}

INSTANTIATE_TEST_SUITE_P(Table, ProjectorsWatcherAbsenceTest,
                         ::testing::Values(AbsenceCase{"WrittenAgainAtOnce", 0},
                                           AbsenceCase{"WrittenAgainAfterAMoment", 500},
                                           AbsenceCase{"GoneForGood", -1}),
                         [](const auto& info) { return std::string(info.param.name); });

class ProjectorsWatcherFolderTest : public ::testing::TestWithParam<int> {};

TEST_P(ProjectorsWatcherFolderTest, AFileInAFolderMadeLaterIsRead) {
    QTemporaryDir dir;
    QString folder = dir.path();
    for (int i = 0; i < GetParam(); ++i) folder += QStringLiteral("/level%1").arg(i);
    const QString path = folder + QStringLiteral("/projectors.ini");
    ProjectorsWatcher watcher(path);
    EXPECT_EQ(watcher.current().file, FileState::Absent);
    QTest::qWait(100);
    ASSERT_TRUE(QDir().mkpath(folder));
    QTest::qWait(100);
    write(path, "[A]\nport=/dev/a\n");
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return names(watcher.current()) == QStringList{"A"}; }, 5000));
    // Watched where it is now: a change is seen.
    write(path, "[B]\nport=/dev/b\n");
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return names(watcher.current()) == QStringList{"B"}; }, 5000));
}

INSTANTIATE_TEST_SUITE_P(Depths, ProjectorsWatcherFolderTest, ::testing::Values(1, 2, 3),
                         [](const auto& info) { return "Missing" + std::to_string(info.param); });

}  // namespace
}  // namespace panel
