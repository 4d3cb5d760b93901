#include "ui/message_box_prompter.h"

#include <QPushButton>

namespace panel {

FailureReply MessageBoxPrompter::portSelectionFailed(QWidget* parent, const QString& text,
                                                     bool offerChooser) {
    QMessageBox box(QMessageBox::Warning, QString(), text, QMessageBox::Ok, parent);
    box.setObjectName("PortSelectionFailure");
    box.setTextFormat(Qt::PlainText);
    QPushButton* choose = nullptr;
    if (offerChooser) {
        choose = box.addButton(QStringLiteral("Choose port…"), QMessageBox::ActionRole);
        choose->setObjectName("ChoosePort");
    }
    box.exec();
    return choose && box.clickedButton() == choose ? FailureReply::ChoosePort
                                                   : FailureReply::Dismissed;
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
