#pragma once
// The grid as a table for assistive technology: rows and columns with
// their header texts, each cell's text as its name, the focus cell as the
// focused child, and the in-place editor as the editable text of its cell.
#include <QAccessibleWidget>
#include <QPointer>
#include <map>

#include "GridCtrl_src/GridCore.h"

namespace orvex {

class CGridCtrl;

class GridAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit GridAccessible(CGridCtrl* grid);
    ~GridAccessible() override;

    // Installs the factory that gives every grid this interface; once.
    static void Install();
    // The child index assistive technology knows a cell by; -1 when the
    // cell is hidden or not in the grid.
    static int ChildIndexOf(const CGridCtrl* grid, grid::CellId cell);

    void* interface_cast(QAccessible::InterfaceType t) override;
    QAccessible::Role role() const override { return QAccessible::Table; }
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

    // The table: rows are the unfixed rows, columns every shown column.
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface*> selectedCells() const override;
    QString columnDescription(int column) const override;
    QString rowDescription(int row) const override;
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return 0; }
    int columnCount() const override;
    int rowCount() const override;
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int) const override { return false; }
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent*) override {}

    // The interface of one cell, made once and kept while the table lives.
    QAccessibleInterface* CellInterface(grid::CellId cell) const;

private:
    CGridCtrl* Grid() const;

    mutable std::map<grid::CellId, QAccessible::Id> m_cells;
};

}  // namespace orvex
