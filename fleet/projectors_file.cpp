#include "fleet/projectors_file.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <optional>

#include "serial/device_name.h"

namespace panel {
namespace {

// A broken line as quoted in its problem: a binary file's "line" can be a megabyte long.
QString quoted(const QString& text) {
    constexpr qsizetype kLongest = 60;
    return text.size() <= kLongest ? text : text.left(kLongest) + QStringLiteral("…");
}

// A section as read so far; checked when the next header or the end of the file closes it.
struct OpenSection {
    Projector projector;
    bool hasPort = false;
    std::optional<QString> badSpeed;
    int speedLine = 0;
    int portLine = 0;
};

class Reader {
public:
    explicit Reader(const QString& path) : path_(path) {}

    void line(const QString& raw, int number);
    ProjectorList finish() {
        close();
        // A section's own faults are found when it ends, after lines below its header.
        std::stable_sort(problems_.begin(), problems_.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (std::size_t i = 0; i < problems_.size() && i < kProblemsShown; ++i)
            result_.problems.push_back(std::move(problems_[i].second));
        if (const std::size_t more = problems_.size() - std::min(problems_.size(), kProblemsShown))
            result_.problems.push_back(
                QStringLiteral("%1: %2 more %3 not shown")
                    .arg(path_)
                    .arg(more)
                    .arg(more == 1 ? QStringLiteral("problem") : QStringLiteral("problems")));
        return std::move(result_);
    }

private:
    void header(const QString& name, int number);
    void entry(const QString& key, const QString& value, int number);
    void close();
    void problem(int number, const QString& what) {
        problems_.emplace_back(number,
                               QStringLiteral("%1:%2: %3").arg(path_).arg(number).arg(what));
    }
    const Projector* find(const QString& name) const {
        for (const Projector& p : result_.projectors)
            if (p.name == name) return &p;
        return nullptr;
    }

    QString path_;
    ProjectorList result_;
    std::vector<std::pair<int, QString>> problems_;
    std::optional<OpenSection> section_;
    bool skipping_ = false;  // inside a section refused at its header
};

void Reader::line(const QString& raw, int number) {
    const QString text = raw.trimmed();
    if (text.isEmpty() || text.startsWith(QLatin1Char(';')) || text.startsWith(QLatin1Char('#')))
        return;
    if (text.startsWith(QLatin1Char('[')) && text.endsWith(QLatin1Char(']')) && text.size() > 2) {
        header(text.mid(1, text.size() - 2), number);
        return;
    }
    if (text.startsWith(QLatin1Char('['))) {
        // The keys under a broken header belong to no projector, not to the one before it.
        close();
        skipping_ = true;
        problem(number,
                QStringLiteral("not a [name] header or a key = value line: %1").arg(quoted(text)));
        return;
    }
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    if (equals <= 0) {
        problem(number,
                QStringLiteral("not a [name] header or a key = value line: %1").arg(quoted(text)));
        return;
    }
    entry(text.left(equals).trimmed(), text.mid(equals + 1).trimmed(), number);
}

void Reader::header(const QString& name, int number) {
    close();
    skipping_ = false;
    if (const Projector* first = find(name)) {
        problem(number, QStringLiteral("the name '%1' is used twice (first at line %2); this one "
                                       "is left out")
                            .arg(name)
                            .arg(first->line));
        skipping_ = true;
        return;
    }
    section_.emplace();
    section_->projector.name = name;
    section_->projector.line = number;
}

void Reader::entry(const QString& key, const QString& value, int number) {
    if (skipping_) return;
    if (!section_) {
        problem(number, QStringLiteral("'%1' stands before any [name] header").arg(key));
        return;
    }
    if (key == QLatin1String("port")) {
        section_->projector.port = value;
        section_->hasPort = !value.isEmpty();
        section_->portLine = number;
    } else if (key == QLatin1String("speed")) {
        section_->speedLine = number;
        section_->badSpeed.reset();
        if (value == QLatin1String("19200") || value == QLatin1String("9600"))
            section_->projector.speed = value.toInt();
        else
            section_->badSpeed = value;
    } else {
        problem(number, QStringLiteral("unknown key '%1' (port and speed are known)").arg(key));
    }
}

void Reader::close() {
    if (!section_) return;
    const OpenSection s = std::move(*section_);
    section_.reset();
    const QString& name = s.projector.name;
    if (!s.hasPort) {
        problem(s.projector.line, QStringLiteral("[%1] has no port").arg(name));
        return;
    }
    const CheckedDevice port = checkDevice(s.projector.port);
    if (!port.problem.isEmpty()) {
        problem(s.portLine,
                QStringLiteral("[%1] port %2: %3").arg(name, s.projector.port, port.problem));
        return;
    }
    if (s.badSpeed) {
        problem(s.speedLine,
                QStringLiteral("[%1] speed takes 19200 or 9600, not '%2'").arg(name, *s.badSpeed));
        return;
    }
    result_.projectors.push_back(s.projector);
    result_.projectors.back().port = port.device;
}

}  // namespace

QString defaultProjectorsPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/projector-panel/projectors.ini");
}

ProjectorList parseProjectors(const QByteArray& text, const QString& path) {
    Reader reader(path);
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray bytes = lines[i];
        if (i == 0 && bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);  // a byte-order mark
        reader.line(QString::fromUtf8(bytes), static_cast<int>(i + 1));
    }
    return reader.finish();
}

ProjectorsFileBytes readProjectorsFile(const QString& path) {
    const auto refused = [&path](FileState state, const QString& why) {
        return ProjectorsFileBytes{state, {}, QStringLiteral("%1: %2").arg(path, why)};
    };
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return refused(FileState::Refused, QStringLiteral("not a regular file; a projectors file "
                                                          "is a text file"));
    const QString tooLarge = QStringLiteral(
                                 "larger than %1 KiB; a projectors file of thousands "
                                 "of projectors is far smaller")
                                 .arg(kMaxProjectorsFileBytes / 1024);
    if (info.size() > kMaxProjectorsFileBytes) return refused(FileState::Refused, tooLarge);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused(file.exists() ? FileState::Unreadable : FileState::Absent,
                       file.errorString());
    // One byte beyond the bound tells a file that grew since it was measured.
    QByteArray text = file.read(kMaxProjectorsFileBytes + 1);
    if (text.size() > kMaxProjectorsFileBytes) return refused(FileState::Refused, tooLarge);
    if (file.error() != QFileDevice::NoError)
        return refused(FileState::Unreadable, file.errorString());
    return {FileState::Read, std::move(text), {}};
}

ProjectorList projectorsFrom(const ProjectorsFileBytes& file, const QString& path) {
    if (file.state == FileState::Read) return parseProjectors(file.text, path);
    ProjectorList none;
    none.file = file.state;
    none.problems.push_back(file.problem);
    return none;
}

ProjectorList readProjectors(const QString& path) {
    return projectorsFrom(readProjectorsFile(path), path);
}

}  // namespace panel
