// Press-and-hold wiring: the mouse events of the hold buttons themselves, so a hold ends only once.
#pragma once

#include <QAbstractButton>
#include <QObject>
#include <QPointer>

namespace panel {

// QPushButton's own pressed() and released() are unfit for a repeat: they follow the pointer off
// and back onto the button, answer the left button alone, and say nothing when the button is
// released outside with no move before. So the watched buttons' mouse events are taken here:
//  - a press of any mouse button on a watched button starts a hold (pressed);
//  - the hold ends (released) at the release of a mouse button, wherever the pointer then is:
//    the window's implicit mouse grab sends that release to the pressed button;
//  - moving off the button and back neither ends the hold nor presses again;
//  - the keyboard never presses them;
//  - endHold() ends a hold when the window loses the mouse or the keyboard focus, so a repeat
//    never runs on with no hand on the mouse.
class HoldButtons final : public QObject {
    Q_OBJECT

public:
    explicit HoldButtons(QObject* parent = nullptr) : QObject(parent) {}

    void watch(QAbstractButton* button);

    // Ends the hold in progress, if any, as its release would.
    void endHold();
    QAbstractButton* held() const { return held_; }

signals:
    void pressed(const QString& name);
    void released(const QString& name);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QAbstractButton> held_;
};

}  // namespace panel
