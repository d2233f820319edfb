#include "GridCtrl_src/GridCtrl.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <cmath>

#include "GridCtrl_src/GridAccessible.h"

namespace orvex {
namespace {

constexpr QColor kGridLines(192, 192, 192);
constexpr int kPadX = 4;
constexpr int kPadY = 2;

Qt::Alignment AlignmentOf(unsigned format) {
    Qt::Alignment a = Qt::AlignLeft;
    if (format & grid::DT_CENTER) a = Qt::AlignHCenter;
    if (format & grid::DT_RIGHT) a = Qt::AlignRight;
    return a | ((format & grid::DT_VCENTER) ? Qt::AlignVCenter : Qt::AlignTop);
}

std::optional<grid::MoveKey> MoveKeyOf(int key) {
    switch (key) {
        case Qt::Key_Up: return grid::MoveKey::Up;
        case Qt::Key_Down: return grid::MoveKey::Down;
        case Qt::Key_Left: return grid::MoveKey::Left;
        case Qt::Key_Right: return grid::MoveKey::Right;
        case Qt::Key_PageUp: return grid::MoveKey::PageUp;
        case Qt::Key_PageDown: return grid::MoveKey::PageDown;
        case Qt::Key_Home: return grid::MoveKey::Home;
        case Qt::Key_End: return grid::MoveKey::End;
        case Qt::Key_Tab: return grid::MoveKey::Tab;
        case Qt::Key_Backtab: return grid::MoveKey::BackTab;
    }
    return std::nullopt;
}

QString JoinTitles(QStringList parts) {
    for (QString& part : parts) part = part.trimmed();
    parts.removeAll(QString());
    return parts.join(' ');
}

}  // namespace

CGridCtrl::CGridCtrl(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    grid::GridHooks& hooks = m_core.Hooks();
    hooks.changed = [this] { update(); };
    hooks.reshaped = [this] {
        UpdateScrollBar();
        update();
    };
    GridAccessible::Install();
    hooks.cellTextChanged = [this](grid::CellId cell) { Announce(QAccessible::NameChanged, cell); };
    hooks.focusMoved = [this](grid::CellId cell) {
        if (hasFocus()) Announce(QAccessible::Focus, cell);
    };
    m_focusWatch = connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (!m_focusLentTo || now == m_focusLentTo) return;
        m_focusLentTo = nullptr;
        update();
    });
    m_vScroll = new QScrollBar(Qt::Vertical, this);
    m_vScroll->setFocusPolicy(Qt::NoFocus);
    m_vScroll->hide();
    connect(m_vScroll, &QScrollBar::valueChanged, this, [this](int value) { ScrollTo(value); });
}

void CGridCtrl::SetCellValidator(grid::CellValidator check, std::string refusal) {
    m_core.Hooks().checkCell = std::move(check);
    m_refusal = std::move(refusal);
}

void CGridCtrl::ShowRefusal(const std::string& detail) {
    if (m_prompter && !m_refusal.empty())
        m_prompter->Show(UserMessage{m_refusal, detail, MsgIcon::Stop, MsgButtons::Ok});
}

CGridCtrl::~CGridCtrl() {
    grid::GridHooks& hooks = m_core.Hooks();
    hooks.changed = nullptr;
    hooks.reshaped = nullptr;
    hooks.cellTextChanged = nullptr;
    hooks.focusMoved = nullptr;
    disconnect(m_focusWatch);  // the widget underneath still loses the focus as it goes
    // An edit still open goes with the grid: finishing it as the editor
    // loses the focus would hand its text to a grid already destroyed.
    if (m_editor) {
        m_editor->Discard();
        delete m_editor.data();
    }
}

void CGridCtrl::Announce(QAccessible::Event what, grid::CellId cell) {
    if (!QAccessible::isActive()) return;
    const int child = GridAccessible::ChildIndexOf(this, cell);
    if (child < 0) return;
    QAccessibleEvent event(this, what);
    event.setChild(child);
    QAccessible::updateAccessibility(&event);
}

// From the editor the focus passes through the table, silently: going
// straight on, the edit's end would take it back to the table.
void CGridCtrl::FocusOutOfTable(bool forward) {
    if (!hasFocus()) setFocus(Qt::OtherFocusReason);
    EndEditing();
    focusNextPrevChild(forward);
}

// Ctrl+Tab and Ctrl+Shift+Tab leave the table, where Tab moves between cells.
bool CGridCtrl::LeavesTable(const QKeyEvent* key, bool* forward) {
    if (!(key->modifiers() & Qt::ControlModifier)) return false;
    if (key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab) return false;
    *forward = key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier);
    return true;
}

// The count it already has changes nothing, so a running edit goes on: the
// table is unlocked again each time the port closes, also mid-edit.
bool CGridCtrl::SetFixedRows(int n) {
    if (n == m_core.Shape().GetFixedRows()) return true;
    EndEditing();
    return m_core.SetFixedRows(n);
}

bool CGridCtrl::SetFixedCols(int n) {
    if (n == m_core.Shape().GetFixedCols()) return true;
    EndEditing();
    return m_core.SetFixedCols(n);
}

void CGridCtrl::AutoSizeAll() {
    // Fractional widths rounded up: a column cut by a fraction of a pixel
    // elides its text.
    const QFontMetricsF fm(font());
    m_core.AutoSizeAll(
        [&fm](const std::string& text) {
            return std::make_pair(static_cast<int>(std::ceil(fm.horizontalAdvance(QString::fromStdString(text)))),
                                  static_cast<int>(std::ceil(fm.height())));
        },
        kPadX, kPadY);
    updateGeometry();
    UpdateScrollBar();
    update();
}

void CGridCtrl::EndEditing() {
    if (m_editor) m_editor->FinishEdit();
}

QRect GridGeometry::CellRect(int row, int col) const {
    if (!m_shape.IsValid(row, col)) return {};
    int x = 0, y = 0;
    for (int c = 0; c < col; ++c) x += m_shape.ColWidth(c);
    for (int r = 0; r < row; ++r) y += m_shape.RowHeight(r);
    const int fixedRows = m_shape.GetFixedRows();
    if (row >= fixedRows)
        for (int r = fixedRows; r < fixedRows + m_scrolledRows; ++r) y -= m_shape.RowHeight(r);
    return QRect(x, y, m_shape.ColWidth(col), m_shape.RowHeight(row));
}

QRect GridGeometry::VisibleCellRect(int row, int col) const {
    QRect shown = m_viewport;
    if (row >= m_shape.GetFixedRows()) shown.setTop(std::max(shown.top(), FixedHeight()));  // not under the titles
    return CellRect(row, col).intersected(shown);
}

grid::CellId GridGeometry::CellAt(const QPoint& p) const {
    for (int r = 0; r < m_shape.GetRows(); ++r)
        for (int c = 0; c < m_shape.GetCols(); ++c)
            if (VisibleCellRect(r, c).contains(p)) return {r, c};
    return {};
}

int GridGeometry::FixedHeight() const {
    int h = 0;
    for (int r = 0; r < m_shape.GetFixedRows() && r < m_shape.GetRows(); ++r) h += m_shape.RowHeight(r);
    return h;
}

int GridGeometry::PageRows() const {
    const int fixedRows = m_shape.GetFixedRows();
    const int h = m_shape.GetRows() > fixedRows ? m_shape.RowHeight(fixedRows) : 0;
    return h > 0 ? std::max(1, m_viewport.height() / h - fixedRows) : 1;
}

int GridGeometry::MaxScrollRows() const {
    int below = m_viewport.height() - FixedHeight();
    int fit = 0;
    for (int r = m_shape.GetRows() - 1; r >= m_shape.GetFixedRows(); --r) {
        below -= m_shape.RowHeight(r);
        if (below < 0) break;
        ++fit;
    }
    return std::max(0, m_shape.GetRows() - m_shape.GetFixedRows() - fit);
}

std::optional<int> GridGeometry::ScrollShowing(int row) const {
    const int fixedRows = m_shape.GetFixedRows();
    if (row < fixedRows || row >= m_shape.GetRows()) return std::nullopt;
    if (row < fixedRows + m_scrolledRows) return row - fixedRows;
    int rows = m_scrolledRows;
    auto bottom = [&] {
        int y = FixedHeight();
        for (int r = fixedRows + rows; r <= row; ++r) y += m_shape.RowHeight(r);
        return y;
    };
    while (bottom() > m_viewport.height() && rows < row - fixedRows) ++rows;
    return rows;
}

QRect CGridCtrl::ViewportRect() const {
    QRect r = rect();
    if (m_vScroll && !m_vScroll->isHidden()) r.setRight(m_vScroll->geometry().left() - 1);
    return r;
}

void CGridCtrl::ScrollTo(int rows) {
    rows = std::clamp(rows, 0, Geometry().MaxScrollRows());
    if (rows == m_nScrollRows) return;
    EndEditing();
    m_nScrollRows = rows;
    if (m_vScroll->value() != rows) m_vScroll->setValue(rows);
    update();
}

void CGridCtrl::UpdateScrollBar() {
    const GridGeometry geometry = Geometry();
    const int max = geometry.MaxScrollRows();
    m_vScroll->setRange(0, max);
    m_vScroll->setPageStep(std::max(1, geometry.PageRows()));
    const int w = m_vScroll->sizeHint().width();
    m_vScroll->setGeometry(width() - w, 0, w, height());
    m_vScroll->setVisible(max > 0);
    if (m_nScrollRows > max) ScrollTo(max);
}

void CGridCtrl::EnsureRowVisible(int row) {
    if (const auto rows = Geometry().ScrollShowing(row)) ScrollTo(*rows);
}

QSize CGridCtrl::sizeHint() const {
    int w = 0, h = 0;
    for (int c = 0; c < m_core.Shape().GetCols(); ++c) w += m_core.Shape().ColWidth(c);
    for (int r = 0; r < m_core.Shape().GetRows(); ++r) h += m_core.Shape().RowHeight(r);
    return {w + 2, h + 2};
}

void CGridCtrl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Dark));  // the area beyond the last cells
    const GridGeometry geometry = Geometry();
    const QRect view = geometry.Viewport();
    const int fixedHeight = geometry.FixedHeight();
    const QRect below(view.left(), fixedHeight, view.width(), std::max(0, view.height() - fixedHeight));
    for (int r = 0; r < m_core.Shape().GetRows(); ++r) {
        p.setClipRect(r < m_core.Shape().GetFixedRows() ? view : below);
        for (int c = 0; c < m_core.Shape().GetCols(); ++c) {
            const QRect cell = geometry.CellRect(r, c);
            if (cell.isEmpty() || !cell.intersects(p.clipBoundingRect().toRect())) continue;
            const grid::CGridCell* gc = m_core.Cell(r, c);
            const bool fixed = m_core.Shape().IsCellFixed(r, c);
            const bool focused = m_core.Selection().Focus() == grid::CellId{r, c};
            const bool selected = !fixed && m_core.Selection().Contains(r, c) && !focused;
            QColor back = fixed ? pal.color(QPalette::Button) : pal.color(QPalette::Base);
            QColor fore = fixed ? pal.color(QPalette::ButtonText) : pal.color(QPalette::Text);
            if (selected) {
                back = pal.color(QPalette::Highlight);
                fore = pal.color(QPalette::HighlightedText);
            }
            p.fillRect(cell, back);
            p.setPen(kGridLines);
            p.drawLine(cell.topRight(), cell.bottomRight());
            p.drawLine(cell.bottomLeft(), cell.bottomRight());
            if (fixed) {
                p.setPen(pal.color(QPalette::Light));
                p.drawLine(cell.topLeft(), cell.topRight() - QPoint(1, 0));
                p.drawLine(cell.topLeft(), cell.bottomLeft() - QPoint(0, 1));
            }
            const QRect textRect = cell.adjusted(kPadX, 0, -kPadX, 0);
            QString text = QString::fromStdString(gc->GetText());
            if (gc->GetFormat() & grid::DT_END_ELLIPSIS)
                text = p.fontMetrics().elidedText(text, Qt::ElideRight, textRect.width());
            p.setPen(fore);
            p.drawText(textRect, static_cast<int>(AlignmentOf(gc->GetFormat())) | Qt::TextSingleLine, text);
            // The frame marks where typing goes, so only while it goes here.
            if (focused && (hasFocus() || m_editor || m_focusLentTo)) {
                p.setPen(QPen(pal.color(QPalette::Text), 1));
                p.drawRect(cell.adjusted(1, 1, -2, -2));
            }
        }
    }
}

bool CGridCtrl::EditCell(int row, int col, const EditStart& first) {
    if (!m_core.IsCellEditable(row, col)) return false;
    if (m_editor) {
        if (m_editor->m_nRow == row && m_editor->m_nCol == col) {
            if (!first.text.isEmpty()) {
                QKeyEvent typed(QEvent::KeyPress, first.key, Qt::NoModifier, first.text);
                QApplication::sendEvent(m_editor, &typed);
            }
            return true;
        }
        EndEditing();
    }
    EnsureRowVisible(row);
    m_core.Notify(grid::LVN_BEGINLABELEDIT, row, col);
    const grid::CGridCell* cell = m_core.Cell(row, col);
    auto* editor = new CInPlaceEdit(this, Geometry().CellRect(row, col), cell->GetFormat(), row, col,
                                    QString::fromStdString(cell->GetText()), first,
                                    m_editRules.count(col) ? m_editRules.at(col) : EditRules{});
    // A first key that cannot be part of the text has ended the edit already;
    // the keys after it must start a new one, not reach the closed editor.
    if (!editor->isHidden()) {
        m_editor = editor;
        editor->setAccessibleName(CellDescription({row, col}));
    }
    return true;
}

void CGridCtrl::OnEndInPlaceEdit(int row, int col, const QString& text, unsigned endKey) {
    m_editor = nullptr;
    m_core.EndEdit(row, col, text.toStdString());
    if (const auto move = MoveKeyOf(static_cast<int>(endKey))) {
        m_core.Selection().Move(*move, false, Geometry().PageRows());
        EnsureRowVisible(m_core.Selection().Focus().row);
    }
    if (!hasFocus() && isVisible()) setFocus(Qt::OtherFocusReason);
    update();
}

bool CGridCtrl::HandleCommand(int commandId) {
    switch (commandId) {
        case ID_EDIT_COPY: OnEditCopy(); return true;
        case ID_EDIT_CUT: OnEditCut(); return true;
        case ID_EDIT_PASTE: OnEditPaste(); return true;
        case ID_EDIT_CLEAR: OnEditClear(); return true;
        case ID_EDIT_SELECT_ALL: m_core.Selection().SelectAll(); return true;
    }
    return false;
}

void CGridCtrl::OnEditCopy() {
    if (m_editor) {
        m_editor->copy();
        return;
    }
    if (m_core.Abilities().copy) QApplication::clipboard()->setText(QString::fromStdString(m_core.CopyText()));
}

void CGridCtrl::OnEditCut() {
    if (!m_core.Abilities().cut) return;
    OnEditCopy();
    m_core.DeleteSelection();  // refuses while a transfer runs: cut then only copies
    update();
}

void CGridCtrl::OnEditPaste() {
    const QString text = QApplication::clipboard()->text();
    if (text.isEmpty() || !m_core.Abilities().paste) return;
    const grid::CellId start = m_core.Selection().PasteStart();
    if (m_editor && m_editor->m_nRow == start.row && m_editor->m_nCol == start.col) {
        m_editor->Paste(text);
        return;
    }
    EndEditing();
    const grid::PasteOutcome outcome = m_core.PasteText(text.toStdString());
    update();
    if (outcome.refused.empty()) return;
    // One message for the whole paste, naming the rows by their titles.
    std::string rows;
    for (const grid::CellId& c : outcome.refused) {
        const std::string title = m_core.Shape().GetFixedCols() > 0 ? m_core.GetCellText(c.row, 0) : std::string();
        if (!rows.empty()) rows += ", ";
        rows += title.empty() ? std::to_string(c.row) : title;
    }
    ShowRefusal(rows);
}

void CGridCtrl::OnEditClear() {
    if (m_editor) {
        m_editor->del();
        return;
    }
    m_core.DeleteSelection();
    update();
}


QString CGridCtrl::RowTitle(int row) const {
    QStringList parts;
    for (int c = 0; c < std::min(RowHeaderCols(), m_core.Shape().GetCols()); ++c)
        if (m_core.Shape().ColWidth(c) > 0) parts << QString::fromStdString(m_core.GetCellText(row, c));
    return JoinTitles(parts);
}

QString CGridCtrl::ColumnTitle(int col) const {
    QStringList parts;
    for (int r = 0; r < std::min(m_core.Shape().GetFixedRows(), m_core.Shape().GetRows()); ++r)
        if (m_core.Shape().RowHeight(r) > 0) parts << QString::fromStdString(m_core.GetCellText(r, col));
    return JoinTitles(parts);
}

QString CGridCtrl::CellDescription(grid::CellId cell) const {
    return JoinTitles({RowTitle(cell.row), ColumnTitle(cell.col)});
}

void CGridCtrl::focusInEvent(QFocusEvent* e) {
    QWidget::focusInEvent(e);
    m_focusLentTo = nullptr;
    // The toolkit tells of the table taking the focus after this event; the
    // focus cell's news follows it, so a screen reader lands on the cell
    // (unless the focus has gone on meanwhile, as Ctrl+Tab takes it).
    QMetaObject::invokeMethod(
            this, [this] {
                if (hasFocus()) Announce(QAccessible::Focus, m_core.Selection().Focus());
            },
            Qt::QueuedConnection);
    update();
}

void CGridCtrl::focusOutEvent(QFocusEvent* e) {
    QWidget::focusOutEvent(e);
    const bool lent = e->reason() == Qt::PopupFocusReason || e->reason() == Qt::MenuBarFocusReason;
    QWidget* now = QApplication::focusWidget();
    m_focusLentTo = lent && now != this ? now : nullptr;
    update();
}

bool CGridCtrl::event(QEvent* e) {
    bool forward = true;
    if (e->type() == QEvent::KeyPress && LeavesTable(static_cast<QKeyEvent*>(e), &forward)) {
        FocusOutOfTable(forward);
        return true;
    }
    if (QKeyEvent* tab = TabKeyPress(e)) {
        keyPressEvent(tab);
        return true;
    }
    return QWidget::event(e);
}

void CGridCtrl::keyPressEvent(QKeyEvent* e) {
    const int key = e->key();
    const auto mods = e->modifiers();
    const bool ctrl = mods & Qt::ControlModifier;
    const bool shift = mods & Qt::ShiftModifier;
    if ((ctrl && key == Qt::Key_C) || (ctrl && key == Qt::Key_Insert)) return OnEditCopy();
    if ((ctrl && key == Qt::Key_X) || (shift && key == Qt::Key_Delete)) return OnEditCut();
    if ((ctrl && key == Qt::Key_V) || (shift && key == Qt::Key_Insert)) return OnEditPaste();
    if (ctrl && key == Qt::Key_A) return m_core.Selection().SelectAll();
    if (key == Qt::Key_Delete) {
        m_core.DeleteSelection();
        update();
        return;
    }
    if (key == Qt::Key_F2) {
        const grid::CellId f = m_core.Selection().Focus();
        EditCell(f.row, f.col, EditStart::Mouse());
        return;
    }
    if (const auto move = MoveKeyOf(key)) {
        m_core.Selection().Move(*move, ctrl, Geometry().PageRows());
        EnsureRowVisible(m_core.Selection().Focus().row);
        return;
    }
    const QString text = e->text();
    const bool isEnter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (!ctrl && !(mods & Qt::AltModifier) && key != Qt::Key_Escape && (isEnter || (!text.isEmpty() && text.at(0).isPrint()) || key == Qt::Key_Backspace)) {
        const grid::CellId f = m_core.Selection().Focus();
        if (f.IsValid() && EditCell(f.row, f.col, EditStart::Key(key, isEnter ? QString() : text))) return;
    }
    QWidget::keyPressEvent(e);
}

void CGridCtrl::mousePressEvent(QMouseEvent* e) {
    setFocus(Qt::MouseFocusReason);
    const grid::CellId cell = Geometry().CellAt(e->position().toPoint());
    m_pressCell = cell;
    m_pressOnFocus = false;
    if (e->button() != Qt::LeftButton || !cell.IsValid()) return;
    if (m_core.Shape().IsCellFixed(cell.row, cell.col)) {
        m_core.Notify(grid::LVN_ITEMCHANGING, cell.row, cell.col);
        return;
    }
    m_pressOnFocus = m_core.Selection().Focus() == cell;
    if (!m_pressOnFocus) m_core.Selection().SetFocus(cell, true, false);
}

void CGridCtrl::mouseReleaseEvent(QMouseEvent* e) {
    const grid::CellId cell = Geometry().CellAt(e->position().toPoint());
    if (e->button() == Qt::RightButton) {
        m_core.Notify(grid::NM_RCLICK, cell.row, cell.col);
        return;
    }
    if (e->button() != Qt::LeftButton) return;
    if (m_pressCell.IsValid() && !m_pressOnFocus) m_core.Notify(grid::LVN_ITEMCHANGED, m_pressCell.row, m_pressCell.col);
    m_core.Notify(grid::NM_CLICK, cell.row, cell.col);
    if (m_pressOnFocus && cell == m_pressCell) EditCell(cell.row, cell.col, EditStart::Mouse());
    m_pressOnFocus = false;
}

void CGridCtrl::mouseDoubleClickEvent(QMouseEvent* e) {
    const grid::CellId cell = Geometry().CellAt(e->position().toPoint());
    if (e->button() != Qt::LeftButton || !cell.IsValid()) return;
    m_core.Notify(grid::NM_DBLCLK, cell.row, cell.col);
    if (!m_core.Shape().IsCellFixed(cell.row, cell.col)) EditCell(cell.row, cell.col, EditStart::Mouse());
}

void CGridCtrl::resizeEvent(QResizeEvent* e) {
    EndEditing();
    QWidget::resizeEvent(e);
    UpdateScrollBar();
}

void CGridCtrl::wheelEvent(QWheelEvent* e) {
    if (m_vScroll->isHidden()) return QWidget::wheelEvent(e);
    const int steps = e->angleDelta().y() / 120;
    if (steps) ScrollTo(m_nScrollRows - steps);
    e->accept();
}

}  // namespace orvex
