#pragma once
// Every mapped port with what is behind it; the user picks the one to
// remember. The dialog only chooses: remembering is the view's business.
#include <QDialog>
#include <vector>

#include "link/PortList.h"

class QTableWidget;
class QPushButton;
class QVBoxLayout;

namespace orvex {

class CPortListDialog : public QDialog {
    Q_OBJECT
public:
    explicit CPortListDialog(std::vector<PortEntry> entries, QWidget* parent = nullptr);

    // The COM number of the selected row; 0 when none is selected.
    int ChosenCom() const;
    // Selects the row of this COM number; false if it is not listed.
    bool SelectCom(int com);
    QTableWidget* Table() const { return m_table; }
    QPushButton* RememberButton() const { return m_remember; }

private:
    // The Remember and Cancel buttons, and what picking a row does to them.
    void AddButtons(QVBoxLayout* layout);

    std::vector<PortEntry> m_entries;
    QTableWidget* m_table = nullptr;
    QPushButton* m_remember = nullptr;
};

}  // namespace orvex
