// libFuzzer entry point: stops at the first input that breaks a property of CheckTelnet.
#include <cstdio>
#include <cstdlib>

#include "tools/fuzz/checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string failure = panel::fuzz::CheckTelnet({data, size});
    if (!failure.empty()) {
        std::fprintf(stderr, "fuzz_telnet: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
