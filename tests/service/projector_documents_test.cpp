// The projectors' JSON kept between changes: the list read from it is, byte for byte, the document
// built afresh from the rows, after each kind of change.
#include "service/projector_documents.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <functional>

#include "service/service_api.h"

namespace panel {
namespace {

QByteArray builtAfresh(const std::vector<ProjectorRow>& rows) {
    QJsonArray list;
    for (const ProjectorRow& row : rows) list.append(projectorJson(row));
    return QJsonDocument(QJsonObject{{"projectors", list}}).toJson(QJsonDocument::Compact) + '\n';
}

ProjectorRow row(const char* name, Reading reading) {
    ProjectorRow r;
    r.projector =
        Projector{QString::fromUtf8(name), QStringLiteral("socket://127.0.0.1:4001"), 19200, 1};
    r.reading = reading;
    if (reading == Reading::Answered) {
        r.status = QStringLiteral("Stand by");
        r.input = QStringLiteral("Computer 1");
        r.lampHours = 1234;
        r.lastAnswered = QDateTime(QDate(2026, 12, 9), QTime(22, 31, 4));
    }
    return r;
}

struct DocumentsCase {
    const char* name;
    std::function<void(std::vector<ProjectorRow>&)> change;  // made to the rows
    int row;  // the row told changed, or -1 for the whole list
};

class ProjectorDocumentsTest : public ::testing::TestWithParam<DocumentsCase> {};

TEST_P(ProjectorDocumentsTest, TheListIsTheDocumentBuiltAfresh) {
    std::vector<ProjectorRow> rows{row("Hall A", Reading::Answered),
                                   row("講義室 \"1\"", Reading::NotYet),
                                   row("Lab", Reading::NoAnswer)};
    ProjectorDocuments documents;
    documents.listChanged(rows);
    ASSERT_EQ(documents.list(), builtAfresh(rows));
    GetParam().change(rows);
    if (GetParam().row < 0)
        documents.listChanged(rows);
    else
        documents.rowChanged(rows, static_cast<std::size_t>(GetParam().row));
    EXPECT_EQ(documents.list(), builtAfresh(rows));
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(documents.row(i) + '\n',
                  QJsonDocument(projectorJson(rows[i])).toJson(QJsonDocument::Compact) + '\n');
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProjectorDocumentsTest,
    ::testing::Values(
        DocumentsCase{"ANote", [](auto& rows) { rows[0].note = QStringLiteral("Power off sent"); },
                      0},
        DocumentsCase{"AFirstAnswer",
                      [](auto& rows) { rows[1] = row("講義室 \"1\"", Reading::Answered); }, 1},
        DocumentsCase{"BusyWhilePolled", [](auto& rows) { rows[2].busy = true; }, 2},
        DocumentsCase{"ARowAddedToldAsOne",
                      [](auto& rows) { rows.push_back(row("New", Reading::NotYet)); }, 3},
        DocumentsCase{"TheListEmptied", [](auto& rows) { rows.clear(); }, -1},
        DocumentsCase{"TheListReordered", [](auto& rows) { std::swap(rows[0], rows[2]); }, -1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace panel
