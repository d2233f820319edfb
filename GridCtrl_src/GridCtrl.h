#pragma once
// The table widget: draws a GridCore, turns mouse and keys into its
// operations, and runs the in-place editor.
#include <QAccessible>
#include <QPointer>
#include <QWidget>
#include <map>
#include <optional>
#include <string>

#include "GridCtrl_src/GridCore.h"
#include "GridCtrl_src/InPlaceEdit.h"
#include "settings/UserMessage.h"

class QScrollBar;

namespace orvex {

// Edit commands the grid takes when they are offered to it.
inline constexpr int ID_EDIT_CLEAR = 57632;
inline constexpr int ID_EDIT_COPY = 57634;
inline constexpr int ID_EDIT_CUT = 57635;
inline constexpr int ID_EDIT_PASTE = 57637;
inline constexpr int ID_EDIT_SELECT_ALL = 57642;

// Where a shape's cells are drawn in a viewport at a scroll position. A
// snapshot: taken anew, it follows the grid's scrolling and resizing.
class GridGeometry {
public:
    GridGeometry(const grid::GridShape& shape, const QRect& viewport, int scrolledRows)
        : m_shape(shape), m_viewport(viewport), m_scrolledRows(scrolledRows) {}

    // Where the cell is drawn now; scrolled-off rows lie above the titles.
    QRect CellRect(int row, int col) const;
    // The part of the cell that is seen: empty when it is scrolled off,
    // under the titles or beyond the viewport.
    QRect VisibleCellRect(int row, int col) const;
    grid::CellId CellAt(const QPoint& p) const;
    // The part of the grid that shows cells (without the scroll bar).
    QRect Viewport() const { return m_viewport; }
    // Unfixed rows scrolled off the top.
    int ScrolledRows() const { return m_scrolledRows; }
    // The height of the fixed rows above the scrolled ones.
    int FixedHeight() const;
    // The rows a page key moves by.
    int PageRows() const;
    // The fewest rows to scroll off so that the last row is shown whole.
    int MaxScrollRows() const;
    // The scroll position nearest this one that shows an unfixed row whole;
    // none for a fixed row or one outside the grid.
    std::optional<int> ScrollShowing(int row) const;

private:
    const grid::GridShape& m_shape;
    QRect m_viewport;
    int m_scrolledRows;
};

class CGridCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CGridCtrl(QWidget* parent = nullptr);
    ~CGridCtrl() override;

    // The cells, shape, selection and switches; the widget repaints and lays
    // itself out as they change.
    grid::GridCore& Core() { return m_core; }
    const grid::GridCore& Core() const { return m_core; }
    void SetPrompter(IPrompter* prompter) { m_prompter = prompter; }
    // The owner's check of every text that enters a cell, typed or pasted,
    // and the message a refusal shows.
    void SetCellValidator(grid::CellValidator check, std::string refusal);
    // What the in-place editor of a column takes; without rules, anything.
    void SetColumnEditor(int col, EditRules rules) { m_editRules[col] = std::move(rules); }
    // Shows the owner's refusal message (stop icon, OK); detail may be empty.
    void ShowRefusal(const std::string& detail);

    // As the core's, but a change first ends a running edit.
    bool SetFixedRows(int n);
    bool SetFixedCols(int n);
    // The leading columns that name their row (assistive technology reads
    // them as row headers); the fixed columns unless set. Apart from the
    // fixed count, which a table may raise to lock its cells.
    void SetRowHeaderCols(int n) { m_rowHeaderCols = n; }
    int RowHeaderCols() const { return m_rowHeaderCols >= 0 ? m_rowHeaderCols : m_core.Shape().GetFixedCols(); }
    // Sizes every row and column to its text in the grid's font.
    void AutoSizeAll();
    void EndEditing();

    // Starts an edit of an editable cell; false when the cell cannot be edited.
    bool EditCell(int row, int col, const EditStart& first);
    CInPlaceEdit* Editor() const { return m_editor.data(); }
    // The editor's end: text, and the key that ended it.
    void OnEndInPlaceEdit(int row, int col, const QString& text, unsigned endKey);

    // Copy, cut, paste, clear and select all; true when the command is the
    // grid's. Clear is Delete: the character at the editor's cursor while a
    // cell is being edited, else the selected cells' texts.
    bool HandleCommand(int commandId);

    GridGeometry Geometry() const { return {m_core.Shape(), ViewportRect(), m_nScrollRows}; }
    QSize sizeHint() const override;
    void EnsureRowVisible(int row);
    // The shown texts that name a row ("P3 3") and a column ("FREQUENCY"),
    // and both for a cell, as a screen reader names its editor.
    QString RowTitle(int row) const;
    QString ColumnTitle(int col) const;
    QString CellDescription(grid::CellId cell) const;
    // Ends any edit and gives the focus to the next (or previous) control.
    void FocusOutOfTable(bool forward);
    static bool LeavesTable(const QKeyEvent* key, bool* forward);

protected:
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    void OnEditCopy();
    void OnEditCut();
    void OnEditPaste();
    void OnEditClear();
    QRect ViewportRect() const;
    void ScrollTo(int rows);
    void UpdateScrollBar();
    // Tells assistive technology about a cell, when one listens.
    void Announce(QAccessible::Event what, grid::CellId cell);

    grid::GridCore m_core;
    QPointer<CInPlaceEdit> m_editor;
    IPrompter* m_prompter = nullptr;
    std::string m_refusal;
    QScrollBar* m_vScroll = nullptr;
    int m_nScrollRows = 0;
    grid::CellId m_pressCell;
    bool m_pressOnFocus = false;
    int m_rowHeaderCols = -1;
    std::map<int, EditRules> m_editRules;
    // The menu bar or menu the focus is lent to while it is open: the
    // focus cell stays marked, as Copy and Paste still act on it.
    QPointer<QWidget> m_focusLentTo;
    QMetaObject::Connection m_focusWatch;
};

}  // namespace orvex
