// libFuzzer entry point of every fuzz target: stops at the first input that breaks a property of
// the check the build names (PANEL_FUZZ_CHECK, one of tools/fuzz/checks.h).
#include <cstdio>
#include <cstdlib>

#include "tools/fuzz/checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string failure = panel::fuzz::PANEL_FUZZ_CHECK({data, size});
    if (!failure.empty()) {
        std::fprintf(stderr, "%s: %s\n", PANEL_FUZZ_TARGET, failure.c_str());
        std::abort();
    }
    return 0;
}
