// The main window on desktops whose font is larger than the form's 8 pt, and
// (through the test's environment) at larger scales: the table shows every
// row whole, the toolbar shows every text whole, and a frequency types in
// full. Real fonts are set on the application before the window is built,
// as a desktop theme sets them.
#include <QLabel>
#include <QProxyStyle>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyleFactory>
#include <QTest>

#include "app/support/FrameHarness.h"

namespace orvex::test {
namespace {

// Keeps the texts the style draws and the rectangles it draws them in.
class DrawnTextStyle : public QProxyStyle {
public:
    explicit DrawnTextStyle(QStyle* base) : QProxyStyle(base) {}
    void drawItemText(QPainter* p, const QRect& r, int flags, const QPalette& pal, bool enabled, const QString& text,
                      QPalette::ColorRole role) const override {
        drawn << text;
        rects << r;
        QProxyStyle::drawItemText(p, r, flags, pal, enabled, text, role);
    }
    mutable QStringList drawn;
    mutable QList<QRect> rects;
};

}  // namespace

class FontScaleTest : public QObject {
    Q_OBJECT

    QFont desktopFont;

    static void SetDesktopFont(int points) {
        QFont f("DejaVu Sans");
        f.setPointSize(points);
        QApplication::setFont(f);
    }

private slots:
    void initTestCase() { desktopFont = QApplication::font(); }
    void cleanup() {
        QApplication::setFont(desktopFont);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void fonts_data() {
        QTest::addColumn<int>("points");
        for (int pt : {8, 11, 12, 16}) QTest::addRow("%d pt", pt) << pt;
    }

    void everyRowIsShownWhole_data() { fonts_data(); }
    void everyRowIsShownWhole() {
        QFETCH(int, points);
        SetDesktopFont(points);
        FrameHarness h;
        QVERIFY(h.Ready());
        CGridCtrl& g = h.Grid();
        QCOMPARE(QFontInfo(g.font()).pointSize(), points);
        // The table lies within the form, and every cell within the table.
        QVERIFY(h.View().rect().contains(g.geometry()));
        for (int r = 0; r <= kChannelCount; ++r)
            for (int c = 0; c < g.Core().Shape().GetCols(); ++c)
                QVERIFY2(g.Geometry().Viewport().contains(g.Geometry().CellRect(r, c)),
                         qPrintable(QString("row %1 col %2").arg(r).arg(c)));
        QCOMPARE(g.Geometry().ScrolledRows(), 0);
        // No title, label or number is elided (the grid pads 4 pixels a side).
        for (int r = 0; r <= kChannelCount; ++r)
            for (int c = 0; c < 2; ++c) {
                const QString text = QString::fromStdString(g.Core().GetCellText(r, c));
                QCOMPARE(g.fontMetrics().elidedText(text, Qt::ElideRight, g.Geometry().CellRect(r, c).width() - 8), text);
            }
        auto* pane = h.frame->findChild<QLabel*>("PortPane");
        QVERIFY(pane);
        QVERIFY(pane->width() >= pane->fontMetrics().horizontalAdvance(pane->text()));
        // Each list is tall enough for its text.
        for (QComboBox* list : {static_cast<QComboBox*>(h.View().ModeSelect()), static_cast<QComboBox*>(h.View().EmgChannel())})
            QVERIFY(list->height() >= list->fontMetrics().height());
        h.Screenshot(QString("font_%1pt.png").arg(points));
    }

    // The window never leaves the screen's free area; where the form does
    // not fit it scrolls, the status bar stays in view, and Tab brings the
    // control it reaches into view. Where it fits, nothing scrolls.
    void windowFitsTheScreen_data() { fonts_data(); }
    void windowFitsTheScreen() {
        QFETCH(int, points);
        SetDesktopFont(points);
        FrameHarness h;
        QVERIFY(h.Ready());
        const QRect screen = h.frame->screen()->availableGeometry();
        QVERIFY2(screen.contains(h.frame->frameGeometry()), qPrintable(QString("%1x%2 on %3x%4")
                                                                         .arg(h.frame->frameGeometry().width())
                                                                         .arg(h.frame->frameGeometry().height())
                                                                         .arg(screen.width())
                                                                         .arg(screen.height())));
        QVERIFY(h.frame->rect().contains(h.frame->statusBar()->geometry()));
        QVERIFY(h.frame->statusBar()->isVisible());
        auto* scroller = qobject_cast<QScrollArea*>(h.frame->centralWidget());
        QVERIFY(scroller);
        const bool fits = h.View().size().width() <= scroller->viewport()->width() &&
                          h.View().size().height() <= scroller->viewport()->height();
        QCOMPARE(scroller->verticalScrollBar()->isVisible() || scroller->horizontalScrollBar()->isVisible(), !fits);
        if (fits) {
            QCOMPARE(scroller->size(), h.View().size());
            return;
        }
        h.ChooseBandPlan(3);  // South Africa: the channel boxes take the focus
        h.View().ChannelBox(kChannelEnableCount)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* list = h.View().EmgChannel();
        QCOMPARE(QApplication::focusWidget(), list);
        const QRect shown(list->mapTo(scroller->viewport(), QPoint(0, 0)), list->size());
        QVERIFY(scroller->viewport()->rect().contains(shown));
        h.Screenshot(QString("fit_%1pt.png").arg(points));
    }

    void toolbarTextsAreDrawnWhole_data() { fonts_data(); }
    void toolbarTextsAreDrawnWhole() {
        QFETCH(int, points);
        SetDesktopFont(points);
        FrameHarness h;
        QVERIFY(h.Ready());
        DrawnTextStyle style(QStyleFactory::create(QApplication::style()->name()));
        for (const char* text : {"New File", "Open File", "Save File", "Print", "Uplaod", "Download", "Exit"}) {
            QToolButton* b = h.ToolButton(text);
            QVERIFY2(b, text);
            QVERIFY(b->width() >= 65 && b->height() >= 38);
            b->setStyle(&style);
            style.drawn.clear();
            style.rects.clear();
            b->grab();
            QVERIFY2(style.drawn.contains(text), qPrintable(QString(text) + " drawn as " + style.drawn.join("|")));
            const QRect at = style.rects.at(style.drawn.indexOf(text));
            QVERIFY2(at.height() >= b->fontMetrics().height() && b->rect().contains(at),
                     qPrintable(QString(text) + " has no room for its height"));
            b->setStyle(nullptr);
        }
    }

    // The values that used to be cut or refused, through the whole window.
    void frequenciesTypeInFull_data() { fonts_data(); }
    void frequenciesTypeInFull() {
        QFETCH(int, points);
        SetDesktopFont(points);
        FrameHarness h;
        QVERIFY(h.Ready());
        const QStringList values{"26.9975", "27.1125", "28.8875", "29.9975", "26.0025", "30.0000"};
        for (int i = 0; i < values.size(); ++i) h.TypeIntoCell(10 - i, values[i]);
        h.TypeIntoCell(4, "29.99750");  // an eighth character is still dropped
        for (int i = 0; i < values.size(); ++i) QCOMPARE(h.Cell(10 - i), values[i]);
        QCOMPARE(h.Cell(4), QString("29.9975"));
        QVERIFY(h.prompts.shown.empty());
    }
};

}  // namespace orvex::test

QTEST_MAIN(orvex::test::FontScaleTest)
#include "FontScaleTest.moc"
