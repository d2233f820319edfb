// The channel table on the form model: layout, selection hint, clipboard and
// Delete, the transfer lock and the pending-edit flag, driven with real keys
// and clicks.
#include <QClipboard>

#include "tests/support/LinkSide.h"
#include <QFontMetrics>
#include <QImage>
#include <QTest>

#include <memory>
#include <optional>

#include "support/Screenshot.h"
#include "support/TableWindow.h"

namespace orvex::test {

using grid::CellId;

class ChannelTableTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TableWindow> w;

    static QString Clipboard() { return QApplication::clipboard()->text(); }
    static void SetClipboard(const QString& text) { QApplication::clipboard()->setText(text); }

    // The notifications as "code@row,col", for one comparison.
    QStringList Notes() const {
        QStringList out;
        for (const auto& n : w->notes) out << QString("%1@%2,%3").arg(n.code).arg(n.row).arg(n.col);
        return out;
    }
    static QString At(int code, int row, int col = kFrequencyColumn) {
        return QString("%1@%2,%3").arg(code).arg(row).arg(col);
    }
    QStringList ModelCells() const {
        QStringList out;
        for (int r = 1; r <= kChannelCount; ++r) out << QString::fromStdString(w->ModelText(r));
        return out;
    }
    QStringList GridCells() const {
        QStringList out;
        for (int r = 1; r <= kChannelCount; ++r) out << w->Text(r);
        return out;
    }

private slots:
    void init() {
        w = std::make_unique<TableWindow>();
        QVERIFY2(w->ShowAndFocus(), "the grid cannot take the keyboard focus");
    }
    void cleanup() {
        w.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void startsWithTitlesLabelsAndEmptyFrequencies() {
        CGridCtrl& g = *w->grid;
        QCOMPARE(g.Core().Shape().GetRows(), 11);
        QCOMPARE(g.Core().Shape().GetCols(), 3);
        QCOMPARE(g.Core().Shape().GetFixedRows(), 1);
        QCOMPARE(g.Core().Shape().GetFixedCols(), 2);
        QCOMPARE(QString::fromStdString(g.Core().GetCellText(0, 0)), QString(" P "));
        QCOMPARE(QString::fromStdString(g.Core().GetCellText(0, 1)), QString("CH"));
        QCOMPARE(QString::fromStdString(g.Core().GetCellText(0, 2)), QString(" FREQUENCY "));
        for (int r = 1; r <= 10; ++r) {
            QCOMPARE(QString::fromStdString(g.Core().GetCellText(r, 0)), QString("P%1").arg(r % 10));
            QCOMPARE(QString::fromStdString(g.Core().GetCellText(r, 1)), QString::number(r));
            QCOMPARE(QString::fromStdString(g.Core().GetCellText(r, 2)), QString());
            for (int c = 0; c < 3; ++c) QCOMPARE(g.Core().IsCellEditable(r, c), c == 2);
            QVERIFY(g.Core().Cell(r, 2)->GetFormat() & grid::DT_CENTER);
            QVERIFY(g.Core().Cell(r, 0)->GetFormat() & grid::DT_RIGHT);
        }
        QVERIFY(!g.Core().IsCellEditable(0, 2));
        QVERIFY(g.Core().Cell(0, 2)->GetFormat() & grid::DT_CENTER);
        // Sized to its content: the frequency column fits its title.
        const QFontMetrics fm(g.font());
        QVERIFY(g.Core().Shape().ColWidth(2) >= fm.horizontalAdvance(" FREQUENCY "));
        for (int r = 0; r <= 10; ++r) QVERIFY(g.Core().Shape().RowHeight(r) >= fm.height());
        QCOMPARE(g.Core().Hooks().controlId, IDC_CHANNEL_TABLE);
        QCOMPARE(w->model.View().StatusText(), std::string(texts::kTotalRangeHint));
        QVERIFY(!w->model.View().EditPending());
    }

    // Where a shape's cells fall at a scroll position, with a hidden row:
    // the figures clicks, scrolling and the screen reader's rectangles use.
    void geometryFollowsShapeAndScroll() {
        grid::GridCore core;
        core.SetRows(11);
        core.SetCols(3);
        core.SetFixedRows(1);
        core.SetRowHeight(5, 0);  // rows are 20 high, columns 60 wide
        const GridGeometry g(core.Shape(), QRect(0, 0, 150, 100), 2);
        QCOMPARE(g.FixedHeight(), 20);
        QCOMPARE(g.CellRect(3, 1), QRect(60, 20, 60, 20));
        QVERIFY(g.VisibleCellRect(2, 1).isEmpty());  // scrolled under the titles
        QCOMPARE(g.CellAt(QPoint(70, 25)), (CellId{3, 1}));
        QCOMPARE(g.CellAt(QPoint(70, 5)), (CellId{0, 1}));
        QCOMPARE(g.CellAt(QPoint(190, 25)), CellId{});
        QCOMPARE(g.PageRows(), 4);
        QCOMPARE(g.MaxScrollRows(), 6);
        const struct {
            int row;
            std::optional<int> scroll;
        } shows[] = {{0, std::nullopt}, {11, std::nullopt}, {1, 0}, {3, 2}, {9, 4}};
        for (const auto& s : shows) QCOMPARE(g.ScrollShowing(s.row), s.scroll);
    }

    void selectingAFrequencyCellShowsItsRange() {
        const std::string total(texts::kTotalRangeHint), column(texts::kColumnRangeHint);
        w->Click(4, 0);
        QCOMPARE(w->model.View().StatusText(), total);
        QVERIFY(!w->FocusCell().IsValid());  // a fixed cell takes no focus
        QVERIFY(Notes().contains(At(grid::LVN_ITEMCHANGING, 4, 0)));

        w->Click(4);
        QCOMPARE(w->model.View().StatusText(), column);
        QCOMPARE(w->FocusCell(), (CellId{4, kFrequencyColumn}));

        w->notes.clear();
        w->Click(6, 1);
        QCOMPARE(w->model.View().StatusText(), column);  // left as it was
        QCOMPARE(w->FocusCell(), (CellId{4, kFrequencyColumn}));
        QVERIFY(!w->Editor());
        QCOMPARE(w->notes.front().code, int(grid::LVN_ITEMCHANGING));
        QCOMPARE(w->notes.front().col, 1);

        // Only a change of column shows the hint again.
        w->Click(5);
        QCOMPARE(w->model.View().StatusText(), column);
        w->model.View().SetStatusText("SCANNING");
        TableWindow::Key(Qt::Key_Down);
        QCOMPARE(w->FocusRow(), 6);
        QCOMPARE(w->model.View().StatusText(), std::string("SCANNING"));
        w->Click(2, 0);
        QCOMPARE(w->model.View().StatusText(), std::string("SCANNING"));
        TableWindow::Key(Qt::Key_Up);
        QCOMPARE(w->FocusRow(), 5);
        QCOMPARE(w->model.View().StatusText(), column);
    }

    void pasteFillsCellsDownwardsWithinTheTable() {
        w->model.SetCellText(5, "28.0000");
        w->Focus(3);
        w->notes.clear();
        SetClipboard("26.0000\n27.0000\n");
        TableWindow::Key(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(w->Text(3), QString("26.0000"));
        QCOMPARE(w->Text(4), QString("27.0000"));
        QCOMPARE(w->Text(5), QString("28.0000"));  // the final line feed leaves the row below
        QCOMPARE(Notes(), (QStringList{At(grid::LVN_BEGINLABELEDIT, 3), At(grid::LVN_ENDLABELEDIT, 3),
                                       At(grid::LVN_BEGINLABELEDIT, 4), At(grid::LVN_ENDLABELEDIT, 4)}));
        QVERIFY(!w->model.View().EditPending());
        QCOMPARE(ModelCells(), GridCells());

        // From the last row only the first line fits; CRLF text pastes the same.
        w->Focus(10);
        SetClipboard("29.0000\r\n30.0000\r\n");
        QVERIFY(w->grid->HandleCommand(ID_EDIT_PASTE));
        QCOMPARE(GridCells(), (QStringList{"", "", "26.0000", "27.0000", "28.0000", "", "", "", "", "29.0000"}));
        QCOMPARE(ModelCells(), GridCells());

        QCOMPARE(w->prompts.shown.size(), std::size_t{0});
        QVERIFY(!w->Editor());
    }

    // Pasted pieces pass the editor's check: accepted ones go in normalised,
    // refused ones leave their cells, and one message tells which rows.
    void pasteIsCheckedLikeTyping() {
        for (int r = 1; r <= kChannelCount; ++r) w->model.SetCellText(r, "29.0000");
        w->Focus(2);
        w->notes.clear();
        SetClipboard(QString::fromUtf8(" 27.125 \n27.126\n31\n\u0662\u0667\nabc\n26,5000\n0\n26.0000,28.0000\n"));
        TableWindow::Key(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(GridCells(), (QStringList{"29.0000", "27.1250", "29.0000", "29.0000", "29.0000", "29.0000",
                                           "26.5000", "", "26.0000", "29.0000"}));
        QCOMPARE(ModelCells(), GridCells());
        QCOMPARE(w->RefusalCount(), 1);
        QCOMPARE(w->prompts.shown.size(), std::size_t{1});
        QVERIFY(w->prompts.shown[0].icon == MsgIcon::Stop);
        QVERIFY(w->prompts.shown[0].buttons == MsgButtons::Ok);
        QCOMPARE(QString::fromStdString(w->prompts.shown[0].detail), QString("P3, P4, P5, P6"));
        // A refused cell was never touched: no edit of it began.
        QCOMPARE(w->CountNotes(grid::LVN_BEGINLABELEDIT), 4);
        QCOMPARE(w->CountNotes(grid::LVN_ENDLABELEDIT), 4);
        QVERIFY(!w->model.View().EditPending());

        // A spreadsheet row with decimal commas between tabs.
        w->Focus(10);
        SetClipboard("27,0050\t28,5000\r\n");
        TableWindow::Key(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(w->Text(10), QString("27.0050"));
        QCOMPARE(w->RefusalCount(), 1);
    }

    void deleteOfEmptyCellsNotifiesEveryCellAndChangesNothing() {
        TableWindow::Key(Qt::Key_A, Qt::ControlModifier);
        w->notes.clear();
        TableWindow::Key(Qt::Key_Delete);
        QStringList expected;
        for (int r = 1; r <= 10; ++r) expected << At(grid::LVN_BEGINLABELEDIT, r) << At(grid::LVN_ENDLABELEDIT, r);
        QCOMPARE(Notes(), expected);
        for (int r = 1; r <= 10; ++r) {
            QCOMPARE(w->Text(r), QString());
            QVERIFY2(!w->Modified(r), qPrintable(QString("row %1 marked modified").arg(r)));
        }
        QCOMPARE(QString::fromStdString(w->grid->Core().GetCellText(3, 0)), QString("P3"));
        QVERIFY(!w->model.View().EditPending());

        w->model.SetCellText(4, "27.0000");
        w->Focus(4);
        TableWindow::Key(Qt::Key_Delete);
        QCOMPARE(w->Text(4), QString());
        QCOMPARE(w->ModelText(4), std::string());
        QVERIFY(w->Modified(4));
    }

    void copyAndCutTakeTheSelectedTexts() {
        w->model.SetCellText(4, "27.0000");
        w->Focus(4);
        TableWindow::Key(Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(Clipboard(), QString("27.0000"));
        QCOMPARE(w->Text(4), QString("27.0000"));

        TableWindow::Key(Qt::Key_A, Qt::ControlModifier);
        TableWindow::Key(Qt::Key_Insert, Qt::ControlModifier);
        const QStringList lines = Clipboard().split('\n');
        QCOMPARE(lines.size(), 11);
        QCOMPARE(lines[0], QString(" P \tCH\t FREQUENCY "));
        QCOMPARE(lines[4], QString("P4\t4\t27.0000"));
        QCOMPARE(lines[10], QString("P0\t10\t"));

        w->Click(7);
        w->Focus(4);
        SetClipboard("");
        TableWindow::Key(Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(Clipboard(), QString("27.0000"));
        QCOMPARE(w->Text(4), QString());
        QCOMPARE(w->ModelText(4), std::string());
    }

    void aLockedTableRefusesEveryChange() {
        w->model.SetCellText(3, "27.0000");
        w->Focus(3);
        const std::string status = w->model.View().StatusText();
        test::TransferStarts(w->model);
        CGridCtrl& g = *w->grid;
        QVERIFY(g.Core().IsTransferBusy());
        QCOMPARE(g.Core().Shape().GetFixedCols(), 3);
        QVERIFY(!w->FocusCell().IsValid());
        QVERIFY(g.Core().Selection().Cells().empty());
        w->notes.clear();

        TableWindow::Type("26");
        TableWindow::Key(Qt::Key_Return);
        TableWindow::Key(Qt::Key_F2);
        w->Click(3);
        w->Click(3);
        w->DoubleClick(4);
        QVERIFY(!w->Editor());
        TableWindow::Key(Qt::Key_A, Qt::ControlModifier);
        TableWindow::Key(Qt::Key_Delete);
        QCOMPARE(w->Text(3), QString("27.0000"));
        // Cut only copies.
        TableWindow::Key(Qt::Key_X, Qt::ControlModifier);
        QVERIFY(Clipboard().contains("P3\t3\t27.0000"));
        QCOMPARE(w->Text(3), QString("27.0000"));

        // A selection starting in the frequency column is refused as well.
        g.Core().Selection().Clear();
        g.Core().Selection().Select({3, kFrequencyColumn}, true);
        SetClipboard("26.5000\n26.7500");
        TableWindow::Key(Qt::Key_V, Qt::ControlModifier);
        QVERIFY(g.HandleCommand(ID_EDIT_PASTE));
        TableWindow::Key(Qt::Key_Delete);
        TableWindow::Key(Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(Clipboard(), QString("27.0000"));
        QCOMPARE(w->Text(3), QString("27.0000"));
        QCOMPARE(w->Text(4), QString());

        QCOMPARE(w->CountNotes(grid::LVN_BEGINLABELEDIT), 0);
        QVERIFY(!w->model.View().EditPending());
        QCOMPARE(w->model.View().StatusText(), status);

        // The radio fills the cells while the table is locked.
        w->model.SetCellText(7, "29.0000");
        QCOMPARE(w->Text(7), QString("29.0000"));

        test::TransferEnds(w->model);
        QVERIFY(!g.Core().IsTransferBusy());
        QCOMPARE(g.Core().Shape().GetFixedCols(), 2);
        QCOMPARE(w->Text(3), QString("27.0000"));
        QCOMPARE(w->Text(7), QString("29.0000"));
        QVERIFY(g.Core().IsCellEditable(3, kFrequencyColumn));
        QVERIFY(!g.Core().Cell(3, kFrequencyColumn)->Has(grid::GVIS_FIXED));
        QVERIFY(g.Core().Cell(3, kFrequencyColumn)->GetFormat() & grid::DT_CENTER);
        w->Focus(3);
        TableWindow::Type("28");
        TableWindow::Key(Qt::Key_Return);
        QCOMPARE(w->Text(3), QString("28.0000"));
        QCOMPARE(w->ModelText(3), std::string("28.0000"));
    }

    void lockingEndsARunningEditWithItsText() {
        w->Focus(3);
        TableWindow::Type("27.5");
        QVERIFY(w->Editor());
        test::TransferStarts(w->model);
        QVERIFY(!w->Editor());
        QCOMPARE(w->Text(3), QString("27.5000"));
        QCOMPARE(w->ModelText(3), std::string("27.5000"));
        QVERIFY(!w->model.View().EditPending());
        test::TransferEnds(w->model);
    }

    void unlockingAnUnlockedTableLeavesARunningEditAlone() {
        w->Focus(3);
        TableWindow::Key(Qt::Key_F2);
        TableWindow::Type("27.5");
        test::TransferEnds(w->model);
        w->model.View().SetStatusText("PORT CLOSED");
        QVERIFY(w->Editor());
        QCOMPARE(w->Editor()->text(), QString("27.5"));
        QVERIFY(w->model.View().EditPending());
        TableWindow::Key(Qt::Key_Return);
        QCOMPARE(w->Text(3), QString("27.5000"));
    }

    void anUnchangedEditLeavesNoPendingEdit() {
        w->Focus(6);
        w->notes.clear();
        TableWindow::Key(Qt::Key_F2);
        QVERIFY(w->model.View().EditPending());
        TableWindow::Key(Qt::Key_Return);
        QVERIFY(!w->model.View().EditPending());
        QCOMPARE(Notes(), (QStringList{At(grid::LVN_BEGINLABELEDIT, 6), At(grid::LVN_ENDLABELEDIT, 6)}));
        QVERIFY(!w->Modified(6));

        w->Click(6);  // focused: a click edits
        QVERIFY(w->Editor());
        TableWindow::Key(Qt::Key_Escape);
        QVERIFY(!w->model.View().EditPending());
        QVERIFY(!w->Modified(6));
        QCOMPARE(w->prompts.shown.size(), std::size_t{0});
    }

    void theGridAndTheModelFollowEachOther() {
        w->model.SetCellText(2, "26.5000");
        QCOMPARE(w->Text(2), QString("26.5000"));
        w->Focus(2);
        TableWindow::Type("27.25");
        TableWindow::Key(Qt::Key_Tab);
        QCOMPARE(w->ModelText(2), std::string("27.2500"));
        QCOMPARE(w->FocusRow(), 3);
        SetClipboard("28\t99\n29");
        TableWindow::Key(Qt::Key_V, Qt::ControlModifier);
        w->model.SetCellText(5, "26.0000");
        TableWindow::Key(Qt::Key_Down);
        TableWindow::Key(Qt::Key_Down);
        TableWindow::Key(Qt::Key_Delete);
        QCOMPARE(ModelCells(), (QStringList{"", "27.2500", "28.0000", "29.0000", "", "", "", "", "", ""}));
        QCOMPARE(ModelCells(), GridCells());

        // A band plan change empties every frequency; labels stay.
        w->model.OnModeSelect(2);
        QCOMPARE(GridCells(), QStringList(10, QString()));
        QCOMPARE(QString::fromStdString(w->grid->Core().GetCellText(10, 0)), QString("P0"));
        QCOMPARE(QString::fromStdString(w->grid->Core().GetCellText(10, 1)), QString("10"));
    }

    void savesAScreenshotForAPerson() {
        const char* freqs[] = {"26.9650", "27.0150", "27.1250", "", "27.4050", "", "", "28.0000", "", "29.9975"};
        for (int r = 1; r <= 10; ++r) w->model.SetCellText(r, freqs[r - 1]);
        w->Focus(3);
        QApplication::processEvents();
        QVERIFY2(!qEnvironmentVariableIsEmpty("ORVEX_SHOT_DIR"), "ORVEX_SHOT_DIR is not set");
        const QString path = SaveScreenshot(*w, "channel_table.png");
        QVERIFY2(!path.isEmpty(), "the screenshot could not be written");
        const QImage shot(path);
        QCOMPARE(shot.size(), w->grab().size());
        // The focus cell is framed and the fixed cells differ from the data cells.
        const QPoint data = w->grid->mapTo(w.get(), w->grid->Geometry().CellRect(4, 2).topLeft() + QPoint(3, 3));
        const QPoint fixed = w->grid->mapTo(w.get(), w->grid->Geometry().CellRect(4, 0).topLeft() + QPoint(3, 3));
        QVERIFY(shot.pixel(data) != shot.pixel(fixed));
    }
};

}  // namespace orvex::test

QTEST_MAIN(orvex::test::ChannelTableTest)
#include "ChannelTableTest.moc"
