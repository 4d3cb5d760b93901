#include "tools/measure/sim_log.h"

#include <fstream>

namespace panel::measure {

std::vector<std::int64_t> SimLog::times(std::string_view frame) const {
    std::vector<std::int64_t> result;
    std::ifstream in(path_);
    std::string line;
    // A last line still being written has no newline yet; getline would hand it over cut short,
    // so only lines followed by one count.
    while (std::getline(in, line) && !in.eof()) {
        const std::size_t space = line.find(' ');
        if (space == std::string::npos) continue;
        if (std::string_view(line).substr(space + 1) == frame)
            result.push_back(std::stoll(line.substr(0, space)));
    }
    return result;
}

}  // namespace panel::measure
