#include "GridCtrl_src/GridAccessible.h"

#include <QAccessibleTableCellInterface>
#include <QWindow>
#include <algorithm>
#include <vector>

#include "GridCtrl_src/GridCtrl.h"

namespace orvex {
namespace {

// What assistive technology sees of the grid: the rows and columns that
// are shown (a zero size hides one), the fixed rows first.
struct Shown {
    std::vector<int> rows;
    std::vector<int> cols;
    int headerRows = 0;

    explicit Shown(const grid::GridCore& core) {
        for (int r = 0; r < core.Shape().GetRows(); ++r)
            if (core.Shape().RowHeight(r) > 0) {
                rows.push_back(r);
                if (r < core.Shape().GetFixedRows()) ++headerRows;
            }
        for (int c = 0; c < core.Shape().GetCols(); ++c)
            if (core.Shape().ColWidth(c) > 0) cols.push_back(c);
    }
    int ChildCount() const { return static_cast<int>(rows.size() * cols.size()); }
    grid::CellId CellOfChild(int index) const {
        if (index < 0 || index >= ChildCount()) return {};
        const int n = static_cast<int>(cols.size());
        return {rows[index / n], cols[index % n]};
    }
    int ChildOf(grid::CellId cell) const {
        const auto r = std::find(rows.begin(), rows.end(), cell.row);
        const auto c = std::find(cols.begin(), cols.end(), cell.col);
        if (r == rows.end() || c == cols.end()) return -1;
        return static_cast<int>((r - rows.begin()) * cols.size() + (c - cols.begin()));
    }
    // Table coordinates count the unfixed rows only.
    int TableRowOf(int row) const {
        const auto r = std::find(rows.begin(), rows.end(), row);
        return r == rows.end() ? -1 : static_cast<int>(r - rows.begin()) - headerRows;
    }
    int TableColOf(int col) const {
        const auto c = std::find(cols.begin(), cols.end(), col);
        return c == cols.end() ? -1 : static_cast<int>(c - cols.begin());
    }
};

QString CellText(const CGridCtrl* grid, grid::CellId cell) {
    return QString::fromStdString(grid->Core().GetCellText(cell.row, cell.col)).trimmed();
}

class GridCellAccessible final : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    GridCellAccessible(CGridCtrl* grid, grid::CellId cell) : m_grid(grid), m_cell(cell) {}

    bool isValid() const override { return m_grid && m_grid->Core().Shape().IsValid(m_cell.row, m_cell.col); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_grid ? m_grid->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_grid.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text t) const override {
        if (!isValid()) return {};
        if (t == QAccessible::Name) return CellText(m_grid, m_cell);
        return {};
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override {
        if (!isValid()) return {};
        const QRect r = m_grid->Geometry().CellRect(m_cell.row, m_cell.col);
        return QRect(m_grid->mapToGlobal(r.topLeft()), r.size());
    }

    QAccessible::Role role() const override {
        if (!isValid() || m_cell.row < m_grid->Core().Shape().GetFixedRows()) return QAccessible::ColumnHeader;
        return m_cell.col < m_grid->RowHeaderCols() ? QAccessible::RowHeader : QAccessible::Cell;
    }

    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        const grid::GridCore& core = m_grid->Core();
        const bool fixed = core.Shape().IsCellFixed(m_cell.row, m_cell.col);
        s.readOnly = !core.IsCellEditable(m_cell.row, m_cell.col);
        s.editable = !s.readOnly;
        if (!fixed) {
            s.focusable = s.selectable = true;
            s.selected = core.Selection().Contains(m_cell.row, m_cell.col);
            s.focused = m_grid->hasFocus() && core.Selection().Focus() == m_cell;
        }
        s.offscreen = m_grid->Geometry().VisibleCellRect(m_cell.row, m_cell.col).isEmpty();
        s.invisible = !m_grid->isVisible();
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType t) override {
        return t == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface*>(this) : nullptr;
    }

    bool isSelected() const override {
        return isValid() && m_grid->Core().Selection().Contains(m_cell.row, m_cell.col);
    }
    // The shown header cells of the cell's column and row, the cell itself
    // included when it is one: a bridge asks the first cell of a row for
    // the row's header.
    QList<QAccessibleInterface*> columnHeaderCells() const override {
        QList<QAccessibleInterface*> cells;
        if (!isValid()) return cells;
        const Shown shown(m_grid->Core());
        for (int h = 0; h < shown.headerRows; ++h) Append(cells, {shown.rows[h], m_cell.col});
        return cells;
    }
    QList<QAccessibleInterface*> rowHeaderCells() const override {
        QList<QAccessibleInterface*> cells;
        if (!isValid()) return cells;
        for (const int c : Shown(m_grid->Core()).cols)
            if (c < m_grid->RowHeaderCols()) Append(cells, {m_cell.row, c});
        return cells;
    }
    int columnIndex() const override { return isValid() ? Shown(m_grid->Core()).TableColOf(m_cell.col) : -1; }
    int rowIndex() const override { return isValid() ? Shown(m_grid->Core()).TableRowOf(m_cell.row) : -1; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

private:
    void Append(QList<QAccessibleInterface*>& cells, grid::CellId cell) const {
        auto* grid = static_cast<GridAccessible*>(parent());
        if (QAccessibleInterface* iface = grid ? grid->CellInterface(cell) : nullptr) cells.append(iface);
    }

    QPointer<CGridCtrl> m_grid;
    grid::CellId m_cell;
};

QAccessibleInterface* GridFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(CGridCtrl::staticMetaObject.className()))
        if (auto* grid = qobject_cast<CGridCtrl*>(object)) return new GridAccessible(grid);
    return nullptr;
}

}  // namespace

GridAccessible::GridAccessible(CGridCtrl* grid) : QAccessibleWidget(grid, QAccessible::Table) {}

GridAccessible::~GridAccessible() {
    for (const auto& [cell, id] : m_cells) QAccessible::deleteAccessibleInterface(id);
}

void GridAccessible::Install() {
    static const bool installed = [] {
        QAccessible::installFactory(GridFactory);
        return true;
    }();
    (void)installed;
}

int GridAccessible::ChildIndexOf(const CGridCtrl* grid, grid::CellId cell) {
    return grid->Core().Shape().IsValid(cell.row, cell.col) ? Shown(grid->Core()).ChildOf(cell) : -1;
}

CGridCtrl* GridAccessible::Grid() const { return static_cast<CGridCtrl*>(widget()); }

void* GridAccessible::interface_cast(QAccessible::InterfaceType t) {
    if (t == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
}

QAccessibleInterface* GridAccessible::CellInterface(grid::CellId cell) const {
    if (!Grid()->Core().Shape().IsValid(cell.row, cell.col)) return nullptr;
    const auto known = m_cells.find(cell);
    if (known != m_cells.end()) return QAccessible::accessibleInterface(known->second);
    auto* iface = new GridCellAccessible(Grid(), cell);
    m_cells[cell] = QAccessible::registerAccessibleInterface(iface);
    return iface;
}

// The cells, row by row with the header rows first, then the editor while
// a cell is being edited.
int GridAccessible::childCount() const {
    return Shown(Grid()->Core()).ChildCount() + (Grid()->Editor() ? 1 : 0);
}

QAccessibleInterface* GridAccessible::child(int index) const {
    const Shown shown(Grid()->Core());
    if (index == shown.ChildCount() && Grid()->Editor()) return QAccessible::queryAccessibleInterface(Grid()->Editor());
    const grid::CellId cell = shown.CellOfChild(index);
    return cell.IsValid() ? CellInterface(cell) : nullptr;
}

int GridAccessible::indexOfChild(const QAccessibleInterface* child) const {
    if (!child) return -1;
    if (Grid()->Editor() && child->object() == Grid()->Editor()) return Shown(Grid()->Core()).ChildCount();
    for (const auto& [cell, id] : m_cells)
        if (QAccessible::accessibleInterface(id) == child) return ChildIndexOf(Grid(), cell);
    return -1;
}

QAccessibleInterface* GridAccessible::childAt(int x, int y) const {
    const QPoint local = Grid()->mapFromGlobal(QPoint(x, y));
    if (CInPlaceEdit* editor = Grid()->Editor(); editor && editor->geometry().contains(local))
        return QAccessible::queryAccessibleInterface(editor);
    const grid::CellId cell = Grid()->Geometry().CellAt(local);
    return cell.IsValid() ? CellInterface(cell) : nullptr;
}

QAccessibleInterface* GridAccessible::focusChild() const {
    if (CInPlaceEdit* editor = Grid()->Editor(); editor && editor->hasFocus())
        return QAccessible::queryAccessibleInterface(editor);
    if (!Grid()->hasFocus()) return nullptr;
    const grid::CellId focus = Grid()->Core().Selection().Focus();
    return focus.IsValid() ? CellInterface(focus) : nullptr;
}

QAccessibleInterface* GridAccessible::cellAt(int row, int column) const {
    const Shown shown(Grid()->Core());
    const int r = row + shown.headerRows;
    if (row < 0 || r >= static_cast<int>(shown.rows.size()) || column < 0 ||
        column >= static_cast<int>(shown.cols.size()))
        return nullptr;
    return CellInterface({shown.rows[r], shown.cols[column]});
}

int GridAccessible::selectedCellCount() const { return static_cast<int>(selectedCells().size()); }

QList<QAccessibleInterface*> GridAccessible::selectedCells() const {
    QList<QAccessibleInterface*> cells;
    const Shown shown(Grid()->Core());
    for (const grid::CellId& cell : Grid()->Core().Selection().Cells())
        if (!Grid()->Core().Shape().IsCellFixed(cell.row, cell.col) && shown.ChildOf(cell) >= 0)
            cells.append(CellInterface(cell));
    return cells;
}

QString GridAccessible::columnDescription(int column) const {
    const Shown shown(Grid()->Core());
    if (column < 0 || column >= static_cast<int>(shown.cols.size())) return {};
    return Grid()->ColumnTitle(shown.cols[column]);
}

QString GridAccessible::rowDescription(int row) const {
    const Shown shown(Grid()->Core());
    const int r = row + shown.headerRows;
    if (row < 0 || r >= static_cast<int>(shown.rows.size())) return {};
    return Grid()->RowTitle(shown.rows[r]);
}

int GridAccessible::columnCount() const { return static_cast<int>(Shown(Grid()->Core()).cols.size()); }

int GridAccessible::rowCount() const {
    const Shown shown(Grid()->Core());
    return static_cast<int>(shown.rows.size()) - shown.headerRows;
}

}  // namespace orvex
