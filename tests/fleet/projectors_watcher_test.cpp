// The projectors file read again when it changes: written in place, or replaced by an editor that
// saves a new file and renames it over the old one.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace panel
