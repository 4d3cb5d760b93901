// A port in front of another passes the inner port's events on, and lets go of the inner port
// when it goes, so that a later event finds no listener that is gone.
#include "core/forwarding_port.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "testkit/fake_port.h"

namespace panel::test {
namespace {

struct HeardEvents final : PortListener {
    std::vector<std::string> heard;
    void onComm(int kind) override { heard.push_back("comm " + std::to_string(kind)); }
    void onPortFailure(const PortError& error) override {
        heard.push_back("failure " + error.description);
    }
    void onPortOpened() override { heard.push_back("opened"); }
    void onOpenFailed(const PortError& error) override {
        heard.push_back("open failed " + error.description);
    }
};

struct EventCase {
    const char* name;
    std::function<void(FakePort&)> raise;
    std::string heard;
};

const EventCase kEvents[] = {
    {"Received", [](FakePort& p) { p.receive("80\r"); }, "comm 2"},
    {"OtherEvent", [](FakePort& p) { p.raiseEvent(kCommEventOther); }, "comm 1000"},
    {"HungUp", [](FakePort& p) { p.hangUp({"gone"}); }, "failure gone"},
    {"Reopened", [](FakePort& p) { p.reopenBySelf(); }, "opened"},
    {"ReopenFailed", [](FakePort& p) { p.reopenBySelf(PortError{"refused"}); },
     "open failed refused"},
};

class ForwardingPortTest : public ::testing::TestWithParam<EventCase> {};

TEST_P(ForwardingPortTest, AnEventReachesTheListenerOnceAndOnlyWhileOneIsSet) {
    FakePort inner;
    HeardEvents listener;
    auto port = std::make_unique<ForwardingPort>(inner);
    GetParam().raise(inner);  // no listener yet: dropped
    port->setListener(&listener);
    GetParam().raise(inner);
    port->setListener(nullptr);
    GetParam().raise(inner);
    port->setListener(&listener);
    port.reset();
    GetParam().raise(inner);  // the port is gone: the sanitizers catch a listener left behind
    EXPECT_EQ(listener.heard, std::vector<std::string>{GetParam().heard});
}

INSTANTIATE_TEST_SUITE_P(Events, ForwardingPortTest, ::testing::ValuesIn(kEvents),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace panel::test
