#include "tests/e2e/panel_rig.h"

#include <QLineEdit>
#include <QTest>

#include "testkit/controls.h"
#include "tests/e2e/sim_process.h"

namespace panel::e2e {

PanelRig::PanelRig(const QString& com1, const QString& com2)
    : test::PanelWindow(com1, com2, prompts_, kPatience) {}

QString PanelRig::text(const char* label) const {
    const auto* widget = form().findChild<QLabel*>(QString::fromLatin1(label));
    return widget ? widget->text() : QStringLiteral("<no %1>").arg(QLatin1String(label));
}

void PanelRig::send(const QString& text) {
    click("Text1");
    auto* box = form().findChild<QLineEdit*>(QStringLiteral("Text1"));
    box->selectAll();
    QTest::keyClicks(box, text);
    click(controls::kSend);
}

bool PanelRig::waitFor(const std::function<bool()>& done) {
    return QTest::qWaitFor(done, static_cast<int>(kPatience.count()));
}

bool PanelRig::waitForText(const char* label, const QString& expected) {
    return waitFor([&] { return text(label) == expected; });
}

bool PanelRig::waitReplyWindowClosed() {
    return waitFor([this] { return !controller().timers().replyWindow.isEnabled(); });
}

}  // namespace panel::e2e
