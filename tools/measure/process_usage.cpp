#include "tools/measure/process_usage.h"

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "testkit/resident_memory.h"

namespace panel::measure {

std::optional<ProcessUsage> ProcessUsage::of(pid_t pid) {
    const std::string dir = "/proc/" + std::to_string(pid) + "/";
    std::ifstream statFile(dir + "stat");
    std::string stat;
    if (!std::getline(statFile, stat)) return std::nullopt;
    // The command name may hold spaces; the fields after its closing parenthesis do not.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    long long utime = 0;
    long long stime = 0;
    // Fields 3 onwards: state is field 3, utime 14, stime 15.
    for (int number = 3; number <= 15 && fields >> field; ++number) {
        if (number == 14) utime = std::stoll(field);
        if (number == 15) stime = std::stoll(field);
    }

    ProcessUsage usage;
    usage.cpuSeconds =
        static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
    usage.rssKiB = test::StatusKiB(std::to_string(pid), "VmRSS");
    usage.peakKiB = test::StatusKiB(std::to_string(pid), "VmHWM");
    return usage;
}

}  // namespace panel::measure
