#include "serial/port_help.h"

#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <cerrno>

namespace panel {

namespace {

// What QSerialPort says when another opener holds the device's lock file.
const QString kLockRefused = QStringLiteral("Permission error while locking the device");

const QString kChooseSerial =
    QStringLiteral("choose a serial device such as /dev/ttyS0 or /dev/ttyUSB0.");

QString programOf(const QString& procRoot, qint64 pid) {
    QFile comm(QStringLiteral("%1/%2/comm").arg(procRoot).arg(pid));
    if (!comm.open(QIODevice::ReadOnly)) return {};
    return QString::fromLocal8Bit(comm.readAll()).trimmed();
}

bool isAlive(const QString& procRoot, qint64 pid) {
    return pid > 0 && QFileInfo::exists(QStringLiteral("%1/%2").arg(procRoot).arg(pid));
}

// Serial programs lock "LCK..<name>", the device's path below /dev with '/' made '_', in one of
// these folders (Qt uses the first it may write). The file starts with the owner's process id.
QList<qint64> lockOwners(const QString& device, const QString& procRoot) {
    QStringList names;
    for (QString path : {device, QFileInfo(device).canonicalFilePath()}) {
        if (path.isEmpty()) continue;
        if (path.startsWith(QLatin1String("/dev/"))) path.remove(0, 5);
        names << QStringLiteral("LCK..") + path.replace(QLatin1Char('/'), QLatin1Char('_'));
    }
    names.removeDuplicates();
    QStringList folders;
    for (const char* folder : {"/run/lock", "/var/lock", "/tmp"}) {
        const QString real = QFileInfo(QString::fromLatin1(folder)).canonicalFilePath();
        if (!real.isEmpty() && !folders.contains(real)) folders << real;
    }
    QList<qint64> owners;
    for (const QString& folder : folders) {
        for (const QString& name : names) {
            QFile lock(folder + QLatin1Char('/') + name);
            if (!lock.open(QIODevice::ReadOnly)) continue;
            bool ok = false;
            const qint64 pid = QString::fromLatin1(lock.readLine(32)).trimmed().toLongLong(&ok);
            if (ok && isAlive(procRoot, pid) && !owners.contains(pid)) owners << pid;
        }
    }
    return owners;
}

// Every process but this one with an open descriptor on the device node `device`. The node's own
// file system counts as well as its device number: two pseudo-terminal file systems hand out the
// same numbers, and a program on the other one must not be blamed.
QList<qint64> openers(const struct stat& device, const QString& procRoot) {
    QList<qint64> pids;
    const QByteArray root = QFile::encodeName(procRoot);
    DIR* proc = opendir(root.constData());
    if (!proc) return pids;
    const qint64 self = getpid();
    while (const dirent* entry = readdir(proc)) {
        bool ok = false;
        const qint64 pid = QByteArray(entry->d_name).toLongLong(&ok);
        if (!ok || pid == self) continue;
        const QByteArray fdPath = root + '/' + QByteArray::number(pid) + "/fd";
        DIR* fds = opendir(fdPath.constData());
        if (!fds) continue;  // gone, or another user's
        while (const dirent* fd = readdir(fds)) {
            if (fd->d_name[0] == '.') continue;
            struct stat target {};
            if (stat((fdPath + '/' + fd->d_name).constData(), &target) == 0 &&
                S_ISCHR(target.st_mode) && target.st_rdev == device.st_rdev &&
                target.st_dev == device.st_dev) {
                pids << pid;
                break;
            }
        }
        closedir(fds);
    }
    closedir(proc);
    return pids;
}

// The reentrant lookups: the port chooser foresees problems on a thread of its own while the
// window may be describing a failed open.
QString groupName(gid_t gid) {
    group entry{};
    group* found = nullptr;
    char buffer[4096];
    if (getgrgid_r(gid, &entry, buffer, sizeof buffer, &found) == 0 && found)
        return QString::fromLocal8Bit(found->gr_name);
    return QString::number(gid);
}

QString userName(uid_t uid) {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return QString::number(uid);
}

QString permissionHelp(const QString& device, const struct stat& info) {
    const mode_t groupReadWrite = S_IRGRP | S_IWGRP;
    if ((info.st_mode & groupReadWrite) == groupReadWrite) {
        const QString group = groupName(info.st_gid);
        return QStringLiteral(
                   "Your user may not use %1: it belongs to the group %2. Join that group with "
                   "\"sudo adduser $USER %2\", then log out and in again.")
            .arg(device, group);
    }
    return QStringLiteral(
               "Only the owner of %1, %2, may use it (mode %3): ask the administrator for access.")
        .arg(device, userName(info.st_uid))
        .arg(info.st_mode & 07777, 4, 8, QLatin1Char('0'));
}

// Programs that take serial ports for themselves, by their process name (comm).
const QString kBrltty = QStringLiteral("brltty");
const QString kModemManager = QStringLiteral("ModemManager");

// Whether a process named `program` runs. Every user may read every process's name.
bool isRunning(const QString& program, const QString& procRoot) {
    const QByteArray root = QFile::encodeName(procRoot);
    DIR* proc = opendir(root.constData());
    if (!proc) return false;
    bool found = false;
    while (const dirent* entry = readdir(proc)) {
        bool ok = false;
        const qint64 pid = QByteArray(entry->d_name).toLongLong(&ok);
        if (ok && programOf(procRoot, pid) == program) {
            found = true;
            break;
        }
    }
    closedir(proc);
    return found;
}

// brltty claims USB serial chips it mistakes for braille displays; other ports it leaves alone.
bool isUsbSerial(const QString& device) {
    const QString real = QFileInfo(device).canonicalFilePath();
    for (const QString& name : {device, real})
        for (const char* mark : {"ttyUSB", "ttyACM", "/usb-"})
            if (name.contains(QLatin1String(mark))) return true;
    return false;
}

QString brlttyHelp(const QString& device) {
    return QStringLiteral(
               "brltty, Debian's braille display daemon, takes USB serial adapters such as %1 "
               "for itself: if no braille display is used here, remove it with \"sudo apt remove "
               "brltty\", then unplug the adapter and plug it in again.")
        .arg(device);
}

QString modemManagerHelp(const QString& device, qint64 pid) {
    const QString who =
        pid > 0 ? QStringLiteral("%1 (pid %2)").arg(kModemManager).arg(pid) : kModemManager;
    return QStringLiteral(
               "%1 is probing %2 for a modem: wait a few seconds and try again. To keep it away "
               "from this port, add a udev rule with ENV{ID_MM_DEVICE_IGNORE}=\"1\" for the "
               "adapter, or stop it with \"sudo systemctl stop ModemManager\".")
        .arg(who, device);
}

// A busy port held by one of the programs above, or held where we cannot see while ModemManager
// runs (it is root's, so its descriptors are hidden from other users).
QString otherProgramHelp(const QString& device, const QList<PortHolder>& holders,
                         const QString& procRoot) {
    for (const PortHolder& holder : holders) {
        if (holder.program == kModemManager) return modemManagerHelp(device, holder.pid);
        if (holder.program == kBrltty) return brlttyHelp(device);
    }
    if (holders.isEmpty() && isRunning(kModemManager, procRoot)) return modemManagerHelp(device, 0);
    return {};
}

QString busyHelp(const QString& device, const QString& procRoot) {
    const QList<PortHolder> holders = portHolders(device, procRoot);
    if (QString other = otherProgramHelp(device, holders, procRoot); !other.isEmpty()) return other;
    if (holders.isEmpty())
        return QStringLiteral("%1 is in use by another program: close it, or choose another port.")
            .arg(device);
    QStringList named;
    for (const PortHolder& holder : holders)
        named << QStringLiteral("%1 (pid %2)").arg(holder.program).arg(holder.pid);
    return QStringLiteral("%1 is in use by %2: close that program, or choose another port.")
        .arg(device, named.join(QLatin1String(", ")));
}

QString notFoundHelp(const QString& device, const QString& procRoot) {
    // The adapter's node vanishes as soon as brltty claims it.
    if (isUsbSerial(device) && isRunning(kBrltty, procRoot)) return brlttyHelp(device);
    return QStringLiteral(
               "Nothing answers at %1: check that the cable or USB serial adapter is plugged in, "
               "and run \"projector-panel --list-ports\" to see this machine's serial ports.")
        .arg(device);
}

QString notSerialHelp(const QString& device, const struct stat& info) {
    QString what = QStringLiteral("a device but not a serial port");
    if (S_ISDIR(info.st_mode))
        what = QStringLiteral("a directory, not a serial port");
    else if (S_ISREG(info.st_mode))
        what = QStringLiteral("a regular file, not a serial port");
    else if (!S_ISCHR(info.st_mode))
        what = QStringLiteral("not a serial port");
    return QStringLiteral("%1 is %2: %3").arg(device, what, kChooseSerial);
}

bool saysErrno(const QString& description, std::initializer_list<int> codes) {
    return std::any_of(codes.begin(), codes.end(),
                       [&](int code) { return description == qt_error_string(code); });
}

}  // namespace

QList<PortHolder> portHolders(const QString& device, const QString& procRoot) {
    QList<qint64> pids = lockOwners(device, procRoot);
    struct stat info {};
    if (stat(QFile::encodeName(device).constData(), &info) == 0 && S_ISCHR(info.st_mode))
        for (const qint64 pid : openers(info, procRoot))
            if (!pids.contains(pid)) pids << pid;
    std::sort(pids.begin(), pids.end());
    QList<PortHolder> holders;
    for (const qint64 pid : pids) holders.append({pid, programOf(procRoot, pid)});
    return holders;
}

QString openFailureHelp(const QString& device, QSerialPort::SerialPortError error,
                        const QString& description, const QString& procRoot) {
    const QByteArray path = QFile::encodeName(device);
    struct stat info {};
    if (stat(path.constData(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? notFoundHelp(device, procRoot) : QString();
    if (!S_ISCHR(info.st_mode) || saysErrno(description, {ENOTTY}))
        return notSerialHelp(device, info);
    if (saysErrno(description, {EACCES}) ||
        (access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES))
        return permissionHelp(device, info);
    if (description == kLockRefused || saysErrno(description, {EBUSY}))
        return busyHelp(device, procRoot);
    // A device node with no hardware behind it (a missing UART, an adapter gone).
    if (error == QSerialPort::DeviceNotFoundError || saysErrno(description, {ENXIO, ENODEV, EIO}))
        return notFoundHelp(device, procRoot);
    return {};
}

bool helpLooksForHolders(const QString& description) {
    return description == kLockRefused || saysErrno(description, {EBUSY});
}

QString describeOpenFailure(const QString& device, QSerialPort::SerialPortError error,
                            const QString& description) {
    const QString help = openFailureHelp(device, error, description);
    return help.isEmpty() ? description : description + QLatin1Char('\n') + help;
}

QString foreseenOpenProblem(const QString& device, const QString& procRoot) {
    const QByteArray path = QFile::encodeName(device);
    struct stat info {};
    if (stat(path.constData(), &info) != 0) return notFoundHelp(device, procRoot);
    if (!S_ISCHR(info.st_mode)) return notSerialHelp(device, info);
    if (access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES)
        return permissionHelp(device, info);
    if (!portHolders(device, procRoot).isEmpty()) return busyHelp(device, procRoot);
    return {};
}

QString portProblem(const QString& device) {
    // The chooser's check: what the list says and what the chooser shows never differ.
    const QString help = foreseenOpenProblem(device);
    return help.isEmpty() ? help : help + QLatin1Char('\n');
}

}  // namespace panel
