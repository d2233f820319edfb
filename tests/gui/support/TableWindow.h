#pragma once
// A small top-level window holding the channel table over a form model, the
// way the main form sets it up, plus helpers that drive it with real key and
// mouse events. Keys go to whichever widget has the keyboard focus, so a test
// exercises the same routing a user's keystrokes take.
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

#include <string>
#include <vector>

#include "GridCtrl_src/GridCtrl.h"
#include "support/ScriptedPrompter.h"
#include "ui/ChannelTable.h"
#include "ui/model/FormModel.h"
#include "ui/model/FormTexts.h"

namespace orvex::test {

class TableWindow : public QWidget, public IFormObserver {
public:
    // prompterOverride stands in for the user instead of the window's own.
    explicit TableWindow(ScriptedPrompter* prompterOverride = nullptr)
        : prompts(prompterOverride ? *prompterOverride : m_ownPrompter), model(prompts), table(model, prompts) {
        setWindowTitle("Channel table");
        model.AddObserver(this);
        model.StartUp();
        grid = table.CreateChannelTable(this, QRect(10, 10, 160, 240));
        table.WriteRowLabels();
        // The table is the listener the grid knows; the recorder sits in
        // front of it and forwards every notification unchanged.
        grid->Core().Hooks().notify = [this](const grid::NotifyRecord& n) {
            notes.push_back(n);
            table.OnGridNotify(n);
        };
        grid->setGeometry(QRect(QPoint(10, 10), grid->sizeHint()));
        resize(grid->width() + 20, grid->height() + 20);
    }
    ~TableWindow() override {
        // The grid outlives this object's members while the widget tree is
        // torn down; nothing it still says may reach them.
        grid->Core().Hooks().notify = nullptr;
        model.RemoveObserver(this);
    }

    void OnFormChanged(unsigned changes) override { table.OnModelChanged(changes); }

    // Shows, exposes and activates the window and gives the grid the focus.
    bool ShowAndFocus() {
        show();
        if (!QTest::qWaitForWindowExposed(this)) return false;
        activateWindow();
#if QT_VERSION < QT_VERSION_CHECK(6, 5, 0)
        QApplication::setActiveWindow(this);
#endif
        if (!QTest::qWaitForWindowActive(this)) return false;
        grid->setFocus(Qt::OtherFocusReason);
        QApplication::processEvents();
        return QApplication::focusWidget() == grid;
    }

    // ---- Input ----------------------------------------------------------
    static QWidget* Focused() { return QApplication::focusWidget(); }
    static void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWidget* w = Focused();
        QVERIFY2(w, "no widget has the keyboard focus");
        QTest::keyClick(w, key, mods);
    }
    // Each character goes to the widget that has the focus at that moment.
    static void Type(const QString& text) {
        for (const QChar ch : text) {
            QWidget* w = Focused();
            QVERIFY2(w, "no widget has the keyboard focus");
            QTest::keyClick(w, ch.toLatin1());
        }
    }
    QPoint Centre(int row, int col) const { return grid->Geometry().CellRect(row, col).center(); }
    void Click(int row, int col = kFrequencyColumn) {
        QTest::mouseClick(grid, Qt::LeftButton, Qt::NoModifier, Centre(row, col));
    }
    // A user's double click: press, release, then the double-click event
    // and its release.
    void DoubleClick(int row, int col = kFrequencyColumn) {
        const QPoint at = Centre(row, col);
        QTest::mousePress(grid, Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseRelease(grid, Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseDClick(grid, Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseRelease(grid, Qt::LeftButton, Qt::NoModifier, at);
    }
    // Moves the focus cell to a frequency cell without starting an edit.
    void Focus(int row) {
        if (grid->Core().Selection().Focus() == grid::CellId{row, kFrequencyColumn}) return;
        Click(row);
    }

    // ---- Observation ------------------------------------------------------
    CInPlaceEdit* Editor() const { return grid->Editor(); }
    QString Text(int row) const { return QString::fromStdString(grid->Core().GetCellText(row, kFrequencyColumn)); }
    std::string ModelText(int row) const { return CellText(model, row); }
    bool Modified(int row) const { return grid->Core().Cell(row, kFrequencyColumn)->Has(grid::GVIS_MODIFIED); }
    grid::CellId FocusCell() const { return grid->Core().Selection().Focus(); }
    int FocusRow() const { return FocusCell().row; }
    int CountNotes(int code) const {
        int n = 0;
        for (const auto& r : notes) n += r.code == code;
        return n;
    }
    int RefusalCount() const {
        int n = 0;
        for (const auto& m : prompts.shown) n += m.text == texts::kFrequencyRefused;
        return n;
    }

private:
    ScriptedPrompter m_ownPrompter;

public:
    ScriptedPrompter& prompts;
    FormModel model;
    CChannelTable table;
    CGridCtrl* grid = nullptr;
    std::vector<grid::NotifyRecord> notes;
};

}  // namespace orvex::test
