// While alive, no file of this process grows past a given size: a write beyond it fails with
// EFBIG, as a write to a disk that has just filled up fails, but only after what came before.
#pragma once

#include <sys/resource.h>

#include <csignal>
#include <cstdint>

namespace panel::test {

class FileSizeLimit {
public:
    explicit FileSizeLimit(std::int64_t bytes) {
        getrlimit(RLIMIT_FSIZE, &before_);
        // Without this the kernel ends the process with SIGXFSZ instead of failing the write.
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = before_;
        limit.rlim_cur = static_cast<rlim_t>(bytes);
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &before_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit before_{};
    void (*previous_)(int) = SIG_DFL;
};

}  // namespace panel::test
