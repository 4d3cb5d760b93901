// The frame log: one line per received frame, "<monotonic microseconds> <escaped frame bytes>".
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "tools/projector-sim/sim_time.h"

namespace sim {

class FrameLog {
public:
    // Printable ASCII stands for itself except the backslash ("\\"); CR, LF and TAB are "\r", "\n"
    // and "\t"; every other byte is "\xHH" in lower-case hex. So a line never holds a line break.
    static std::string escape(std::string_view frame);
    // The whole line, newline included. The frame starts after the first space, or after the
    // second when the line speed is given.
    static std::string line(Micros at, std::string_view frame,
                            std::optional<unsigned> baud = std::nullopt);

    // Creates or truncates `path`. Empty on failure, with the reason in `error`.
    static std::unique_ptr<FrameLog> open(const std::string& path, std::string& error);
    ~FrameLog();
    FrameLog(const FrameLog&) = delete;
    FrameLog& operator=(const FrameLog&) = delete;

    // One write() a line, so a reader sees each line whole as soon as the frame has come in.
    void write(Micros at, std::string_view frame, std::optional<unsigned> baud = std::nullopt);

private:
    explicit FrameLog(int fd) : fd_(fd) {}
    int fd_;
};

}  // namespace sim
