#include "service/action_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace panel {
namespace {

class ActionObserver final : public SessionObserver {
public:
    ActionObserver(ActionLog& log, LoggedPort who) : log_(log), who_(std::move(who)) {}
    void record(const SessionEvent& event) override { log_.record(who_, event); }

private:
    ActionLog& log_;
    LoggedPort who_;
};

}  // namespace

ActionLog::~ActionLog() {
    stop();
}

std::optional<std::string> ActionLog::start(const std::string& path) {
    stop();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0640);
    if (fd < 0) return std::string(std::strerror(errno));
    fd_ = fd;
    path_ = path;
    line_ = "# " + program_ + ", log started " +
            std::string(stamp_.at(std::chrono::system_clock::now())) +
            "\n# each line names the token, then the projector and its port\n";
    write();
    return active() ? std::nullopt : std::optional<std::string>("the header could not be written");
}

void ActionLog::stop() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::shared_ptr<SessionObserver> ActionLog::observer(const std::string& actor,
                                                     const std::string& projector) {
    return std::make_shared<ActionObserver>(*this, LoggedPort{actor, projector});
}

void ActionLog::record(const LoggedPort& who, const SessionEvent& event) {
    if (fd_ < 0) return;
    line_.clear();
    AppendSessionLine(line_, stamp_.at(std::chrono::system_clock::now()), who, event);
    write();
}

void ActionLog::write() {
    std::size_t done = 0;
    while (done < line_.size()) {
        const ssize_t n = ::write(fd_, line_.data() + done, line_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const std::string reason = n < 0 ? std::strerror(errno) : "nothing was written";
            stop();  // a full disk ends the log, never the service
            if (failed_)
                failed_("writing the log " + path_ + " failed (" + reason +
                        "): logging has stopped");
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace panel
