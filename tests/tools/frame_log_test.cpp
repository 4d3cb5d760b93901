#include "tools/projector-sim/frame_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace sim {
namespace {

using namespace std::chrono_literals;

struct EscapeCase {
    const char* name;
    std::string frame;
    std::string escaped;
    friend void PrintTo(const EscapeCase& c, std::ostream* os) { *os << c.name; }
};

class FrameLogEscapeTest : public testing::TestWithParam<EscapeCase> {};

TEST_P(FrameLogEscapeTest, EscapesBytesThatAreNotPlainText) {
    EXPECT_EQ(FrameLog::escape(GetParam().frame), GetParam().escaped);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, FrameLogEscapeTest,
    testing::Values(EscapeCase{"Empty", "", ""}, EscapeCase{"Query", "CR0", "CR0"},
                    EscapeCase{"SpacesKept", "CR PRESSURE", "CR PRESSURE"},
                    EscapeCase{"PrintableEnds", " ~", " ~"},
                    EscapeCase{"Backslash", "a\\b", "a\\\\b"},
                    EscapeCase{"LineBreaks", "\r\n", "\\r\\n"}, EscapeCase{"Tab", "\t", "\\t"},
                    EscapeCase{"Ack", "\x06", "\\x06"},
                    EscapeCase{"Nul", std::string("\0", 1), "\\x00"},
                    EscapeCase{"Del", "\x7f", "\\x7f"}, EscapeCase{"HighByte", "\xff", "\\xff"},
                    EscapeCase{"Mixed", "C0\x1b\xa0z", "C0\\x1b\\xa0z"}),
    [](const auto& info) { return info.param.name; });

// Reverses the escaping, so that a reader of the log can get every frame back byte for byte.
std::string unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        const char kind = text.at(++i);
        if (kind == '\\') out += '\\';
        if (kind == 'r') out += '\r';
        if (kind == 'n') out += '\n';
        if (kind == 't') out += '\t';
        if (kind == 'x') {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        }
    }
    return out;
}

TEST(FrameLogEscape, EveryByteComesBackAndNoLineBreakIsWritten) {
    std::string all;
    for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
    const std::string escaped = FrameLog::escape(all);
    EXPECT_EQ(escaped.find('\n'), std::string::npos);
    EXPECT_EQ(escaped.find('\r'), std::string::npos);
    EXPECT_EQ(unescape(escaped), all);
}

TEST(FrameLogLine, StampSpaceFrameNewline) {
    EXPECT_EQ(FrameLog::line(123456789us, "CR0"), "123456789 CR0\n");
    EXPECT_EQ(FrameLog::line(5us, ""), "5 \n");
    EXPECT_EQ(FrameLog::line(7us, "CR PRESSURE"), "7 CR PRESSURE\n");
    EXPECT_EQ(FrameLog::line(8us, "C00", 9600u), "8 9600 C00\n");
    EXPECT_EQ(FrameLog::line(9us, "", 0u), "9 0 \n");
}

class FrameLogFileTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/sim-log-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        std::remove((dir_ + "/frames.log").c_str());
        rmdir(dir_.c_str());
    }
    static std::string contents(const std::string& path) {
        std::ifstream in(path);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::string dir_;
};

TEST_F(FrameLogFileTest, EachLineIsInTheFileAsSoonAsItIsWritten) {
    std::string error;
    const std::string path = dir_ + "/frames.log";
    auto log = FrameLog::open(path, error);
    ASSERT_TRUE(log) << error;
    log->write(10us, "CR0");
    EXPECT_EQ(contents(path), "10 CR0\n");
    log->write(20us, "C\r1");
    EXPECT_EQ(contents(path), "10 CR0\n20 C\\r1\n");
}

TEST_F(FrameLogFileTest, OpeningTruncatesAnOldLog) {
    const std::string path = dir_ + "/frames.log";
    std::ofstream(path) << "old line\n";
    std::string error;
    auto log = FrameLog::open(path, error);
    ASSERT_TRUE(log) << error;
    EXPECT_EQ(contents(path), "");
}

TEST_F(FrameLogFileTest, UnwritablePathIsReportedWithItsName) {
    std::string error;
    const std::string path = dir_ + "/missing/frames.log";
    EXPECT_FALSE(FrameLog::open(path, error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
}

}  // namespace
}  // namespace sim
