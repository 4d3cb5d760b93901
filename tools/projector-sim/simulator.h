// The simulator's event loop: one ppoll() over the pseudo-terminal, waking for received bytes,
// for answers and flood bytes that fall due, and for the hang-up time; never sleeping otherwise.
#pragma once

#include <signal.h>

#include <csignal>
#include <optional>
#include <string>

#include "tools/projector-sim/flood_source.h"
#include "tools/projector-sim/projector_model.h"
#include "tools/projector-sim/pseudo_terminal.h"
#include "tools/projector-sim/reply_shaper.h"
#include "tools/projector-sim/responder.h"
#include "tools/projector-sim/sim_options.h"

namespace sim {

class FrameLog;

class Simulator {
public:
    // `log` may be null. Times count from `start`.
    Simulator(const SimOptions& options, PseudoTerminal& pty, FrameLog* log, std::uint64_t seed,
              Micros start);

    // Serves until `stop` becomes non-zero or the hang-up time comes. Signals are taken only while
    // waiting: the caller blocks them and passes the mask to wait with, so that a signal cannot
    // slip in between the check of `stop` and the wait.
    void run(const volatile std::sig_atomic_t& stop, const sigset_t& waitMask);

    bool hungUp() const { return hungUp_; }

private:
    void readClient(Micros& now);
    void writeDue(Micros now);
    std::optional<Micros> nextWake() const;
    void arrive();  // a client may have opened the device

    PseudoTerminal& pty_;
    ProjectorModel model_;
    ReplyShaper shaper_;
    Responder responder_;
    std::optional<FloodSource> flood_;
    std::optional<Micros> hangupAt_;

    // Whether a client may have the device open. Cleared on a hang-up from the master (polling a
    // master nobody holds would report it without end) and set again by the open watch.
    bool clientPresent_ = false;
    bool clientLeft_ = false;
    Micros nextProbe_{0};  // without an open watch: when to look for a client again
    std::string unsent_;   // answer bytes the terminal would not take yet
    bool hungUp_ = false;
};

}  // namespace sim
