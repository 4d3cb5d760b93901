#include "tools/projector-sim/frame_splitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sim {
namespace {

struct SplitCase {
    const char* name;
    std::vector<std::string> reads;
    std::vector<std::string> frames;
    std::size_t pending = 0;
    friend void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }
};

class FrameSplitterTest : public testing::TestWithParam<SplitCase> {};

TEST_P(FrameSplitterTest, CutsFramesAtEachCrWhateverTheReads) {
    FrameSplitter splitter;
    std::vector<std::string> frames;
    for (const auto& read : GetParam().reads) splitter.feed(read, frames);
    EXPECT_EQ(frames, GetParam().frames);
    EXPECT_EQ(splitter.pending(), GetParam().pending);
}

INSTANTIATE_TEST_SUITE_P(
    Reads, FrameSplitterTest,
    testing::Values(
        SplitCase{"OneFrameOneRead", {"CR0\r"}, {"CR0"}},
        SplitCase{"FrameSplitAcrossReads", {"C", "R", "0\r"}, {"CR0"}},
        SplitCase{"CrInItsOwnRead", {"CR0", "\r"}, {"CR0"}},
        SplitCase{
            "SeveralFramesOneRead", {"CR0\rC00\rCR PRESSURE\r"}, {"CR0", "C00", "CR PRESSURE"}},
        SplitCase{"FramesStraddlingReads", {"CR0\rC0", "0\rCR", "1\r"}, {"CR0", "C00", "CR1"}},
        SplitCase{"CrOnlyIsAnEmptyFrame", {"\r"}, {""}},
        SplitCase{"TwoCrsAreTwoEmptyFrames", {"\r\r"}, {"", ""}},
        SplitCase{"UnfinishedFrameIsHeld", {"CR0\rC0"}, {"CR0"}, 2},
        SplitCase{"NothingYet", {"CR"}, {}, 2},
        SplitCase{"EmptyReadChangesNothing", {"", "CR0", "", "\r"}, {"CR0"}},
        SplitCase{"LfIsPartOfTheFrame", {"CR0\n\r\nC00\r"}, {"CR0\n", "\nC00"}},
        SplitCase{
            "NulAndHighBytesKept", {std::string("A\0\xff\r", 4)}, {std::string("A\0\xff", 3)}}),
    [](const auto& info) { return info.param.name; });

TEST(FrameSplitterLimits, OverlongFrameIsCutAndTheNextFrameIsClean) {
    FrameSplitter splitter;
    std::vector<std::string> frames;
    const std::string flood(FrameSplitter::kMaxFrame + 1000, 'x');
    splitter.feed(flood.substr(0, 3000), frames);
    splitter.feed(flood.substr(3000), frames);
    EXPECT_EQ(splitter.pending(), FrameSplitter::kMaxFrame);
    splitter.feed("\rCR0\r", frames);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], std::string(FrameSplitter::kMaxFrame, 'x'));
    EXPECT_EQ(frames[1], "CR0");
}

TEST(FrameSplitterLimits, ByteByByteGivesTheSameFramesAsOneRead) {
    const std::string stream = "CR0\rC00\r\rCF INPUT HDMI HDMI\rcr0\r";
    FrameSplitter whole;
    FrameSplitter single;
    std::vector<std::string> fromWhole;
    std::vector<std::string> fromSingle;
    whole.feed(stream, fromWhole);
    for (const char c : stream) single.feed(std::string(1, c), fromSingle);
    EXPECT_EQ(fromSingle, fromWhole);
    EXPECT_EQ(fromWhole.size(), 5u);
}

}  // namespace
}  // namespace sim
