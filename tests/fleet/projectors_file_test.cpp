// The projectors file: names exactly as written, and every kind of bad entry reported with its
// line while the others still load.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include "fleet/projectors_file.h"

namespace panel {
namespace {

using ::testing::ElementsAreArray;

struct FileCase {
    const char* name;
    const char* text;
    std::vector<QString> loaded;        // names, in order
    std::vector<const char*> problems;  // "LINE: words it contains", in order
};

class ProjectorsFileTest : public ::testing::TestWithParam<FileCase> {};

TEST_P(ProjectorsFileTest, LoadsTheGoodSectionsAndReportsEachBadOneByLine) {
    const FileCase& c = GetParam();
    const ProjectorList list = parseProjectors(QByteArray(c.text), QStringLiteral("p.ini"));
    std::vector<QString> names;
    for (const Projector& p : list.projectors) names.push_back(p.name);
    EXPECT_THAT(names, ElementsAreArray(c.loaded));
    QStringList told;
    for (const QString& problem : list.problems) told << problem;
    ASSERT_EQ(list.problems.size(), c.problems.size()) << told.join('\n').toStdString();
    for (std::size_t i = 0; i < c.problems.size(); ++i) {
        const QString expected = QString::fromUtf8(c.problems[i]);
        const QString line = expected.section(QLatin1Char(':'), 0, 0);
        const QString words = expected.section(QLatin1Char(':'), 1).trimmed();
        EXPECT_TRUE(list.problems[i].startsWith(QStringLiteral("p.ini:") + line + QLatin1Char(':')))
            << list.problems[i].toStdString();
        EXPECT_TRUE(list.problems[i].contains(words)) << list.problems[i].toStdString();
    }
}

const QString kHallA = QStringLiteral("Hall A");
const QString kLectureRoom = QString::fromUtf8("講義室 101");

INSTANTIATE_TEST_SUITE_P(
    Entries, ProjectorsFileTest,
    ::testing::Values(
        FileCase{"NamesAsWritten",
                 "[Hall A]\nport = /dev/ttyUSB0\n\n[講義室 101]\nport=rfc2217://box:4001\n",
                 {kHallA, kLectureRoom},
                 {}},
        FileCase{
            "CommentsAndBlankLines", "; note\n# note\n[Hall A]\n  port = /dev/x  \n", {kHallA}, {}},
        FileCase{"NoPort",
                 "[Hall A]\nspeed = 9600\n[B]\nport = /dev/b\n",
                 {QStringLiteral("B")},
                 {"1: has no port"}},
        FileCase{"EmptyPort", "[Hall A]\nport =\n", {}, {"1: has no port"}},
        FileCase{"MalformedUrl",
                 "[Hall A]\nport = rfc2217://box\n[B]\nport=/dev/b\n",
                 {QStringLiteral("B")},
                 {"2: port rfc2217://box"}},
        FileCase{"RelativePort",
                 "[Hall A]\nport = ./ttyUSB0\n[B]\nport=/dev/b\n",
                 {QStringLiteral("B")},
                 {"2: port ./ttyUSB0: a relative path"}},
        FileCase{"UnknownSpeed", "[Hall A]\nport = /dev/a\nspeed = 4800\n", {}, {"3: not '4800'"}},
        FileCase{"NameUsedTwice",
                 "[Hall A]\nport=/dev/a\n[Hall A]\nport=/dev/b\n",
                 {kHallA},
                 {"3: used twice (first at line 1)"}},
        FileCase{"NotIni",
                 "[Hall A]\nport=/dev/a\nthis is prose\n[B\nport=/dev/b\n",
                 {kHallA},
                 {"3: not a [name] header", "4: not a [name] header"}},
        FileCase{"KeyBeforeAnySection",
                 "port=/dev/a\n[Hall A]\nport=/dev/a\n",
                 {kHallA},
                 {"1: before any [name] header"}},
        FileCase{"UnknownKeyKeepsTheProjector",
                 "[Hall A]\nport=/dev/a\nbaud=9600\n",
                 {kHallA},
                 {"3: unknown key 'baud'"}},
        FileCase{"EveryFaultAtOnce",
                 "[A]\n[B]\nport=socket://h:0\n[C]\nport=/dev/c\nspeed=fast\n[D]\nport=/dev/d\n"
                 "[D]\nport=/dev/e\n???\n",
                 {QStringLiteral("D")},
                 {"1: has no port", "3: port socket://h:0", "6: not 'fast'", "9: used twice",
                  "11: not a [name] header"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProjectorsFileTest, SpeedDefaultsTo19200AndTakes9600) {
    const ProjectorList list = parseProjectors(
        "\xEF\xBB\xBF[A]\nport=/dev/a\n[B]\nport=/dev/b\nspeed=9600\n", QStringLiteral("p.ini"));
    ASSERT_EQ(list.projectors.size(), 2u);
    EXPECT_EQ(list.projectors[0].name, QStringLiteral("A"));  // the byte-order mark is not a name
    EXPECT_EQ(list.projectors[0].speed, 19200);
    EXPECT_EQ(list.projectors[1].speed, 9600);
    EXPECT_EQ(list.projectors[1].port, QStringLiteral("/dev/b"));
}

TEST(ProjectorsFileTest, AMissingFileIsOneProblemNamingIt) {
    const ProjectorList list = readProjectors(QStringLiteral("/nonexistent/projectors.ini"));
    EXPECT_TRUE(list.projectors.empty());
    ASSERT_EQ(list.problems.size(), 1u);
    EXPECT_TRUE(list.problems[0].startsWith(QStringLiteral("/nonexistent/projectors.ini:")));
}

// What lies at the path, made in a folder of the test's own.
struct RefusalCase {
    const char* name;
    QString (*make)(const QTemporaryDir& dir);
    FileState state;
    const char* words;  // in the one problem, empty when the file loads
};

QString fileOf(const QTemporaryDir& dir, qint64 size) {
    QFile file(dir.filePath(QStringLiteral("projectors.ini")));
    if (!file.open(QIODevice::WriteOnly)) return {};
    QByteArray text("[A]\nport=/dev/a\n");
    text.append(size - text.size(), ';');  // one long comment line
    file.write(text);
    return file.fileName();
}

class ProjectorsFileRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(ProjectorsFileRefusalTest, OnlyARegularFileWithinTheBoundIsRead) {
    QTemporaryDir dir;
    const QString path = GetParam().make(dir);
    ASSERT_FALSE(path.isEmpty());
    const ProjectorList list = readProjectors(path);
    EXPECT_EQ(list.file, GetParam().state);
    if (GetParam().state == FileState::Read) {
        EXPECT_TRUE(list.usable());
        EXPECT_TRUE(list.problems.empty());
        return;
    }
    EXPECT_FALSE(list.usable());
    ASSERT_EQ(list.problems.size(), 1u);
    EXPECT_TRUE(list.problems[0].startsWith(path + QStringLiteral(": ")));
    EXPECT_TRUE(list.problems[0].contains(QLatin1String(GetParam().words)))
        << list.problems[0].toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProjectorsFileRefusalTest,
    ::testing::Values(
        RefusalCase{"AtTheBound",
                    [](const QTemporaryDir& d) { return fileOf(d, kMaxProjectorsFileBytes); },
                    FileState::Read, ""},
        RefusalCase{"OneByteOver",
                    [](const QTemporaryDir& d) { return fileOf(d, kMaxProjectorsFileBytes + 1); },
                    FileState::Refused, "larger than 1024 KiB"},
        RefusalCase{"EndlessDevice",
                    [](const QTemporaryDir&) { return QStringLiteral("/dev/zero"); },
                    FileState::Refused, "not a regular file"},
        // Opening one for reading would wait for a writer forever.
        RefusalCase{"Fifo",
                    [](const QTemporaryDir& d) {
                        const QString path = d.filePath(QStringLiteral("fifo"));
                        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0 ? path
                                                                                        : QString();
                    },
                    FileState::Refused, "not a regular file"},
        RefusalCase{"Folder", [](const QTemporaryDir& d) { return d.path(); }, FileState::Refused,
                    "not a regular file"},
        RefusalCase{"Missing",
                    [](const QTemporaryDir& d) { return d.filePath(QStringLiteral("none.ini")); },
                    FileState::Absent, "No such file"}),
    [](const auto& info) { return std::string(info.param.name); });

struct FloodCase {
    const char* name;
    int brokenLines;
    std::size_t shown;  // problems listed, the count of the rest included
    const char* last;   // words of the last problem
};

class ProjectorsFileFloodTest : public ::testing::TestWithParam<FloodCase> {};

TEST_P(ProjectorsFileFloodTest, ManyBrokenLinesAreCountedBeyondTheFirstFew) {
    QByteArray text;
    for (int i = 0; i < GetParam().brokenLines; ++i)
        text += "\x01\x02garbage " + QByteArray(200, 'x') + '\n';
    const ProjectorList list = parseProjectors(text, QStringLiteral("p.ini"));
    ASSERT_EQ(list.problems.size(), GetParam().shown);
    EXPECT_TRUE(list.problems.back().contains(QLatin1String(GetParam().last)))
        << list.problems.back().toStdString();
    for (const QString& problem : list.problems)
        EXPECT_LT(problem.size(), 120) << "a line quoted whole";
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProjectorsFileFloodTest,
    ::testing::Values(FloodCase{"AsManyAsShown", int(kProblemsShown), kProblemsShown, "garbage"},
                      FloodCase{"OneMore", int(kProblemsShown) + 1, kProblemsShown + 1,
                                "p.ini: 1 more problem not shown"},
                      FloodCase{"ABinaryFile", 5000, kProblemsShown + 1,
                                "p.ini: 4990 more problems not shown"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace panel
