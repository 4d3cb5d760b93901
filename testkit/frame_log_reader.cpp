#include "testkit/frame_log_reader.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace panel::test {

std::vector<LoggedFrame> FrameLogReader::frames() const {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream whole;
    whole << in.rdbuf();
    const std::string text = whole.str();

    std::vector<LoggedFrame> result;
    std::size_t start = 0;
    // A line still being written has no newline yet and is left for the next look.
    for (std::size_t end = text.find('\n'); end != std::string::npos;
         start = end + 1, end = text.find('\n', start)) {
        const std::string_view line(text.data() + start, end - start);
        const std::size_t space = line.find(' ');
        if (space == std::string_view::npos) continue;
        LoggedFrame frame;
        frame.micros = std::stoll(std::string(line.substr(0, space)));
        frame.frame = std::string(line.substr(space + 1));
        result.push_back(std::move(frame));
    }
    return result;
}

std::size_t FrameLogReader::count(std::string_view frame) const {
    const std::vector<LoggedFrame> all = frames();
    return static_cast<std::size_t>(std::count_if(
        all.begin(), all.end(), [&](const LoggedFrame& f) { return f.frame == frame; }));
}

std::vector<std::int64_t> FrameLogReader::times(std::string_view frame) const {
    std::vector<std::int64_t> result;
    for (const LoggedFrame& f : frames())
        if (f.frame == frame) result.push_back(f.micros);
    return result;
}

}  // namespace panel::test
