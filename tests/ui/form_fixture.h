// A shown, active Form1 over a FakePort, with input delivered through the window as the platform
// delivers it (so event filters, the implicit mouse grab and the focus all take part).
#pragma once

#include <gtest/gtest.h>

#include <QPoint>
#include <QString>
#include <memory>

#include "testkit/fake_port.h"
#include "tests/support/recording_prompter.h"
#include "tests/ui/qt_printers.h"
#include "ui/form1.h"

namespace panel::test {

class FormTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    template <class T = QWidget>
    T* control(const QString& name) const {
        T* widget = form->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }

    // A key press and its release, sent to the window.
    void key(int key, Qt::KeyboardModifiers modifiers, bool autoRepeat = false);
    void ctrlJ(bool autoRepeat = false) { key(Qt::Key_J, Qt::ControlModifier, autoRepeat); }

    QPoint windowPos(QWidget* target) const;
    void press(QWidget* target, Qt::MouseButton button = Qt::LeftButton);
    void release(QPoint windowPos, Qt::MouseButton button = Qt::LeftButton);
    void moveTo(QPoint windowPos);
    void click(QWidget* target, Qt::MouseButton button = Qt::LeftButton);
    void doubleClickLogo();
    // Ctrl+J and a double-click on the logo: the whole layout in view.
    void openFullPanel();

    std::string lastWrite() const { return port.writes().empty() ? "" : port.writes().back(); }

    FakePort port;
    RecordingPrompter prompter;
    std::unique_ptr<Form1> form;
};

}  // namespace panel::test
