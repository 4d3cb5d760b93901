// The fleet table's reset told to views before the list changes, as Qt's model contract asks: a
// view that reads the rows when told the reset is coming still finds the old ones.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QStringList>

#include "fleet/fleet.h"
#include "ui/fleet_table_model.h"

namespace panel {
namespace {

std::vector<Projector> named(const QStringList& names) {
    std::vector<Projector> projectors;
    for (const QString& name : names)
        projectors.push_back({name, QStringLiteral("/nonexistent/") + name, 19200, 1});
    return projectors;
}

QStringList shown(const FleetTableModel& model) {
    QStringList names;
    for (int row = 0; row < model.rowCount(); ++row)
        names << model.index(row, FleetTableModel::Name).data().toString();
    return names;
}

struct ResetCase {
    const char* name;
    QStringList before;
    QStringList after;
};

class FleetTableModelResetTest : public ::testing::TestWithParam<ResetCase> {};

TEST_P(FleetTableModelResetTest, TheOldRowsStandUntilTheResetBegins) {
    Fleet fleet(named(GetParam().before));
    FleetTableModel model(fleet);
    QAbstractItemModelTester tester(&model,
                                    QAbstractItemModelTester::FailureReportingMode::Warning);
    QStringList aboutToReset;
    QStringList reset;
    QObject::connect(&model, &QAbstractItemModel::modelAboutToBeReset,
                     [&] { aboutToReset = shown(model); });
    QObject::connect(&model, &QAbstractItemModel::modelReset, [&] { reset = shown(model); });
    fleet.setProjectors(named(GetParam().after));
    EXPECT_EQ(aboutToReset, GetParam().before);
    EXPECT_EQ(reset, GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(Table, FleetTableModelResetTest,
                         ::testing::Values(ResetCase{"Grows", {"A", "B"}, {"A", "B", "C"}},
                                           ResetCase{"Shrinks", {"A", "B", "C"}, {"B"}},
                                           ResetCase{"Empties", {"A", "B"}, {}},
                                           ResetCase{"Reorders", {"A", "B", "C"}, {"C", "A", "B"}},
                                           ResetCase{"FromNothing", {}, {"A"}}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace panel
