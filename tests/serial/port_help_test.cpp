// Plain help when a local device will not open, each case met for real: missing paths, a file, a
// directory, /dev/null, a second opener here or in another process, and a device the user may not
// open. Qt's description comes first, then one line saying what to do.
#include "serial/port_help.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>

#include "serial/qt_serial_port.h"
#include "testkit/pseudo_terminal.h"

namespace panel {
namespace {

using test::PseudoTerminal;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

// What QSerialPort itself says when it cannot open `path`.
QString qtsOwnDescription(const QString& path) {
    QSerialPort plain;
    plain.setPortName(path);
    return plain.open(QIODevice::ReadWrite) ? QStringLiteral("<it opened>") : plain.errorString();
}

// An open to its end: the failure given at once, or the one that follows from the event loop
// (a busy device's help is found on another thread).
PortResult openToTheEnd(QtSerialPort& port) {
    struct Heard final : PortListener {
        PortResult failure;
        void onComm(int) override {}
        void onPortFailure(const PortError&) override {}
        void onOpenFailed(const PortError& error) override { failure = error; }
    } heard;
    port.setListener(&heard);
    PortResult result = port.setOpen(true);
    while (port.isOpening()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    port.setListener(nullptr);
    return result ? result : heard.failure;
}

// The description the panel's adapter gives for `path`, split into lines.
QStringList openFailureLines(const QString& path) {
    QtSerialPort port(PortDevices{path, path});
    const PortResult error = openToTheEnd(port);
    if (!error) return {QStringLiteral("<it opened>")};
    return QString::fromStdString(error->description).split(QLatin1Char('\n'));
}

QString thisProgram() {
    QFile comm(QStringLiteral("/proc/self/comm"));
    return comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed()
                                          : QString();
}

struct LocalCase {
    const char* name;
    std::function<QString(const QTemporaryDir&)> path;
    const char* help;  // %1 is the path
    friend void PrintTo(const LocalCase& c, std::ostream* os) { *os << c.name; }
};

class LocalFailureTest : public ::testing::TestWithParam<LocalCase> {};

TEST_P(LocalFailureTest, QtsDescriptionThenOneLineOfHelp) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = GetParam().path(dir);
    const QStringList lines = openFailureLines(path);
    ASSERT_EQ(lines.size(), 2) << lines.join('|').toStdString();
    EXPECT_EQ(lines[0], qtsOwnDescription(path));
    EXPECT_EQ(lines[1], QString::fromLatin1(GetParam().help).arg(path));
}

const char* const kNotFound =
    "Nothing answers at %1: check that the cable or USB serial adapter is plugged in, and run "
    "\"projector-panel --list-ports\" to see this machine's serial ports.";

INSTANTIATE_TEST_SUITE_P(
    Cases, LocalFailureTest,
    ::testing::Values(
        LocalCase{"no such device", [](auto&) { return QStringLiteral("/dev/panel-test-none"); },
                  kNotFound},
        LocalCase{"link to nothing",
                  [](const QTemporaryDir& dir) {
                      const QString link = dir.filePath(QStringLiteral("projector"));
                      QFile::link(dir.filePath(QStringLiteral("gone")), link);
                      return link;
                  },
                  kNotFound},
        LocalCase{"null device", [](auto&) { return QStringLiteral("/dev/null"); },
                  "%1 is a device but not a serial port: choose a serial device such as "
                  "/dev/ttyS0 or /dev/ttyUSB0."},
        LocalCase{"regular file",
                  [](const QTemporaryDir& dir) {
                      const QString path = dir.filePath(QStringLiteral("notes.txt"));
                      QFile file(path);
                      file.open(QIODevice::WriteOnly);
                      return path;
                  },
                  "%1 is a regular file, not a serial port: choose a serial device such as "
                  "/dev/ttyS0 or /dev/ttyUSB0."},
        LocalCase{"directory", [](const QTemporaryDir& dir) { return dir.path(); },
                  "%1 is a directory, not a serial port: choose a serial device such as "
                  "/dev/ttyS0 or /dev/ttyUSB0."}),
    [](const auto& info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

QString inUseHelp(const QString& device, const QString& program, qint64 pid) {
    return QStringLiteral(
               "%1 is in use by %2 (pid %3): close that program, or choose another port.")
        .arg(device, program)
        .arg(pid);
}

TEST(PortHelpTest, SecondOpenerHereNamesThisProgramAndThePortListSaysSo) {
    PseudoTerminal line;
    ASSERT_TRUE(line.ok());
    QtSerialPort first(PortDevices{line.path(), line.path()});
    ASSERT_FALSE(first.setOpen(true));
    const QString help = inUseHelp(line.path(), thisProgram(), getpid());

    EXPECT_EQ(openFailureLines(line.path()),
              QStringList({QStringLiteral("Permission error while locking the device"), help}));
    EXPECT_EQ(portProblem(line.path()), help + QLatin1Char('\n'));

    ASSERT_FALSE(first.setOpen(false));
    EXPECT_EQ(portProblem(line.path()), QString());
}

// port_opener, started and waited for.
class Opener {
public:
    explicit Opener(const QStringList& args) {
        process_.start(QStringLiteral(PORT_OPENER), args);
        process_.waitForStarted();
    }
    ~Opener() {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(5000)) process_.kill();
    }
    qint64 pid() const { return process_.processId(); }
    // Its first line ("opened" or "failed").
    QString firstLine() {
        while (!process_.canReadLine() && process_.waitForReadyRead(5000)) {
        }
        return QString::fromLocal8Bit(process_.readLine()).trimmed();
    }
    // Everything it printed, once it has ended.
    QString rest() {
        process_.waitForFinished(5000);
        return QString::fromLocal8Bit(process_.readAll());
    }

private:
    QProcess process_;
};

TEST(PortHelpTest, SecondOpenerInAnotherProgramIsNamedUntilItLetsGo) {
    PseudoTerminal line;
    ASSERT_TRUE(line.ok());
    auto holder = std::make_unique<Opener>(QStringList{QStringLiteral("--hold"), line.path()});
    ASSERT_EQ(holder->firstLine(), QStringLiteral("opened"));

    const QStringList lines = openFailureLines(line.path());
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[1], inUseHelp(line.path(), QStringLiteral("port_opener"), holder->pid()));

    holder.reset();
    EXPECT_EQ(openFailureLines(line.path()), QStringList{QStringLiteral("<it opened>")});
}

TEST(PortHelpTest, HoldersIncludeProgramsWithTheDeviceOpenButNotThisOne) {
    PseudoTerminal line;  // this process holds the device too
    ASSERT_TRUE(line.ok());
    QProcess reader;
    reader.setStandardInputFile(line.path());
    reader.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    ASSERT_TRUE(reader.waitForStarted());

    const QList<PortHolder> holders = portHolders(line.path());
    EXPECT_THAT(holders, Contains(PortHolder{reader.processId(), QStringLiteral("sleep")}));
    for (const PortHolder& holder : holders) EXPECT_NE(holder.pid, getpid());
    reader.kill();
    reader.waitForFinished();
}

struct PermissionCase {
    const char* name;
    mode_t mode;
    const char* help;  // %1 is the device
    friend void PrintTo(const PermissionCase& c, std::ostream* os) { *os << c.name; }
};

class PermissionTest : public ::testing::TestWithParam<PermissionCase> {};

// The device is made root's, group dialout, as Debian's serial devices are; the opener runs as
// nobody, who is in neither.
TEST_P(PermissionTest, NamesTheWayToAccess) {
    if (geteuid() != 0)
        GTEST_SKIP() << "opening the device as the user nobody needs root; running as uid "
                     << geteuid();
    PseudoTerminal line;
    ASSERT_TRUE(line.ok());
    const QByteArray path = QFile::encodeName(line.path());
    ASSERT_EQ(chown(path.constData(), 0, 20), 0);  // Debian's dialout group
    ASSERT_EQ(chmod(path.constData(), GetParam().mode), 0);

    Opener opener({QStringLiteral("--as-nobody"), line.path()});
    ASSERT_EQ(opener.firstLine(), QStringLiteral("failed"));
    const QString help = QString::fromLatin1(GetParam().help).arg(line.path());
    EXPECT_EQ(opener.rest(), QStringLiteral("Permission denied\n%1\n--\n%1\n").arg(help));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PermissionTest,
    ::testing::Values(
        PermissionCase{"group", 0660,
                       "Your user may not use %1: it belongs to the group dialout. Join that group "
                       "with \"sudo adduser $USER dialout\", then log out and in again."},
        PermissionCase{"owner", 0600,
                       "Only the owner of %1, root, may use it (mode 0600): ask the administrator "
                       "for access."}),
    [](const auto& info) { return std::string(info.param.name); });

// A /proc of our own: process folders with a name (comm) and descriptors as links to devices.
class FakeProc {
public:
    void add(qint64 pid, const char* program, const QString& openDevice = {}) {
        QDir root(dir_.path());
        const QString folder = QString::number(pid);
        root.mkpath(folder + QStringLiteral("/fd"));
        QFile comm(root.filePath(folder + QStringLiteral("/comm")));
        comm.open(QIODevice::WriteOnly);
        comm.write(QByteArray(program) + '\n');
        if (!openDevice.isEmpty())
            QFile::link(openDevice, root.filePath(folder + QStringLiteral("/fd/5")));
    }
    QString root() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
};

const char* const kModemManagerHelp =
    "ModemManager%2 is probing %1 for a modem: wait a few seconds and try again. To keep it away "
    "from this port, add a udev rule with ENV{ID_MM_DEVICE_IGNORE}=\"1\" for the adapter, or stop "
    "it with \"sudo systemctl stop ModemManager\".";
const char* const kBrlttyHelp =
    "brltty, Debian's braille display daemon, takes USB serial adapters such as %1 for itself: if "
    "no braille display is used here, remove it with \"sudo apt remove brltty\", then unplug the "
    "adapter and plug it in again.";

// Which fake process runs, whether it holds the line, how the open failed, and what help follows.
struct ProgramCase {
    const char* name;
    const char* program;  // nullptr: none but an unrelated shell
    bool holdsLine;
    bool usbName;  // the device is a missing /dev/ttyUSB-like path rather than the line
    const char* description;
    const char* help;  // %1 the device, %2 " (pid 4242)" for a holder
    friend void PrintTo(const ProgramCase& c, std::ostream* os) { *os << c.name; }
};

class ProgramHelpTest : public ::testing::TestWithParam<ProgramCase> {};

TEST_P(ProgramHelpTest, NamesTheProgramAndWhatToDo) {
    PseudoTerminal line;
    ASSERT_TRUE(line.ok());
    QTemporaryDir dir;
    const ProgramCase& c = GetParam();
    const QString device = c.usbName ? dir.filePath(QStringLiteral("ttyUSB7")) : line.path();
    FakeProc proc;
    proc.add(17, "bash");
    if (c.program) proc.add(4242, c.program, c.holdsLine ? line.path() : QString());

    const QString help = openFailureHelp(device, QSerialPort::PermissionError,
                                         QString::fromLatin1(c.description), proc.root());
    const QString holder = c.holdsLine ? QStringLiteral(" (pid 4242)") : QString();
    const QString expected =
        QString::fromLatin1(c.help).replace(QLatin1String("%2"), holder).arg(device);
    EXPECT_EQ(help, expected);
    // The chooser's rows foresee what shows without opening: a holder, a missing node.
    EXPECT_EQ(foreseenOpenProblem(device, proc.root()),
              c.holdsLine || c.usbName ? expected : QString());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgramHelpTest,
    ::testing::Values(
        ProgramCase{"minicom_holds_the_line", "minicom", true, false, "Device or resource busy",
                    "%1 is in use by minicom%2: close that program, or choose "
                    "another port."},
        ProgramCase{"modem_manager_holds_the_line", "ModemManager", true, false,
                    "Device or resource busy", kModemManagerHelp},
        ProgramCase{"modem_manager_runs_holder_hidden", "ModemManager", false, false,
                    "Device or resource busy", kModemManagerHelp},
        ProgramCase{"busy_no_modem_manager", nullptr, false, false, "Device or resource busy",
                    "%1 is in use by another program: close it, or choose another port."},
        ProgramCase{"brltty_took_the_usb_adapter", "brltty", false, true,
                    "No such file or directory", kBrlttyHelp},
        ProgramCase{"brltty_holds_the_line", "brltty", true, false, "Device or resource busy",
                    kBrlttyHelp},
        ProgramCase{"usb_adapter_gone_without_brltty", nullptr, false, true,
                    "No such file or directory", kNotFound}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace panel
