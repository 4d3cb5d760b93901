#include "ui/fleet_window.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QVBoxLayout>

#include "fleet/fleet_columns.h"
#include "serial/line_stack.h"
#include "ui/form1.h"

namespace panel {
namespace {

constexpr int kLongestPollSeconds = 86'400;

QPushButton* button(const char* name, const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

QSpinBox* spinBox(const char* name, int low, int high, const QString& accessible, QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(low, high);
    box->setAccessibleName(accessible);
    return box;
}

}  // namespace

// Today's full window for one projector, with COM1 on its port, and the line it drives.
struct FleetWindow::Panel {
    explicit Panel(const Projector& projector)
        : line(LineConfig{PortDevices{projector.port, defaultPortDevices().com2}}),
          form(line.port()) {}
    LineStack line;
    Form1 form;
};

FleetWindow::FleetWindow(const QString& projectorsFile, std::optional<int> pollSeconds,
                         QWidget* parent)
    : QWidget(parent), watcher_(projectorsFile), model_(fleet_) {
    setObjectName(QStringLiteral("FleetWindow"));
    setWindowTitle(QStringLiteral("Projectors — projector-panel"));
    build();
    const FleetSettings remembered = settings_.fleet();
    threshold_->setValue(remembered.lampHoursThreshold.value_or(kDefaultLampThreshold));
    model_.setLampThreshold(threshold_->value());
    const int seconds = pollSeconds.value_or(
        remembered.pollSeconds.value_or(static_cast<int>(kDefaultPoll.count())));
    poll_->setValue(std::clamp(seconds, 1, kLongestPollSeconds));
    fleet_.setPollInterval(std::chrono::seconds(poll_->value()));
    // Only what the operator sets here is remembered, not a --poll.
    connect(poll_, &QSpinBox::valueChanged, this, [this](int value) {
        fleet_.setPollInterval(std::chrono::seconds(value));
        remember(FleetKey::PollSeconds, value);
    });
    connect(threshold_, &QSpinBox::valueChanged, this, [this](int value) {
        model_.setLampThreshold(value);
        remember(FleetKey::LampHoursThreshold, value);
    });
    fleet_.cycleFinished = [this](std::chrono::milliseconds wall) {
        // Once a cycle, not on every change: measuring a hundred rows each time costs the window.
        table_->resizeColumnsToContents();
        emit cycleFinished(wall.count());
    };
    connect(&watcher_, &ProjectorsWatcher::changed, this, &FleetWindow::listRead);
    listRead(watcher_.current());
}

FleetWindow::~FleetWindow() {
    fleet_.cycleFinished = {};
}

QHBoxLayout* FleetWindow::buildSettingsRow() {
    auto* settingsRow = new QHBoxLayout;
    poll_ = spinBox("PollSeconds", 1, kLongestPollSeconds, QStringLiteral("Poll every"), this);
    poll_->setSuffix(QStringLiteral(" s"));
    threshold_ =
        spinBox("LampThreshold", 0, 1'000'000, QStringLiteral("Mark lamp hours above"), this);
    auto* pollNow = button("PollNow", QStringLiteral("Poll now"), this);
    connect(pollNow, &QPushButton::clicked, this, [this] { fleet_.pollNow(); });
    for (auto [caption, box] : {std::pair{QStringLiteral("Poll every"), poll_},
                                std::pair{QStringLiteral("Mark lamp hours above"), threshold_}}) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(box);
        settingsRow->addWidget(label);
        settingsRow->addWidget(box);
    }
    settingsRow->addWidget(pollNow);
    settingsRow->addStretch();
    return settingsRow;
}

void FleetWindow::buildTable() {
    sorted_.setSourceModel(&model_);
    sorted_.setSortRole(Qt::UserRole);
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("FleetTable"));
    table_->setAccessibleName(QStringLiteral("Projectors"));
    table_->setModel(&sorted_);
    table_->setSortingEnabled(true);
    table_->sortByColumn(-1, Qt::AscendingOrder);  // the file's order until a header is clicked
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &FleetWindow::updateActions);
}

QHBoxLayout* FleetWindow::buildActions() {
    problems_ = new QLabel(this);
    problems_->setObjectName(QStringLiteral("FileProblems"));
    problems_->setWordWrap(true);
    problems_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* actions = new QHBoxLayout;
    powerOn_ = button("PowerOn", QStringLiteral("Power on"), this);
    powerOff_ = button("PowerOff", QStringLiteral("Power off"), this);
    openPanel_ = button("OpenPanel", QStringLiteral("Open panel"), this);
    connect(powerOn_, &QPushButton::clicked, this, &FleetWindow::powerOnSelected);
    connect(powerOff_, &QPushButton::clicked, this, &FleetWindow::powerOffSelected);
    connect(openPanel_, &QPushButton::clicked, this, &FleetWindow::openPanelForSelected);
    for (QPushButton* b : {powerOn_, powerOff_, openPanel_}) actions->addWidget(b);
    actions->addStretch();
    return actions;
}

void FleetWindow::build() {
    QHBoxLayout* settingsRow = buildSettingsRow();
    buildTable();
    QHBoxLayout* actions = buildActions();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(settingsRow);
    layout->addWidget(table_, 1);
    layout->addWidget(problems_);
    layout->addLayout(actions);
    resize(960, 420);
    updateActions();
}

void FleetWindow::start() {
    fleet_.startPolling();
}

void FleetWindow::listRead(const ProjectorList& list) {
    fleet_.setProjectors(list.projectors);
    fileProblems_ = list.problems;
    showProblems();
    updateActions();
}

void FleetWindow::remember(FleetKey key, int value) {
    if (settings_.remember(key, value)) return;
    showProblems();
}

void FleetWindow::showProblems() {
    if (const QString problem = settings_.takeProblem(); !problem.isEmpty())
        settingsProblem_ = problem;
    QStringList lines;
    for (const QString& problem : fileProblems_) lines << problem.toHtmlEscaped();
    if (!settingsProblem_.isEmpty()) lines << settingsProblem_.toHtmlEscaped();
    problems_->setText(lines.join(QStringLiteral("<br>")));
    problems_->setVisible(!lines.isEmpty());
}

std::vector<int> FleetWindow::selectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
        rows.push_back(sorted_.mapToSource(index).row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void FleetWindow::updateActions() {
    const std::size_t count = table_->selectionModel()->selectedRows().size();
    powerOn_->setEnabled(count > 0);
    powerOff_->setEnabled(count > 0);
    openPanel_->setEnabled(count == 1);
}

void FleetWindow::powerOnSelected() {
    fleet_.power(selectedRows(), PowerCommand::On);
}

void FleetWindow::powerOffSelected() {
    const std::vector<int> rows = selectedRows();
    if (rows.empty()) return;
    QStringList names;
    for (int row : rows) names << fleet_.rows()[static_cast<std::size_t>(row)].projector.name;
    auto* box =
        new QMessageBox(QMessageBox::Question, QStringLiteral("Power off"),
                        QStringLiteral("Switch off %1?").arg(names.join(QStringLiteral(", "))),
                        QMessageBox::Yes | QMessageBox::Cancel, this);
    box->setObjectName(QStringLiteral("ConfirmPowerOff"));
    box->setDefaultButton(QMessageBox::Cancel);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // By name, not row: the file may be read again while the question is open.
    connect(box, &QMessageBox::finished, this, [this, names](int answer) {
        if (answer != QMessageBox::Yes) return;
        std::vector<int> rows;
        for (const QString& name : names)
            if (const int row = fleet_.rowOf(name); row >= 0) rows.push_back(row);
        fleet_.power(rows, PowerCommand::Off);
    });
    box->open();
}

void FleetWindow::openPanelForSelected() {
    const std::vector<int> rows = selectedRows();
    if (rows.size() != 1) return;
    std::erase_if(panels_, [](const auto& panel) { return panel->form.isHidden(); });
    auto panel =
        std::make_unique<Panel>(fleet_.rows()[static_cast<std::size_t>(rows[0])].projector);
    Form1& form = panel->form;
    form.describePorts(panel->line.port().device(1), panel->line.port().device(2));
    form.setWindowTitle(form.windowTitle() + QStringLiteral(" — ") +
                        fleet_.rows()[static_cast<std::size_t>(rows[0])].projector.name);
    form.load();
    if (fleet_.rows()[static_cast<std::size_t>(rows[0])].projector.speed == 9600) {
        if (auto* slow = form.findChild<QAbstractButton*>(QStringLiteral("Option10")))
            slow->click();
    }
    form.show();
    panels_.push_back(std::move(panel));
}

}  // namespace panel
