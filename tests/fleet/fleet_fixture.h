// The fleet window's suites: a window over a projectors file written for the test, driven by its
// own controls, with its settings in a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "tests/fleet/sim_bank.h"
#include "ui/fleet_window.h"

namespace panel::test {

constexpr int kPatienceMs = 20000;

class FleetWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Never the machine's own settings.
        static QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    }

    // One projector per simulator, named P0, P1, ...
    std::unique_ptr<FleetWindow> openWindow(const SimBank& sims) {
        QStringList ports;
        for (int i = 0; i < sims.size(); ++i) ports << sims.link(i);
        return openWindow(ports);
    }
    std::unique_ptr<FleetWindow> openWindow(const QStringList& ports) {
        QFile file(dir_.filePath(QStringLiteral("projectors.ini")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        for (int i = 0; i < ports.size(); ++i)
            file.write(QStringLiteral("[P%1]\nport = %2\n").arg(i).arg(ports[i]).toUtf8());
        file.close();
        return std::make_unique<FleetWindow>(file.fileName(), 3600);
    }

    static bool pollOnce(FleetWindow& window) {
        bool ended = false;
        const QMetaObject::Connection connection =
            QObject::connect(&window, &FleetWindow::cycleFinished, [&] { ended = true; });
        window.fleet().pollNow();
        const bool done = QTest::qWaitFor([&] { return ended; }, kPatienceMs);
        QObject::disconnect(connection);
        return done;
    }

    static void select(FleetWindow& window, std::initializer_list<int> rows) {
        auto* table = window.findChild<QTableView*>(QStringLiteral("FleetTable"));
        table->clearSelection();
        for (int row : rows)
            table->selectionModel()->select(
                table->model()->index(row, 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    static void click(FleetWindow& window, const char* name) {
        window.findChild<QAbstractButton*>(QLatin1String(name))->click();
    }

    static bool notesSettle(FleetWindow& window, std::initializer_list<int> rows) {
        return QTest::qWaitFor(
            [&] {
                for (int row : rows) {
                    const ProjectorRow& r = window.fleet().rows()[static_cast<std::size_t>(row)];
                    if (!r.note.startsWith(QLatin1String("Power")) || r.busy) return false;
                }
                return true;
            },
            kPatienceMs);
    }

    // The rows answered their last poll, out of any warm-up or cool-down, and nothing runs on them.
    static bool steadyAndIdle(FleetWindow& window, std::initializer_list<int> rows) {
        for (int row : rows) {
            const ProjectorRow& r = window.fleet().rows()[static_cast<std::size_t>(row)];
            if (r.busy || r.reading != Reading::Answered || phaseOf(r.status) != PowerPhase::Steady)
                return false;
        }
        return true;
    }

    QTemporaryDir dir_;
};

}  // namespace panel::test
