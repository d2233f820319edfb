#include "ui/PortListDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace orvex {
namespace {

enum Column { kPort, kDevice, kById, kDriver, kUsbId, kMaker, kProduct, kSerial, kState, kColumns };

QString StateText(const PortEntry& e) {
    std::string state = DeviceStateName(e.state);
    if (!e.holders.empty()) {
        state += " by";
        for (const DeviceHolder& h : e.holders) state += " " + HolderText(h);
    }
    if (!e.info.problem.empty()) state += ", " + e.info.problem;
    return QString::fromStdString(state);
}

QTableWidget* NewPortTable(int rows, QWidget* parent) {
    auto* table = new QTableWidget(rows, kColumns, parent);
    table->setObjectName("PortTable");
    table->setAccessibleName("Ports");
    table->setHorizontalHeaderLabels(
        {"Port", "Device", "By-id name", "Driver", "USB id", "Manufacturer", "Product", "Serial", "State"});
    table->verticalHeader()->hide();
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(false);
    return table;
}

void FillRow(QTableWidget* table, int row, const PortEntry& e) {
    const auto set = [&](int col, const QString& text) { table->setItem(row, col, new QTableWidgetItem(text)); };
    set(kPort, QString("COM%1%2").arg(e.com).arg(e.remembered ? " (remembered)" : ""));
    set(kDevice, QString::fromStdString(e.device));
    // The by-id name is long and says the same as its tail: the tail is
    // shown, the whole name is the tip.
    const QString byId = QString::fromStdString(e.info.byId);
    set(kById, byId.section('/', -1));
    table->item(row, kById)->setToolTip(byId);
    set(kDriver, QString::fromStdString(e.info.driver));
    set(kUsbId, QString::fromStdString(UsbIdText(e.info)));
    set(kMaker, QString::fromStdString(e.info.manufacturer));
    set(kProduct, QString::fromStdString(e.info.product));
    set(kSerial, QString::fromStdString(e.info.serial));
    set(kState, StateText(e));
}

// What no port's system tells (Windows has no by-id names) would only
// be an empty column.
void HideEmptyColumns(QTableWidget* table) {
    for (int c = 0; c < kColumns; ++c) {
        bool empty = true;
        for (int row = 0; row < table->rowCount() && empty; ++row) empty = table->item(row, c)->text().isEmpty();
        table->setColumnHidden(c, empty && table->rowCount() > 0);
    }
}

int TableWidth(const QTableWidget* table) {
    int width = table->verticalHeader()->width() + 4;
    for (int c = 0; c < kColumns; ++c) width += table->columnWidth(c);
    return width;
}

}  // namespace

CPortListDialog::CPortListDialog(std::vector<PortEntry> entries, QWidget* parent)
    : QDialog(parent), m_entries(std::move(entries)) {
    setObjectName("PortListDialog");
    setWindowTitle("Port List");
    auto* layout = new QVBoxLayout(this);
    auto* hint = new QLabel(m_entries.empty() ? "No serial port is present. Plug in the programming cable."
                                              : "Choose the port of the programming cable to remember.",
                            this);
    layout->addWidget(hint);

    m_table = NewPortTable(static_cast<int>(m_entries.size()), this);
    for (int row = 0; row < static_cast<int>(m_entries.size()); ++row)
        FillRow(m_table, row, m_entries[static_cast<std::size_t>(row)]);
    HideEmptyColumns(m_table);
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_table);

    AddButtons(layout);

    int start = 0;
    for (const PortEntry& e : m_entries)
        if (e.remembered) start = e.com;
    if (!SelectCom(start) && !m_entries.empty()) SelectCom(m_entries.front().com);
    m_remember->setEnabled(ChosenCom() > 0);

    // Wide enough for the table's columns, within reason.
    resize(std::min(TableWidth(m_table) + 24, 1000), 300);
}

void CPortListDialog::AddButtons(QVBoxLayout* layout) {
    auto* buttons = new QDialogButtonBox(this);
    m_remember = buttons->addButton("Remember", QDialogButtonBox::AcceptRole);
    m_remember->setObjectName("Remember");
    buttons->addButton(QDialogButtonBox::Cancel);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_table, &QTableWidget::itemSelectionChanged, this, [this] { m_remember->setEnabled(ChosenCom() > 0); });
    connect(m_table, &QTableWidget::cellDoubleClicked, this, [this](int, int) {
        if (ChosenCom() > 0) accept();
    });
}

int CPortListDialog::ChosenCom() const {
    const QList<QTableWidgetItem*> selected = m_table->selectedItems();
    if (selected.isEmpty()) return 0;
    const int row = selected.first()->row();
    if (row < 0 || row >= static_cast<int>(m_entries.size())) return 0;
    return m_entries[static_cast<std::size_t>(row)].com;
}

bool CPortListDialog::SelectCom(int com) {
    for (int row = 0; row < static_cast<int>(m_entries.size()); ++row)
        if (m_entries[static_cast<std::size_t>(row)].com == com) {
            m_table->selectRow(row);
            return true;
        }
    return false;
}

}  // namespace orvex
