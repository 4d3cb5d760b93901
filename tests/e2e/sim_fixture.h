// One simulator with a frame log in a scratch directory, and the panel on it with its data panel
// open.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "testkit/frame_log_reader.h"
#include "tests/e2e/panel_rig.h"
#include "tests/e2e/sim_process.h"
#include "tests/support/expected_replies.h"

namespace panel::e2e {

// A directory of its own under /tmp, removed with everything in it.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// What the decoded-reply label shows for the reply `code` to `query` (tests/support).
inline QString ExpectedCaption(std::string_view query, std::string_view code) {
    return QString::fromStdString(expected::Caption(query, code));
}

class SimFixture : public ::testing::Test {
protected:
    // Starts the simulator with `args` (a short warm-up unless given) and a log, then the panel,
    // on the simulator's device or on the URL `route` gives for it (ser2net in front).
    void start(std::vector<std::string> args,
               const std::function<QString(const std::string& device)>& route = {});
    void TearDown() override;

    // Sends the STATUS query as a marker and waits for the simulator to log it: every frame sent
    // before it has been logged too, since the line keeps their order.
    ::testing::AssertionResult flushLog();

    ScratchDir scratch;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<test::FrameLogReader> log;
    std::unique_ptr<PanelRig> rig;
};

}  // namespace panel::e2e
