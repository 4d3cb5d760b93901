// The simulator's end of a raw pseudo-terminal pair, the optional link to the far end, and a
// watch that tells when a client opens the far end.
#pragma once

#include <memory>
#include <string>

namespace sim {

class PseudoTerminal {
public:
    // Empty on failure, with the reason in `error`.
    static std::unique_ptr<PseudoTerminal> open(std::string& error);
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // The device a client opens.
    const std::string& devicePath() const { return devicePath_; }
    // Non-blocking; -1 after hangUp().
    int masterFd() const { return master_; }
    // Readable when someone has opened the device since the last drainWatch(); -1 when the
    // kernel offers no such watch (then the caller has to look again from time to time).
    int watchFd() const { return watch_; }
    // Empties the watch; true when it held at least one open.
    bool drainWatch();

    // Points a symbolic link at the device. An existing symbolic link is replaced (a stale one from
    // an earlier run); any other file there is left alone and reported.
    bool makeLink(const std::string& path, std::string& error);
    // Removes the link if it still points at this device: a newer simulator may have taken it.
    void removeLink();

    // The speed the client has set on its end, in baud; 0 when unknown (the two ends share one
    // set of terminal settings, so the master reads the client's).
    unsigned baudRate() const;

    // Closes the master: the device vanishes, and clients holding it get a hang-up.
    void hangUp();

private:
    PseudoTerminal() = default;

    int master_ = -1;
    int watch_ = -1;
    std::string devicePath_;
    std::string link_;
};

}  // namespace sim
