#include "tests/e2e/panel_rig.h"

#include <QLineEdit>
#include <QTest>

#include "tests/e2e/sim_process.h"
#include "tests/support/controls.h"

namespace panel::e2e {

PanelRig::PanelRig(const QString& com1, const QString& com2)
    : port_(std::make_unique<QtSerialPort>(PortDevices{com1, com2})),
      network_(std::make_unique<NetworkPort>(PortDevices{com1, com2})),
      routed_(std::make_unique<RoutedSerialPort>(PortDevices{com1, com2}, *port_, *network_)),
      form_(std::make_unique<Form1>(*routed_, &prompts_)) {
    form_->load();
    drive(*form_, kPatience);
    waitFor([this] { return !routed_->isOpening(); });
}

PanelRig::~PanelRig() {
    form_.reset();
    routed_.reset();
    network_.reset();
    port_.reset();
}

QString PanelRig::text(const char* label) const {
    const auto* widget = form_->findChild<QLabel*>(QString::fromLatin1(label));
    return widget ? widget->text() : QStringLiteral("<no %1>").arg(QLatin1String(label));
}

void PanelRig::send(const QString& text) {
    click("Text1");
    auto* box = form_->findChild<QLineEdit*>(QStringLiteral("Text1"));
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
