// projector-sim: a simulated projector on a pseudo-terminal. See --help.
#include <signal.h>

#include <cstdio>
#include <random>
#include <string_view>
#include <vector>

#include "tools/projector-sim/frame_log.h"
#include "tools/projector-sim/pseudo_terminal.h"
#include "tools/projector-sim/sim_options.h"
#include "tools/projector-sim/simulator.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void requestStop(int) {
    stopRequested = 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string_view program = argc > 0 ? argv[0] : "projector-sim";
    std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const sim::ParsedOptions parsed = sim::parseOptions(args);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", argv[0], parsed.error.c_str(), argv[0]);
        return 2;
    }
    const sim::SimOptions& options = parsed.options;
    if (options.help) {
        std::fputs(sim::helpText(program).c_str(), stdout);
        return 0;
    }

    // Blocked from here on and let through only inside ppoll(), so the loop sees every stop.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    sigset_t waitMask;
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    std::string error;
    auto pty = sim::PseudoTerminal::open(error);
    if (!pty) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
        return 1;
    }
    std::unique_ptr<sim::FrameLog> log;
    if (!options.logPath.empty()) {
        log = sim::FrameLog::open(options.logPath, error);
        if (!log) {
            std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
            return 1;
        }
    }
    if (!options.link.empty() && !pty->makeLink(options.link, error)) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
        return 1;
    }

    const std::uint64_t seed = options.seed ? *options.seed : std::random_device{}();
    sim::Simulator simulator(options, *pty, log.get(), seed, sim::MonotonicNow());

    // Printed last, once the device is fully served: a reader may open it the moment it sees this.
    std::printf("%s\n", pty->devicePath().c_str());
    std::fflush(stdout);

    simulator.run(stopRequested, waitMask);
    if (simulator.hungUp()) std::fprintf(stderr, "%s: hung up\n", argv[0]);
    return 0;
}
