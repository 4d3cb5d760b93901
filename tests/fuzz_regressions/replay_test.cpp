// Replays every kept fuzz input, the committed seeds and each crash the fuzzers found, through the
// same checks the fuzz targets make, so that a fault once found stays fixed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "tools/fuzz/checks.h"

namespace panel::fuzz {
namespace {

namespace fs = std::filesystem;

struct Target {
    const char* folder;
    std::string (*check)(std::span<const std::uint8_t>);
};

constexpr Target kTargets[] = {
    {"trace", CheckTrace},
    {"replies", CheckReplies},
    {"controller", CheckController},
    {"telnet", CheckTelnet},
};

struct KeptInput {
    std::string name;  // unique: target, kind and file
    std::string (*check)(std::span<const std::uint8_t>);
    fs::path path;
};

std::vector<KeptInput> KeptInputs() {
    std::vector<KeptInput> inputs;
    for (const Target& target : kTargets) {
        for (const char* kind : {"corpus", "regressions"}) {
            const fs::path folder = fs::path(PANEL_FUZZ_INPUTS) / kind / target.folder;
            if (!fs::is_directory(folder)) continue;
            for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
                if (!entry.is_regular_file()) continue;
                std::string name = std::string(target.folder) + "_" + kind + "_" +
                                   entry.path().filename().string();
                std::replace_if(
                    name.begin(), name.end(), [](unsigned char c) { return !std::isalnum(c); },
                    '_');
                inputs.push_back({std::move(name), target.check, entry.path()});
            }
        }
    }
    std::sort(inputs.begin(), inputs.end(),
              [](const KeptInput& a, const KeptInput& b) { return a.name < b.name; });
    return inputs;
}

void PrintTo(const KeptInput& input, std::ostream* os) {
    *os << input.path;
}

class KeptFuzzInputTest : public testing::TestWithParam<KeptInput> {};

TEST_P(KeptFuzzInputTest, HoldsEveryProperty) {
    std::ifstream file(GetParam().path, std::ios::binary);
    ASSERT_TRUE(file) << GetParam().path;
    const std::vector<std::uint8_t> data{std::istreambuf_iterator<char>(file),
                                         std::istreambuf_iterator<char>()};
    EXPECT_EQ(GetParam().check(data), "") << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(Kept, KeptFuzzInputTest, testing::ValuesIn(KeptInputs()),
                         [](const testing::TestParamInfo<KeptInput>& info) {
                             return info.param.name;
                         });

}  // namespace
}  // namespace panel::fuzz
