#include "ui/port_chooser.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "serial/device_name.h"
#include "serial/port_url.h"

namespace panel {
namespace {

enum Column { kDevice, kDescription, kMaker, kSerialNumber, kById, kProblem, kColumns };

const char* const kHeaders[kColumns] = {"Device",        "Description", "Maker",
                                        "Serial number", "By-id name",  "Problem"};

QString fileNameOf(const QString& path) {
    return path.isEmpty() ? QString() : QFileInfo(path).fileName();
}

}  // namespace

PortChooser::PortChooser(int port, const QString& current, const QString& byIdFolder,
                         const QString& procRoot, QWidget* parent)
    : QDialog(parent), port_(port), inventory_(byIdFolder, procRoot) {
    setObjectName(QStringLiteral("PortChooser"));
    setWindowTitle(QStringLiteral("Device for COM%1").arg(port));
    build(current);
    connect(&inventory_, &PortInventoryWatcher::changed, this, &PortChooser::fillList);
    connect(list_, &QTreeWidget::itemActivated, this, &PortChooser::takeRow);
    connect(list_, &QTreeWidget::itemClicked, this, &PortChooser::takeRow);
    connect(field_, &QLineEdit::textChanged, this, &PortChooser::check);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(760, 360);
    check();
}

void PortChooser::build(const QString& current) {
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("PortList"));
    list_->setRootIsDecorated(false);
    list_->setColumnCount(kColumns);
    QStringList headers;
    for (const char* header : kHeaders) headers << QString::fromLatin1(header);
    list_->setHeaderLabels(headers);
    list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    field_ = new QLineEdit(current, this);
    field_->setObjectName(QStringLiteral("PortDevice"));
    field_->setPlaceholderText(
        QStringLiteral("/dev/ttyUSB0, rfc2217://HOST:PORT, socket://HOST:PORT"));
    auto* fieldLabel = new QLabel(QStringLiteral("&Device or URL for COM%1:").arg(port_), this);
    fieldLabel->setBuddy(field_);
    verdict_ = new QLabel(this);
    verdict_->setObjectName(QStringLiteral("PortDeviceProblem"));
    verdict_->setWordWrap(true);
    verdict_->setTextFormat(Qt::PlainText);
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    for (QWidget* widget :
         std::initializer_list<QWidget*>{list_, fieldLabel, field_, verdict_, buttons_})
        layout->addWidget(widget);
}

void PortChooser::fillList() {
    list_->clear();
    for (const PortEntry& entry : inventory_.entries()) {
        const QStringList cells{entry.device,       entry.description,      entry.maker,
                                entry.serialNumber, fileNameOf(entry.byId), entry.problem};
        auto* row = new QTreeWidgetItem(list_, cells);
        row->setToolTip(kProblem, entry.problem);
        row->setData(kDevice, Qt::UserRole, entry.byId.isEmpty() ? entry.device : entry.byId);
    }
    check();
}

void PortChooser::takeRow() {
    if (const QTreeWidgetItem* row = list_->currentItem())
        field_->setText(row->data(kDevice, Qt::UserRole).toString());
}

const PortEntry* PortChooser::listed(const QString& device) const {
    const QString real = QFileInfo(device).canonicalFilePath();
    for (const PortEntry& entry : inventory_.entries())
        if (entry.device == device || entry.byId == device ||
            (!real.isEmpty() && entry.device == real))
            return &entry;
    return nullptr;
}

void PortChooser::check() {
    const QString text = field_->text().trimmed();
    const CheckedDevice checked = checkDevice(text);
    const bool usable = checked.problem.isEmpty();
    QString verdict;
    if (text.isEmpty()) {
        // nothing to say before anything is typed
    } else if (!usable && isPortUrl(text)) {
        verdict = QStringLiteral("Not a device-server URL: %1.").arg(checked.problem);
    } else if (!usable) {
        verdict = QStringLiteral(
            "Give the device's full path, such as /dev/ttyUSB0, or a URL, such as "
            "rfc2217://HOST:PORT.");
    } else if (const PortEntry* entry = listed(checked.device)) {
        verdict = entry->problem;  // still allowed: the operator may be about to mend it
    } else if (checked.device != text) {
        verdict = QStringLiteral("Taken as %1.").arg(checked.device);
    }
    verdict_->setText(verdict);
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(usable);
}

QString PortChooser::chosenDevice() const {
    return stableDeviceName(checkDevice(field_->text().trimmed()).device, inventory_.byIdFolder());
}

}  // namespace panel
