// The channel table as assistive technology sees it, through the toolkit's
// accessibility interfaces (the same ones its Linux and Windows bridges
// read), and the keys that leave the table.
#include <QAccessible>
#include <QAccessibleEditableTextInterface>
#include <QLineEdit>
#include <QTest>

#include <QMenuBar>

#include <memory>
#include <vector>

#include "support/AccessibilityListener.h"
#include "support/TableWindow.h"

namespace orvex::test {
class GridAccessibleTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TableWindow> w;
    QLineEdit* before = nullptr;
    QLineEdit* after = nullptr;
    std::unique_ptr<AccessibilityListener> listener;
    using Heard = AccessibilityListener::Heard;
    static std::vector<Heard>& heard() { return AccessibilityListener::Events(); }
    static QAccessibleInterface* LastFocus() { return AccessibilityListener::LastFocus(); }
    void Listen() { listener = std::make_unique<AccessibilityListener>(); }

    QAccessibleInterface* Table() const { return QAccessible::queryAccessibleInterface(w->grid); }
    QAccessibleTableInterface* Cells() const { return Table()->tableInterface(); }

private slots:
    void init() {
        w = std::make_unique<TableWindow>();
        // Controls on either side of the table in the focus chain.
        before = new QLineEdit(w.get());
        after = new QLineEdit(w.get());
        QWidget::setTabOrder(before, w->grid);
        QWidget::setTabOrder(w->grid, after);
        QVERIFY(w->ShowAndFocus());
    }
    void cleanup() {
        w.reset();
        listener.reset();
    }

    void TheTableHasRowsColumnsAndHeaders() {
        QAccessibleInterface* table = Table();
        QVERIFY(table && Cells());
        QCOMPARE(table->role(), QAccessible::Table);
        QCOMPARE(Cells()->rowCount(), kChannelCount);
        QCOMPARE(Cells()->columnCount(), 3);
        QCOMPARE(Cells()->columnDescription(2), QString("FREQUENCY"));
        QCOMPARE(Cells()->rowDescription(0), QString("P1 1"));
        QCOMPARE(Cells()->rowDescription(9), QString("P0 10"));
        // Header row first, then each row's label cells and frequency.
        QCOMPARE(table->childCount(), (kChannelCount + 1) * 3);
        const struct {
            int child;
            QAccessible::Role role;
            QString name;
        } children[] = {{0, QAccessible::ColumnHeader, "P"},
                        {2, QAccessible::ColumnHeader, "FREQUENCY"},
                        {3, QAccessible::RowHeader, "P1"},
                        {4, QAccessible::RowHeader, "1"},
                        {5, QAccessible::Cell, ""},
                        {32, QAccessible::Cell, ""}};
        for (const auto& c : children) {
            QAccessibleInterface* child = table->child(c.child);
            QVERIFY2(child, qPrintable(QString::number(c.child)));
            QCOMPARE(child->role(), c.role);
            QCOMPARE(child->text(QAccessible::Name), c.name);
            QCOMPARE(table->indexOfChild(child), c.child);
            QCOMPARE(child->parent(), table);
        }
        // A cell by its coordinates knows them, its headers and its place.
        QAccessibleInterface* p3 = Cells()->cellAt(2, 2);
        QAccessibleTableCellInterface* cell = p3->tableCellInterface();
        QVERIFY(cell);
        QCOMPARE(cell->rowIndex(), 2);
        QCOMPARE(cell->columnIndex(), 2);
        QCOMPARE(cell->columnHeaderCells().value(0)->text(QAccessible::Name), QString("FREQUENCY"));
        QCOMPARE(cell->rowHeaderCells().value(0)->text(QAccessible::Name), QString("P3"));
        // A bridge asks a row's first cell for the row's header.
        QCOMPARE(Cells()->cellAt(2, 0)->tableCellInterface()->rowHeaderCells().value(0), Cells()->cellAt(2, 0));
        QVERIFY(p3->state().editable && !p3->state().readOnly);
        QVERIFY(Cells()->cellAt(2, 0)->state().readOnly);
        QCOMPARE(table->childAt(p3->rect().center().x(), p3->rect().center().y()), p3);
        QVERIFY(!Cells()->cellAt(kChannelCount, 0) && !Cells()->cellAt(0, 3));
    }

    void CellsTellTheirTextAndTheFocusCellIsTheFocusedChild() {
        w->Focus(3);
        QAccessibleInterface* p3 = Cells()->cellAt(2, 2);
        QCOMPARE(Table()->focusChild(), p3);
        QVERIFY(p3->state().focused && p3->state().selected);
        TableWindow::Key(Qt::Key_Down);
        QCOMPARE(Table()->focusChild(), Cells()->cellAt(3, 2));
        QVERIFY(!p3->state().focused);

        // Typing: the editor is the table's last child while it is open,
        // the cell's editable text, named after the cell.
        TableWindow::Type("27.125");
        QVERIFY(w->Editor());
        QCOMPARE(Table()->childCount(), (kChannelCount + 1) * 3 + 1);
        QAccessibleInterface* editor = Table()->child(Table()->childCount() - 1);
        QVERIFY(editor && editor->editableTextInterface());
        QCOMPARE(editor->text(QAccessible::Name), QString("P4 4 FREQUENCY"));
        QCOMPARE(editor->text(QAccessible::Value), QString("27.125"));
        QCOMPARE(Table()->focusChild(), editor);
        TableWindow::Key(Qt::Key_Return);
        QCOMPARE(Cells()->cellAt(3, 2)->text(QAccessible::Name), QString("27.1250"));
        QCOMPARE(Table()->childCount(), (kChannelCount + 1) * 3);

        // Away from the table, no cell has the focus.
        w->grid->clearFocus();
        QVERIFY(!Table()->focusChild());
    }

    // Tab moves between cells; Ctrl+Tab and Ctrl+Shift+Tab leave the table,
    // also from a cell being edited, whose text the cell then takes.
    void CtrlTabLeavesTheTable() {
        w->Focus(2);
        TableWindow::Key(Qt::Key_Tab);
        QCOMPARE(TableWindow::Focused(), w->grid);
        TableWindow::Key(Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(TableWindow::Focused(), after);
        w->grid->setFocus();
        TableWindow::Key(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(TableWindow::Focused(), before);

        w->Focus(5);
        TableWindow::Type("26.5");
        QVERIFY(w->Editor());
        std::vector<QWidget*> moves;
        QObject scope;
        connect(qApp, &QApplication::focusChanged, &scope, [&](QWidget*, QWidget* now) { moves.push_back(now); });
        TableWindow::Key(Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(moves, (std::vector<QWidget*>{w->grid, after}));  // not back to the table on the way
        QTRY_VERIFY(!w->Editor());
        QCOMPARE(QString::fromStdString(w->grid->Core().GetCellText(5, kFrequencyColumn)), QString("26.5000"));
    }

    // The focus cell's frame marks where typing goes: drawn while the table
    // has the focus or has lent it to the menu bar, whose Copy and Paste act
    // on that cell.
    void TheFocusFrameShowsOnlyWithTheFocus() {
        auto* bar = new QMenuBar(w.get());
        bar->show();
        w->Focus(4);
        const QRect cell = w->grid->Geometry().CellRect(4, kFrequencyColumn);
        const QPoint frame = cell.topLeft() + QPoint(1, cell.height() / 2);
        const QColor text = w->grid->palette().color(QPalette::Text);
        auto framed = [&] { return w->grid->grab().toImage().pixelColor(frame) == text; };
        QVERIFY(framed());
        bar->setFocus(Qt::MenuBarFocusReason);
        QVERIFY(!w->grid->hasFocus() && framed());
        after->setFocus();
        QTRY_VERIFY(!framed());
    }

    // What a screen reader hears: the focus cell after the table's own focus
    // news, each cell's new text, and nothing of the cells while Ctrl+Tab
    // passes through the table.
    void TheFocusCellIsAnnouncedLast() {
        w->Focus(3);
        before->setFocus();
        Listen();
        w->grid->setFocus(Qt::TabFocusReason);
        QCOMPARE(LastFocus(), Table());  // the toolkit's own news, before the cell's
        QCoreApplication::processEvents();
        QCOMPARE(LastFocus(), Cells()->cellAt(2, 2));

        w->grid->Core().SetCellText(3, kFrequencyColumn, "27.0050");
        QCOMPARE(heard().back().type, QAccessible::NameChanged);
        QCOMPARE(Table()->child(heard().back().child), Cells()->cellAt(2, 2));

        // Ctrl+Tab passes through the table and says nothing of its cells.
        w->Focus(5);
        TableWindow::Type("26.5");
        heard().clear();
        TableWindow::Key(Qt::Key_Tab, Qt::ControlModifier);
        QCoreApplication::processEvents();
        for (const Heard& e : heard()) QVERIFY(!(e.type == QAccessible::Focus && e.child >= 0));
    }

    // Locked for a transfer (all columns fixed), hidden, scrolled: the
    // frequencies stay cells, hidden columns are not there, and a row under
    // the titles is off the screen.
    void HeadersHiddenColumnsAndScrolledRows() {
        w->grid->SetFixedCols(3);
        QCOMPARE(Cells()->cellAt(0, 2)->role(), QAccessible::Cell);
        QCOMPARE(Cells()->rowDescription(0), QString("P1 1"));
        w->grid->SetFixedCols(2);

        w->grid->Core().SetColWidth(1, 0);
        QCOMPARE(Cells()->columnCount(), 2);
        QCOMPARE(Cells()->rowDescription(4), QString("P5"));
        QCOMPARE(Cells()->cellAt(4, 1)->tableCellInterface()->rowHeaderCells().size(), 1);
        QAccessibleInterface* p5 = Cells()->cellAt(4, 1);
        QCOMPARE(p5->tableCellInterface()->columnIndex(), 1);
        QCOMPARE(Table()->child(Table()->indexOfChild(p5)), p5);

        w->grid->resize(w->grid->width(), w->grid->Geometry().CellRect(4, 0).bottom());
        w->grid->EnsureRowVisible(kChannelCount);
        QVERIFY(w->grid->Geometry().ScrolledRows() > 0);
        QVERIFY(Cells()->cellAt(0, 1)->state().offscreen);
        QVERIFY(!Cells()->cellAt(8, 1)->state().offscreen && !Table()->child(1)->state().offscreen);
    }
};

}  // namespace orvex::test

QTEST_MAIN(orvex::test::GridAccessibleTest)
#include "GridAccessibleTest.moc"
