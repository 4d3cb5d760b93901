#include "tests/e2e/sim_fixture.h"
#include "testkit/controls.h"

#include <stdlib.h>

#include <algorithm>
#include <system_error>

namespace panel::e2e {

ScratchDir::ScratchDir() {
    char pattern[] = "/tmp/panel-e2e-XXXXXX";
    if (mkdtemp(pattern) != nullptr) path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

void SimFixture::start(std::vector<std::string> args,
                       const std::function<QString(const std::string& device)>& route) {
    if (std::find(args.begin(), args.end(), "--warmup") == args.end())
        args.insert(args.end(), {"--warmup", "1"});
    log = std::make_unique<test::FrameLogReader>(scratch / "frames.log");
    args.insert(args.end(), {"--log", log->path()});
    sim = std::make_unique<SimProcess>(args);
    ASSERT_FALSE(sim->device().empty()) << "the simulator did not start";
    rig = std::make_unique<PanelRig>(route ? route(sim->device())
                                           : QString::fromStdString(sim->device()));
    ASSERT_TRUE(rig->form().isActiveWindow());
    ASSERT_TRUE(rig->prompts().failures.isEmpty())
        << rig->prompts().failures.join('\n').toStdString();
    ASSERT_TRUE(rig->port().isOpen());
    ASSERT_TRUE(rig->openFullPanel());
}

void SimFixture::TearDown() {
    rig.reset();
    sim.reset();
}

::testing::AssertionResult SimFixture::flushLog() {
    const std::size_t before = log->count("CR0");
    rig->click(controls::kStatus);
    if (PanelRig::waitFor([&] { return log->count("CR0") > before; }))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the simulator never logged the marker";
}

}  // namespace panel::e2e
