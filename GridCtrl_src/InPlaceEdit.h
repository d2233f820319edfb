#pragma once
// The one-line editor the grid places over a cell being edited: it takes
// only what can be part of a frequency, keeps the text within 54 pixels, and
// checks the result before the cell gets it.
#include <QLineEdit>
#include <QRect>
#include <QString>

#include "settings/UserMessage.h"

namespace orvex {

class CGridCtrl;

// What started an edit: the mouse (click, double click, F2), or a key.
struct EditStart {
    enum class Kind { Mouse, Key };
    Kind kind = Kind::Mouse;
    int key = 0;   // Qt key code when kind is Key
    QString text;  // the character typed, if any

    static EditStart Mouse() { return {}; }
    static EditStart Key(int key, QString text = {}) { return {Kind::Key, key, std::move(text)}; }
};

class CInPlaceEdit : public QLineEdit {
    Q_OBJECT
public:
    static constexpr int kControlId = 8;
    static constexpr int FREQ_EDIT_MAX_WIDTH = 54;

    CInPlaceEdit(CGridCtrl* grid, const QRect& rect, unsigned format, int row, int col, const QString& text,
                 const EditStart& first, IPrompter* prompter);

    // Ends the edit and hands the (checked) text to the grid. Runs once.
    void FinishEdit();

    int m_nRow;
    int m_nCol;
    QString m_strOrigText;
    unsigned m_nEndKey = 0;
    bool m_bArrowKeysEnd;
    int m_nTextWidth = 0;
    QRect m_rcEdit;

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    void EndWith(int key);
    void AfterCharacter();

    CGridCtrl* m_grid;
    IPrompter* m_prompter;
    bool m_bFinishing = false;
    bool m_bFinished = false;
};

}  // namespace orvex
