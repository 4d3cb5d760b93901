// Runs a Qt test suite (window, end-to-end) inside a QApplication on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>

#include "testkit/quiet_messages.h"

int main(int argc, char** argv) {
    // Offscreen also when run by hand, and during test discovery.
    panel::test::UseOffscreenQuietly();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
