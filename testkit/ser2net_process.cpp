#include "testkit/ser2net_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <chrono>
#include <thread>

namespace panel::test {

// Read from the kernel's table rather than by connecting, which would open the device.
bool portListening(std::uint16_t port) {
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly)) return false;
    const QByteArray local =
        QByteArray("0100007F:") + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields[1] == local && fields[3] == "0A") return true;
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

// Taken from the kernel by listening on port 0, then let go.
std::uint16_t freeLoopbackPort() {
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
    if (!file.open(QIODevice::WriteOnly)) return;
    file.write(config.data(), static_cast<qint64>(config.size()));
    file.close();
    if (setup.startNow) start();
}

Ser2NetProcess::~Ser2NetProcess() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
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
        if (!portListening(rfc2217Ports_[i]) || !portListening(socketPorts_[i])) return false;
    return true;
}

bool Ser2NetProcess::start() {
    if (!launch()) return false;
    using namespace std::chrono_literals;
    for (int i = 0; i < 200; ++i) {
        if (listening()) return true;
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
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
