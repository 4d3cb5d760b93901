#include "ui/hold_buttons.h"

#include <QEvent>

namespace panel {

void HoldButtons::watch(QAbstractButton* button) {
    button->setFocusPolicy(Qt::NoFocus);
    button->installEventFilter(this);
}

void HoldButtons::endHold() {
    if (!held_) return;
    QAbstractButton* button = held_;
    held_ = nullptr;
    button->setDown(false);
    emit released(button->objectName());
}

bool HoldButtons::eventFilter(QObject* watched, QEvent* event) {
    auto* button = qobject_cast<QAbstractButton*>(watched);
    if (!button) return false;
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            // A double-click's second press arrives as MouseButtonDblClick alone. Every press
            // runs the press steps again, a second mouse button's too; the first release of any
            // of them ends the hold.
            held_ = button;
            button->setDown(true);
            emit pressed(button->objectName());
            return true;
        case QEvent::MouseButtonRelease:
            if (held_ == button) endHold();
            return true;
        case QEvent::MouseMove:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            return true;
        case QEvent::Hide:
        case QEvent::UngrabMouse:
            if (held_ == button) endHold();
            return false;
        case QEvent::EnabledChange:
            if (held_ == button && !button->isEnabled()) endHold();
            return false;
        default:
            return false;
    }
}

}  // namespace panel
