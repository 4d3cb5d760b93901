#include "tools/projector-sim/pseudo_terminal.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace sim {
namespace {

bool makeRaw(int fd) {
    termios attributes{};
    if (tcgetattr(fd, &attributes) != 0) return false;
    cfmakeraw(&attributes);
    return tcsetattr(fd, TCSANOW, &attributes) == 0;
}

std::string failure(std::string_view what) {
    return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

std::unique_ptr<PseudoTerminal> PseudoTerminal::open(std::string& error) {
    std::unique_ptr<PseudoTerminal> pty(new PseudoTerminal);
    int slave = -1;
    std::array<char, 128> name{};
    if (openpty(&pty->master_, &slave, name.data(), nullptr, nullptr) != 0) {
        error = failure("openpty");
        return nullptr;
    }
    pty->devicePath_ = name.data();
    // The slave's settings outlive this descriptor: they are what the next client finds. Raw on
    // both sides, or CR would arrive as LF.
    const bool raw = makeRaw(slave) && makeRaw(pty->master_);
    if (!raw) error = failure("raw mode");
    // The slave is not kept open: a client's close must show as a hang-up on the master, and a
    // descriptor held here would keep the client's exclusive lock alive after it exits.
    ::close(slave);
    if (!raw) return nullptr;

    const int flags = fcntl(pty->master_, F_GETFL);
    if (flags < 0 || fcntl(pty->master_, F_SETFL, flags | O_NONBLOCK) != 0 ||
        fcntl(pty->master_, F_SETFD, FD_CLOEXEC) != 0) {
        error = failure("master descriptor");
        return nullptr;
    }

    pty->watch_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (pty->watch_ >= 0 && inotify_add_watch(pty->watch_, name.data(), IN_OPEN) < 0) {
        ::close(pty->watch_);
        pty->watch_ = -1;
    }
    return pty;
}

PseudoTerminal::~PseudoTerminal() {
    removeLink();
    hangUp();
    if (watch_ >= 0) ::close(watch_);
}

bool PseudoTerminal::drainWatch() {
    if (watch_ < 0) return false;
    bool opened = false;
    alignas(inotify_event) std::array<char, 4096> buffer{};
    for (;;) {
        const ssize_t n = ::read(watch_, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return opened;
        for (ssize_t at = 0; at < n;) {
            inotify_event event{};
            std::memcpy(&event, buffer.data() + at, sizeof event);
            if (event.mask & IN_OPEN) opened = true;
            at += static_cast<ssize_t>(sizeof event + event.len);
        }
    }
}

bool PseudoTerminal::makeLink(const std::string& path, std::string& error) {
    // Built beside the target and renamed over it, so the path never points nowhere in between.
    const std::string fresh = path + ".new." + std::to_string(getpid());
    ::unlink(fresh.c_str());
    if (::symlink(devicePath_.c_str(), fresh.c_str()) != 0) {
        error = failure(path);
        return false;
    }
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        ::unlink(fresh.c_str());
        error = path + ": exists and is not a symbolic link";
        return false;
    }
    if (::rename(fresh.c_str(), path.c_str()) != 0) {
        error = failure(path);
        ::unlink(fresh.c_str());
        return false;
    }
    link_ = path;
    return true;
}

void PseudoTerminal::removeLink() {
    if (link_.empty()) return;
    std::array<char, 4096> target{};
    const ssize_t n = ::readlink(link_.c_str(), target.data(), target.size() - 1);
    if (n >= 0 && devicePath_ == std::string_view(target.data(), static_cast<std::size_t>(n)))
        ::unlink(link_.c_str());
    link_.clear();
}

void PseudoTerminal::hangUp() {
    if (master_ < 0) return;
    ::close(master_);
    master_ = -1;
}

unsigned PseudoTerminal::baudRate() const {
    termios settings{};
    if (master_ < 0 || tcgetattr(master_, &settings) != 0) return 0;
    struct Speed {
        speed_t code;
        unsigned baud;
    };
    static constexpr std::array kSpeeds{
        Speed{B1200, 1200},   Speed{B2400, 2400},   Speed{B4800, 4800},   Speed{B9600, 9600},
        Speed{B19200, 19200}, Speed{B38400, 38400}, Speed{B57600, 57600}, Speed{B115200, 115200},
    };
    const speed_t code = cfgetospeed(&settings);
    for (const Speed& speed : kSpeeds)
        if (speed.code == code) return speed.baud;
    return 0;
}

}  // namespace sim
