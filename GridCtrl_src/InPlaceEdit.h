#pragma once
// The one-line editor the grid places over a cell being edited: it takes
// what its column's rules allow and has the grid's owner check the result
// before the cell gets it.
#include <QLineEdit>
#include <QRect>
#include <QString>
#include <functional>

class QEvent;
class QKeyEvent;

namespace orvex {

class CGridCtrl;

// e as a key event when it is Tab or Shift+Tab being pressed. The grid and
// its editor both take these for themselves before the focus chain can.
QKeyEvent* TabKeyPress(QEvent* e);

// What started an edit: the mouse (click, double click, F2), or a key.
struct EditStart {
    enum class Kind { Mouse, Key };
    Kind kind = Kind::Mouse;
    int key = 0;   // Qt key code when kind is Key
    QString text;  // the character typed, if any

    static EditStart Mouse() { return {}; }
    static EditStart Key(int key, QString text = {}) { return {Kind::Key, key, std::move(text)}; }
};

// What a column's editor takes, as the grid's owner sets it: a typed
// character outside `accepts` ends the edit with the text so far, and typing
// stops at maxChars (a count, not a width, so that no desktop font or scale
// can drop a character of a whole entry).
struct EditRules {
    std::function<bool(QChar)> accepts;  // unset: every character
    int maxChars = 0;                    // 0: no limit
};

class CInPlaceEdit : public QLineEdit {
    Q_OBJECT
public:
    CInPlaceEdit(CGridCtrl* grid, const QRect& rect, unsigned format, int row, int col, const QString& text,
                 const EditStart& first, EditRules rules);

    // Ends the edit and hands the (checked) text to the grid. Runs once.
    void FinishEdit();
    // The edit ends with nothing handed on (its grid is going).
    void Discard() { m_bFinished = true; }
    // Clipboard text into the edit: its first line, trimmed, without the
    // character rules; the check at the end applies to it.
    void Paste(const QString& text);

    int m_nRow;
    int m_nCol;
    QString m_strOrigText;
    unsigned m_nEndKey = 0;
    bool m_bArrowKeysEnd;
    int m_nTextWidth = 0;  // text plus two spaces, in the edit's font
    QRect m_rcEdit;

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    void EndWith(int key);
    void AfterCharacter();
    // One typed character by the character rules; false when it ended the edit.
    bool TypeChar(QChar ch, QKeyEvent* e);
    bool Full(int more) const { return m_rules.maxChars > 0 && text().size() + more > m_rules.maxChars; }

    CGridCtrl* m_grid;
    EditRules m_rules;
    bool m_bFinishing = false;
    bool m_bFinished = false;
};

}  // namespace orvex
