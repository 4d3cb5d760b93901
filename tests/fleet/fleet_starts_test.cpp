// The fleet's lines opened a few at a time from the event loop: a poll or a power command over
// many projectors returns at once, reaches every one of them, and survives the list changing
// while lines still wait their turn.
#include <gtest/gtest.h>

#include <QTest>
#include <algorithm>
#include <numeric>

#include "fleet/fleet.h"

namespace panel {
namespace {

constexpr int kLines = 30;
constexpr int kPatienceMs = 10000;

// Devices that are not there: each open fails at once, so only the starting is under test.
std::vector<Projector> missingDevices(int count) {
    std::vector<Projector> projectors;
    for (int i = 0; i < count; ++i)
        projectors.push_back({QStringLiteral("P%1").arg(i),
                              QStringLiteral("/nonexistent/projector%1").arg(i), 19200, i + 1});
    return projectors;
}

int busyRows(const Fleet& fleet) {
    return static_cast<int>(std::count_if(fleet.rows().begin(), fleet.rows().end(),
                                          [](const ProjectorRow& row) { return row.busy; }));
}

bool cycleEnds(Fleet& fleet, int& cycles) {
    return QTest::qWaitFor([&] { return cycles > 0 && busyRows(fleet) == 0; }, kPatienceMs);
}

TEST(FleetStartsTest, APollOfManyLinesReturnsBeforeOpeningThemAndReachesEveryOne) {
    Fleet fleet(missingDevices(kLines));
    int cycles = 0;
    fleet.cycleFinished = [&](std::chrono::milliseconds) { ++cycles; };
    fleet.pollNow();
    EXPECT_EQ(busyRows(fleet), 0);  // nothing opened inside the call
    ASSERT_TRUE(cycleEnds(fleet, cycles));
    EXPECT_EQ(cycles, 1);
    for (const ProjectorRow& row : fleet.rows()) {
        EXPECT_EQ(row.reading, Reading::PortFailed) << row.projector.name.toStdString();
        EXPECT_TRUE(row.reason.contains(row.projector.port)) << row.reason.toStdString();
    }
}

TEST(FleetStartsTest, APowerCommandToManyLinesReachesEveryOne) {
    Fleet fleet(missingDevices(kLines));
    std::vector<int> all(kLines);
    std::iota(all.begin(), all.end(), 0);
    fleet.power(all, PowerCommand::On);
    EXPECT_EQ(busyRows(fleet), 0);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return std::all_of(fleet.rows().begin(), fleet.rows().end(), [](const auto& row) {
                return !row.busy && row.note.startsWith(QLatin1String("Power on failed"));
            });
        },
        kPatienceMs));
}

TEST(FleetStartsTest, LinesDroppedWhileWaitingTheirTurnAreNotStartedAndTheRestFinishTheCycle) {
    Fleet fleet(missingDevices(kLines));
    int cycles = 0;
    fleet.cycleFinished = [&](std::chrono::milliseconds) { ++cycles; };
    fleet.pollNow();
    std::vector<Projector> kept = missingDevices(kLines);
    kept.erase(kept.begin() + kLines / 3, kept.end() - kLines / 3);  // the middle third and more
    const std::size_t keptCount = kept.size();
    fleet.setProjectors(std::move(kept));
    ASSERT_TRUE(cycleEnds(fleet, cycles));
    EXPECT_EQ(cycles, 1);
    ASSERT_EQ(fleet.rows().size(), keptCount);
    for (const ProjectorRow& row : fleet.rows())
        EXPECT_EQ(row.reading, Reading::PortFailed) << row.projector.name.toStdString();
}

}  // namespace
}  // namespace panel
