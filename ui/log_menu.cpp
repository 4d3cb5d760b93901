#include "ui/log_menu.h"

#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QWidget>

#include "log/session_log.h"

namespace panel {

LogMenu::LogMenu(QWidget& window, std::initializer_list<QWidget*> traces, Start start, Stop stop)
    : QObject(&window), window_(window), menu_(new QMenu(&window)), start_(std::move(start)) {
    menu_->setObjectName(QStringLiteral("LogMenu"));
    menu_->addAction(QStringLiteral("Log to file…"), this, &LogMenu::chooseFile);
    menu_->addAction(QStringLiteral("Stop logging"), this, std::move(stop));
    for (QWidget* trace : traces) {
        trace->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(trace, &QWidget::customContextMenuRequested, this,
                [this, trace](const QPoint& pos) { popup(trace->mapToGlobal(pos)); });
    }
}

void LogMenu::popup(const QPoint& globalPos) {
    const QList<QAction*> actions = menu_->actions();
    actions[0]->setEnabled(log_ != nullptr);
    actions[1]->setEnabled(log_ && log_->active());
    menu_->popup(globalPos);
}

void LogMenu::chooseFile() {
    auto* dialog = new QFileDialog(&window_, QStringLiteral("Log to file"));
    dialog->setObjectName(QStringLiteral("LogFileDialog"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    // A log is appended to, never overwritten.
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (log_ && !log_->path().empty())
        dialog->selectFile(QFile::decodeName(QByteArray::fromStdString(log_->path())));
    connect(dialog, &QFileDialog::fileSelected, this,
            [this](const QString& path) { start_(path); });
    dialog->open();
}

}  // namespace panel
