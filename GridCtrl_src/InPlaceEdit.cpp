#include "GridCtrl_src/InPlaceEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>

#include "GridCtrl_src/GridCellBase.h"
#include "GridCtrl_src/GridCtrl.h"
#include "settings/Trace.h"

namespace orvex {
namespace {

bool IsPagingOrArrow(int key) {
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right ||
           key == Qt::Key_PageUp || key == Qt::Key_PageDown;
}

// A line edit centres its text vertically whatever the cell asks.
Qt::Alignment EditorAlignmentOf(unsigned format) {
    if (format & grid::DT_RIGHT) return Qt::AlignRight | Qt::AlignVCenter;
    if (format & grid::DT_CENTER) return Qt::AlignHCenter | Qt::AlignVCenter;
    return Qt::AlignLeft | Qt::AlignVCenter;
}

}  // namespace

QKeyEvent* TabKeyPress(QEvent* e) {
    if (e->type() != QEvent::KeyPress) return nullptr;
    auto* key = static_cast<QKeyEvent*>(e);
    return key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab ? key : nullptr;
}

CInPlaceEdit::CInPlaceEdit(CGridCtrl* grid, const QRect& rect, unsigned format, int row, int col,
                           const QString& text, const EditStart& first, EditRules rules)
    : QLineEdit(grid),
      m_nRow(row),
      m_nCol(col),
      m_strOrigText(text),
      m_bArrowKeysEnd(first.kind != EditStart::Kind::Mouse),
      m_rcEdit(rect),
      m_grid(grid),
      m_rules(std::move(rules)) {
    setObjectName("InPlaceEdit");
    // Composed text would bypass the character rules; what an input method
    // still delivers goes through them in inputMethodEvent.
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setFont(grid->font());
    setFrame(true);
    setAlignment(EditorAlignmentOf(format));
    setGeometry(rect);
    setText(text);
    show();
    setFocus(Qt::OtherFocusReason);

    if (first.kind == EditStart::Kind::Mouse || first.key == Qt::Key_Return || first.key == Qt::Key_Enter) {
        deselect();
        setCursorPosition(static_cast<int>(this->text().size()));
    } else if (first.key == Qt::Key_Backspace) {
        deselect();
        setCursorPosition(static_cast<int>(this->text().size()));
        QKeyEvent backspace(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
        keyPressEvent(&backspace);
    } else if (first.text.isEmpty() || first.key == Qt::Key_Tab || first.key == Qt::Key_Space ||
               IsPagingOrArrow(first.key) || first.key == Qt::Key_Home || first.key == Qt::Key_End) {
        selectAll();
    } else {
        selectAll();
        QKeyEvent typed(QEvent::KeyPress, first.key, Qt::NoModifier, first.text);
        keyPressEvent(&typed);
    }
}

bool CInPlaceEdit::event(QEvent* e) {
    // Ctrl+Tab leaves the table with the edit taken; Tab and Shift+Tab end
    // the edit instead of moving the focus along.
    bool forward = true;
    if (e->type() == QEvent::KeyPress && CGridCtrl::LeavesTable(static_cast<QKeyEvent*>(e), &forward)) {
        m_grid->FocusOutOfTable(forward);
        return true;
    }
    if (QKeyEvent* tab = TabKeyPress(e)) {
        keyPressEvent(tab);
        return true;
    }
    if (e->type() == QEvent::ShortcutOverride) {
        // Keys the edit handles itself must not trigger the window's shortcuts.
        auto* key = static_cast<QKeyEvent*>(e);
        if (!(key->modifiers() & Qt::ControlModifier) || IsPagingOrArrow(key->key())) {
            e->accept();
            return true;
        }
    }
    return QLineEdit::event(e);
}

void CInPlaceEdit::EndWith(int key) {
    m_nEndKey = static_cast<unsigned>(key);
    m_grid->setFocus(Qt::OtherFocusReason);
    FinishEdit();  // a focus change is not guaranteed while no window is active
}

void CInPlaceEdit::keyPressEvent(QKeyEvent* e) {
    const int key = e->key();
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    if (e->modifiers() & Qt::AltModifier) return;  // system keys are not text

    if (IsPagingOrArrow(key)) {
        if (m_bArrowKeysEnd || ctrl) {
            m_nTextWidth = 0;
            EndWith(key);
            return;
        }
        QLineEdit::keyPressEvent(e);
        // The line edit ignores Up, Down and the paging keys; passed on, they
        // would move the grid's focus cell away from the running edit.
        e->accept();
        return;
    }
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Return || key == Qt::Key_Enter) {
        m_nTextWidth = 0;
        EndWith(key);
        return;
    }
    if (key == Qt::Key_Escape) {
        setText(m_strOrigText);
        EndWith(key);
        return;
    }
    if (e->matches(QKeySequence::Paste)) {
        Paste(QApplication::clipboard()->text());
        return;
    }
    if (ctrl || key == Qt::Key_Backspace || key == Qt::Key_Delete || key == Qt::Key_Home || key == Qt::Key_End ||
        e->text().isEmpty()) {
        QLineEdit::keyPressEvent(e);
        if (!ctrl) AfterCharacter();
        return;
    }
    Trace("key!!!\n");
    const QString typed = e->text();
    if (typed.size() == 1) {
        TypeChar(typed.at(0), e);
        return;
    }
    // A key that brings several characters at once (a compose sequence):
    // each of them passes the same rules as a typed one.
    for (const QChar ch : typed)
        if (!TypeChar(ch, nullptr)) return;
}

bool CInPlaceEdit::TypeChar(QChar ch, QKeyEvent* e) {
    if (m_rules.accepts && !m_rules.accepts(ch)) {
        EndWith(0);
        return false;
    }
    if (Full(1 - static_cast<int>(selectedText().size()))) return true;  // dropped
    if (e)
        QLineEdit::keyPressEvent(e);
    else
        insert(QString(ch));
    AfterCharacter();
    return true;
}

void CInPlaceEdit::inputMethodEvent(QInputMethodEvent* e) {
    e->accept();
    for (const QChar ch : e->commitString())
        if (!TypeChar(ch, nullptr)) return;
}

void CInPlaceEdit::Paste(const QString& clip) {
    // The first piece the grid itself would paste into this cell.
    const auto lines = grid::SplitPasteText(clip.toStdString(), m_grid->Core().GetPastePolicy().decimalComma);
    if (lines.empty() || lines.front().empty()) return;
    insert(QString::fromStdString(lines.front().front()));
    AfterCharacter();
}

void CInPlaceEdit::AfterCharacter() {
    const int w = fontMetrics().horizontalAdvance(text() + QStringLiteral("  "));
    // Wide enough for a whole entry, never for what a paste brought.
    if (!Full(0) && w > m_rcEdit.width()) {
        m_rcEdit.setRight(std::min(m_rcEdit.left() + w - 1, m_grid->Geometry().Viewport().right()));
        setGeometry(m_rcEdit);
    }
    m_nTextWidth = w;
}

void CInPlaceEdit::focusOutEvent(QFocusEvent* e) {
    QLineEdit::focusOutEvent(e);
    // A menu, a context menu or the menu bar holds the focus only while it
    // is open and gives it back here: the edit is not over.
    if (e->reason() == Qt::PopupFocusReason || e->reason() == Qt::MenuBarFocusReason) return;
    FinishEdit();
}

void CInPlaceEdit::FinishEdit() {
    if (m_bFinishing || m_bFinished) return;
    m_bFinishing = true;
    const grid::CellCheck check = m_grid->Core().CheckCellText(m_nRow, m_nCol, this->text().toStdString());
    if (!check.accepted) m_grid->ShowRefusal({});
    m_bFinished = true;
    hide();
    m_grid->OnEndInPlaceEdit(m_nRow, m_nCol, QString::fromStdString(check.text), m_nEndKey);
    deleteLater();
    m_bFinishing = false;
}

}  // namespace orvex
