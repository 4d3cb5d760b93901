#include "tests/ui/pty_line.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <cerrno>

namespace panel::test {

PtyLine::PtyLine() {
    termios raw{};
    cfmakeraw(&raw);
    char name[256] = {};
    if (openpty(&master_, &slave_, name, &raw, nullptr) != 0) {
        master_ = slave_ = -1;
        return;
    }
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
    path_ = QString::fromLocal8Bit(name);
}

PtyLine::~PtyLine() {
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
}

speed_t PtyLine::speed() const {
    termios attributes{};
    if (tcgetattr(slave_, &attributes) != 0) return B0;
    return cfgetospeed(&attributes);
}

std::string PtyLine::read(std::size_t count) {
    std::string bytes;
    int idlePolls = 0;
    while (bytes.size() < count && idlePolls < 50) {
        pollfd fd{master_, POLLIN, 0};
        const int ready = ::poll(&fd, 1, 100);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || !(fd.revents & POLLIN)) {
            ++idlePolls;
            continue;
        }
        char buffer[256];
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return bytes;
}

}  // namespace panel::test
