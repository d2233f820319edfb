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

    m_table = new QTableWidget(static_cast<int>(m_entries.size()), kColumns, this);
    m_table->setObjectName("PortTable");
    m_table->setAccessibleName("Ports");
    m_table->setHorizontalHeaderLabels(
        {"Port", "Device", "By-id name", "Driver", "USB id", "Manufacturer", "Product", "Serial", "State"});
    m_table->verticalHeader()->hide();
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    for (int row = 0; row < static_cast<int>(m_entries.size()); ++row) {
        const PortEntry& e = m_entries[static_cast<std::size_t>(row)];
        const auto set = [&](int col, const QString& text) { m_table->setItem(row, col, new QTableWidgetItem(text)); };
        set(kPort, QString("COM%1%2").arg(e.com).arg(e.remembered ? " (remembered)" : ""));
        set(kDevice, QString::fromStdString(e.device));
        // The by-id name is long and says the same as its tail: the tail is
        // shown, the whole name is the tip.
        const QString byId = QString::fromStdString(e.info.byId);
        set(kById, byId.section('/', -1));
        m_table->item(row, kById)->setToolTip(byId);
        set(kDriver, QString::fromStdString(e.info.driver));
        set(kUsbId, QString::fromStdString(UsbIdText(e.info)));
        set(kMaker, QString::fromStdString(e.info.manufacturer));
        set(kProduct, QString::fromStdString(e.info.product));
        set(kSerial, QString::fromStdString(e.info.serial));
        set(kState, StateText(e));
    }
    // What no port's system tells (Windows has no by-id names) would only
    // be an empty column.
    for (int c = 0; c < kColumns; ++c) {
        bool empty = true;
        for (int row = 0; row < m_table->rowCount() && empty; ++row) empty = m_table->item(row, c)->text().isEmpty();
        m_table->setColumnHidden(c, empty && m_table->rowCount() > 0);
    }
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_table);

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

    int start = 0;
    for (const PortEntry& e : m_entries)
        if (e.remembered) start = e.com;
    if (!SelectCom(start) && !m_entries.empty()) SelectCom(m_entries.front().com);
    m_remember->setEnabled(ChosenCom() > 0);

    // Wide enough for the table's columns, within reason.
    int width = m_table->verticalHeader()->width() + 4;
    for (int c = 0; c < kColumns; ++c) width += m_table->columnWidth(c);
    resize(std::min(width + 24, 1000), 300);
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
