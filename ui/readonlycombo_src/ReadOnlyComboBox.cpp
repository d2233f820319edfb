#include "ui/readonlycombo_src/ReadOnlyComboBox.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QWheelEvent>

#include "ui/AccessibleControls.h"

namespace orvex {

CReadOnlyComboBox::CReadOnlyComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    setInsertPolicy(QComboBox::NoInsert);
    // The wheel neither takes the focus nor, below, changes the choice: a
    // scroll over the form must not change the band plan and clear the form.
    setFocusPolicy(Qt::StrongFocus);
    InstallControlAccessibility();
}

bool CReadOnlyComboBox::PopupOpen() const { return view() && view()->isVisible(); }

void CReadOnlyComboBox::wheelEvent(QWheelEvent* e) {
    if (PopupOpen()) return QComboBox::wheelEvent(e);
    e->ignore();
}

void CReadOnlyComboBox::SetItemsQuietly(const QStringList& items, int selection) {
    const QSignalBlocker quiet(this);
    QStringList current;
    for (int i = 0; i < count(); ++i) current << itemText(i);
    if (current != items) {
        clear();
        addItems(items);
    }
    setCurrentIndex(selection >= 0 && selection < count() ? selection : -1);
}

void CReadOnlyComboBox::changeEvent(QEvent* e) {
    QComboBox::changeEvent(e);
    if (e->type() == QEvent::EnabledChange) {
        // Disabled, the text keeps the colour of an enabled list.
        QPalette pal = palette();
        pal.setColor(QPalette::Disabled, QPalette::ButtonText, pal.color(QPalette::Active, QPalette::ButtonText));
        pal.setColor(QPalette::Disabled, QPalette::Text, pal.color(QPalette::Active, QPalette::Text));
        setPalette(pal);
    }
}

void CReadOnlyComboBox::keyPressEvent(QKeyEvent* e) {
    // Typing a letter must not pick an entry; arrows and the drop-down keys
    // may. Jumps to the first or last entry are no deliberate choice either.
    if (!e->text().isEmpty() && e->text().at(0).isPrint() && e->key() != Qt::Key_Space) {
        e->ignore();
        return;
    }
    const int key = e->key();
    if (!PopupOpen() &&
        (key == Qt::Key_Home || key == Qt::Key_End || key == Qt::Key_PageUp || key == Qt::Key_PageDown)) {
        e->ignore();
        return;
    }
    QComboBox::keyPressEvent(e);
}

}  // namespace orvex
