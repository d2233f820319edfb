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

using GridListener = std::function<void(const NotifyRecord&)>;

// Where the grid's news goes, and the owner's say on what enters a cell.
struct GridHooks {
    // Each notification goes to this one receiver (the form), once, with
    // this id.
    GridListener notify;
    int controlId = 0;
    // Without one every text is accepted unchanged.
    CellValidator checkCell;
    // Repaint request for a front end.
    std::function<void()> changed;
    // The row or column counts, their fixed counts or their sizes are
    // different now.
    std::function<void()> reshaped;
    // For a front end that tells assistive technology: a cell's text is
    // different now, and the focus cell has moved (or gone: invalid).
    std::function<void(CellId)> cellTextChanged;
    std::function<void(CellId)> focusMoved;
};

// How many rows and columns there are, how many of them are fixed, and how
// big each is; a row or column of size 0 is hidden. The counts change only
// through the GridCore, which keeps its cells in step.
class GridShape {
public:
    int GetRows() const { return static_cast<int>(m_rowHeights.size()); }
    int GetCols() const { return static_cast<int>(m_colWidths.size()); }
    int GetFixedRows() const { return m_fixedRows; }
    int GetFixedCols() const { return m_fixedCols; }
    int RowHeight(int row) const { return InRows(row) ? m_rowHeights[row] : 0; }
    int ColWidth(int col) const { return InCols(col) ? m_colWidths[col] : 0; }
    bool IsValid(int row, int col) const { return InRows(row) && InCols(col); }
    bool IsCellFixed(int row, int col) const { return row < m_fixedRows || col < m_fixedCols; }
    // The focus cell after a key; invalid when it cannot move.
    CellId NextCell(CellId from, MoveKey key, bool ctrl, int pageRows) const;

private:
    friend class GridCore;
    bool InRows(int r) const { return r >= 0 && r < GetRows(); }
    bool InCols(int c) const { return c >= 0 && c < GetCols(); }

    std::vector<int> m_rowHeights;
    std::vector<int> m_colWidths;
    int m_fixedRows = 0;
    int m_fixedCols = 0;
};

// What the user may do to the grid's shape and cells.
struct GridPermissions {
    bool editing = true;
    bool rowResize = true;
    bool colResize = true;
    bool dragDrop = false;
};

// How clipboard text enters the grid.
struct PastePolicy {
    // The columns a paste may start in, as the owner names them; empty:
    // any column.
    std::set<int> startColumns;
    // Spreadsheets of many locales copy "26,5000" for 26.5: with this on, a
    // tab-separated field of digits, one comma and digits is one number.
    bool decimalComma = false;
};

// What one PasteText did.
struct PasteOutcome {
    // False when the paste was refused as a whole.
    bool pasted = false;
    // The cells whose pieces the cell check refused, top to bottom.
    std::vector<CellId> refused;
};

// Which of the clipboard commands would do something now.
struct ClipboardAbility {
    bool copy = false;
    bool cut = false;
    bool paste = false;
};

class GridCore;

// The focus cell and the selected cells, and the ways they change. Part of
// its GridCore, whose cells carry the marks and whose listener hears the
// notifications.
class GridSelection {
public:
    GridSelection(const GridSelection&) = delete;
    GridSelection& operator=(const GridSelection&) = delete;

    CellId Focus() const { return m_focus; }
    bool Contains(int row, int col) const { return m_cells.count({row, col}) != 0; }
    const std::set<CellId>& Cells() const { return m_cells; }
    // The cell a paste starts at: the selection's top-left, else the focus.
    CellId PasteStart() const;

    // Moves the focus to an unfixed cell and selects it alone; notifies
    // LVN_ITEMCHANGING and/or LVN_ITEMCHANGED as asked.
    void SetFocus(CellId cell, bool notifyChanging, bool notifyChanged);
    void Move(MoveKey key, bool ctrl, int pageRows);
    void Select(CellId cell, bool on);
    void Clear();
    void SelectAll();

private:
    friend class GridCore;
    explicit GridSelection(GridCore& core) : m_core(core) {}
    void MoveFocusTo(CellId cell);
    // What is left of the selection when the shape shrinks to rows x cols.
    void Trim(int rows, int cols);
    void Reset();

    GridCore& m_core;
    CellId m_focus;
    std::set<CellId> m_cells;
};

class GridCore {
public:
    GridHooks& Hooks() { return m_hooks; }

    // ---- Shape ----------------------------------------------------------
    const GridShape& Shape() const { return m_shape; }
    bool SetRows(int n);
    bool SetCols(int n);
    bool SetFixedRows(int n);
    bool SetFixedCols(int n);
    // A size of 0 hides the row or column; outside the grid nothing changes.
    void SetRowHeight(int row, int h);
    void SetColWidth(int col, int w);
    // Sizes every row and column to its content with a measuring function
    // (text -> width, height in pixels) and a padding.
    void AutoSizeAll(const std::function<std::pair<int, int>(const std::string&)>& measure, int padX, int padY);

    // ---- Cells ----------------------------------------------------------
    bool SetCell(int row, int col, const std::string& text, unsigned format);
    // Setting marks the cell modified; outside the grid nothing changes.
    bool SetCellText(int row, int col, const std::string& text);
    std::string GetCellText(int row, int col) const;
    const CGridCell* Cell(int row, int col) const { return m_shape.IsValid(row, col) ? &m_cells[row][col] : nullptr; }
    bool IsCellEditable(int row, int col) const;
    void SetCellReadOnly(int row, int col, bool readOnly);
    // The owner's check, or acceptance unchanged without one.
    CellCheck CheckCellText(int row, int col, const std::string& text) const;

    void SetPermissions(const GridPermissions& permissions) { m_permissions = permissions; }

    // The owner's lock, for while something else has the cells: no edit,
    // Delete or paste changes them, and cut only copies.
    void SetTransferBusy(bool busy) { m_bTransferBusy = busy; }
    bool IsTransferBusy() const { return m_bTransferBusy; }

    // ---- Focus and selection -------------------------------------------
    const GridSelection& Selection() const { return m_selection; }
    GridSelection& Selection() { return m_selection; }

    // ---- Clipboard and Delete -------------------------------------------
    ClipboardAbility Abilities() const;
    std::string CopyText() const;
    // Clears the selected editable cells (nothing during a transfer).
    void DeleteSelection();
    const PastePolicy& GetPastePolicy() const { return m_paste; }
    void SetPastePolicy(PastePolicy policy) { m_paste = std::move(policy); }
    // Writes text into the grid from the selection's PasteStart(). A piece
    // the cell check refuses leaves its cell as it was.
    PasteOutcome PasteText(const std::string& text);

    // ---- Edits ----------------------------------------------------------
    // The editor ended with text: the cell takes it if it differs, then
    // LVN_ENDLABELEDIT. Returns whether the text changed.
    bool EndEdit(int row, int col, const std::string& text);

    void Notify(int code, int row, int col) const;

private:
    friend class GridSelection;
    bool PasteAllowed() const;
    void ApplyMarks();
    bool ReplaceText(int row, int col, const std::string& text);
    void Changed() const {
        if (m_hooks.changed) m_hooks.changed();
    }
    void Reshaped() const {
        if (m_hooks.reshaped) m_hooks.reshaped();
    }
    // Every change of a cell's text goes through here.
    void PutText(int row, int col, const std::string& text);

    GridHooks m_hooks;
    GridShape m_shape;
    std::vector<std::vector<CGridCell>> m_cells;
    GridPermissions m_permissions;
    GridSelection m_selection{*this};
    CGridDefaultCell m_default;
    PastePolicy m_paste;
    bool m_bTransferBusy = false;
};

// Splits clipboard text into lines at "\n" and each line into pieces at tabs
// and commas, trimmed. A line ending the text is not a line of its own. With
// decimalComma, a tab-separated field "digits,digits" is one piece "digits.digits".
std::vector<std::vector<std::string>> SplitPasteText(const std::string& text, bool decimalComma = false);

}  // namespace orvex::grid
