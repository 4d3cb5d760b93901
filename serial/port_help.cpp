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

QString programOf(qint64 pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly)) return {};
    return QString::fromLocal8Bit(comm.readAll()).trimmed();
}

bool isAlive(qint64 pid) {
    return pid > 0 && QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid));
}

// Serial programs lock "LCK..<name>", the device's path below /dev with '/' made '_', in one of
// these folders (Qt uses the first it may write). The file starts with the owner's process id.
QList<qint64> lockOwners(const QString& device) {
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
            if (ok && isAlive(pid) && !owners.contains(pid)) owners << pid;
        }
    }
    return owners;
}

// Every process but this one with an open descriptor on the device node `device`. The node's own
// file system counts as well as its device number: two pseudo-terminal file systems hand out the
// same numbers, and a program on the other one must not be blamed.
QList<qint64> openers(const struct stat& device) {
    QList<qint64> pids;
    DIR* proc = opendir("/proc");
    if (!proc) return pids;
    const qint64 self = getpid();
    while (const dirent* entry = readdir(proc)) {
        bool ok = false;
        const qint64 pid = QByteArray(entry->d_name).toLongLong(&ok);
        if (!ok || pid == self) continue;
        const QByteArray fdPath = "/proc/" + QByteArray::number(pid) + "/fd";
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

QString groupName(gid_t gid) {
    if (const group* entry = getgrgid(gid)) return QString::fromLocal8Bit(entry->gr_name);
    return QString::number(gid);
}

QString userName(uid_t uid) {
    if (const passwd* entry = getpwuid(uid)) return QString::fromLocal8Bit(entry->pw_name);
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

QString busyHelp(const QString& device) {
    const QList<PortHolder> holders = portHolders(device);
    if (holders.isEmpty())
        return QStringLiteral("%1 is in use by another program: close it, or choose another port.")
            .arg(device);
    QStringList named;
    for (const PortHolder& holder : holders)
        named << QStringLiteral("%1 (pid %2)").arg(holder.program).arg(holder.pid);
    return QStringLiteral("%1 is in use by %2: close that program, or choose another port.")
        .arg(device, named.join(QLatin1String(", ")));
}

QString notFoundHelp(const QString& device) {
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

QList<PortHolder> portHolders(const QString& device) {
    QList<qint64> pids = lockOwners(device);
    struct stat info {};
    if (stat(QFile::encodeName(device).constData(), &info) == 0 && S_ISCHR(info.st_mode))
        for (const qint64 pid : openers(info))
            if (!pids.contains(pid)) pids << pid;
    std::sort(pids.begin(), pids.end());
    QList<PortHolder> holders;
    for (const qint64 pid : pids) holders.append({pid, programOf(pid)});
    return holders;
}

QString openFailureHelp(const QString& device, QSerialPort::SerialPortError error,
                        const QString& description) {
    const QByteArray path = QFile::encodeName(device);
    struct stat info {};
    if (stat(path.constData(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? notFoundHelp(device) : QString();
    if (!S_ISCHR(info.st_mode) || saysErrno(description, {ENOTTY}))
        return notSerialHelp(device, info);
    if (saysErrno(description, {EACCES}) ||
        (access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES))
        return permissionHelp(device, info);
    if (description == kLockRefused || saysErrno(description, {EBUSY})) return busyHelp(device);
    // A device node with no hardware behind it (a missing UART, an adapter gone).
    if (error == QSerialPort::DeviceNotFoundError || saysErrno(description, {ENXIO, ENODEV, EIO}))
        return notFoundHelp(device);
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

QString portProblem(const QString& device) {
    const QByteArray path = QFile::encodeName(device);
    QString description;
    if (access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES)
        description = qt_error_string(EACCES);
    else if (!lockOwners(device).isEmpty())
        description = kLockRefused;
    else
        return {};
    return device + QLatin1String(": ") +
           describeOpenFailure(device, QSerialPort::PermissionError, description) +
           QLatin1Char('\n');
}

}  // namespace panel
