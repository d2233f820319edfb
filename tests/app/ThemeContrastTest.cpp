// The texts the form paints itself (the two titles, the status line, the
// channel table's headers and frequencies) stand out from what they are
// drawn on in light, dark and high-contrast themes, measured on the drawn
// window; and in the light theme the titles keep their own colour.
#include <QStyleFactory>
#include <QTest>
#include <map>
#include <memory>

#include "app/support/FrameHarness.h"

namespace orvex::test {
namespace {

struct Theme {
    QColor window, text, base, baseText, button, buttonText;
};

// The colours of the desktop themes the window is looked at in.
const std::map<QString, Theme>& Themes() {
    static const std::map<QString, Theme> themes{
        {"light", {"#efefef", "#000000", "#ffffff", "#000000", "#efefef", "#000000"}},
        {"Adwaita-dark", {"#353535", "#eeeeec", "#2d2d2d", "#eeeeec", "#353535", "#eeeeec"}},
        {"HighContrast", {"#ffffff", "#000000", "#ffffff", "#000000", "#ffffff", "#000000"}},
        {"HighContrastInverse", {"#000000", "#ffffff", "#000000", "#ffffff", "#000000", "#ffffff"}},
    };
    return themes;
}

QPalette PaletteOf(const Theme& t) {
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create("Fusion"));
    QPalette p = fusion->standardPalette();
    for (const QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        p.setColor(g, QPalette::Window, t.window);
        p.setColor(g, QPalette::WindowText, t.text);
        p.setColor(g, QPalette::Base, t.base);
        p.setColor(g, QPalette::Text, t.baseText);
        p.setColor(g, QPalette::Button, t.button);
        p.setColor(g, QPalette::ButtonText, t.buttonText);
    }
    return p;
}

// The text's strongest contrast with the most common colour of the area,
// which is what it is drawn on.
double DrawnContrast(const QImage& image, const QRect& area) {
    std::map<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) ++counts[image.pixel(x, y)];
    QRgb background = 0;
    int most = 0;
    for (const auto& [colour, n] : counts)
        if (n > most) most = n, background = colour;
    double best = 1;
    for (const auto& [colour, n] : counts) best = std::max(best, ContrastRatio(QColor(colour), QColor(background)));
    return best;
}

}  // namespace

class ThemeContrastTest : public QObject {
    Q_OBJECT

    QPalette desktop;

private slots:
    void initTestCase() { desktop = QApplication::palette(); }
    void cleanup() { QApplication::setPalette(desktop); }

    void paintedTextsStandOut_data() {
        QTest::addColumn<QString>("theme");
        for (const auto& [name, colours] : Themes()) QTest::addRow("%s", qPrintable(name)) << name;
    }
    void paintedTextsStandOut() {
        QFETCH(QString, theme);
        QApplication::setPalette(PaletteOf(Themes().at(theme)));
        FrameHarness h;
        QVERIFY(h.Ready());
        h.Grid().Core().SetCellText(1, kFrequencyColumn, "27.1250");
        h.Grid().update();
        struct Area {
            QString what;
            QWidget* widget;
            QRect rect;  // empty: the whole widget
        };
        QList<CFontStatic*> painted = h.View().findChildren<CFontStatic*>();
        QCOMPARE(painted.size(), 3);
        std::vector<Area> areas;
        for (CFontStatic* text : painted) areas.push_back({text->Text(), text, {}});
        // Inside the cells' lines, which are not text.
        auto inside = [&h](int row, int col) { return h.Grid().Geometry().CellRect(row, col).adjusted(3, 3, -3, -3); };
        areas.push_back({"FREQUENCY header", &h.Grid(), inside(0, kFrequencyColumn)});
        areas.push_back({"P1 label", &h.Grid(), inside(1, 0)});
        areas.push_back({"P1 frequency", &h.Grid(), inside(1, kFrequencyColumn)});
        for (const Area& a : areas) {
            const QImage image = a.widget->grab().toImage();
            const QRect rect = a.rect.isEmpty() ? image.rect() : a.rect;
            const double contrast = DrawnContrast(image, rect);
            QVERIFY2(contrast >= kReadableContrast, qPrintable(QString("%1: %2:1").arg(a.what).arg(contrast, 0, 'f', 1)));
        }
        if (theme == "light")  // the titles' own dark blue, as the form was drawn
            for (CFontStatic* text : painted)
                if (text != h.View().StatusLine()) QCOMPARE(text->TextColour(), QColor(0, 0, 32));
        h.Screenshot("theme_" + theme + ".png");
    }
};

}  // namespace orvex::test

QTEST_MAIN(orvex::test::ThemeContrastTest)
#include "ThemeContrastTest.moc"
