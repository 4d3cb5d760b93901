#include "ui/device_menus.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QWidget>
#include <utility>

namespace panel {

DeviceMenus::DeviceMenus(QWidget& window, QWidget& option1, QWidget& option2, Choose choose)
    : QObject(&window), option1_(option1), option2_(option2) {
    for (const auto& [option, port] : {std::pair{&option1, 1}, std::pair{&option2, 2}}) {
        auto* menu = menus_[static_cast<std::size_t>(port - 1)] = new QMenu(&window);
        menu->setObjectName(QStringLiteral("DeviceMenu%1").arg(port));
        QAction* action = menu->addAction(QStringLiteral("Device for COM%1…").arg(port));
        connect(action, &QAction::triggered, this, [choose, port] { choose(port); });
        option->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(option, &QWidget::customContextMenuRequested, this,
                [this, option](QPoint at) { show(*option, at); });
    }
}

void DeviceMenus::show(QWidget& option, QPoint at) {
    // popup(), never exec(): the window goes on taking events while the menu is up.
    menus_[&option == &option2_ ? 1 : 0]->popup(option.mapToGlobal(at));
}

bool DeviceMenus::openFromKey(const QKeyEvent& key) {
    const bool menuKey = key.key() == Qt::Key_Menu ||
                         (key.key() == Qt::Key_F10 && key.modifiers() == Qt::ShiftModifier);
    QWidget* focus = QApplication::focusWidget();
    if (!menuKey || (focus != &option1_ && focus != &option2_)) return false;
    show(*focus, focus->rect().center());
    return true;
}

}  // namespace panel
