#include "ui/message_box_prompter.h"

namespace panel {

void MessageBoxPrompter::portSelectionFailed(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Warning, QString(), text, QMessageBox::Ok, parent);
    box.setObjectName("PortSelectionFailure");
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void MessageBoxPrompter::portProblem(QWidget* parent, const QString& text) {
    if (!notice_) {
        notice_ = new QMessageBox(QMessageBox::Warning, QString(), text, QMessageBox::Ok, parent);
        notice_->setObjectName("PortProblem");
        notice_->setTextFormat(Qt::PlainText);
        notice_->setAttribute(Qt::WA_DeleteOnClose);
        notice_->setWindowModality(Qt::NonModal);
    } else {
        notice_->setText(text);
    }
    // show(), never exec(): the panel keeps taking events while the notice is up.
    notice_->show();
    notice_->raise();
}

}  // namespace panel
