// A pseudo-terminal standing in for a serial line: the adapter opens the slave, the test is the far
// end.
#pragma once

#include <termios.h>

#include <QString>
#include <chrono>
#include <string>

namespace panel::test {

class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool ok() const { return master_ >= 0 && slave_ >= 0; }
    // The device path to hand to the adapter ("/dev/pts/N").
    QString path() const { return path_; }

    // The line settings as the slave's terminal attributes hold them.
    termios attributes() const;

    // The far end writes `bytes` toward the adapter.
    bool write(const std::string& bytes);
    // Reads what the adapter wrote until `count` bytes came or `limit` passed.
    std::string read(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(5));
    // What arrives within `quiet` (used to show that nothing arrives).
    std::string drain(std::chrono::milliseconds quiet = std::chrono::milliseconds(100));

    // The far end hangs up, as a USB adapter's tty does when pulled out.
    void hangUp();

private:
    int master_ = -1;
    int slave_ = -1;  // held open so the settings can be read and the master never sees EIO
    QString path_;
};

}  // namespace panel::test
