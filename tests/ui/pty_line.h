// A pseudo-terminal as the projector's end of the line: the panel opens the slave, the test reads
// and writes the master.
#pragma once

#include <termios.h>

#include <QString>
#include <string>

namespace panel::test {

class PtyLine {
public:
    PtyLine();
    ~PtyLine();
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    bool ok() const { return master_ >= 0; }
    QString path() const { return path_; }

    // The output speed the slave's terminal attributes hold (B9600, B19200...).
    speed_t speed() const;

    // What the panel wrote, until `count` bytes came; gives up after a few seconds so that a broken
    // build fails instead of hanging.
    std::string read(std::size_t count);

private:
    int master_ = -1;
    int slave_ = -1;  // held open so the attributes can be read while the panel has the port
    QString path_;
};

}  // namespace panel::test
