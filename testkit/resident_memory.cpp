#include "testkit/resident_memory.h"

#include <fstream>

namespace panel::test {

std::int64_t StatusKiB(const std::string& process, std::string_view key) {
    std::ifstream status("/proc/" + process + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.size() > key.size() && line.starts_with(key) && line[key.size()] == ':')
            return std::stoll(line.substr(key.size() + 1));
    return 0;
}

}  // namespace panel::test
