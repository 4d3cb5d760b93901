// The context menus of COM1 and COM2 ("Device for COMn…"), opened by a right click or by the Menu
// key or Shift+F10 on the focused option; their entry asks for the port chooser.
#pragma once

#include <QObject>
#include <QPoint>
#include <array>
#include <functional>

class QKeyEvent;
class QMenu;
class QWidget;

namespace panel {

class DeviceMenus final : public QObject {
public:
    using Choose = std::function<void(int port)>;

    // The menus belong to `window`; `option1` and `option2` are the COM1 and COM2 options.
    DeviceMenus(QWidget& window, QWidget& option1, QWidget& option2, Choose choose);

    // The Menu key or Shift+F10 with an option focused opens that option's menu: true if it did.
    bool openFromKey(const QKeyEvent& key);

private:
    void show(QWidget& option, QPoint at);

    QWidget& option1_;
    QWidget& option2_;
    std::array<QMenu*, 2> menus_{};
};

}  // namespace panel
