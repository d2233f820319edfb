// The message a file that is not a settings file brings, as the window shows
// it: with the machine's own fonts (fontconfig) every character of it is
// drawn, none as an empty box for want of a font that covers its script.
#include <QApplication>
#include <QGlyphRun>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTextLayout>
#include <QTimer>

#include <fstream>

#include "support/TempDir.h"
#include "ui/QtPrompter.h"
#include "ui/model/FormModel.h"

namespace orvex::test {
namespace {

// The characters of text that font, with the fallbacks the toolkit finds
// for it, can only draw as the missing-glyph box.
QStringList Undrawable(const QString& text, const QFont& font) {
    QStringList missing;
    for (const char32_t c : text.toUcs4()) {
        const QString one = QString::fromUcs4(&c, 1);
        if (one.trimmed().isEmpty()) continue;
        QTextLayout layout(one, font);
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        bool drawn = false;
        for (const QGlyphRun& run : layout.glyphRuns())
            for (const quint32 glyph : run.glyphIndexes()) drawn = drawn || glyph != 0;
        if (!drawn) missing << QString("%1 U+%2").arg(one).arg(quint32(c), 4, 16, QChar('0')).toUpper();
    }
    return missing;
}

}  // namespace

class MessageFontTest : public QObject {
    Q_OBJECT

private slots:
    void theNotASettingsFileMessageHasAFontForEveryCharacter() {
        TempDir dir;
        const std::string path = dir.File("notes.kvx");
        std::ofstream(path) << "shopping list\n";
        QtPrompter prompter;
        FormModel form(prompter);
        form.StartUp();

        QString shown;
        QStringList missing;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            for (const QLabel* label : box->findChildren<QLabel*>())
                if (label->text() == box->text()) {
                    shown = label->text();
                    missing = Undrawable(shown, label->font());
                }
            box->done(0);
        });
        QVERIFY(!form.Open(path));
        QVERIFY2(shown.contains("notes.kvx"), qPrintable("no message box showed the message: " + shown));
        QVERIFY2(missing.isEmpty(), qPrintable("\"" + shown + "\" has no font for: " + missing.join(", ")));
    }
};

}  // namespace orvex::test

QTEST_MAIN(orvex::test::MessageFontTest)
#include "MessageFontTest.moc"
