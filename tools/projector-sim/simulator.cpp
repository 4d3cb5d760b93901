#include "tools/projector-sim/simulator.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

#include "tools/projector-sim/frame_log.h"

namespace sim {
namespace {

using namespace std::chrono_literals;

// Without an open watch, how often to look whether a client came back.
constexpr Micros kProbeInterval = 10ms;

Micros fromSeconds(double seconds) {
    return Micros(static_cast<Micros::rep>(std::llround(seconds * 1e6)));
}

ModelSettings modelSettings(const SimOptions& o) {
    ModelSettings s;
    s.warmup = fromSeconds(o.warmupSeconds);
    s.cooldown = fromSeconds(o.cooldownSeconds);
    s.noSignal = o.noSignal;
    s.lampFault = o.lampFault;
    return s;
}

ShapeSettings shapeSettings(const SimOptions& o) {
    ShapeSettings s;
    s.latency = std::chrono::milliseconds(o.latencyMs);
    s.split = o.split;
    s.noise = o.noiseRate;
    return s;
}

// Writes as much of `bytes` as the terminal takes now; returns how much that was.
std::size_t writeSome(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

// No client has the terminal open at this moment, whatever was concluded before.
bool nobodyOnTheLine(int master) {
    pollfd fd{master, 0, 0};
    return ::poll(&fd, 1, 0) == 1 && (fd.revents & POLLHUP) != 0;
}

}  // namespace

Simulator::Simulator(const SimOptions& options, PseudoTerminal& pty, FrameLog* log,
                     std::uint64_t seed, Micros start)
    : pty_(pty),
      model_(modelSettings(options), start),
      shaper_(shapeSettings(options), seed),
      responder_(model_, shaper_, options.noReply,
                 [log, &pty, withSpeed = options.logSpeed](Micros at, std::string_view frame) {
                     if (!log) return;
                     log->write(at, frame,
                                withSpeed ? std::optional<unsigned>(pty.baudRate()) : std::nullopt);
                 }) {
    if (options.floodBytesPerSecond > 0) flood_.emplace(options.floodBytesPerSecond, start);
    if (options.hangupAfterSeconds) hangupAt_ = start + fromSeconds(*options.hangupAfterSeconds);
}

void Simulator::readClient(Micros& now) {
    std::array<char, 4096> buffer{};
    for (;;) {
        const ssize_t n = ::read(pty_.masterFd(), buffer.data(), buffer.size());
        if (n > 0) {
            // Stamped right after the read returns: the log's periods are measured from this.
            now = MonotonicNow();
            responder_.receive(std::string_view(buffer.data(), static_cast<std::size_t>(n)), now);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return;
        // EIO (or end of file): the last client closed the device.
        clientLeft_ = true;
        return;
    }
}

void Simulator::writeDue(Micros now) {
    unsent_ += responder_.takeDue(now);
    std::string flood = flood_ ? flood_->take(now) : std::string();
    // An open seen after a hang-up may be an old one. Written to a closed terminal, an answer
    // would wait there for the next client, which no real line does: the late answer to a client
    // that left would stand before the answer to the next one's first command.
    const bool due = !unsent_.empty() || !flood.empty();
    if (!clientPresent_ || (due && nobodyOnTheLine(pty_.masterFd()))) {
        unsent_.clear();
        return;
    }
    unsent_.erase(0, writeSome(pty_.masterFd(), unsent_));
    // Flood bytes only between whole answers, and never held back: what the terminal does not
    // take is lost, as it would be on a line with no flow control.
    if (unsent_.empty() && !flood.empty()) writeSome(pty_.masterFd(), flood);
}

void Simulator::arrive() {
    // The flood owed while nobody listened is not sent now in one burst.
    if (flood_ && !clientPresent_) flood_->skip(MonotonicNow());
    clientPresent_ = true;
}

std::optional<Micros> Simulator::nextWake() const {
    std::optional<Micros> wake = hangupAt_;
    auto consider = [&wake](Micros at) { wake = wake ? std::min(*wake, at) : at; };
    if (const auto due = responder_.nextDue()) consider(*due);
    // No reader, no flood: nothing to wake for until one comes.
    if (flood_ && clientPresent_) consider(flood_->nextDue());
    if (!clientPresent_ && pty_.watchFd() < 0) consider(nextProbe_);
    return wake;
}

void Simulator::run(const volatile std::sig_atomic_t& stop, const sigset_t& waitMask) {
    // Until a client shows up the master reports a hang-up; look once to start right.
    clientPresent_ = true;
    while (stop == 0) {
        Micros now = MonotonicNow();
        if (hangupAt_ && now >= *hangupAt_) {
            pty_.hangUp();
            pty_.removeLink();
            hungUp_ = true;
            return;
        }
        if (!clientPresent_ && pty_.watchFd() < 0 && now >= nextProbe_) arrive();
        writeDue(now);

        std::array<pollfd, 2> fds{};
        fds[0] = {clientPresent_ ? pty_.masterFd() : -1,
                  static_cast<short>(POLLIN | (unsent_.empty() ? 0 : POLLOUT)), 0};
        fds[1] = {pty_.watchFd(), POLLIN, 0};

        timespec timeout{};
        timespec* wait = nullptr;
        if (const auto wake = nextWake()) {
            const auto left = std::max(Micros(0), *wake - now);
            timeout.tv_sec = static_cast<time_t>(left.count() / 1'000'000);
            timeout.tv_nsec = static_cast<long>(left.count() % 1'000'000 * 1000);
            wait = &timeout;
        }
        const int ready = ppoll(fds.data(), fds.size(), wait, &waitMask);
        if (ready < 0) continue;  // EINTR: a signal; `stop` says whether it ends the run

        clientLeft_ = false;
        if (fds[0].revents != 0) {
            readClient(now);
            if (fds[0].revents & (POLLHUP | POLLERR)) clientLeft_ = true;
        }
        if (clientLeft_) {
            clientPresent_ = false;
            unsent_.clear();
            nextProbe_ = MonotonicNow() + kProbeInterval;
        }
        // After a hang-up the watch is read at once, whatever the poll said: an open that came
        // after the poll must not be missed. An open seen here may be an old one; the next poll
        // of the master then shows the hang-up again and nothing is lost.
        if ((clientLeft_ || (fds[1].revents & POLLIN)) && pty_.drainWatch()) arrive();
    }
}

}  // namespace sim
