#include "testkit/ser2net_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <chrono>
#include <random>
#include <thread>

namespace panel::test {

// Read from the kernel's table rather than by connecting, which would open the device. The
// listening socket must be the process's own: another ser2net (a test beside this one, restarting
// its server) may have bound the port first, and this one then serves without it.
bool portListening(std::uint16_t port, pid_t owner) {
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly)) return false;
    const QByteArray local =
        QByteArray("0100007F:") + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    QByteArray socket;
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 9 && fields[1] == local && fields[3] == "0A") {
            socket = "socket:[" + fields[9] + "]";
            break;
        }
    }
    if (socket.isEmpty()) return false;
    const QString fds = QStringLiteral("/proc/%1/fd/").arg(owner);
    char target[64];
    for (const QString& fd : QDir(fds).entryList(QDir::Files | QDir::System)) {
        const ssize_t n =
            ::readlink(QFile::encodeName(fds + fd).constData(), target, sizeof target);
        if (n > 0 && QByteArray(target, n) == socket) return true;
    }
    return false;
}

int listenOnLoopback(int backlog, std::uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(fd, backlog) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

namespace {

// The first port of the kernel's range for outgoing connections.
int outgoingRangeStart() {
    QFile range(QStringLiteral("/proc/sys/net/ipv4/ip_local_port_range"));
    bool ok = false;
    const int low = range.open(QIODevice::ReadOnly)
                        ? range.readAll().simplified().split(' ').value(0).toInt(&ok)
                        : 0;
    return ok ? low : 32768;
}

bool canBindLoopback(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

}  // namespace

// Below the kernel's range for outgoing connections: a port from that range can be taken by any
// outgoing connection before ser2net binds it, and ser2net then leaves that accepter out without
// a word. Chosen at random, so that tests running side by side rarely choose the same one.
std::uint16_t freeLoopbackPort() {
    constexpr int kLowest = 20000;
    const int span = outgoingRangeStart() - kLowest;
    static std::mt19937 random{std::random_device{}()};
    for (int i = 0; span >= 1000 && i < 100; ++i) {
        const auto port = static_cast<std::uint16_t>(kLowest + random() % span);
        if (canBindLoopback(port)) return port;
    }
    // No such range here: the kernel's choice.
    std::uint16_t port = 0;
    const int fd = listenOnLoopback(1, port);
    if (fd < 0) return 0;
    ::close(fd);
    return port;
}

Ser2NetProcess::Ser2NetProcess(const QString& device, const Ser2NetSetup& setup)
    : Ser2NetProcess(std::vector<QString>{device}, setup) {}

Ser2NetProcess::Ser2NetProcess(const std::vector<QString>& devices, const Ser2NetSetup& setup)
    : logFile_(setup.logFile.isEmpty() ? dir_.filePath(QStringLiteral("ser2net.log"))
                                       : setup.logFile) {
    if (!writeConfiguration(devices, setup) || !setup.startNow) return;
    // A port taken between its choice and ser2net's start leaves that accepter out: before anyone
    // has been given a port, choose them all again.
    for (int attempt = 1; !start() && !exited_ && attempt < 3; ++attempt)
        if (!writeConfiguration(devices, setup)) return;
}

bool Ser2NetProcess::writeConfiguration(const std::vector<QString>& devices,
                                        const Ser2NetSetup& setup) {
    rfc2217Ports_.clear();
    socketPorts_.clear();
    // The device is opened only while a client is connected; 19200n81 until told otherwise.
    const auto connection = [&](const std::string& name, const std::string& accepter,
                                std::uint16_t port, const QString& device) {
        return "connection: &" + name + "\n    accepter: " + accepter + ",127.0.0.1," +
               std::to_string(port) + "\n    connector: serialdev," + device.toStdString() +
               ",19200n81,local\n    options:\n        mdns: false\n" + setup.extraOptions;
    };
    std::string config;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        rfc2217Ports_.push_back(freeLoopbackPort());
        socketPorts_.push_back(freeLoopbackPort());
        const std::string n = i == 0 ? std::string() : std::to_string(i);
        config +=
            connection("rfc2217" + n, "telnet(rfc2217),tcp", rfc2217Ports_.back(), devices[i]) +
            connection("raw" + n, "tcp", socketPorts_.back(), devices[i]);
    }
    QFile file(dir_.filePath(QStringLiteral("ser2net.yaml")));
    return file.open(QIODevice::WriteOnly) &&
           file.write(config.data(), static_cast<qint64>(config.size())) ==
               static_cast<qint64>(config.size());
}

Ser2NetProcess::~Ser2NetProcess() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    // ser2net can hang on its way out (seen once beside a failed accepter): never wait forever.
    using namespace std::chrono_literals;
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) return;
        std::this_thread::sleep_for(20ms);
    }
    kill();
}

bool Ser2NetProcess::launch() {
    if (pid_ > 0) return true;
    const std::string config = dir_.filePath(QStringLiteral("ser2net.yaml")).toStdString();
    const std::string pidFile = dir_.filePath(QStringLiteral("ser2net.pid")).toStdString();
    const std::string logFile = logFile_.toStdString();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // A test or tool that dies (a crash, an abort) must not leave its server running.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        std::FILE* log = std::freopen(logFile.c_str(), "a", stderr);
        (void)log;
        // -n: stay in the foreground, so the pid is ours to stop.
        ::execlp("ser2net", "ser2net", "-n", "-d", "-c", config.c_str(), "-P", pidFile.c_str(),
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (pid < 0) return false;
    pid_ = pid;
    return true;
}

bool Ser2NetProcess::listening() const {
    if (pid_ <= 0) return false;
    for (std::size_t i = 0; i < rfc2217Ports_.size(); ++i)
        if (!portListening(rfc2217Ports_[i], pid_) || !portListening(socketPorts_[i], pid_))
            return false;
    return true;
}

bool Ser2NetProcess::start() {
    if (!launch()) return false;
    using namespace std::chrono_literals;
    for (int i = 0; i < 200; ++i) {
        if (listening()) return true;
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            exited_ = true;
            return false;
        }
        std::this_thread::sleep_for(25ms);
    }
    kill();
    return false;
}

void Ser2NetProcess::kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

QString Ser2NetProcess::rfc2217Url(std::size_t device) const {
    return QStringLiteral("rfc2217://127.0.0.1:%1").arg(rfc2217Ports_.at(device));
}

QString Ser2NetProcess::socketUrl(std::size_t device) const {
    return QStringLiteral("socket://127.0.0.1:%1").arg(socketPorts_.at(device));
}

std::string Ser2NetProcess::log() const {
    QFile file(logFile_);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll().toStdString();
}

}  // namespace panel::test
