#pragma once
// The channel table: ten rows P1..P9, P0 with their frequencies, built on
// the grid and bound to the form model, whose cell texts it shows and edits.
#include <QWidget>

#include "GridCtrl_src/GridCtrl.h"
#include "ui/model/FormModel.h"

namespace orvex {

inline constexpr int IDC_CHANNEL_TABLE = 1013;

class CChannelTable {
public:
    CChannelTable(FormModel& form, IPrompter& prompter);

    // Builds the table as a child of parent, filling rect.
    CGridCtrl* CreateChannelTable(QWidget* parent, const QRect& rect);
    CGridCtrl* Grid() const { return m_pGrid; }

    void WriteRowLabels();
    // An edit command offered to the grid; whatever it changes in several
    // cells (a paste, a cut, Delete) is one step of the undo history.
    bool HandleCommand(int commandId);
    // Follows the model: cell texts into the grid, and the transfer lock.
    void OnModelChanged(unsigned changes);

    // Notification handlers of the form for the grid.
    void OnGridNotify(const grid::NotifyRecord& n);
    void OnGridStartEdit(int row, int col);
    void OnGridEndEdit(int row, int col);
    void OnGridSelChange(int row, int col);
    // Every text entering a frequency cell, typed or pasted: only a
    // frequency on the step and in the band, normalised, or empty.
    grid::CellCheck CheckCell(int row, int col, const std::string& text) const;

private:
    void LockChannelTable();
    void UnlockChannelTable();
    void PullCells();

    FormModel& m_form;
    IPrompter& m_prompter;
    CGridCtrl* m_pGrid = nullptr;
    bool m_bPushing = false;  // our own write into the model: do not reflect it back
};

}  // namespace orvex
