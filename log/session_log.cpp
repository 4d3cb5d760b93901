#include "log/session_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace panel {

SessionLog::SessionLog(std::string program, std::array<LoggedPort, 2> ports)
    : program_(std::move(program)), ports_(std::move(ports)) {}

SessionLog::~SessionLog() {
    stop();
}

std::optional<LogRefusal> SessionLog::start(const std::string& path, std::string_view settings) {
    std::string lines;
    for (const LoggedPort& port : ports_) lines += port.com + ' ' + port.device + '\t';
    return open(path, lines + std::string(settings));
}

std::optional<LogRefusal> SessionLog::start(const std::string& path,
                                            const std::vector<LoggedPort>& lines) {
    std::string named;
    for (const LoggedPort& line : lines) {
        if (!named.empty()) named += '\t';
        named += line.com + ' ' + line.device;
    }
    return open(path, named);
}

std::optional<LogRefusal> SessionLog::open(const std::string& path, const std::string& lines) {
    stop();
    writeFailed_ = false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) return LogRefusal{LogRefusal::Stage::Open, std::strerror(errno)};
    fd_ = fd;
    path_ = path;
    const std::string_view now = stamp_.at(std::chrono::system_clock::now());
    line_ = "# " + program_ + ", log started " + std::string(now) + "\n# " + lines + '\n';
    if (auto failed = write()) return LogRefusal{LogRefusal::Stage::Header, std::move(*failed)};
    return std::nullopt;
}

void SessionLog::stop() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void SessionLog::setFailureHandler(std::function<void(const std::string&)> handler) {
    failed_ = std::move(handler);
}

void SessionLog::record(const SessionEvent& event) {
    record(ports_[event.port == 2 ? 1 : 0], event);
}

void SessionLog::record(const LoggedPort& port, const SessionEvent& event) {
    if (fd_ < 0) return;
    line_.clear();
    AppendSessionLine(line_, stamp_.at(std::chrono::system_clock::now()), port, event);
    if (auto reason = write(); reason && failed_)
        failed_("Writing the log " + path_ + " failed (" + *reason + "): logging has stopped.");
}

std::optional<std::string> SessionLog::write() {
    // One write a line: it reaches the system at once, and nothing is kept back in a buffer.
    std::size_t done = 0;
    while (done < line_.size()) {
        const ssize_t n = ::write(fd_, line_.data() + done, line_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            std::string reason = n < 0 ? std::strerror(errno) : "nothing was written";
            stop();
            writeFailed_ = true;
            return reason;
        }
        done += static_cast<std::size_t>(n);
    }
    return std::nullopt;
}

}  // namespace panel
