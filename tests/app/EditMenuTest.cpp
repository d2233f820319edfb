// The Edit menu and the undo keys in the window: where the menu sits, the
// keys as a user presses them, a paste and a Delete undone at once, the
// typing in a cell being edited, and which items are enabled when.
#include <QClipboard>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "app/support/FrameHarness.h"

namespace orvex::test {
namespace {

// The menu as the user opens it (its items are refreshed then), closed again.
QMap<int, bool> EnabledItems(FrameHarness& h) {
    QMenu* edit = h.Menu("&Edit");
    edit->popup(h.frame->mapToGlobal(QPoint(60, 20)));
    QMap<int, bool> enabled;
    for (int id : std::initializer_list<int>{ID_EDIT_UNDO, ID_EDIT_REDO, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, ID_EDIT_CLEAR})
        enabled[id] = h.frame->Action(id)->isEnabled();
    edit->close();
    return enabled;
}

// Opens the menu and clicks the item, as the user picks it.
void PickFromMenu(FrameHarness& h, int id) {
    QMenu* edit = h.Menu("&Edit");
    edit->popup(h.frame->mapToGlobal(QPoint(60, 20)));
    QTRY_VERIFY(edit->isVisible());
    QTest::mouseClick(edit, Qt::LeftButton, Qt::NoModifier, edit->actionGeometry(h.frame->Action(id)).center());
    QTRY_VERIFY(!edit->isVisible());
}

void PressKeys(FrameHarness& h, const QString& keys) {
    const QKeyCombination k = QKeySequence(keys)[0];
    h.Key(k.key(), k.keyboardModifiers());
}

}  // namespace

class EditMenuTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    void sitsBetweenFileAndProgramWithItsItems() {
        FrameHarness h;
        QStringList titles;
        for (QAction* a : h.frame->menuBar()->actions()) titles << a->text();
        QCOMPARE(titles.mid(0, 3), (QStringList{"&File", "&Edit", "Pr&ogram"}));
        QCOMPARE(h.MenuItems("&Edit"), (QStringList{"&Undo\tCtrl+Z", "&Redo\tCtrl+Y", "", "Cu&t\tCtrl+X",
                                                    "&Copy\tCtrl+C", "&Paste\tCtrl+V", "&Delete\tDel"}));
    }

    // Wherever the focus is but in a cell's editor: the table, or a list.
    void keysUndoAndRedoTheForm_data() {
        QTest::addColumn<QString>("undo");
        QTest::addColumn<QString>("redo");
        QTest::newRow("Ctrl+Z, Ctrl+Y") << "Ctrl+Z" << "Ctrl+Y";
        QTest::newRow("Alt+Backspace, Ctrl+Shift+Z") << "Alt+Backspace" << "Ctrl+Shift+Z";
    }
    void keysUndoAndRedoTheForm() {
        QFETCH(QString, undo);
        QFETCH(QString, redo);
        FrameHarness h;
        QVERIFY(h.Ready());
        h.TypeIntoCell(1, "27.5");
        QCOMPARE(h.Cell(1), QString("27.5000"));
        h.ChooseBandPlan(3);  // clears the table
        QCOMPARE(h.Cell(1), QString());

        h.View().ModeSelect()->setFocus(Qt::TabFocusReason);
        PressKeys(h, undo);
        QCOMPARE(h.ModeText(), QString("Australian Marine"));
        QCOMPARE(h.Cell(1), QString("27.5000"));
        h.Grid().setFocus(Qt::OtherFocusReason);
        PressKeys(h, undo);
        QCOMPARE(h.Cell(1), QString());
        QVERIFY(!HasUnsavedEdits(h.View().Form()));
        PressKeys(h, redo);
        QCOMPARE(h.Cell(1), QString("27.5000"));
        PressKeys(h, redo);
        QCOMPARE(h.ModeText(), QString("South Africa"));
        QVERIFY(h.BandControlsEnabled(true, true));
        QVERIFY(h.prompts.shown.empty());
    }

    // Ctrl+Z belongs to the editor while a cell is being edited.
    void ctrlZInACellBeingEditedTakesBackTheTypingOnly() {
        FrameHarness h;
        QVERIFY(h.Ready());
        h.TypeIntoCell(2, "27.1");
        h.ClickCell(3);
        h.Type("27.5");
        QPointer<CInPlaceEdit> editor = h.Grid().Editor();
        QVERIFY(editor);
        h.Key(Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(editor);
        QCOMPARE(editor->text(), QString());
        QCOMPARE(h.Cell(2), QString("27.1000"));
        h.Key(Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(editor->text(), QString("27.5"));
        h.Key(Qt::Key_Return);
        QCOMPARE(h.Cell(3), QString("27.5000"));

        // Edit > Undo picked during an edit: the typing, then the form.
        h.ClickCell(4);
        h.Type("29");
        editor = h.Grid().Editor();
        QVERIFY(editor);
        h.frame->Action(ID_EDIT_UNDO)->trigger();
        QVERIFY(editor);
        QCOMPARE(editor->text(), QString());
        h.frame->Action(ID_EDIT_UNDO)->trigger();
        QVERIFY(!h.Grid().Editor());
        QCOMPARE(h.Cell(4), QString());
        QCOMPARE(h.Cell(3), QString());
        QCOMPARE(h.Cell(2), QString("27.1000"));
    }

    void aPasteAndADeleteOfSeveralCellsAreUndoneAtOnce() {
        FrameHarness h;
        QVERIFY(h.Ready());
        h.TypeIntoCell(5, "28.0");
        QApplication::clipboard()->setText("27.0000\n27.1000\n27.2000");
        h.ClickCell(1);
        h.Key(Qt::Key_V, Qt::ControlModifier);
        const QStringList pasted = h.Cells();
        QCOMPARE(pasted.mid(0, 5), (QStringList{"27.0000", "27.1000", "27.2000", "", "28.0000"}));

        h.Key(Qt::Key_A, Qt::ControlModifier);
        h.Key(Qt::Key_Delete);
        QCOMPARE(h.Cells(), QStringList(10, QString()));
        h.Key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(h.Cells(), pasted);
        h.Key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(h.Cell(1), QString());
        QCOMPARE(h.Cell(3), QString());
        QCOMPARE(h.Cell(5), QString("28.0000"));
        h.frame->Action(ID_EDIT_REDO)->trigger();
        QCOMPARE(h.Cells(), pasted);

        // Cut from the menu is one step too.
        h.Key(Qt::Key_A, Qt::ControlModifier);
        PickFromMenu(h, ID_EDIT_CUT);
        QCOMPARE(h.Cells(), QStringList(10, QString()));
        h.frame->Action(ID_EDIT_UNDO)->trigger();
        QCOMPARE(h.Cells(), pasted);
    }

    void itemsAreEnabledOnlyWhenTheyCanAct() {
        FrameHarness h;
        QVERIFY(h.Ready());
        QApplication::clipboard()->clear();
        QMap<int, bool> e = EnabledItems(h);
        QVERIFY(!e[ID_EDIT_UNDO] && !e[ID_EDIT_REDO] && !e[ID_EDIT_PASTE]);

        h.TypeIntoCell(1, "27.5");
        QVERIFY(h.frame->Action(ID_EDIT_UNDO)->isEnabled());  // at once, without opening the menu
        h.ClickCell(2);
        QApplication::clipboard()->setText("26.0000");
        e = EnabledItems(h);
        QVERIFY(e[ID_EDIT_UNDO] && !e[ID_EDIT_REDO]);
        QVERIFY(e[ID_EDIT_CUT] && e[ID_EDIT_COPY] && e[ID_EDIT_PASTE] && e[ID_EDIT_CLEAR]);
        h.Key(Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(!h.frame->Action(ID_EDIT_UNDO)->isEnabled());
        QVERIFY(h.frame->Action(ID_EDIT_REDO)->isEnabled());

        // A transfer has the form: nothing to undo or redo, and the keys do nothing.
        h.frame->OnCommand(ID_READ_FROM_RADIO);
        QVERIFY(h.WaitTransferStarted());
        e = EnabledItems(h);
        QVERIFY(!e[ID_EDIT_UNDO] && !e[ID_EDIT_REDO] && !e[ID_EDIT_CUT] && !e[ID_EDIT_PASTE] && !e[ID_EDIT_CLEAR]);
        h.Key(Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(h.Cell(1), QString());
        QVERIFY(h.WaitTransferEnd(kReadTimeoutMs));
        QCOMPARE(h.Link().Outcome(), TransferOutcome::Completed);
        // The read is a step of its own.
        e = EnabledItems(h);
        QVERIFY(e[ID_EDIT_UNDO] && !e[ID_EDIT_REDO]);
        QCOMPARE(h.Cells(), SampleCells());
    }
};

}  // namespace orvex::test

QTEST_MAIN(orvex::test::EditMenuTest)
#include "EditMenuTest.moc"
