#include "service/projector_documents.h"

#include <QJsonDocument>

#include "service/service_api.h"

namespace panel {

void ProjectorDocuments::rowChanged(const std::vector<ProjectorRow>& rows, std::size_t row) {
    if (rows_.size() != rows.size()) return listChanged(rows);
    rows_[row] = QJsonDocument(projectorJson(rows[row])).toJson(QJsonDocument::Compact);
}

void ProjectorDocuments::listChanged(const std::vector<ProjectorRow>& rows) {
    rows_.clear();
    rows_.reserve(rows.size());
    for (const ProjectorRow& r : rows)
        rows_.push_back(QJsonDocument(projectorJson(r)).toJson(QJsonDocument::Compact));
}

QByteArray ProjectorDocuments::list() const {
    qsizetype size = 20;
    for (const QByteArray& r : rows_) size += r.size() + 1;
    QByteArray out;
    out.reserve(size);
    out += "{\"projectors\":[";
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (i > 0) out += ',';
        out += rows_[i];
    }
    out += "]}\n";
    return out;
}

}  // namespace panel
