#include "service/signal_pipe.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>

namespace panel {
namespace {

// Only one pipe per process: the handlers are process-wide too.
volatile std::sig_atomic_t gWriteFd = -1;

void onSignal(int number) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    if (gWriteFd >= 0) (void)!::write(gWriteFd, &byte, 1);
    errno = saved;
}

}  // namespace

SignalPipe::SignalPipe(QObject* parent) : QObject(parent) {
    if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) return;
    gWriteFd = fds_[1];
    struct sigaction action {};
    action.sa_handler = &onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(number, &action, nullptr);
    // A client that goes away mid-answer must not end the service.
    ::signal(SIGPIPE, SIG_IGN);
    notifier_ = std::make_unique<QSocketNotifier>(fds_[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { readSignals(); });
}

SignalPipe::~SignalPipe() {
    for (int number : {SIGTERM, SIGINT, SIGHUP}) ::signal(number, SIG_DFL);
    gWriteFd = -1;
    notifier_.reset();
    for (int fd : fds_)
        if (fd >= 0) ::close(fd);
}

void SignalPipe::readSignals() {
    unsigned char bytes[16];
    ssize_t n = 0;
    while ((n = ::read(fds_[0], bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            if (bytes[i] == SIGHUP)
                emit reload();
            else
                emit terminate();
        }
    }
}

}  // namespace panel
