// Faults of the line, played by the simulator: no answer, noise and a flood. The window keeps
// running and decodes the answers that do come.
#include <gtest/gtest.h>

#include <QStringList>

#include "testkit/controls.h"
#include "tests/e2e/sim_fixture.h"

namespace panel::e2e {
namespace {

constexpr char kIdentificationTrace[] = " P R O J E C T O R - S I M   V 1 . 0 0 CR ";

class FaultTest : public SimFixture {};

TEST_F(FaultTest, NoReplyMarksLabel12WhenTheReplyWindowCloses) {
    start({"--no-reply"});
    rig->click(controls::kStatus);
    ASSERT_TRUE(rig->waitForText("Label12", QStringLiteral(" X X X X")))
        << rig->text("Label12").toStdString();
    EXPECT_EQ(rig->text("Label11"), QStringLiteral(" C R 0 CR "));
    EXPECT_EQ(rig->text("Label22"), QString());
    EXPECT_EQ(log->count("CR0"), 1u) << "the simulator got the query and kept quiet";
    EXPECT_TRUE(rig->prompts().problems.isEmpty());
}

TEST_F(FaultTest, NoisyRepliesDoNotStopLaterOnesFromBeingDecoded) {
    // A fixed seed: the same noise on every run.
    start({"--noise", "0.5", "--seed", "7"});
    constexpr int kAttempts = 30;
    QStringList received;
    bool decoded = false;
    for (int attempt = 0; attempt < kAttempts && !(decoded && received.size() > 3); ++attempt) {
        rig->click(controls::kStatus);
        ASSERT_TRUE(PanelRig::waitFor([&] {
            decoded = decoded || rig->text("Label22") == ExpectedCaption("CR0", "80");
            return !rig->controller().timers().replyWindow.isEnabled();
        }));
        received << rig->text("Label12");
    }
    EXPECT_TRUE(decoded) << received.join('|').toStdString();
    EXPECT_TRUE(received.size() > received.count(QStringLiteral(" 8 0 CR ")))
        << "no reply was garbled: the noise was never tested";
    EXPECT_TRUE(rig->port().isOpen());
    EXPECT_TRUE(rig->prompts().problems.isEmpty());
}

TEST_F(FaultTest, FloodAtLineSpeedLeavesTheWindowDecodingAQuery) {
    start({"--flood", "1920"});
    ASSERT_TRUE(PanelRig::waitFor([&] { return rig->controller().state().RecvData.size() > 200; }))
        << "the flood never reached the window";
    EXPECT_TRUE(rig->text("Label12").startsWith(QLatin1Char(' ')));

    // The identification query shows the whole received text, the flood around its answer too.
    rig->send(QStringLiteral("CR9"));
    EXPECT_TRUE(PanelRig::waitFor([&] {
        return rig->controller().caption(LabelId::DecodedReply).find(kIdentificationTrace) !=
               std::string::npos;
    }));
    EXPECT_TRUE(rig->form().isVisible());
    EXPECT_TRUE(rig->port().isOpen());
    EXPECT_TRUE(rig->prompts().problems.isEmpty());
}

}  // namespace
}  // namespace panel::e2e
