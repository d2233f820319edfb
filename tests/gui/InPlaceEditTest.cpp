// The in-place frequency editor, driven with real keys and clicks on the
// channel table.
#include <QClipboard>
#include <QFontMetrics>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPointer>
#include <QTest>

#include <memory>

#include "support/TableWindow.h"

namespace orvex::test {
namespace {

// A message box takes the keyboard focus while it is up; this prompter does
// the same to the window's spare field before it answers.
class FocusTakingPrompter : public ScriptedPrompter {
public:
    MsgAnswer Show(const UserMessage& message) override {
        if (thief) thief->setFocus(Qt::ActiveWindowFocusReason);
        return ScriptedPrompter::Show(message);
    }
    QWidget* thief = nullptr;
};

}  // namespace

class InPlaceEditTest : public QObject {
    Q_OBJECT

    // Declared before the window, which holds a reference to it.
    std::unique_ptr<FocusTakingPrompter> focusTaker;
    std::unique_ptr<TableWindow> w;

    // Starts an edit of row in the way named: "click", "F2", "double click",
    // "digit" (types 27) or "enter".
    void StartEdit(const QString& how, int row) {
        if (how == "double click") {
            w->Focus(row == 1 ? 2 : 1);
            w->DoubleClick(row);
        } else {
            w->Focus(row);
            if (how == "click") w->Click(row);
            if (how == "F2") TableWindow::Key(Qt::Key_F2);
            if (how == "digit") TableWindow::Type("27");
            if (how == "enter") TableWindow::Key(Qt::Key_Return);
        }
    }

    QFont desktopFont;

private slots:
    void initTestCase() { desktopFont = QApplication::font(); }
    void init() {
        w = std::make_unique<TableWindow>();
        QVERIFY2(w->ShowAndFocus(), "the grid cannot take the keyboard focus");
    }
    void cleanup() {
        w.reset();
        focusTaker.reset();
        QApplication::setFont(desktopFont);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void typedEntryIsCheckedAndNormalised_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("endKey");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("messages");
        QTest::addColumn<int>("focusRow");

        QTest::newRow("on step") << 3 << "28.0000" << "27.125" << int(Qt::Key_Return) << "27.1250" << 0 << 3;
        // A refused entry leaves what the cell held, never a stand-in value.
        QTest::newRow("off step") << 6 << "28.0000" << "27.0126" << int(Qt::Key_Return) << "28.0000" << 1 << 6;
        QTest::newRow("three decimals off step") << 3 << "" << "27.001" << int(Qt::Key_Return) << "" << 1 << 3;
        QTest::newRow("above the band, Tab") << 3 << "28.0000" << "31" << int(Qt::Key_Tab) << "28.0000" << 1 << 4;
        QTest::newRow("off step, Down") << 3 << "27.5000" << "27.126" << int(Qt::Key_Down) << "27.5000" << 1 << 4;
        QTest::newRow("Tab on the last row") << 10 << "" << "27" << int(Qt::Key_Tab) << "27.0000" << 0 << 10;
        QTest::newRow("zero empties") << 3 << "28.0000" << "0" << int(Qt::Key_Return) << "" << 0 << 3;
        QTest::newRow("bottom of the band") << 3 << "" << "26" << int(Qt::Key_Return) << "26.0000" << 0 << 3;
        QTest::newRow("top of the band") << 3 << "" << "30" << int(Qt::Key_Return) << "30.0000" << 0 << 3;
        QTest::newRow("one step above") << 3 << "" << "30.0025" << int(Qt::Key_Return) << "" << 1 << 3;
        QTest::newRow("one step below, Up") << 3 << "26.5000" << "25.9975" << int(Qt::Key_Up) << "26.5000" << 1 << 2;
        QTest::newRow("one step, Down") << 3 << "" << "26.0025" << int(Qt::Key_Down) << "26.0025" << 0 << 4;
        QTest::newRow("Up") << 5 << "" << "27.5" << int(Qt::Key_Up) << "27.5000" << 0 << 4;
        QTest::newRow("keypad Enter") << 3 << "" << "29.99" << int(Qt::Key_Enter) << "29.9900" << 0 << 3;
    }
    void typedEntryIsCheckedAndNormalised() {
        QFETCH(int, row);
        QFETCH(QString, before);
        QFETCH(QString, typed);
        QFETCH(int, endKey);
        QFETCH(QString, after);
        QFETCH(int, messages);
        QFETCH(int, focusRow);

        w->model.SetCellText(row, before.toStdString());
        w->Focus(row);
        TableWindow::Type(typed);
        QVERIFY(w->Editor());
        QCOMPARE(w->Editor()->text(), typed);  // the first digit replaced the old text
        QVERIFY(w->model.View().EditPending());
        TableWindow::Key(Qt::Key(endKey));

        QVERIFY(!w->Editor());
        QCOMPARE(w->Text(row), after);
        QCOMPARE(w->ModelText(row), after.toStdString());
        QCOMPARE(w->RefusalCount(), messages);
        QCOMPARE(int(w->prompts.shown.size()), messages);
        if (messages) {
            QVERIFY(w->prompts.shown[0].icon == MsgIcon::Stop);
            QVERIFY(w->prompts.shown[0].buttons == MsgButtons::Ok);
        }
        QCOMPARE(w->FocusCell(), (grid::CellId{focusRow, kFrequencyColumn}));
        QVERIFY(!w->model.View().EditPending());
        QCOMPARE(TableWindow::Focused(), static_cast<QWidget*>(w->grid));
    }

    void keyStartedEditsBeginAtTheEndOfTheText() {
        w->model.SetCellText(3, "27.1250");
        w->Focus(3);
        TableWindow::Key(Qt::Key_Return);
        QVERIFY(w->Editor());
        QCOMPARE(w->Editor()->text(), QString("27.1250"));
        QVERIFY(!w->Editor()->hasSelectedText());
        QCOMPARE(w->Editor()->cursorPosition(), 7);
        TableWindow::Key(Qt::Key_Backspace);
        TableWindow::Key(Qt::Key_Backspace);
        TableWindow::Key(Qt::Key_Return);
        QCOMPARE(w->Text(3), QString("27.1200"));

        // Backspace both starts the edit and deletes.
        TableWindow::Key(Qt::Key_Backspace);
        QVERIFY(w->Editor());
        QCOMPARE(w->Editor()->text(), QString("27.120"));
        TableWindow::Key(Qt::Key_Backspace);
        TableWindow::Key(Qt::Key_Backspace);
        TableWindow::Key(Qt::Key_Backspace);
        QCOMPARE(w->Editor()->text(), QString("27."));
        TableWindow::Key(Qt::Key_Return);
        QCOMPARE(w->Text(3), QString("27.0000"));
        QCOMPARE(w->RefusalCount(), 0);
        QCOMPARE(w->FocusRow(), 3);
    }

    void escapeRestoresThePreviousText_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("messages");
        QTest::newRow("valid text, typed over") << "digit" << "27.1250" << "27.1250" << 0;
        QTest::newRow("empty cell, typed") << "digit" << "" << "" << 0;
        QTest::newRow("valid text, F2") << "F2" << "28.5000" << "28.5000" << 0;
        // Text the cell held unchecked is checked on leaving, and stays.
        QTest::newRow("unchecked off-step text") << "click" << "27.126" << "27.126" << 1;
    }
    void escapeRestoresThePreviousText() {
        QFETCH(QString, start);
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(int, messages);
        w->model.SetCellText(4, before.toStdString());
        StartEdit(start, 4);
        QVERIFY(w->Editor());
        TableWindow::Type("31");
        TableWindow::Key(Qt::Key_Escape);
        QVERIFY(!w->Editor());
        QCOMPARE(w->Text(4), after);
        QCOMPARE(w->ModelText(4), after.toStdString());
        QCOMPARE(w->RefusalCount(), messages);
        QCOMPARE(w->FocusRow(), 4);
    }

    void aLetterEndsTheEditWithTheDigitsBeforeIt() {
        w->Focus(3);
        TableWindow::Type("27.5");
        TableWindow::Type("x");
        QVERIFY(!w->Editor());
        QCOMPARE(w->Text(3), QString("27.5000"));
        QCOMPARE(w->RefusalCount(), 0);
        QCOMPARE(w->FocusRow(), 3);

        w->Focus(4);
        TableWindow::Type("31-");
        QVERIFY(!w->Editor());
        QCOMPARE(w->Text(4), QString());  // as it was
        QCOMPARE(w->RefusalCount(), 1);

        // A space is not part of a frequency either, once the edit runs.
        w->Focus(5);
        TableWindow::Type("26 ");
        QVERIFY(!w->Editor());
        QCOMPARE(w->Text(5), QString("26.0000"));
    }

    void aLetterFirstLeavesTheCellAndTheNextDigitsEditIt() {
        w->model.SetCellText(3, "27.1250");
        w->Focus(3);
        // No event processing between the keys, as when keys arrive in a burst.
        TableWindow::Type("x26");
        QVERIFY(w->Editor());
        QCOMPARE(w->Editor()->text(), QString("26"));
        TableWindow::Key(Qt::Key_Return);
        QCOMPARE(w->Text(3), QString("26.0000"));
        QCOMPARE(w->CountNotes(grid::LVN_BEGINLABELEDIT), 2);
        QCOMPARE(w->CountNotes(grid::LVN_ENDLABELEDIT), 2);
        QVERIFY(!w->model.View().EditPending());
    }

    // ---- Length limit at real desktop fonts -----------------------------------

    static void FontSizes() {
        QTest::addColumn<int>("points");
        for (int pt : {8, 11, 12, 16}) QTest::addRow("%d pt", pt) << pt;
    }
    // The table as it is built on a desktop whose font is this size.
    void UseDesktopFont(int points) {
        w.reset();
        QFont f("DejaVu Sans");
        f.setPointSize(points);
        QApplication::setFont(f);
        w = std::make_unique<TableWindow>();
        QVERIFY2(w->ShowAndFocus(), "the grid cannot take the keyboard focus");
        QCOMPARE(w->grid->font().pointSize(), points);
    }

    void digitsStopAtSevenCharacters_data() { FontSizes(); }
    void digitsStopAtSevenCharacters() {
        QFETCH(int, points);
        UseDesktopFont(points);
        w->Focus(6);
        TableWindow::Type("26.00250000000");
        QPointer<CInPlaceEdit> e = w->Editor();
        QVERIFY(e);
        QCOMPARE(e->font(), w->grid->font());
        QCOMPARE(e->text(), QString("26.0025"));
        // The edit grew to show the whole frequency, within the grid.
        QVERIFY(e->geometry().right() <= w->grid->Geometry().Viewport().right());
        QVERIFY(e->width() >= e->fontMetrics().horizontalAdvance("26.0025"));

        // Backspace makes room for one character; over a selection, typing
        // replaces it rather than being dropped.
        TableWindow::Key(Qt::Key_Backspace);
        TableWindow::Type("555");
        QCOMPARE(e->text(), QString("26.0025"));
        e->setSelection(5, 2);
        TableWindow::Type("50");
        QCOMPARE(e->text(), QString("26.0050"));
        TableWindow::Key(Qt::Key_Return);
        QCOMPARE(w->Text(6), QString("26.0050"));

        // The value a pixel limit used to cut to 27.11 without a word.
        TableWindow::Type("27.1125");
        TableWindow::Key(Qt::Key_Return);
        QCOMPARE(w->Text(6), QString("27.1125"));
        QCOMPARE(w->RefusalCount(), 0);
    }

    void everyStepFrequencyTypesInFull_data() { FontSizes(); }
    void everyStepFrequencyTypesInFull() {
        QFETCH(int, points);
        UseDesktopFont(points);
        QStringList lost;
        for (int code = 10400; code <= 12000; ++code) {
            const QString f = QString::number(code / 400.0, 'f', 4);
            const int row = 1 + code % kChannelCount;
            w->Focus(row);
            TableWindow::Type(f);
            TableWindow::Key(Qt::Key_Return);
            if (w->Text(row) != f) lost << f + " -> " + w->Text(row);
        }
        QVERIFY2(lost.isEmpty(), qPrintable(lost.mid(0, 5).join(", ")));
        QCOMPARE(w->RefusalCount(), 0);
    }

    // ---- Only ASCII digits and the point --------------------------------------

    // Characters as a keyboard of another script sends them: a key the
    // toolkit has no code for, with the character as its text.
    static void TypeText(const QString& text) {
        for (const QChar ch : text) {
            QWidget* to = TableWindow::Focused();
            QVERIFY2(to, "no widget has the keyboard focus");
            QTest::sendKeyEvent(QTest::Press, to, Qt::Key_unknown, QString(ch), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, to, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        }
    }

    void otherScriptsDigitsAreNotFrequencyCharacters_data() {
        QTest::addColumn<QString>("digits");
        QTest::newRow("Arabic-Indic") << QString::fromUtf8("\u0662\u0667");
        QTest::newRow("full-width") << QString::fromUtf8("\uFF12\uFF17");
        QTest::newRow("Devanagari") << QString::fromUtf8("\u0968\u096D");
    }
    void otherScriptsDigitsAreNotFrequencyCharacters() {
        QFETCH(QString, digits);
        // Over a cell: each one ends its edit at once, the cell stays.
        w->model.SetCellText(3, "27.1250");
        w->Focus(3);
        TypeText(digits);
        QVERIFY(!w->Editor());
        QCOMPARE(w->Text(3), QString("27.1250"));

        // Within an edit: the edit ends with the ASCII digits before it.
        w->Focus(4);
        TableWindow::Type("28");
        TypeText(digits.left(1));
        QVERIFY(!w->Editor());
        QCOMPARE(w->Text(4), QString("28.0000"));

        // Composed by an input method: the same rules.
        w->Focus(5);
        TableWindow::Key(Qt::Key_F2);
        QVERIFY(w->Editor());
        QVERIFY(!w->Editor()->testAttribute(Qt::WA_InputMethodEnabled));
        QInputMethodEvent compose;
        compose.setCommitString(QStringLiteral("26.5"));
        QApplication::sendEvent(w->Editor(), &compose);
        QCOMPARE(w->Editor()->text(), QString("26.5"));
        QInputMethodEvent foreign;
        foreign.setCommitString(digits);
        QApplication::sendEvent(w->Editor(), &foreign);
        QVERIFY(!w->Editor());
        QCOMPARE(w->Text(5), QString("26.5000"));
        QCOMPARE(w->RefusalCount(), 0);
        QCOMPARE(w->ModelText(3), std::string("27.1250"));
    }

    void pastedTextIsCheckedWhenTheEditEnds() {
        // What no key could have typed is refused, and the cell keeps its text.
        w->model.SetCellText(3, "27.1250");
        w->Focus(3);
        TableWindow::Key(Qt::Key_F2);
        QApplication::clipboard()->setText(QString::fromUtf8("\u0662\u0667"));
        TableWindow::Key(Qt::Key_V, Qt::ControlModifier);
        TableWindow::Key(Qt::Key_Return);
        QVERIFY(!w->Editor());
        QCOMPARE(w->Text(3), QString("27.1250"));
        QCOMPARE(w->RefusalCount(), 1);
        QVERIFY(w->prompts.shown.back().icon == MsgIcon::Stop);

        // A spreadsheet's cell comes with a line feed: only its first line.
        w->Focus(4);
        TableWindow::Key(Qt::Key_F2);
        QApplication::clipboard()->setText(" 27.125\t\n28.0000\n");
        TableWindow::Key(Qt::Key_Insert, Qt::ShiftModifier);
        QCOMPARE(w->Editor()->text(), QString("27.125"));
        TableWindow::Key(Qt::Key_Return);
        QCOMPARE(w->Text(4), QString("27.1250"));
        QCOMPARE(w->Text(5), QString());
        QCOMPARE(w->RefusalCount(), 1);

        // The same piece the table would take when no edit is open: a
        // decimal comma is a number, a tab ends the piece.
        int row = 6;  // an empty cell each time: the paste goes in at the caret
        for (const auto& [clip, cell] : {std::pair{"26,5000", "26.5000"}, std::pair{"27.0050\t28", "27.0050"}}) {
            w->Focus(row);
            TableWindow::Key(Qt::Key_F2);
            QApplication::clipboard()->setText(QString::fromLatin1(clip));
            TableWindow::Key(Qt::Key_V, Qt::ControlModifier);
            TableWindow::Key(Qt::Key_Return);
            QCOMPARE(w->Text(row++), QString::fromLatin1(cell));
        }
        QCOMPARE(w->RefusalCount(), 1);
    }

    void aKeyBringingSeveralCharactersIsTypedOneByOne() {
        // A compose sequence may deliver its text in one key event.
        w->Focus(3);
        TableWindow::Key(Qt::Key_F2);
        QTest::sendKeyEvent(QTest::Press, w->Editor(), Qt::Key_unknown, QStringLiteral("27.12500"), Qt::NoModifier);
        QVERIFY(w->Editor());
        QCOMPARE(w->Editor()->text(), QString("27.1250"));  // the eighth is still stopped
        TableWindow::Key(Qt::Key_Escape);
        w->Focus(4);
        TableWindow::Type("27");
        QTest::sendKeyEvent(QTest::Press, w->Editor(), Qt::Key_unknown, QString::fromUtf8(".\u0665"), Qt::NoModifier);
        QVERIFY(!w->Editor());
        QCOMPARE(w->Text(4), QString("27.0000"));
    }

    void arrowKeysEndOnlyAKeyStartedEdit_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("ctrl");
        QTest::addColumn<bool>("ends");
        QTest::addColumn<int>("focusRow");
        QTest::newRow("click, Left") << "click" << int(Qt::Key_Left) << false << false << 5;
        QTest::newRow("click, Up") << "click" << int(Qt::Key_Up) << false << false << 5;
        QTest::newRow("click, Down") << "click" << int(Qt::Key_Down) << false << false << 5;
        QTest::newRow("F2, Right") << "F2" << int(Qt::Key_Right) << false << false << 5;
        QTest::newRow("F2, Page Down") << "F2" << int(Qt::Key_PageDown) << false << false << 5;
        QTest::newRow("double click, Page Up") << "double click" << int(Qt::Key_PageUp) << false << false << 5;
        QTest::newRow("double click, Down") << "double click" << int(Qt::Key_Down) << false << false << 5;
        QTest::newRow("click, Ctrl+Down") << "click" << int(Qt::Key_Down) << true << true << 6;
        QTest::newRow("digit, Down") << "digit" << int(Qt::Key_Down) << false << true << 6;
        QTest::newRow("digit, Left") << "digit" << int(Qt::Key_Left) << false << true << 5;
        QTest::newRow("enter, Up") << "enter" << int(Qt::Key_Up) << false << true << 4;
        QTest::newRow("enter, Page Down") << "enter" << int(Qt::Key_PageDown) << false << true << 10;
    }
    void arrowKeysEndOnlyAKeyStartedEdit() {
        QFETCH(QString, start);
        QFETCH(int, key);
        QFETCH(bool, ctrl);
        QFETCH(bool, ends);
        QFETCH(int, focusRow);
        w->model.SetCellText(5, "27.1250");
        StartEdit(start, 5);
        QVERIFY(w->Editor());
        QCOMPARE(w->Editor()->m_nRow, 5);
        QCOMPARE(w->Editor()->m_bArrowKeysEnd, start == "digit" || start == "enter");
        const int caret = w->Editor()->cursorPosition();

        TableWindow::Key(Qt::Key(key), ctrl ? Qt::ControlModifier : Qt::NoModifier);
        QCOMPARE(w->FocusRow(), focusRow);
        if (!ends) {
            QVERIFY(w->Editor());
            if (key == Qt::Key_Left) QCOMPARE(w->Editor()->cursorPosition(), caret - 1);
            TableWindow::Key(Qt::Key_Return);
        }
        QVERIFY(!w->Editor());
        QCOMPARE(w->Text(5), QString(start == "digit" ? "27.0000" : "27.1250"));
        QCOMPARE(w->FocusRow(), focusRow);
        QCOMPARE(w->RefusalCount(), 0);
        QCOMPARE(w->CountNotes(grid::LVN_BEGINLABELEDIT), 1);
        QCOMPARE(w->CountNotes(grid::LVN_ENDLABELEDIT), 1);
    }

    void aClickStartsAnEditOnlyOnTheFocusedCell() {
        w->model.SetCellText(3, "27.1250");
        w->Click(3);
        QVERIFY(!w->Editor());
        QCOMPARE(w->FocusCell(), (grid::CellId{3, kFrequencyColumn}));
        QVERIFY(!w->model.View().EditPending());

        w->Click(3);
        CInPlaceEdit* e = w->Editor();
        QVERIFY(e);
        QCOMPARE(e->geometry(), w->grid->Geometry().CellRect(3, kFrequencyColumn));
        QVERIFY(e->alignment() & Qt::AlignHCenter);
        QCOMPARE(e->text(), QString("27.1250"));
        QVERIFY(!e->hasSelectedText());
        QCOMPARE(e->cursorPosition(), 7);
        QCOMPARE(TableWindow::Focused(), static_cast<QWidget*>(e));
        QVERIFY(w->model.View().EditPending());

        // The caret is the mouse's: digits go where it is.
        TableWindow::Key(Qt::Key_Backspace);
        TableWindow::Key(Qt::Key_Backspace);
        TableWindow::Type("75");
        QCOMPARE(e->text(), QString("27.1275"));

        // A click on another cell ends the edit through the focus loss and
        // only moves the focus.
        w->Click(6);
        QVERIFY(!w->Editor());
        QCOMPARE(w->Text(3), QString("27.1275"));
        QCOMPARE(w->FocusCell(), (grid::CellId{6, kFrequencyColumn}));
        QCOMPARE(w->CountNotes(grid::LVN_BEGINLABELEDIT), 1);
        QCOMPARE(w->CountNotes(grid::LVN_ENDLABELEDIT), 1);
        QVERIFY(!w->model.View().EditPending());

        // The same way out checks the text.
        w->Click(6);
        TableWindow::Type("31");
        w->Click(8);
        QCOMPARE(w->Text(6), QString());
        QCOMPARE(w->RefusalCount(), 1);
        QCOMPARE(w->FocusRow(), 8);

        // No edit starts in a fixed cell, by click or double click.
        w->Click(8, 1);
        w->Click(8, 1);
        w->DoubleClick(8, 0);
        w->DoubleClick(0, kFrequencyColumn);
        QVERIFY(!w->Editor());
        QCOMPARE(w->FocusRow(), 8);
    }

    void pasteIntoARunningEditGoesIntoTheEditorOnly() {
        w->model.SetCellText(4, "28.0000");
        w->Focus(3);
        TableWindow::Key(Qt::Key_F2);
        QVERIFY(w->Editor());
        QApplication::clipboard()->setText("26.0000\n27.0000");
        QVERIFY(w->grid->HandleCommand(ID_EDIT_PASTE));
        QVERIFY(w->Editor());
        QVERIFY(w->Editor()->text().startsWith("26.0000"));
        QCOMPARE(w->Text(3), QString());
        QCOMPARE(w->Text(4), QString("28.0000"));
        QCOMPARE(w->CountNotes(grid::LVN_BEGINLABELEDIT), 1);
        TableWindow::Key(Qt::Key_Return);
        QCOMPARE(w->Text(3), QString("26.0000"));
        QCOMPARE(w->Text(4), QString("28.0000"));

        // Ctrl+V in the editor, past the width limit: no character rules,
        // but the check at the end.
        w->Focus(5);
        TableWindow::Key(Qt::Key_F2);
        QApplication::clipboard()->setText("27.50000000000000000");
        TableWindow::Key(Qt::Key_V, Qt::ControlModifier);
        QVERIFY(w->Editor());
        QCOMPARE(w->Editor()->text(), QString("27.50000000000000000"));
        TableWindow::Key(Qt::Key_Return);
        QCOMPARE(w->Text(5), QString("27.5000"));
        QCOMPARE(w->Text(6), QString());
        QCOMPARE(w->RefusalCount(), 0);
    }

    // The frequency rules are the channel table's: a grid of its own takes
    // any text into its editor, and a column's rules only in that column.
    void aPlainGridsEditorTakesWhatItsColumnRulesAllow() {
        CGridCtrl plain;
        plain.Core().SetRows(2);
        plain.Core().SetCols(2);
        plain.SetColumnEditor(1, {[](QChar ch) { return ch.isUpper(); }, 3});
        plain.resize(300, 100);
        plain.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plain));
        const struct {
            int col;
            QString typed, cell;
        } cases[] = {{0, "ab 1.x-yz", "ab 1.x-yz"}, {1, "ABCD", "ABC"}, {1, "ABc", "AB"}};
        for (const auto& c : cases) {
            plain.Core().Selection().SetFocus({1, c.col}, false, false);
            plain.setFocus();
            TableWindow::Type(c.typed);
            if (plain.Editor()) TableWindow::Key(Qt::Key_Return);
            QCOMPARE(QString::fromStdString(plain.Core().GetCellText(1, c.col)), c.cell);
        }
        TableWindow::Type("AB");
        QVERIFY(plain.Editor());  // and the grid goes with its editor open
    }

    void aRefusalIsShownOnceWhenTheMessageTakesTheFocus() {
        w.reset();
        focusTaker = std::make_unique<FocusTakingPrompter>();
        w = std::make_unique<TableWindow>(focusTaker.get());
        auto* spare = new QLineEdit(w.get());
        spare->setGeometry(0, 0, 4, 4);
        focusTaker->thief = spare;
        QVERIFY(w->ShowAndFocus());

        // By the end key, and by the grid ending the edit itself.
        w->Focus(3);
        TableWindow::Type("27.126");
        TableWindow::Key(Qt::Key_Return);
        QVERIFY(!w->Editor());
        QCOMPARE(w->RefusalCount(), 1);
        QCOMPARE(w->Text(3), QString());

        w->grid->setFocus();
        w->Focus(4);
        TableWindow::Type("31");
        QCOMPARE(TableWindow::Focused(), static_cast<QWidget*>(w->Editor()));
        w->grid->EndEditing();
        QVERIFY(!w->Editor());
        QCOMPARE(w->RefusalCount(), 2);
        QCOMPARE(w->Text(4), QString());
        QCOMPARE(w->CountNotes(grid::LVN_ENDLABELEDIT), 2);
    }
};

}  // namespace orvex::test

QTEST_MAIN(orvex::test::InPlaceEditTest)
#include "InPlaceEditTest.moc"
