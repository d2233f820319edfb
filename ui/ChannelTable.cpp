#include "ui/ChannelTable.h"

#include <QApplication>
#include <algorithm>

#include "settings/QMDataMng.h"
#include "settings/Trace.h"
#include "ui/model/FormTexts.h"

namespace orvex {
namespace {

using namespace grid;

constexpr unsigned kTitleFormat = DT_CENTER | DT_VCENTER | DT_WORDBREAK | DT_SINGLELINE;
constexpr unsigned kLabelFormat = DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;
constexpr unsigned kFrequencyFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;
constexpr const char* kTitles[3] = {" P ", "CH", " FREQUENCY "};
constexpr int kTableRows = kChannelCount + 1;
constexpr int kTableCols = 3;

// Typed into a frequency cell: ASCII digits and points only. Other scripts'
// digits (which QChar::isDigit() also accepts) would read as no number.
bool IsFrequencyChar(QChar ch) { return (ch >= QLatin1Char('0') && ch <= QLatin1Char('9')) || ch == QLatin1Char('.'); }

// At most "NN.NNNN".
constexpr int kFrequencyMaxChars = 7;

// What the editor could have produced. Other text would read as no number
// and empty the cell without a word.
bool IsFrequencyText(const std::string& text) {
    const QString chars = QString::fromStdString(text);
    return std::all_of(chars.begin(), chars.end(), IsFrequencyChar);
}

// The grid, with each key it takes one user change of the form: Delete
// clears a whole selection at once, and that is undone at once. The grid
// itself stays a plain table.
class CChannelGrid final : public CGridCtrl {
public:
    CChannelGrid(FormModel& form, QWidget* parent) : CGridCtrl(parent), m_form(form) {}

protected:
    void keyPressEvent(QKeyEvent* e) override {
        const FormModel::UserChange change(m_form);
        CGridCtrl::keyPressEvent(e);
    }

private:
    FormModel& m_form;
};

}  // namespace

CChannelTable::CChannelTable(FormModel& form, IPrompter& prompter) : m_form(form), m_prompter(prompter) {}

CGridCtrl* CChannelTable::CreateChannelTable(QWidget* parent, const QRect& rect) {
    m_pGrid = new CChannelGrid(m_form, parent);
    m_pGrid->setObjectName("ChannelTable");
    m_pGrid->setGeometry(rect);
    m_pGrid->setFont(QApplication::font("QMessageBox"));  // the system's message font
    GridCore& core = m_pGrid->Core();
    core.Hooks().controlId = IDC_CHANNEL_TABLE;
    m_pGrid->SetPrompter(&m_prompter);
    m_pGrid->SetCellValidator([this](int row, int col, const std::string& text) { return CheckCell(row, col, text); },
                              std::string(texts::kFrequencyRefused));
    core.SetPastePolicy({.startColumns = {kFrequencyColumn}, .decimalComma = true});
    m_pGrid->SetColumnEditor(kFrequencyColumn, {IsFrequencyChar, kFrequencyMaxChars});
    core.Hooks().notify = [this](const NotifyRecord& n) { OnGridNotify(n); };
    core.SetPermissions({.editing = true, .rowResize = false, .colResize = false, .dragDrop = false});
    core.SetRows(kTableRows);
    core.SetCols(kTableCols);
    m_pGrid->SetFixedRows(1);
    m_pGrid->SetFixedCols(2);
    m_pGrid->SetRowHeaderCols(2);  // also while a transfer locks the frequencies
    for (int r = 0; r < kTableRows; ++r) {
        for (int c = 0; c < kTableCols; ++c) {
            if (r == 0)
                core.SetCell(r, c, kTitles[c], kTitleFormat);
            else
                core.SetCell(r, c,
                             c == 0   ? RowLabel(r)  // measured below, at any font
                             : c == 1 ? std::to_string(r)
                                      : std::string(),
                             c == kFrequencyColumn ? kFrequencyFormat : kLabelFormat);
        }
    }
    m_pGrid->AutoSizeAll();
    m_pGrid->show();
    PullCells();
    return m_pGrid;
}

grid::CellCheck CChannelTable::CheckCell(int row, int col, const std::string& text) const {
    if (col != kFrequencyColumn) return {true, text};
    // A refused entry leaves the cell as it was: putting the check's
    // stand-in (26.0000, or nothing) there would send the radio a frequency
    // nobody typed.
    const std::string before = m_pGrid->Core().GetCellText(row, col);
    if (!IsFrequencyText(text)) return {false, before};
    const FrequencyCheck check = ValidateFrequencyText(text);
    return {check.accepted, check.accepted ? check.normalised : before};
}

bool CChannelTable::HandleCommand(int commandId) {
    if (!m_pGrid) return false;
    const FormModel::UserChange change(m_form);
    return m_pGrid->HandleCommand(commandId);
}

void CChannelTable::WriteRowLabels() {
    if (!m_pGrid) return;
    for (int row = 1; row <= kChannelCount; ++row)
        m_pGrid->Core().SetCellText(row, 0, RowLabel(row));
    m_pGrid->update();
}

void CChannelTable::PullCells() {
    if (!m_pGrid) return;
    for (int row = 1; row <= kChannelCount; ++row) {
        const std::string text = CellText(m_form, row);
        GridCore& core = m_pGrid->Core();
        if (core.GetCellText(row, kFrequencyColumn) != text) core.SetCellText(row, kFrequencyColumn, text);
    }
    m_pGrid->update();
}

void CChannelTable::OnModelChanged(unsigned changes) {
    if (!m_pGrid) return;
    if ((changes & kChangeCells) && !m_bPushing) PullCells();
    if (changes & kChangeTableLock) {
        if (m_form.View().IsTableLocked())
            LockChannelTable();
        else
            UnlockChannelTable();
    }
}

void CChannelTable::LockChannelTable() {
    if (m_pGrid->Core().IsTransferBusy()) return;
    m_pGrid->Core().SetTransferBusy(true);
    m_pGrid->SetFixedCols(3);
}

void CChannelTable::UnlockChannelTable() {
    m_pGrid->Core().SetTransferBusy(false);
    m_pGrid->SetFixedCols(2);
}

void CChannelTable::OnGridNotify(const NotifyRecord& n) {
    switch (n.code) {
        case LVN_BEGINLABELEDIT: OnGridStartEdit(n.row, n.col); break;
        case LVN_ENDLABELEDIT: OnGridEndEdit(n.row, n.col); break;
        case LVN_ITEMCHANGING:
        case LVN_ITEMCHANGED: OnGridSelChange(n.row, n.col); break;
        case NM_RCLICK: Trace("Right button click on row %d, col %d\n", n.row, n.col); break;
        default: break;
    }
}

void CChannelTable::OnGridStartEdit(int row, int col) {
    m_form.View().BeginCellEdit();
    Trace("Start Edit on row %d, col %d\n", row, col);
    Trace("CQMView::OnGridStartEdit\n");
}

void CChannelTable::OnGridEndEdit(int row, int col) {
    m_form.View().EndCellEdit();
    Trace("End Edit on row %d, col %d\n", row, col);
    if (col != kFrequencyColumn || row < 1 || row > kChannelCount) return;
    // The cell is the live value: what the grid now holds is the model's.
    m_bPushing = true;
    const std::string text = m_pGrid->Core().GetCellText(row, col);
    m_form.SetCellText(row, text);
    m_bPushing = false;
    // A form that refused the text shows its own again.
    if (CellText(m_form, row) != text) PullCells();
}

void CChannelTable::OnGridSelChange(int, int col) {
    if (m_form.View().IsTableLocked()) return;
    if (col != m_form.View().CurrentColumn()) m_form.View().SelectColumn(col);
}

}  // namespace orvex
