#include "GridCtrl_src/GridCore.h"

#include <algorithm>

#include "settings/TextUtil.h"

namespace orvex::grid {
namespace {

constexpr int kDefaultRowHeight = 20;
constexpr int kDefaultColWidth = 60;

bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// "digits,digits" and nothing else: a number written with a decimal comma.
bool IsDecimalCommaNumber(const std::string& s) {
    const auto comma = s.find(',');
    if (comma == std::string::npos || comma == 0 || comma + 1 == s.size()) return false;
    for (std::size_t i = 0; i < s.size(); ++i)
        if (i != comma && !IsAsciiDigit(s[i])) return false;
    return true;
}

void SplitAtCommas(const std::string& field, std::vector<std::string>& pieces) {
    std::size_t p = 0;
    while (true) {
        const std::size_t q = field.find(',', p);
        pieces.push_back(Trim(field.substr(p, q == std::string::npos ? std::string::npos : q - p)));
        if (q == std::string::npos) break;
        p = q + 1;
    }
}

}  // namespace

std::vector<std::vector<std::string>> SplitPasteText(const std::string& text, bool decimalComma) {
    std::vector<std::vector<std::string>> lines;
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        // The line feed that ends the last line does not start an empty one,
        // which would otherwise clear the cell below the pasted block.
        if (at == text.size() && at != 0) break;
        const std::string line = text.substr(at, end - at);
        std::vector<std::string> pieces;
        std::size_t p = 0;
        while (true) {
            const std::size_t q = line.find('\t', p);
            const std::string field = line.substr(p, q == std::string::npos ? std::string::npos : q - p);
            std::string number = Trim(field);
            if (decimalComma && IsDecimalCommaNumber(number)) {
                number[number.find(',')] = '.';
                pieces.push_back(std::move(number));
            } else {
                SplitAtCommas(field, pieces);
            }
            if (q == std::string::npos) break;
            p = q + 1;
        }
        lines.push_back(std::move(pieces));
        at = end + 1;
    }
    return lines;
}

void GridCore::Notify(int code, int row, int col) const {
    if (m_hooks.notify) m_hooks.notify({m_hooks.controlId, code, row, col});
}

bool GridCore::SetRows(int n) {
    if (n < 0) return false;
    const int old = m_shape.GetRows();
    m_cells.resize(static_cast<std::size_t>(n));
    m_shape.m_rowHeights.resize(static_cast<std::size_t>(n), kDefaultRowHeight);
    for (int r = old; r < n; ++r) {
        m_cells[r].resize(static_cast<std::size_t>(m_shape.GetCols()));
        for (auto& c : m_cells[r]) c.SetFormat(m_default.GetFormat());
    }
    m_selection.Trim(n, m_shape.GetCols());
    ApplyMarks();
    Reshaped();
    return true;
}

bool GridCore::SetCols(int n) {
    if (n < 0) return false;
    for (auto& row : m_cells) {
        const int old = static_cast<int>(row.size());
        row.resize(static_cast<std::size_t>(n));
        for (int c = old; c < n; ++c) row[c].SetFormat(m_default.GetFormat());
    }
    m_shape.m_colWidths.resize(static_cast<std::size_t>(n), kDefaultColWidth);
    m_selection.Trim(m_shape.GetRows(), n);
    ApplyMarks();
    Reshaped();
    return true;
}

bool GridCore::SetFixedRows(int n) {
    if (n < 0) return false;
    if (n == m_shape.m_fixedRows) return true;
    if (n > m_shape.GetRows()) SetRows(n);
    m_shape.m_fixedRows = n;
    m_selection.Reset();
    ApplyMarks();
    Changed();
    Reshaped();
    return true;
}

bool GridCore::SetFixedCols(int n) {
    if (n < 0) return false;
    if (n == m_shape.m_fixedCols) return true;
    if (n > m_shape.GetCols()) SetCols(n);
    m_shape.m_fixedCols = n;
    m_selection.Reset();
    ApplyMarks();
    Changed();
    Reshaped();
    return true;
}

void GridCore::ApplyMarks() {
    for (int r = 0; r < m_shape.GetRows(); ++r)
        for (int c = 0; c < m_shape.GetCols(); ++c) {
            CGridCell& cell = m_cells[r][c];
            cell.Mark(GVIS_FIXEDROW, r < m_shape.m_fixedRows);
            cell.Mark(GVIS_FIXEDCOL, c < m_shape.m_fixedCols);
            cell.Mark(GVIS_FIXED, m_shape.IsCellFixed(r, c));
            cell.Mark(GVIS_FOCUSED, m_selection.Focus() == CellId{r, c});
            cell.Mark(GVIS_SELECTED, m_selection.Contains(r, c));
        }
}

void GridCore::AutoSizeAll(const std::function<std::pair<int, int>(const std::string&)>& measure, int padX,
                           int padY) {
    std::vector<int>& widths = m_shape.m_colWidths;
    std::vector<int>& heights = m_shape.m_rowHeights;
    for (int c = 0; c < m_shape.GetCols(); ++c) {
        if (widths[c] == 0) continue;  // hidden stays hidden
        int w = 0;
        for (int r = 0; r < m_shape.GetRows(); ++r) w = std::max(w, measure(m_cells[r][c].GetText()).first);
        widths[c] = w + 2 * padX;
    }
    for (int r = 0; r < m_shape.GetRows(); ++r) {
        if (heights[r] == 0) continue;
        int h = measure("").second;
        for (int c = 0; c < m_shape.GetCols(); ++c) h = std::max(h, measure(m_cells[r][c].GetText()).second);
        heights[r] = h + 2 * padY;
    }
    Changed();
    Reshaped();
}

void GridCore::SetRowHeight(int row, int h) {
    if (row < 0 || row >= m_shape.GetRows()) return;
    m_shape.m_rowHeights[row] = h;
    Changed();
    Reshaped();
}

void GridCore::SetColWidth(int col, int w) {
    if (col < 0 || col >= m_shape.GetCols()) return;
    m_shape.m_colWidths[col] = w;
    Changed();
    Reshaped();
}

bool GridCore::SetCell(int row, int col, const std::string& text, unsigned format) {
    if (!m_shape.IsValid(row, col)) return false;
    PutText(row, col, text);
    m_cells[row][col].SetFormat(format);
    return true;
}

bool GridCore::SetCellText(int row, int col, const std::string& text) {
    if (!m_shape.IsValid(row, col)) return false;
    PutText(row, col, text);
    m_cells[row][col].Mark(GVIS_MODIFIED, true);
    return true;
}

std::string GridCore::GetCellText(int row, int col) const {
    return m_shape.IsValid(row, col) ? m_cells[row][col].GetText() : std::string{};
}

bool GridCore::IsCellEditable(int row, int col) const {
    return m_shape.IsValid(row, col) && m_permissions.editing && !m_shape.IsCellFixed(row, col) &&
           !m_cells[row][col].Has(GVIS_READONLY);
}

void GridCore::SetCellReadOnly(int row, int col, bool readOnly) {
    if (m_shape.IsValid(row, col)) m_cells[row][col].Mark(GVIS_READONLY, readOnly);
}

CellId GridSelection::PasteStart() const {
    if (m_cells.empty()) return m_focus;
    CellId topLeft{m_core.m_shape.GetRows(), m_core.m_shape.GetCols()};
    for (const CellId& c : m_cells) topLeft = {std::min(topLeft.row, c.row), std::min(topLeft.col, c.col)};
    return topLeft;
}

void GridSelection::Clear() {
    m_cells.clear();
    m_core.ApplyMarks();
}

void GridSelection::Select(CellId cell, bool on) {
    if (!m_core.m_shape.IsValid(cell.row, cell.col)) return;
    if (on)
        m_cells.insert(cell);
    else
        m_cells.erase(cell);
    m_core.ApplyMarks();
}

void GridSelection::SetFocus(CellId cell, bool notifyChanging, bool notifyChanged) {
    const GridShape& shape = m_core.m_shape;
    if (!shape.IsValid(cell.row, cell.col) || shape.IsCellFixed(cell.row, cell.col)) return;
    if (notifyChanging) m_core.Notify(LVN_ITEMCHANGING, cell.row, cell.col);
    MoveFocusTo(cell);
    m_cells = {cell};
    m_core.ApplyMarks();
    if (notifyChanged) m_core.Notify(LVN_ITEMCHANGED, cell.row, cell.col);
    m_core.Changed();
}

void GridSelection::SelectAll() {
    m_core.Notify(LVN_ITEMCHANGING, m_focus.row, m_focus.col);
    m_cells.clear();
    for (int r = 0; r < m_core.m_shape.GetRows(); ++r)
        for (int c = 0; c < m_core.m_shape.GetCols(); ++c) m_cells.insert({r, c});
    m_core.ApplyMarks();
    m_core.Notify(LVN_ITEMCHANGED, m_focus.row, m_focus.col);
    m_core.Changed();
}

void GridSelection::Move(MoveKey key, bool ctrl, int pageRows) {
    const CellId to = m_core.m_shape.NextCell(m_focus, key, ctrl, pageRows);
    if (to.IsValid()) SetFocus(to, true, true);
}

void GridSelection::Trim(int rows, int cols) {
    if (m_focus.row >= rows || m_focus.col >= cols) MoveFocusTo({});
    std::erase_if(m_cells, [rows, cols](const CellId& c) { return c.row >= rows || c.col >= cols; });
}

void GridSelection::Reset() {
    MoveFocusTo({});
    m_cells.clear();
}

void GridSelection::MoveFocusTo(CellId cell) {
    if (cell == m_focus) return;
    m_focus = cell;
    if (m_core.m_hooks.focusMoved) m_core.m_hooks.focusMoved(cell);
}

CellId GridShape::NextCell(CellId from, MoveKey key, bool ctrl, int pageRows) const {
    const int firstRow = m_fixedRows, lastRow = GetRows() - 1;
    const int firstCol = m_fixedCols, lastCol = GetCols() - 1;
    if (firstRow > lastRow || firstCol > lastCol) return {};
    if (!from.IsValid() || IsCellFixed(from.row, from.col)) return {firstRow, firstCol};
    // The first visible row (column) from r on in the direction of step;
    // past the edge, the last visible one before it on the way back to
    // `stay`, so a move never lands on a hidden row or column.
    auto visible = [](const std::vector<int>& sizes, int r, int step, int first, int last, int stay) {
        while (r >= first && r <= last && sizes[r] == 0) r += step;
        if (r >= first && r <= last) return r;
        r = std::clamp(r, first, last);
        while (r != stay && sizes[r] == 0) r -= step;
        return r;
    };
    auto visibleRow = [&](int r, int step, int stay) { return visible(m_rowHeights, r, step, firstRow, lastRow, stay); };
    auto visibleCol = [&](int c, int step, int stay) { return visible(m_colWidths, c, step, firstCol, lastCol, stay); };
    CellId to = from;
    switch (key) {
        case MoveKey::Up: to.row = visibleRow(from.row - 1, -1, from.row); break;
        case MoveKey::Down: to.row = visibleRow(from.row + 1, +1, from.row); break;
        case MoveKey::Left: to.col = visibleCol(from.col - 1, -1, from.col); break;
        case MoveKey::Right: to.col = visibleCol(from.col + 1, +1, from.col); break;
        case MoveKey::PageUp: to.row = visibleRow(from.row - std::max(1, pageRows), -1, from.row); break;
        case MoveKey::PageDown: to.row = visibleRow(from.row + std::max(1, pageRows), +1, from.row); break;
        case MoveKey::Home:
            to.col = visibleCol(firstCol, +1, from.col);
            if (ctrl) to.row = visibleRow(firstRow, +1, from.row);
            break;
        case MoveKey::End:
            to.col = visibleCol(lastCol, -1, from.col);
            if (ctrl) to.row = visibleRow(lastRow, -1, from.row);
            break;
        case MoveKey::Tab:
            to.col = visibleCol(from.col + 1, +1, from.col);
            if (to.col == from.col) {
                const int row = visibleRow(from.row + 1, +1, from.row);
                if (row != from.row) to = {row, visibleCol(firstCol, +1, from.col)};
            }
            break;
        case MoveKey::BackTab:
            to.col = visibleCol(from.col - 1, -1, from.col);
            if (to.col == from.col) {
                const int row = visibleRow(from.row - 1, -1, from.row);
                if (row != from.row) to = {row, visibleCol(lastCol, -1, from.col)};
            }
            break;
    }
    return to;
}

std::string GridCore::CopyText() const {
    const std::set<CellId>& selected = m_selection.Cells();
    if (selected.empty()) return {};
    int top = m_shape.GetRows(), bottom = -1, left = m_shape.GetCols(), right = -1;
    for (const CellId& c : selected) {
        top = std::min(top, c.row), bottom = std::max(bottom, c.row);
        left = std::min(left, c.col), right = std::max(right, c.col);
    }
    std::string text;
    bool firstRow = true;
    for (int r = top; r <= bottom; ++r) {
        if (m_shape.RowHeight(r) == 0) continue;
        if (!firstRow) text += "\n";
        firstRow = false;
        bool firstCol = true;
        for (int c = left; c <= right; ++c) {
            if (m_shape.ColWidth(c) == 0) continue;
            if (!firstCol) text += "\t";
            firstCol = false;
            if (m_selection.Contains(r, c)) text += m_cells[r][c].GetText();
        }
    }
    return text;
}

bool GridCore::ReplaceText(int row, int col, const std::string& text) {
    Notify(LVN_BEGINLABELEDIT, row, col);
    const bool changed = m_cells[row][col].GetText() != text;
    if (changed) {
        PutText(row, col, text);
        m_cells[row][col].Mark(GVIS_MODIFIED, true);
    }
    Notify(LVN_ENDLABELEDIT, row, col);
    return changed;
}

void GridCore::DeleteSelection() {
    if (m_bTransferBusy || !m_permissions.editing) return;
    const std::set<CellId> cells = m_selection.Cells();
    for (const CellId& c : cells)
        if (IsCellEditable(c.row, c.col)) ReplaceText(c.row, c.col, {});
    Changed();
}

ClipboardAbility GridCore::Abilities() const {
    const bool any = !m_selection.Cells().empty();
    return {any, m_permissions.editing && any, PasteAllowed()};
}

bool GridCore::PasteAllowed() const {
    const CellId start = m_selection.PasteStart();
    return m_permissions.editing && start.IsValid() && !m_bTransferBusy &&
           (m_paste.startColumns.empty() || m_paste.startColumns.count(start.col) != 0);
}

CellCheck GridCore::CheckCellText(int row, int col, const std::string& text) const {
    if (!m_hooks.checkCell) return {true, text};
    return m_hooks.checkCell(row, col, text);
}

PasteOutcome GridCore::PasteText(const std::string& text) {
    PasteOutcome outcome;
    if (!PasteAllowed()) return outcome;
    const CellId start = m_selection.PasteStart();
    const auto lines = SplitPasteText(text, m_paste.decimalComma);
    const int rows = m_shape.GetRows(), cols = m_shape.GetCols();
    std::set<CellId> pasted;
    int row = start.row;
    for (const auto& pieces : lines) {
        while (row < rows && m_shape.RowHeight(row) == 0) ++row;
        if (row >= rows) break;
        int col = start.col;
        for (const std::string& piece : pieces) {
            while (col < cols && m_shape.ColWidth(col) == 0) ++col;
            if (col >= cols) break;
            if (IsCellEditable(row, col)) {
                const CellCheck check = CheckCellText(row, col, piece);
                if (check.accepted) {
                    ReplaceText(row, col, check.text);
                    pasted.insert({row, col});
                } else {
                    outcome.refused.push_back({row, col});
                }
            }
            ++col;
        }
        ++row;
    }
    for (const CellId& c : pasted) m_selection.m_cells.erase(c);
    ApplyMarks();
    Changed();
    outcome.pasted = true;
    return outcome;
}

bool GridCore::EndEdit(int row, int col, const std::string& text) {
    if (!m_shape.IsValid(row, col)) return false;
    const bool changed = m_cells[row][col].GetText() != text;
    if (changed) {
        PutText(row, col, text);
        m_cells[row][col].Mark(GVIS_MODIFIED, true);
        Changed();
    }
    Notify(LVN_ENDLABELEDIT, row, col);
    return changed;
}

void GridCore::PutText(int row, int col, const std::string& text) {
    const bool different = m_cells[row][col].GetText() != text;
    m_cells[row][col].SetText(text);
    if (different && m_hooks.cellTextChanged) m_hooks.cellTextChanged({row, col});
}

}  // namespace orvex::grid
