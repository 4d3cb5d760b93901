// The real window under a real window manager (openbox on a private Xvfb): its frame, title bar
// included, is centred by the full layout's outer size, and the top edge stays where start-up put
// it through all four heights. Offscreen windows have no frame, so only this test sees it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <utility>

#include "testkit/fake_port.h"
#include "tests/support/recording_prompter.h"
#include "tests/window/desktop_session.h"
#include "ui/form1.h"
#include "ui/window_geometry.h"

namespace panel::test {
namespace {

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
constexpr int kTolerance = 2;  // pixels

class PlacementTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<Form1>(port, &prompter);
        form->load();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        ASSERT_TRUE(QTest::qWaitFor([this] { return !margins().isNull(); }, 5000))
            << "the window manager never framed the window";
        ASSERT_TRUE(settle()) << "the frame never came to rest";
    }

    QMargins margins() const { return form->windowHandle()->frameMargins(); }

    // Lets the window manager's answers to the last request arrive: the frame and its margins are
    // read again and again, a while apart, until two reads in a row agree. A loaded machine may
    // take long to answer; a fixed wait was either too short there or too long everywhere else.
    bool settle() const {
        constexpr int kApartMs = 100;
        QDeadlineTimer deadline(10000);
        auto read = [this] { return std::pair{form->frameGeometry(), margins()}; };
        for (auto last = read(); !deadline.hasExpired();) {
            QTest::qWait(kApartMs);
            const auto now = read();
            if (now == last) return true;
            last = now;
        }
        return false;
    }

    // Where the frame's top-left corner belongs: the frame of the full layout centred on the
    // screen, halves rounded to the nearest pixel.
    QPoint centredTopLeft() const {
        const QMargins m = margins();
        const int outerWidth = TwipsToPixels(kClientWidthTwips) + m.left() + m.right();
        const int fullOuterHeight = TwipsToPixels(kFullClientTwips) + m.top() + m.bottom();
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const auto half = [](int pixels) { return static_cast<int>(std::lround(pixels / 2.0)); };
        return screen.topLeft() +
               QPoint(half(screen.width() - outerWidth), half(screen.height() - fullOuterHeight));
    }

    FakePort port;
    RecordingPrompter prompter;
    std::unique_ptr<Form1> form;
};

TEST_F(PlacementTest, TheScreenIsTheSessionsOwn) {
    EXPECT_EQ(QGuiApplication::primaryScreen()->geometry(),
              QRect(0, 0, kScreenWidth, kScreenHeight));
    EXPECT_GT(margins().top(), margins().bottom()) << "a title bar";
}

TEST_F(PlacementTest, FrameIsCentredByTheFullLayoutAndTheTopEdgeStaysAtEveryHeight) {
    struct Step {
        const char* name;
        std::function<void(Form1&)> action;
        int clientTwips;
    };
    const Step steps[] = {
        {"start-up", [](Form1&) {}, kCompactClientTwips},
        {"Ctrl+J", [](Form1& f) { f.keyChord(); }, kUnlockedClientTwips},
        {"logo double-click", [](Form1& f) { f.logoDoubleClicked(); }, kFullClientTwips},
        {"Command34 when tall", [](Form1& f) { f.command34Clicked(); }, kCompactClientTwips},
        {"Command34 when short", [](Form1& f) { f.command34Clicked(); }, kTraceClientTwips},
    };
    const QPoint centred = centredTopLeft();
    const int startTop = form->frameGeometry().top();
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.action(*form);
        const int client = TwipsToPixels(step.clientTwips);
        EXPECT_TRUE(QTest::qWaitFor(
            [this, client] { return form->windowHandle()->geometry().height() == client; }, 5000));
        EXPECT_TRUE(settle()) << "the frame never came to rest";
        const QRect frame = form->frameGeometry();
        EXPECT_EQ(frame.height(), client + margins().top() + margins().bottom());
        EXPECT_NEAR(frame.left(), centred.x(), kTolerance);
        EXPECT_NEAR(frame.top(), centred.y(), kTolerance);
        EXPECT_EQ(frame.top(), startTop) << "the top edge moved";
        if (step.clientTwips == kFullClientTwips) {
            const QRect screen = QGuiApplication::primaryScreen()->geometry();
            EXPECT_NEAR(frame.center().y(), screen.center().y(), kTolerance) << "full height";
        }
    }
}

}  // namespace
}  // namespace panel::test

// Exit status that CTest reads as "skipped" (SKIP_RETURN_CODE).
constexpr int kSkipped = 77;

int main(int argc, char** argv) {
    panel::test::DesktopSession desktop(panel::test::kScreenWidth, panel::test::kScreenHeight);
    if (!desktop.ok()) {
        std::printf("skipped: %s\n", desktop.problem().c_str());
        return kSkipped;
    }
    qputenv("DISPLAY", QByteArray::fromStdString(desktop.display()));
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    int status = 1;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        status = RUN_ALL_TESTS();
    }
    return status;
}
