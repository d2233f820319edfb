#pragma once
// Everything the grid does that needs no display: the cell store, fixed
// rows and columns, the focus cell and the selection, clipboard text,
// Delete and paste, keyboard moves, and the notifications they produce.
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "GridCtrl_src/GridCell.h"

namespace orvex::grid {

enum Notification : int {
    NM_CLICK = -2,
    NM_DBLCLK = -3,
    NM_RCLICK = -5,
    LVN_ITEMCHANGING = -100,
    LVN_ITEMCHANGED = -101,
    LVN_BEGINLABELEDIT = -105,
    LVN_ENDLABELEDIT = -106,
    LVN_BEGINDRAG = -109,
};

struct NotifyRecord {
    int controlId;
    int code;
    int row;
    int col;
};

struct CellId {
    int row = -1;
    int col = -1;
    bool IsValid() const { return row >= 0 && col >= 0; }
    bool operator==(const CellId&) const = default;
    bool operator<(const CellId& o) const { return row != o.row ? row < o.row : col < o.col; }
};

// The owner's verdict on a text entering a cell: whether it may, and what
// the cell then takes (the owner may normalise it).
struct CellCheck {
    bool accepted = true;
    std::string text;
};
using CellValidator = std::function<CellCheck(int row, int col, const std::string& text)>;

// Keys the grid moves its focus cell with.
enum class MoveKey { Up, Down, Left, Right, PageUp, PageDown, Home, End, Tab, BackTab };

class GridCore {
public:
    using Listener = std::function<void(const NotifyRecord&)>;

    // Each notification goes to this one receiver (the form), once.
    void SetListener(Listener listener) { m_listener = std::move(listener); }
    void SetControlId(int id) { m_controlId = id; }
    int ControlId() const { return m_controlId; }

    // ---- Shape ----------------------------------------------------------
    bool SetRows(int n);
    bool SetCols(int n);
    bool SetFixedRows(int n);
    bool SetFixedCols(int n);
    int GetRows() const { return static_cast<int>(m_cells.size()); }
    int GetCols() const { return m_cols; }
    int GetFixedRows() const { return m_fixedRows; }
    int GetFixedCols() const { return m_fixedCols; }

    int RowHeight(int row) const { return InRows(row) ? m_rowHeights[row] : 0; }
    int ColWidth(int col) const { return InCols(col) ? m_colWidths[col] : 0; }
    void SetRowHeight(int row, int h) {
        if (InRows(row)) m_rowHeights[row] = h;
    }
    void SetColWidth(int col, int w) {
        if (InCols(col)) m_colWidths[col] = w;
    }
    // Sizes every row and column to its content with a measuring function
    // (text -> width, height in pixels) and a padding.
    void AutoSizeAll(const std::function<std::pair<int, int>(const std::string&)>& measure, int padX, int padY);

    // ---- Cells ----------------------------------------------------------
    bool IsValid(int row, int col) const { return InRows(row) && InCols(col); }
    bool SetCell(int row, int col, const std::string& text, unsigned format);
    // Setting marks the cell modified; outside the grid nothing changes.
    bool SetCellText(int row, int col, const std::string& text);
    std::string GetCellText(int row, int col) const;
    const CGridCell* Cell(int row, int col) const { return IsValid(row, col) ? &m_cells[row][col] : nullptr; }
    bool IsCellFixed(int row, int col) const { return row < m_fixedRows || col < m_fixedCols; }
    bool IsCellEditable(int row, int col) const;
    void SetCellReadOnly(int row, int col, bool readOnly);

    // ---- Switches ---------------------------------------------------------
    void AllowEditing(bool on) { m_allowEditing = on; }
    bool IsEditingAllowed() const { return m_allowEditing; }
    void AllowRowResize(bool on) { m_rowResize = on; }
    void AllowColResize(bool on) { m_colResize = on; }
    void AllowDragDrop(bool on) { m_dragDrop = on; }
    bool RowResizeAllowed() const { return m_rowResize; }
    bool ColResizeAllowed() const { return m_colResize; }
    bool DragDropAllowed() const { return m_dragDrop; }

    // The owner's lock, for while something else has the cells: no edit,
    // Delete or paste changes them, and cut only copies.
    void SetTransferBusy(bool busy) { m_bTransferBusy = busy; }
    bool IsTransferBusy() const { return m_bTransferBusy; }

    // ---- Focus and selection -------------------------------------------
    CellId FocusCell() const { return m_focus; }
    // Moves the focus to an unfixed cell and selects it alone; notifies
    // LVN_ITEMCHANGING and/or LVN_ITEMCHANGED as asked.
    void SetFocusCell(CellId cell, bool notifyChanging, bool notifyChanged);
    void ClearSelection();
    void SelectCell(CellId cell, bool on);
    bool IsSelected(int row, int col) const { return m_selected.count({row, col}) != 0; }
    const std::set<CellId>& Selection() const { return m_selected; }
    void SelectAll();
    // The focus cell after a key; invalid when it cannot move.
    CellId NextCell(CellId from, MoveKey key, bool ctrl, int pageRows) const;
    void MoveFocus(MoveKey key, bool ctrl, int pageRows);

    // ---- Clipboard and Delete -------------------------------------------
    std::string CopyText() const;
    bool CanCopy() const { return !m_selected.empty(); }
    bool CanCut() const { return m_allowEditing && !m_selected.empty(); }
    // Clears the selected editable cells (nothing during a transfer).
    void DeleteSelection();
    // The cell a paste starts at: the selection's top-left, else the focus.
    CellId PasteStart() const;
    // Whether a paste may happen at all right now.
    bool PasteAllowed() const;
    // The columns a paste may start in, as the owner names them; without
    // them, any column.
    void SetPasteStartColumns(std::set<int> cols) { m_pasteStartCols = std::move(cols); }
    // Writes text into the grid from PasteStart(); false when refused. A
    // piece the cell check refuses leaves its cell as it was.
    bool PasteText(const std::string& text);
    // The cells whose pieces the last PasteText refused, top to bottom.
    const std::vector<CellId>& PasteRefused() const { return m_pasteRefused; }
    // Spreadsheets of many locales copy "26,5000" for 26.5: with this on, a
    // tab-separated field of digits, one comma and digits is one number.
    void SetPasteDecimalComma(bool on) { m_pasteDecimalComma = on; }
    bool PasteDecimalComma() const { return m_pasteDecimalComma; }

    // ---- Cell check ---------------------------------------------------------
    // Installed by the owner; without one every text is accepted unchanged.
    void SetCellValidator(CellValidator check) { m_validator = std::move(check); }
    CellCheck CheckCellText(int row, int col, const std::string& text) const;

    // ---- Edits ----------------------------------------------------------
    // The editor ended with text: the cell takes it if it differs, then
    // LVN_ENDLABELEDIT. Returns whether the text changed.
    bool EndEdit(int row, int col, const std::string& text);

    void Notify(int code, int row, int col) const;

    // Repaint request for a front end.
    std::function<void()> onChanged;
    // For a front end that tells assistive technology: a cell's text is
    // different now, and the focus cell has moved (or gone: invalid).
    std::function<void(CellId)> onCellTextChanged;
    std::function<void(CellId)> onFocusMoved;

private:
    bool InRows(int r) const { return r >= 0 && r < GetRows(); }
    bool InCols(int c) const { return c >= 0 && c < m_cols; }
    void ApplyFixedMarks();
    bool ReplaceText(int row, int col, const std::string& text);
    void Changed() const {
        if (onChanged) onChanged();
    }
    // Every change of a cell's text goes through here.
    void PutText(int row, int col, const std::string& text);
    void MoveFocusTo(CellId cell);

    Listener m_listener;
    int m_controlId = 0;
    std::vector<std::vector<CGridCell>> m_cells;
    int m_cols = 0;
    int m_fixedRows = 0;
    int m_fixedCols = 0;
    std::vector<int> m_rowHeights;
    std::vector<int> m_colWidths;
    bool m_allowEditing = true;
    bool m_rowResize = true;
    bool m_colResize = true;
    bool m_dragDrop = false;
    CellId m_focus;
    std::set<CellId> m_selected;
    CGridDefaultCell m_default;
    CellValidator m_validator;
    std::vector<CellId> m_pasteRefused;
    bool m_pasteDecimalComma = false;
    std::set<int> m_pasteStartCols;
    bool m_bTransferBusy = false;
};

// Splits clipboard text into lines at "\n" and each line into pieces at tabs
// and commas, trimmed. A line ending the text is not a line of its own. With
// decimalComma, a tab-separated field "digits,digits" is one piece "digits.digits".
std::vector<std::vector<std::string>> SplitPasteText(const std::string& text, bool decimalComma = false);

}  // namespace orvex::grid
