#include "tools/projector-sim/frame_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sim {

std::string FrameLog::escape(std::string_view frame) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(frame.size());
    for (const char c : frame) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
            case '\\':
                out += "\\\\";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (byte >= 0x20 && byte < 0x7f) {
                    out += c;
                } else {
                    out += "\\x";
                    out += kHex[byte >> 4];
                    out += kHex[byte & 0xf];
                }
        }
    }
    return out;
}

std::string FrameLog::line(Micros at, std::string_view frame, std::optional<unsigned> baud) {
    std::string text = std::to_string(at.count());
    text += ' ';
    if (baud) {
        text += std::to_string(*baud);
        text += ' ';
    }
    text += escape(frame);
    text += '\n';
    return text;
}

std::unique_ptr<FrameLog> FrameLog::open(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return nullptr;
    }
    return std::unique_ptr<FrameLog>(new FrameLog(fd));
}

FrameLog::~FrameLog() {
    ::close(fd_);
}

void FrameLog::write(Micros at, std::string_view frame, std::optional<unsigned> baud) {
    const std::string text = line(at, frame, baud);
    std::string_view rest = text;
    while (!rest.empty()) {
        const ssize_t n = ::write(fd_, rest.data(), rest.size());
        if (n < 0 && errno == EINTR) continue;
        // A full disk must not stop the projector from answering: the log just loses the line.
        if (n <= 0) return;
        rest.remove_prefix(static_cast<std::size_t>(n));
    }
}

}  // namespace sim
